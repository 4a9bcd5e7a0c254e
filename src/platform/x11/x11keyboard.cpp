#include "platform/x11/x11keyboard.h"

#include "util/errors.h"
#include "util/virtualkeys.h"

#include <QCoreApplication>

#include <X11/keysym.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 MappingReuseMs = 200;

// X key codes of the letters a to z in their places on a US keyboard (the same in the evdev
// and the older XFree86 numbering): the keys that Chromium takes for those letters.
constexpr std::array<xcb_keycode_t, 26> LetterPlaces{38, 56, 54, 40, 26, 41, 42, 43, 31, 44, 45, 46, 58,
                                                     57, 32, 33, 24, 27, 39, 28, 30, 55, 25, 53, 29, 52};

// A key's keysyms without the empty columns at the end, whose number changes with the
// widest key of the mapping.
QList<xcb_keysym_t> WithoutEmptyEnd(QList<xcb_keysym_t> keysyms)
{
    while (!keysyms.isEmpty() && keysyms.back() == XCB_NO_SYMBOL)
        keysyms.removeLast();
    return keysyms;
}

} // namespace

xcb_keysym_t VirtualKeyToKeysym(std::uint16_t vk, bool extended)
{
    if (vk >= Vk::KeyA && vk <= Vk::KeyA + 25)
        return XK_a + (vk - Vk::KeyA);
    if (vk >= Vk::Key0 && vk <= Vk::Key0 + 9)
        return XK_0 + (vk - Vk::Key0);
    if (vk >= Vk::Numpad0 && vk <= Vk::Numpad0 + 9)
        return XK_KP_0 + (vk - Vk::Numpad0);
    if (vk >= Vk::F1 && vk <= Vk::F24)
        return XK_F1 + (vk - Vk::F1);
    switch (vk) {
    case Vk::Back: return XK_BackSpace;
    case Vk::Tab: return XK_Tab;
    case Vk::Clear: return XK_Clear;
    case Vk::Return: return extended ? XK_KP_Enter : XK_Return;
    case Vk::Shift: return extended ? XK_Shift_R : XK_Shift_L;
    case Vk::Control: return extended ? XK_Control_R : XK_Control_L;
    case Vk::Menu: return extended ? XK_Alt_R : XK_Alt_L;
    case Vk::Pause: return XK_Pause;
    case Vk::Capital: return XK_Caps_Lock;
    case Vk::Escape: return XK_Escape;
    case Vk::Space: return XK_space;
    case Vk::Prior: return XK_Prior;
    case Vk::Next: return XK_Next;
    case Vk::End: return XK_End;
    case Vk::Home: return XK_Home;
    case Vk::Left: return XK_Left;
    case Vk::Up: return XK_Up;
    case Vk::Right: return XK_Right;
    case Vk::Down: return XK_Down;
    case Vk::Select: return XK_Select;
    case Vk::Print: return XK_Print;
    case Vk::Execute: return XK_Execute;
    case Vk::Snapshot: return XK_Print;
    case Vk::Insert: return XK_Insert;
    case Vk::Delete: return XK_Delete;
    case Vk::Help: return XK_Help;
    case Vk::LWin: return XK_Super_L;
    case Vk::RWin: return XK_Super_R;
    case Vk::Apps: return XK_Menu;
    case Vk::Multiply: return XK_KP_Multiply;
    case Vk::Add: return XK_KP_Add;
    case Vk::Separator: return XK_KP_Separator;
    case Vk::Subtract: return XK_KP_Subtract;
    case Vk::Decimal: return XK_KP_Decimal;
    case Vk::Divide: return XK_KP_Divide;
    case Vk::NumLock: return XK_Num_Lock;
    case Vk::Scroll: return XK_Scroll_Lock;
    case Vk::LShift: return XK_Shift_L;
    case Vk::RShift: return XK_Shift_R;
    case Vk::LControl: return XK_Control_L;
    case Vk::RControl: return XK_Control_R;
    case Vk::LMenu: return XK_Alt_L;
    case Vk::RMenu: return XK_Alt_R;
    case Vk::Oem1: return XK_semicolon;
    case Vk::OemPlus: return XK_equal;
    case Vk::OemComma: return XK_comma;
    case Vk::OemMinus: return XK_minus;
    case Vk::OemPeriod: return XK_period;
    case Vk::Oem2: return XK_slash;
    case Vk::Oem3: return XK_grave;
    case Vk::Oem4: return XK_bracketleft;
    case Vk::Oem5: return XK_backslash;
    case Vk::Oem6: return XK_bracketright;
    case Vk::Oem7: return XK_apostrophe;
    case Vk::Oem102: return XK_less;
    default: return 0;
    }
}

X11KeyMap::X11KeyMap(X11Connection& x11)
    : m_symbols(xcb_key_symbols_alloc(x11.connection()))
{ }

