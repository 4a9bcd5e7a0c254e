#pragma once

#include <cstdint>

// Virtual-key codes in the Windows numbering, which stored hot-key texts and the
// key synthesis use on every platform.
namespace Vk {
inline constexpr std::uint16_t Back = 0x08;
inline constexpr std::uint16_t Tab = 0x09;
inline constexpr std::uint16_t Clear = 0x0C;
inline constexpr std::uint16_t Return = 0x0D;
inline constexpr std::uint16_t Shift = 0x10;
inline constexpr std::uint16_t Control = 0x11;
inline constexpr std::uint16_t Menu = 0x12; // Alt
inline constexpr std::uint16_t Pause = 0x13;
inline constexpr std::uint16_t Capital = 0x14;
inline constexpr std::uint16_t Escape = 0x1B;
inline constexpr std::uint16_t Space = 0x20;
inline constexpr std::uint16_t Prior = 0x21; // Page Up
inline constexpr std::uint16_t Next = 0x22; // Page Down
inline constexpr std::uint16_t End = 0x23;
inline constexpr std::uint16_t Home = 0x24;
inline constexpr std::uint16_t Left = 0x25;
inline constexpr std::uint16_t Up = 0x26;
inline constexpr std::uint16_t Right = 0x27;
inline constexpr std::uint16_t Down = 0x28;
inline constexpr std::uint16_t Select = 0x29;
inline constexpr std::uint16_t Print = 0x2A;
inline constexpr std::uint16_t Execute = 0x2B;
inline constexpr std::uint16_t Snapshot = 0x2C;
inline constexpr std::uint16_t Insert = 0x2D;
inline constexpr std::uint16_t Delete = 0x2E;
inline constexpr std::uint16_t Help = 0x2F;
inline constexpr std::uint16_t Key0 = 0x30; // '0'..'9' are 0x30..0x39
inline constexpr std::uint16_t KeyA = 0x41; // 'A'..'Z' are 0x41..0x5A
inline constexpr std::uint16_t KeyV = 0x56;
inline constexpr std::uint16_t LWin = 0x5B;
inline constexpr std::uint16_t RWin = 0x5C;
inline constexpr std::uint16_t Apps = 0x5D;
inline constexpr std::uint16_t Numpad0 = 0x60; // 0x60..0x69
inline constexpr std::uint16_t Multiply = 0x6A;
inline constexpr std::uint16_t Add = 0x6B;
inline constexpr std::uint16_t Separator = 0x6C;
inline constexpr std::uint16_t Subtract = 0x6D;
inline constexpr std::uint16_t Decimal = 0x6E;
inline constexpr std::uint16_t Divide = 0x6F;
inline constexpr std::uint16_t F1 = 0x70; // F1..F24 are 0x70..0x87
inline constexpr std::uint16_t F2 = 0x71;
inline constexpr std::uint16_t F3 = 0x72;
inline constexpr std::uint16_t F4 = 0x73;
inline constexpr std::uint16_t F11 = 0x7A;
inline constexpr std::uint16_t F12 = 0x7B;
inline constexpr std::uint16_t F24 = 0x87;
inline constexpr std::uint16_t NumLock = 0x90;
inline constexpr std::uint16_t Scroll = 0x91;
inline constexpr std::uint16_t LShift = 0xA0;
inline constexpr std::uint16_t RShift = 0xA1;
inline constexpr std::uint16_t LControl = 0xA2;
inline constexpr std::uint16_t RControl = 0xA3;
inline constexpr std::uint16_t LMenu = 0xA4;
inline constexpr std::uint16_t RMenu = 0xA5;
inline constexpr std::uint16_t Oem1 = 0xBA; // ;:
inline constexpr std::uint16_t OemPlus = 0xBB; // =+
inline constexpr std::uint16_t OemComma = 0xBC; // ,<
inline constexpr std::uint16_t OemMinus = 0xBD; // -_
inline constexpr std::uint16_t OemPeriod = 0xBE; // .>
inline constexpr std::uint16_t Oem2 = 0xBF; // /?
inline constexpr std::uint16_t Oem3 = 0xC0; // `~
inline constexpr std::uint16_t Oem4 = 0xDB; // [{
inline constexpr std::uint16_t Oem5 = 0xDC; // backslash |
inline constexpr std::uint16_t Oem6 = 0xDD; // ]}
inline constexpr std::uint16_t Oem7 = 0xDE; // '"
inline constexpr std::uint16_t Oem102 = 0xE2; // <> on 102-key keyboards
} // namespace Vk

// The modifier set: bit 0 Shift, bit 1 Alt, bit 2 Ctrl.
namespace ShiftState {
inline constexpr std::uint8_t Shift = 1;
inline constexpr std::uint8_t Alt = 2;
inline constexpr std::uint8_t Ctrl = 4;
} // namespace ShiftState
