#pragma once

#include "platform/platform.h"

#include <QElapsedTimer>
#include <QList>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;
class WaylandConnection;

// Keys typed through a virtual keyboard of the compositor (wlroots: sway and others). The
// keyboard carries a US keymap of its own, so that a key means the same whatever layout the
// user's keyboard has; the compositor hands that keymap to the window that gets our keys.
// sway gives its configured layout to every keyboard when its input settings are applied,
// virtual ones too: the keymap goes again before each keystroke.
// The scan code of a key is its Linux input code.
class VirtualKeyboardSynth : public KeyboardSynth {
public:
    // Raises Error when the compositor offers no virtual keyboards or no seat.
    explicit VirtualKeyboardSynth(WaylandConnection& wayland);
    // Lets go of the keys that are still down.
    ~VirtualKeyboardSynth() override;
    VirtualKeyboardSynth(const VirtualKeyboardSynth&) = delete;
    VirtualKeyboardSynth& operator=(const VirtualKeyboardSynth&) = delete;

    std::uint8_t scanCode(std::uint16_t virtualKey) override;
    void keyEvent(std::uint16_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override;
    // A client cannot see the keys of the user's keyboard. Each keyboard of a wlroots seat
    // keeps its own modifiers, and the window that gets our keys sees ours alone, so a
    // modifier the user still holds does not change them: true at once.
    bool waitUntilModifiersReleased(int timeoutMs) override;

private:
    // False when no file for the keymap could be made.
    bool uploadKeymap();
    void release();
    void send(std::uint32_t code, bool press);

    WaylandConnection& m_wayland;
    zwp_virtual_keyboard_manager_v1* m_manager = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    xkb_state* m_state = nullptr;
    QByteArray m_keymapText;
    QList<std::uint32_t> m_down;
    QElapsedTimer m_clock;
};
