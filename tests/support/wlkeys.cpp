// Presses keys on a Wayland desktop as a keyboard would, for tests and benchmarks: through
// zwp_virtual_keyboard_v1 (sway and other wlroots compositors) or org_kde_kwin_fake_input
// (KWin, which offers it only to programs its desktop file names).
//   qb_wlkeys KEY...        presses each KEY in turn: a key name as xkbcommon spells it (F12,
//                           Return, s), with modifiers joined before it (ctrl+s, ctrl+shift+Left)
//   qb_wlkeys --type TEXT   types TEXT, with Shift where the layout needs it
//   qb_wlkeys --ready KEY...  as the first, but writes "ready" on standard output just before
//                           the first key, once the keyboard is set up (for timing the keys)
// Exits 2 when the compositor offers neither, or a key is not on the layout.
#include "fake-input-client.h"
#include "virtual-keyboard-unstable-v1-client.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& text)
{
    std::fprintf(stderr, "qb_wlkeys: %s\n", text.c_str());
    std::exit(2);
}

struct Globals {
    Globals() = default;
    Globals(const Globals&) = delete;
    Globals& operator=(const Globals&) = delete;
    ~Globals()
    {
        if (fakeInput)
            org_kde_kwin_fake_input_destroy(fakeInput);
        if (virtualKeyboards)
            zwp_virtual_keyboard_manager_v1_destroy(virtualKeyboards);
        if (seat)
            wl_seat_destroy(seat);
    }

    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* virtualKeyboards = nullptr;
    org_kde_kwin_fake_input* fakeInput = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* globals = static_cast<Globals*>(data);
    const std::string_view offered(interface);
    if (offered == wl_seat_interface.name && !globals->seat)
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (offered == zwp_virtual_keyboard_manager_v1_interface.name)
        globals->virtualKeyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    else if (offered == org_kde_kwin_fake_input_interface.name && version >= 4)
        globals->fakeInput = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) { }

const wl_registry_listener RegistryListener{OnGlobal, OnGlobalRemove};

// One key of the layout: its evdev code and whether Shift gives its symbol.
struct Key {
    uint32_t evdev = 0;
    bool shifted = false;
};

class Layout {
public:
    Layout()
        : m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref)
        , m_keymap(nullptr, xkb_keymap_unref)
    {
        if (!m_context)
            Fail("no xkbcommon context");
        // The default layout of the desktop (us unless XKB_DEFAULT_LAYOUT says otherwise).
        m_keymap.reset(xkb_keymap_new_from_names(m_context.get(), nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (!m_keymap)
            Fail("cannot compile the keymap");
    }

    xkb_keymap* keymap() const { return m_keymap.get(); }

    std::optional<Key> find(xkb_keysym_t symbol) const
    {
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap()); code <= xkb_keymap_max_keycode(keymap()); ++code) {
            for (xkb_level_index_t level = 0; level < 2; ++level) {
                const xkb_keysym_t* symbols = nullptr;
                const int count = xkb_keymap_key_get_syms_by_level(keymap(), code, 0, level, &symbols);
                for (int i = 0; i < count; ++i) {
                    if (symbols[i] == symbol)
                        return Key{code - 8, level == 1};
                }
            }
        }
        return std::nullopt;
    }

    Key named(const std::string& name) const
    {
        xkb_keysym_t symbol = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS);
        if (symbol == XKB_KEY_NoSymbol)
            symbol = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_CASE_INSENSITIVE);
        const std::optional<Key> key = symbol == XKB_KEY_NoSymbol ? std::nullopt : find(symbol);
        if (!key)
            Fail("no key " + name + " on the layout");
        return *key;
    }

private:
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> m_context;
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> m_keymap;
};

uint32_t Now()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Key events to the compositor through whichever protocol it offers.
class Keyboard {
public:
    Keyboard(wl_display* display, const Globals& globals, const Layout& layout)
        : m_display(display)
        , m_fakeInput(globals.fakeInput)
        , m_state(xkb_state_new(layout.keymap()), xkb_state_unref)
    {
        if (globals.virtualKeyboards && globals.seat) {
            m_virtual = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals.virtualKeyboards, globals.seat);
            sendKeymap(layout);
        } else if (m_fakeInput) {
            org_kde_kwin_fake_input_authenticate(m_fakeInput, "qb_wlkeys", "keys for a test");
        } else {
            Fail("the compositor offers neither zwp_virtual_keyboard_v1 nor org_kde_kwin_fake_input");
        }
        if (wl_display_roundtrip(m_display) < 0)
            Fail("the compositor refused the keyboard");
        // sway drops the first keys of a keyboard that has only just come.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;
    ~Keyboard()
    {
        if (m_virtual)
            zwp_virtual_keyboard_v1_destroy(m_virtual);
        wl_display_roundtrip(m_display);
    }

