#include "platform/x11/x11hotkey.h"

#include "platform/x11/x11keyboard.h"
#include "util/virtualkeys.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <X11/keysym.h>

#include <cstdlib>

namespace {

constexpr int ReleasePollMs = 20;

constexpr std::uint16_t relevantModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

} // namespace

X11GlobalHotKey::X11GlobalHotKey(X11Connection& x11, X11KeyMap& keys)
    : m_x11(x11)
    , m_keys(keys)
{
    m_markerWindow = m_x11.createPropertyWindow();
    QCoreApplication::instance()->installNativeEventFilter(this);
    m_releasePoll.setInterval(ReleasePollMs);
    QObject::connect(&m_releasePoll, &QTimer::timeout, [this] {
        if (keyIsDown())
            return;
        // Presses that the server sent before the release may still wait in our queue; a
        // marker sent now comes after all of them.
        m_releasePoll.stop();
        m_markerPending = true;
        xcb_change_property(m_x11.connection(), XCB_PROP_MODE_APPEND, m_markerWindow, m_x11.atom("_QB_KEY_RELEASED"),
                            XCB_ATOM_INTEGER, 32, 0, nullptr);
        xcb_flush(m_x11.connection());
    });
}

X11GlobalHotKey::~X11GlobalHotKey()
{
    clear();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    xcb_destroy_window(m_x11.connection(), m_markerWindow);
    xcb_flush(m_x11.connection());
}

QList<std::uint16_t> X11GlobalHotKey::lockCombinations()
{
    // The modifier that NumLock sets is found in the modifier mapping; Mod2 is usual.
    std::uint16_t numLock = XCB_MOD_MASK_2;
    xcb_connection_t* c = m_x11.connection();
    const xcb_keycode_t numLockCode = m_keys.keycode(static_cast<xcb_keysym_t>(XK_Num_Lock));
    const auto mapping = TakeReply(xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (mapping && numLockCode != 0) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
        const int perModifier = mapping->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int k = 0; k < perModifier; ++k) {
                if (codes[modifier * perModifier + k] == numLockCode)
                    numLock = static_cast<std::uint16_t>(1 << modifier);
            }
        }
    }
    const auto lock = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK);
    return {0, numLock, lock, static_cast<std::uint16_t>(numLock | lock)};
}

bool X11GlobalHotKey::setKey(std::uint16_t virtualKey, std::uint8_t shiftState)
{
    clear();
    const xcb_keycode_t keycode = m_keys.keycode(virtualKey, false);
    if (keycode == 0)
        return false;
    std::uint16_t modifiers = 0;
    if (shiftState & ShiftState::Shift)
        modifiers |= XCB_MOD_MASK_SHIFT;
    if (shiftState & ShiftState::Ctrl)
        modifiers |= XCB_MOD_MASK_CONTROL;
    if (shiftState & ShiftState::Alt)
        modifiers |= XCB_MOD_MASK_1;

    xcb_connection_t* c = m_x11.connection();
    const QList<std::uint16_t> combinations = lockCombinations();
    QList<xcb_void_cookie_t> cookies;
    for (const std::uint16_t locks : combinations) {
        cookies.append(xcb_grab_key_checked(c, 0, m_x11.root(), static_cast<std::uint16_t>(modifiers | locks), keycode,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    // BadAccess when another program holds the key with any of these combinations.
    QList<std::uint16_t> grabbed;
    for (qsizetype i = 0; i < cookies.size(); ++i) {
        xcb_generic_error_t* error = xcb_request_check(c, cookies[i]);
        if (error)
            std::free(error);
        else
            grabbed.append(static_cast<std::uint16_t>(modifiers | combinations[i]));
    }
    if (grabbed.size() != combinations.size()) {
        ungrab(keycode, grabbed);
        return false;
    }
    m_keycode = keycode;
    m_modifiers = modifiers;
    m_grabbed = grabbed;
    return true;
}

void X11GlobalHotKey::ungrab(xcb_keycode_t keycode, const QList<std::uint16_t>& modifierSets)
{
    xcb_connection_t* c = m_x11.connection();
    for (const std::uint16_t modifiers : modifierSets)
        xcb_ungrab_key(c, keycode, m_x11.root(), modifiers);
    xcb_flush(c);
}

void X11GlobalHotKey::clear()
{
    if (m_keycode != 0)
        ungrab(m_keycode, m_grabbed);
    m_grabbed.clear();
    m_keycode = 0;
    m_modifiers = 0;
    m_down = false;
    m_markerPending = false;
    m_releasePoll.stop();
}

void X11GlobalHotKey::setCallback(std::function<void()> callback)
{
    m_callback = std::move(callback);
}

bool X11GlobalHotKey::keyIsDown()
{
    xcb_connection_t* c = m_x11.connection();
    const auto keymap = TakeReply(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    return keymap && m_keycode != 0 && (keymap->keys[m_keycode / 8] & (1 << (m_keycode % 8)));
}

bool X11GlobalHotKey::handlePress(xcb_timestamp_t time)
{
    // The grab stays active while the key is held; end it so that the window brought
    // forward gets the keyboard at once.
    xcb_ungrab_keyboard(m_x11.connection(), time);
    xcb_flush(m_x11.connection());
    // Without detectable auto-repeat, a repeat comes as a release and a press of one time.
    const bool repeat = m_down || time == m_releaseTime;
    m_down = true;
    m_markerPending = false;
    if (!m_releasePoll.isActive())
        m_releasePoll.start();
    return !repeat;
}

void X11GlobalHotKey::handleRelease(xcb_timestamp_t time)
{
    m_down = false;
    m_releaseTime = time;
    m_releasePoll.stop();
}

bool X11GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_MAPPING_NOTIFY) {
        m_keys.refresh(reinterpret_cast<xcb_mapping_notify_event_t*>(event));
        return false;
    }
    if (type == XCB_PROPERTY_NOTIFY
        && reinterpret_cast<xcb_property_notify_event_t*>(event)->window == m_markerWindow) {
        // Unless the key went down again meanwhile, it is up now.
        if (m_markerPending)
            m_down = false;
        m_markerPending = false;
        return true;
    }
    if ((type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) || m_keycode == 0)
        return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->detail != m_keycode)
        return false;
    if (type == XCB_KEY_RELEASE) {
        handleRelease(key->time);
        // Our own windows see the release as usual.
        return key->event == m_x11.root();
    }
    if (key->event != m_x11.root() || (key->state & relevantModifiers) != m_modifiers)
        return false;
    if (handlePress(key->time) && m_callback) {
        // Run outside the native event handling, like any other event handler.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [callback = m_callback] { callback(); }, Qt::QueuedConnection);
    }
    return true;
}
