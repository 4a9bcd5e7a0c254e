// The keys the KDE Plasma tests type, for as long as the product's table is not in the tree.
#include "platform/wayland/evdevkeys.h"

#include "util/virtualkeys.h"

#include <linux/input-event-codes.h>

#include <array>

std::optional<std::uint32_t> EvdevKeyCode(std::uint16_t virtualKey, bool extended)
{
    static constexpr std::array<std::uint32_t, 26> letters{
        KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
        KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
    if (virtualKey >= Vk::KeyA && virtualKey < Vk::KeyA + 26)
        return letters[virtualKey - Vk::KeyA];
    if (virtualKey == Vk::Key0)
        return KEY_0;
    if (virtualKey > Vk::Key0 && virtualKey <= Vk::Key0 + 9)
        return KEY_1 + (virtualKey - Vk::Key0 - 1);
    if (virtualKey >= Vk::F1 && virtualKey <= Vk::F1 + 9)
        return KEY_F1 + (virtualKey - Vk::F1);
    switch (virtualKey) {
    case Vk::F11: return KEY_F11;
    case Vk::F12: return KEY_F12;
    case Vk::Shift: return extended ? KEY_RIGHTSHIFT : KEY_LEFTSHIFT;
    case Vk::Control: return extended ? KEY_RIGHTCTRL : KEY_LEFTCTRL;
    case Vk::Menu: return extended ? KEY_RIGHTALT : KEY_LEFTALT;
    case Vk::Return: return KEY_ENTER;
    case Vk::Escape: return KEY_ESC;
    case Vk::Delete: return KEY_DELETE;
    case Vk::Space: return KEY_SPACE;
    case Vk::OemComma: return KEY_COMMA;
    case Vk::OemPeriod: return KEY_DOT;
    case Vk::OemMinus: return KEY_MINUS;
    case Vk::Oem1: return KEY_SEMICOLON;
    default: return std::nullopt;
    }
}