    void press(const std::vector<uint32_t>& modifiers, uint32_t key)
    {
        for (const uint32_t modifier : modifiers)
            send(modifier, true);
        send(key, true);
        send(key, false);
        for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier)
            send(*modifier, false);
        if (wl_display_roundtrip(m_display) < 0)
            Fail("lost the compositor");
        // Programs read a key's release and the next press apart.
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }

private:
    void sendKeymap(const Layout& layout)
    {
        const std::unique_ptr<char, decltype(&free)> text(
            xkb_keymap_get_as_string(layout.keymap(), XKB_KEYMAP_FORMAT_TEXT_V1), free);
        const size_t size = std::strlen(text.get()) + 1;
        const int fd = memfd_create("qb_wlkeys-keymap", MFD_CLOEXEC);
        if (fd < 0 || write(fd, text.get(), size) != ssize_t(size))
            Fail("cannot hand the keymap over");
        zwp_virtual_keyboard_v1_keymap(m_virtual, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
        close(fd);
    }

    void send(uint32_t evdev, bool down)
    {
        const uint32_t state = down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED;
        if (!m_virtual) {
            org_kde_kwin_fake_input_keyboard_key(m_fakeInput, evdev, state);
            return;
        }
        zwp_virtual_keyboard_v1_key(m_virtual, Now(), evdev, state);
        xkb_state_update_key(m_state.get(), evdev + 8, down ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_modifiers(m_virtual, xkb_state_serialize_mods(m_state.get(), XKB_STATE_MODS_DEPRESSED),
                                          xkb_state_serialize_mods(m_state.get(), XKB_STATE_MODS_LATCHED),
                                          xkb_state_serialize_mods(m_state.get(), XKB_STATE_MODS_LOCKED),
                                          xkb_state_serialize_layout(m_state.get(), XKB_STATE_LAYOUT_EFFECTIVE));
    }

    wl_display* m_display;
    zwp_virtual_keyboard_v1* m_virtual = nullptr;
    org_kde_kwin_fake_input* m_fakeInput;
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> m_state;
};

uint32_t ModifierKey(const std::string& name)
{
    if (name == "ctrl")
        return KEY_LEFTCTRL;
    if (name == "shift")
        return KEY_LEFTSHIFT;
    if (name == "alt")
        return KEY_LEFTALT;
    if (name == "super")
        return KEY_LEFTMETA;
    Fail("no modifier " + name);
}

void PressCombination(Keyboard& keyboard, const Layout& layout, const std::string& combination)
{
    std::vector<uint32_t> modifiers;
    std::string rest = combination;
    for (size_t plus = rest.find('+'); plus != std::string::npos && plus + 1 < rest.size(); plus = rest.find('+')) {
        modifiers.push_back(ModifierKey(rest.substr(0, plus)));
        rest.erase(0, plus + 1);
    }
    const Key key = layout.named(rest);
    if (key.shifted)
        modifiers.push_back(KEY_LEFTSHIFT);
    keyboard.press(modifiers, key.evdev);
}

void Type(Keyboard& keyboard, const Layout& layout, const std::string& text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80)
            Fail("--type takes ASCII text only");
        const std::optional<Key> key = layout.find(xkb_utf32_to_keysym(byte));
        if (!key)
            Fail(std::string("no key for '") + c + "' on the layout");
        keyboard.press(key->shifted ? std::vector<uint32_t>{KEY_LEFTSHIFT} : std::vector<uint32_t>{}, key->evdev);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const bool announce = argc > 1 && std::strcmp(argv[1], "--ready") == 0;
    const int first = announce ? 2 : 1;
    if (argc <= first || (std::strcmp(argv[1], "--type") == 0 && argc != 3)) {
        std::fprintf(stderr, "usage: %s [--ready] KEY... | --type TEXT\n", argv[0]);
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        Fail("no Wayland compositor");
    // Declared first, ended last.
    const std::unique_ptr<wl_display, decltype(&wl_display_disconnect)> connection(display, wl_display_disconnect);
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &RegistryListener, &globals);
    if (wl_display_roundtrip(display) < 0)
        Fail("lost the compositor");

    {
        const Layout layout;
        Keyboard keyboard(display, globals, layout);
        if (std::strcmp(argv[1], "--type") == 0) {
            Type(keyboard, layout, argv[2]);
        } else {
            if (announce) {
                std::puts("ready");
                std::fflush(stdout);
            }
            for (int i = first; i < argc; ++i)
                PressCombination(keyboard, layout, argv[i]);
        }
    }
    wl_registry_destroy(registry);
    return 0;
}
