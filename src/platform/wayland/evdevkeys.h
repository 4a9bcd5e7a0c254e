#pragma once

#include <cstdint>
#include <optional>

// The Linux input (evdev) code of the key that a Windows virtual key names on a US keyboard,
// with `extended` choosing the right-hand or keypad key where Windows tells them apart; no
// value for a virtual key no such key has. Wayland's virtual keyboards take these codes.
std::optional<std::uint32_t> EvdevKeyCode(std::uint16_t virtualKey, bool extended);