X11KeyMap::~X11KeyMap()
{
    xcb_key_symbols_free(m_symbols);
}

xcb_keycode_t X11KeyMap::keycode(xcb_keysym_t keysym)
{
    if (keysym == 0)
        return 0;
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_symbols, keysym);
    const xcb_keycode_t first = codes ? codes[0] : 0;
    std::free(codes);
    return first == XCB_NO_SYMBOL ? 0 : first;
}

xcb_keycode_t X11KeyMap::keycode(std::uint16_t virtualKey, bool extended)
{
    return keycode(VirtualKeyToKeysym(virtualKey, extended));
}

void X11KeyMap::refresh(xcb_mapping_notify_event_t* event)
{
    xcb_refresh_keyboard_mapping(m_symbols, event);
}

X11KeyboardSynth::X11KeyboardSynth(X11Connection& x11, X11KeyMap& keys)
    : m_x11(x11)
    , m_keys(keys)
{
    m_markerWindow = m_x11.createPropertyWindow();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

std::uint8_t X11KeyboardSynth::scanCode(std::uint16_t virtualKey)
{
    return m_keys.keycode(virtualKey, false);
}

void X11KeyboardSynth::keyEvent(std::uint16_t virtualKey, std::uint8_t, std::uint32_t flags)
{
    xcb_connection_t* c = m_x11.connection();
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(c, &xcb_test_id);
    if (!xtest || !xtest->present)
        throw Error(u"The X server does not offer synthesized keys (XTEST extension missing)."_s);
    // A key without a keysym, or when no key code is free for it, is lost, as a key that the
    // desktop blocks.
    const xcb_keysym_t keysym = VirtualKeyToKeysym(virtualKey, (flags & ExtendedKey) != 0);
    if (keysym == 0)
        return;
    const Mapping current = mapping();
    xcb_keycode_t code = current.keycode(keysym);
    if (code == 0)
        code = letterPlaceKeycode(current, keysym);
    if (code == 0)
        code = spareKeycode(current, keysym);
    if (code == 0)
        return;
    xcb_test_fake_input(c, (flags & KeyUp) ? XCB_KEY_RELEASE : XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
    m_sent.append({code, (flags & KeyUp) == 0});
    // The PropertyNotify that answers this change carries a server time no earlier than the
    // key event's: keys of ours can be told from the user's later ones by their time.
    xcb_change_property(c, XCB_PROP_MODE_APPEND, m_markerWindow, m_x11.atom("_QB_KEYS_SENT"), XCB_ATOM_INTEGER, 32, 0,
                        nullptr);
    ++m_unmarked;
    xcb_flush(c);
}

X11KeyboardSynth::~X11KeyboardSynth()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    xcb_destroy_window(m_x11.connection(), m_markerWindow);
    // As the server has it now: the user may have changed the layout a moment ago.
    m_mappingRead.invalidate();
    const Mapping current = mapping();
    for (const auto& [keysym, code] : m_spare) {
        if (current.keycode(keysym) == code)
            bind(code, XCB_NO_SYMBOL, current.perKeycode);
    }
    // Unless the layout has changed since.
    for (const Borrowed& key : std::as_const(m_borrowed)) {
        if (WithoutEmptyEnd(current.keysymsOf(key.code)) == WithoutEmptyEnd(key.during))
            setKeysyms(key.code, key.before);
    }
    xcb_flush(m_x11.connection());
}

xcb_keycode_t X11KeyboardSynth::Mapping::keycode(xcb_keysym_t keysym) const
{
    const qsizetype at = keysyms.indexOf(keysym);
    return at < 0 || perKeycode == 0 ? 0 : xcb_keycode_t(first + at / perKeycode);
}

QList<xcb_keysym_t> X11KeyboardSynth::Mapping::keysymsOf(xcb_keycode_t code) const
{
    const qsizetype at = (qsizetype(code) - first) * perKeycode;
    if (perKeycode == 0 || code < first || at + perKeycode > keysyms.size())
        return {};
    return keysyms.mid(at, perKeycode);
}

X11KeyboardSynth::Mapping X11KeyboardSynth::mapping()
{
    // The keys of one keystroke go out within milliseconds: one reading serves them all.
    if (m_mappingRead.isValid() && m_mappingRead.elapsed() < MappingReuseMs)
        return m_mapping;
    xcb_connection_t* c = m_x11.connection();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const auto reply = TakeReply(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, std::uint8_t(count)), nullptr));
    Mapping result;
    if (!reply)
        return result;
    result.first = setup->min_keycode;
    result.perKeycode = reply->keysyms_per_keycode;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.get());
    result.keysyms = QList<xcb_keysym_t>(keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(reply.get()));
    m_mapping = result;
    m_mappingRead.start();
    return result;
}

