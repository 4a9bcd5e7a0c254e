#pragma once

#include "platform/platform.h"

#include <cstdint>

// Types one key with the modifiers of the set (ShiftState bits) held: modifier presses
// in the order Ctrl, Shift, Alt, the key down and up, the releases in reverse order.
// The extended flag goes on the key's own events only.
void SendKeyPress(KeyboardSynth& keyboard, std::uint16_t key, std::uint8_t modifiers, bool extended);

// Makes the window the active one, restoring it first when minimised; true when it is
// active at the end.
[[nodiscard]] bool BringWindowToForeground(WindowSystem& windows, WindowHandle window);

// How long BringWindowToForeground lets the window manager take to act on the request.
inline constexpr int ForegroundWaitMs = 500;
