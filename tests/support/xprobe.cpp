// A small X client for tests, standing in for programs that are hard to get:
//   qb_xprobe window TITLE [--gap MS] [--close-on-activate] [TARGET...]
//     a window that pastes on Ctrl+V (a key that gives v in its first or second group of the
//     current keyboard mapping, as GTK and Qt take shortcut letters) by asking the CLIPBOARD
//     owner for each TARGET in turn (default: TARGETS, UTF8_STRING), MS milliseconds apart,
//     printing "paste N TARGET VALUE" for each answer
//     ("-" when refused) and "pasted N" at the end. With --close-on-activate it closes, saying
//     "closing", when it is activated after having lost the input.
//   qb_xprobe hold
//     takes the CLIPBOARD and never answers a request.
//   qb_xprobe manager
//     a clipboard manager: asked to save the clipboard (SAVE_TARGETS), it fetches the text
//     and prints "saved VALUE".
// Prints "ready WINDOW" when set up. Values are printed with \n and \r escaped.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

xcb_connection_t* c = nullptr;
xcb_window_t window = XCB_NONE;

xcb_atom_t Atom(const std::string& name)
{
    xcb_intern_atom_reply_t* reply
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(name.size()), name.c_str()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

std::string AtomName(xcb_atom_t atom)
{
    xcb_get_atom_name_reply_t* reply = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr);
    std::string name = reply ? std::string(xcb_get_atom_name_name(reply), size_t(xcb_get_atom_name_name_length(reply)))
                             : std::string();
    std::free(reply);
    return name;
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (const char ch : text) {
        if (ch == '\n')
            out += "\\n";
        else if (ch == '\r')
            out += "\\r";
        else
            out += ch;
    }
    return out;
}

void SetText(xcb_atom_t property, xcb_atom_t type, const std::string& text)
{
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, 8, std::uint32_t(text.size()), text.data());
}

// Asks the clipboard owner for one target; waits for the answer, handling nothing else.
std::string Fetch(xcb_atom_t target, xcb_key_symbols_t* keys)
{
    const xcb_atom_t property = Atom("QB_PROBE");
    xcb_convert_selection(c, window, Atom("CLIPBOARD"), target, property, XCB_CURRENT_TIME);
    xcb_flush(c);
    for (;;) {
        xcb_generic_event_t* event = xcb_wait_for_event(c);
        if (!event)
            std::exit(1);
        const int type = event->response_type & 0x7F;
        if (type == XCB_MAPPING_NOTIFY)
            xcb_refresh_keyboard_mapping(keys, reinterpret_cast<xcb_mapping_notify_event_t*>(event));
        if (type != XCB_SELECTION_NOTIFY) {
            std::free(event);
            continue;
        }
        const bool refused = reinterpret_cast<xcb_selection_notify_event_t*>(event)->property == XCB_NONE;
        std::free(event);
        if (refused)
            return "-";
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24), nullptr);
        std::string value;
        if (reply && reply->type == XCB_ATOM_ATOM) {
            const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i)
                value += (i ? "," : "") + AtomName(atoms[i]);
        } else if (reply) {
            value.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                         size_t(xcb_get_property_value_length(reply)));
        }
        std::free(reply);
        return value;
    }
}

// Takes the selection with the time of a property change on our window.
void Own(const char* selection)
{
    SetText(Atom("QB_PROBE_TIME"), XCB_ATOM_STRING, "");
    xcb_flush(c);
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool stamp = (event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY;
        if (stamp)
            time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
        std::free(event);
        if (stamp)
            break;
    }
    xcb_set_selection_owner(c, window, Atom(selection), time);
    xcb_flush(c);
    std::printf("ready %u\n", window);
    std::fflush(stdout);
}

int Hold()
{
    Own("CLIPBOARD");
    while (xcb_generic_event_t* event = xcb_wait_for_event(c))
        std::free(event); // requests are never answered
    return 0;
}

int Manager()
{
    Own("CLIPBOARD_MANAGER");
    xcb_key_symbols_t* keys = xcb_key_symbols_alloc(c);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        if ((event->response_type & 0x7F) == XCB_SELECTION_REQUEST) {
            const auto request = *reinterpret_cast<xcb_selection_request_event_t*>(event);
            xcb_selection_notify_event_t notify{};
            notify.response_type = XCB_SELECTION_NOTIFY;
            notify.time = request.time;
            notify.requestor = request.requestor;
            notify.selection = request.selection;
            notify.target = request.target;
            if (request.target == Atom("SAVE_TARGETS")) {
                std::printf("saved %s\n", Escaped(Fetch(Atom("UTF8_STRING"), keys)).c_str());
                std::fflush(stdout);
                notify.property = request.property;
            }
            xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
            xcb_flush(c);
        }
        std::free(event);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string mode = argv[1];
    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    window = xcb_generate_id(c);
    const std::uint32_t events
        = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_PROPERTY_CHANGE;
    const std::uint32_t values[] = {screen->white_pixel, events};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 320, 200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    if (mode == "hold")
        return Hold();
    if (mode == "manager")
        return Manager();
    if (mode != "window" || argc < 3)
        return 2;

    const std::string title = argv[2];
    int gapMs = 0;
    bool closeOnActivate = false;
    std::vector<xcb_atom_t> targets;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--gap" && i + 1 < argc)
            gapMs = std::atoi(argv[++i]);
        else if (arg == "--close-on-activate")
            closeOnActivate = true;
        else
            targets.push_back(Atom(arg));
    }
    if (targets.empty())
        targets = {Atom("TARGETS"), Atom("UTF8_STRING")};
    SetText(Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), title);
    SetText(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title);
    SetText(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string("qb_xprobe\0Probe\0", 16));
    xcb_map_window(c, window);
    xcb_flush(c);
    xcb_key_symbols_t* keys = xcb_key_symbols_alloc(c);
    std::printf("ready %u\n", window);
    std::fflush(stdout);

    int pastes = 0;
    bool wasInactive = false;
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const int type = event->response_type & 0x7F;
        if (type == XCB_MAPPING_NOTIFY)
            xcb_refresh_keyboard_mapping(keys, reinterpret_cast<xcb_mapping_notify_event_t*>(event));
        // Activated again after losing the input (the first focus may come with the mapping).
        if (type == XCB_FOCUS_OUT)
            wasInactive = true;
        if (type == XCB_FOCUS_IN && closeOnActivate && wasInactive) {
            std::printf("closing\n");
            std::fflush(stdout);
            return 0;
        }
        if (type == XCB_KEY_PRESS) {
            const auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
            const xcb_keysym_t keysym = xcb_key_symbols_get_keysym(keys, key->detail, 0);
            const xcb_keysym_t inGroup2 = xcb_key_symbols_get_keysym(keys, key->detail, 2);
            const auto isV = [](xcb_keysym_t k) { return k == XK_v || k == XK_V; };
            if ((key->state & XCB_MOD_MASK_CONTROL) && (isV(keysym) || isV(inGroup2))) {
                ++pastes;
                for (size_t i = 0; i < targets.size(); ++i) {
                    if (i > 0 && gapMs > 0)
                        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
                    const std::string value = Fetch(targets[i], keys);
                    std::printf("paste %d %s %s\n", pastes, AtomName(targets[i]).c_str(), Escaped(value).c_str());
                    std::fflush(stdout);
                }
                std::printf("pasted %d\n", pastes);
                std::fflush(stdout);
            } else if (keysym != XK_Control_L && keysym != XK_Control_R) {
                std::printf("key 0x%x\n", keysym);
                std::fflush(stdout);
            }
        }
        std::free(event);
    }
    return 0;
}
