#pragma once

#include <QString>

#include <cstdint>

// A key and its set of Shift, Alt and Ctrl (bits of ShiftState). Key 0 is no key.
struct HotKey {
    std::uint16_t key = 0;
    std::uint8_t shift = 0;
    friend bool operator==(const HotKey&, const HotKey&) = default;
};

// The written name of a virtual-key code: stable for every code from 8 to 255 and distinct
// but for the keypad digits, which are named like the main keyboard's; empty for the others.
QString VirtualKeyName(std::uint16_t key);
// "Shift+", "Ctrl+", "Alt+" in this order, for the modifiers in shift (bits of ShiftState).
QString ModifierPrefix(std::uint8_t shift);
// The modifier prefix, then the key's name; empty for no key.
QString HotKeyToText(const HotKey& hotKey);
// Prefixes in any order and case ("^" for Ctrl), then a key name in any case.
// A text that names no key gives key 0.
HotKey TextToHotKey(const QString& text);
// True for a key that types into text (a letter, digit or other character, Space, Tab,
// Enter, Backspace) pressed without Ctrl or Alt. Claimed system-wide, such a key would be
// taken from every program.
bool TypesText(const HotKey& hotKey);