void X11KeyboardSynth::bind(xcb_keycode_t code, xcb_keysym_t keysym, int perKeycode)
{
    // The keysym on both levels, so that Shift does not change it.
    QList<xcb_keysym_t> keysyms(perKeycode, XCB_NO_SYMBOL);
    for (int level = 0; level < std::min(perKeycode, 2); ++level)
        keysyms[level] = keysym;
    xcb_change_keyboard_mapping(m_x11.connection(), 1, code, std::uint8_t(perKeycode), keysyms.constData());
}

void X11KeyboardSynth::setKeysyms(xcb_keycode_t code, const QList<xcb_keysym_t>& keysyms)
{
    xcb_change_keyboard_mapping(m_x11.connection(), 1, code, std::uint8_t(keysyms.size()), keysyms.constData());
    m_mappingRead.invalidate();
}

xcb_keycode_t X11KeyboardSynth::letterPlaceKeycode(const Mapping& current, xcb_keysym_t keysym)
{
    // The core mapping's first four columns are group 1 and group 2, levels 1 and 2.
    constexpr int GroupColumns = 4;
    if (keysym < XK_a || keysym > XK_z || current.perKeycode < GroupColumns)
        return 0;
    const xcb_keycode_t code = LetterPlaces[keysym - XK_a];
    const QList<xcb_keysym_t> before = current.keysymsOf(code);
    if (before.isEmpty() || before[0] == XCB_NO_SYMBOL)
        return 0;
    // Only a key of one group: its second group is empty or repeats the first.
    const bool oneGroup = (before[2] == XCB_NO_SYMBOL && before[3] == XCB_NO_SYMBOL)
        || (before[2] == before[0] && before[3] == before[1]);
    if (!oneGroup)
        return 0;
    QList<xcb_keysym_t> during = before;
    during[2] = keysym;
    during[3] = keysym - (XK_a - XK_A);
    setKeysyms(code, during);
    m_borrowed.removeIf([code](const Borrowed& key) { return key.code == code; });
    m_borrowed.append({code, before, during});
    return code;
}

xcb_keycode_t X11KeyboardSynth::spareKeycode(const Mapping& current, xcb_keysym_t keysym)
{
    if (keysym == 0 || current.perKeycode == 0)
        return 0;
    // The highest code without any keysym: no physical key sends it.
    for (qsizetype row = current.keysyms.size() / current.perKeycode - 1; row >= 0; --row) {
        const auto begin = current.keysyms.cbegin() + row * current.perKeycode;
        if (std::all_of(begin, begin + current.perKeycode, [](xcb_keysym_t k) { return k == XCB_NO_SYMBOL; })) {
            const auto code = xcb_keycode_t(current.first + row);
            bind(code, keysym, current.perKeycode);
            m_mappingRead.invalidate();
            m_spare.removeIf([keysym](const auto& entry) { return entry.first == keysym; });
            m_spare.append({keysym, code});
            return code;
        }
    }
    return 0;
}

bool X11KeyboardSynth::modifierHeld()
{
    static constexpr xcb_keysym_t modifiers[]
        = {XK_Shift_L, XK_Shift_R, XK_Control_L, XK_Control_R, XK_Alt_L,   XK_Alt_R,           XK_Meta_L,
           XK_Meta_R,  XK_Super_L, XK_Super_R,   XK_Hyper_L,   XK_Hyper_R, XK_ISO_Level3_Shift};
    xcb_connection_t* c = m_x11.connection();
    const auto keymap = TakeReply(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    if (!keymap)
        return false;
    for (const xcb_keysym_t keysym : modifiers) {
        const xcb_keycode_t code = m_keys.keycode(keysym);
        if (code != 0 && (keymap->keys[code / 8] & (1 << (code % 8))))
            return true;
    }
    return false;
}

bool X11KeyboardSynth::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const int type = event->response_type & 0x7F;
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if (change->window != m_markerWindow)
            return false;
        --m_unmarked;
        m_horizon = change->time;
        return true;
    }
    if ((type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) || m_sent.isEmpty())
        return false;
    // Key press and release events share one layout.
    const auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    const xcb_setup_t* setup = xcb_get_setup(m_x11.connection());
    if ((key->event & ~setup->resource_id_mask) != setup->resource_id_base)
        return false;
    // A key after the last of ours: the user's, and ours have all gone elsewhere.
    if (m_unmarked == 0 && std::int32_t(key->time - m_horizon) > 0) {
        m_sent.clear();
        return false;
    }
    const auto sent = std::find_if(m_sent.cbegin(), m_sent.cend(), [&](const Sent& s) {
        return s.code == key->detail && s.press == (type == XCB_KEY_PRESS);
    });
    if (sent == m_sent.cend())
        return false;
    m_sent.erase(sent);
    return true;
}

bool X11KeyboardSynth::waitUntilModifiersReleased(int timeoutMs)
{
    return m_x11.waitFor([this] { return !modifierHeld(); }, timeoutMs);
}
