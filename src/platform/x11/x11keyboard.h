#pragma once

#include "platform/platform.h"
#include "platform/x11/x11connection.h"

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
class X11KeyboardSynth : public KeyboardSynth {
public:
    X11KeyboardSynth(X11Connection& x11, X11KeyMap& keys);

    std::uint8_t scanCode(std::uint16_t virtualKey) override;
    void keyEvent(std::uint16_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override;
    bool waitUntilModifiersReleased(int timeoutMs) override;

private:
    bool modifierHeld();

    X11Connection& m_x11;
    X11KeyMap& m_keys;
};
