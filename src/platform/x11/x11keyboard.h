#pragma once

#include "platform/platform.h"
#include "platform/x11/x11connection.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>

#include <xcb/xcb_keysyms.h>

// The keysym of a virtual key; the extended flag picks the right-hand modifier and the
// keypad Enter. 0 for keys that have no keysym.
xcb_keysym_t VirtualKeyToKeysym(std::uint16_t virtualKey, bool extended);

// Key codes of the current keyboard mapping.
class X11KeyMap {
public:
    explicit X11KeyMap(X11Connection& x11);
    ~X11KeyMap();
    X11KeyMap(const X11KeyMap&) = delete;
    X11KeyMap& operator=(const X11KeyMap&) = delete;

    // The first key code that gives the keysym, or 0.
    xcb_keycode_t keycode(xcb_keysym_t keysym);
    xcb_keycode_t keycode(std::uint16_t virtualKey, bool extended);
    // After a MappingNotify event.
    void refresh(xcb_mapping_notify_event_t* event);

private:
    xcb_key_symbols_t* m_symbols;
};

// Keys synthesized through the XTEST extension. The scan code of a key is its X key code.
// A Latin letter that the keyboard layout lacks (a Cyrillic-only layout) is added as a
// second group of the key in the letter's place on a US keyboard: GTK and Qt look for a
// shortcut's letter in every group of the pressed key, and Chromium knows shortcut keys by
// their place alone, so Ctrl+V is Ctrl+V to all of them, while the key types what it typed
// before. Other keys that the layout lacks are typed on a spare key code bound to them.
// Synthesized keys that reach one of our own windows (the window they were meant for went
// away in between) are dropped there, so our own key handling never acts on them.
class X11KeyboardSynth : public KeyboardSynth, public QAbstractNativeEventFilter {
public:
    X11KeyboardSynth(X11Connection& x11, X11KeyMap& keys);
    // Unbinds the spare key codes and gives borrowed keys their own symbols back.
    ~X11KeyboardSynth() override;
    X11KeyboardSynth(const X11KeyboardSynth&) = delete;
    X11KeyboardSynth& operator=(const X11KeyboardSynth&) = delete;

    std::uint8_t scanCode(std::uint16_t virtualKey) override;
    void keyEvent(std::uint16_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override;
    bool waitUntilModifiersReleased(int timeoutMs) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // A synthesized key event, until it is dropped at our window or has surely gone elsewhere.
    struct Sent {
        xcb_keycode_t code = 0;
        bool press = true;
    };
    // The server's keyboard mapping as it is now (a layout may have changed since start).
    struct Mapping {
        xcb_keycode_t first = 0;
        int perKeycode = 0;
        QList<xcb_keysym_t> keysyms;
        // The first key code that gives the keysym at any level, or 0.
        xcb_keycode_t keycode(xcb_keysym_t keysym) const;
        // The keysyms of the key code, or none when it is out of range.
        QList<xcb_keysym_t> keysymsOf(xcb_keycode_t code) const;
    };
    Mapping mapping();
    bool modifierHeld();
    // A key code for a keysym that no key gives: a spare code bound to it, or 0.
    xcb_keycode_t spareKeycode(const Mapping& current, xcb_keysym_t keysym);
    void bind(xcb_keycode_t code, xcb_keysym_t keysym, int perKeycode);
    // The key in the letter's place, with the letter added as its second group, or 0.
    xcb_keycode_t letterPlaceKeycode(const Mapping& current, xcb_keysym_t keysym);
    void setKeysyms(xcb_keycode_t code, const QList<xcb_keysym_t>& keysyms);

    X11Connection& m_x11;
    X11KeyMap& m_keys;
    QList<std::pair<xcb_keysym_t, xcb_keycode_t>> m_spare;
    // A key given a second group: its symbols before and while borrowed.
    struct Borrowed {
        xcb_keycode_t code = 0;
        QList<xcb_keysym_t> before;
        QList<xcb_keysym_t> during;
    };
    QList<Borrowed> m_borrowed;
    QList<Sent> m_sent;
    // Marks after our keys: how many have not come back yet, and the time of the last one.
    xcb_window_t m_markerWindow = XCB_NONE;
    int m_unmarked = 0;
    xcb_timestamp_t m_horizon = 0;
    Mapping m_mapping;
    QElapsedTimer m_mappingRead;
};
