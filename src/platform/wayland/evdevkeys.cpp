#include "platform/wayland/evdevkeys.h"

#include "util/virtualkeys.h"

#include <linux/input-event-codes.h>

#include <array>

namespace {

// The keys of the letters a to z, in the order of the alphabet.
constexpr std::array<std::uint32_t, 26> Letters{
    KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
    KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z,
};

constexpr std::array<std::uint32_t, 10> Digits{KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9};

constexpr std::array<std::uint32_t, 10> KeypadDigits{KEY_KP0, KEY_KP1, KEY_KP2, KEY_KP3, KEY_KP4,
                                                     KEY_KP5, KEY_KP6, KEY_KP7, KEY_KP8, KEY_KP9};

constexpr std::array<std::uint32_t, 24> FunctionKeys{
    KEY_F1,  KEY_F2,  KEY_F3,  KEY_F4,  KEY_F5,  KEY_F6,  KEY_F7,  KEY_F8,  KEY_F9,  KEY_F10, KEY_F11, KEY_F12,
    KEY_F13, KEY_F14, KEY_F15, KEY_F16, KEY_F17, KEY_F18, KEY_F19, KEY_F20, KEY_F21, KEY_F22, KEY_F23, KEY_F24,
};

} // namespace

std::optional<std::uint32_t> EvdevKeyCode(std::uint16_t vk, bool extended)
{
    if (vk >= Vk::KeyA && vk < Vk::KeyA + Letters.size())
        return Letters[vk - Vk::KeyA];
    if (vk >= Vk::Key0 && vk < Vk::Key0 + Digits.size())
        return Digits[vk - Vk::Key0];
    if (vk >= Vk::Numpad0 && vk < Vk::Numpad0 + KeypadDigits.size())
        return KeypadDigits[vk - Vk::Numpad0];
    if (vk >= Vk::F1 && vk <= Vk::F24)
        return FunctionKeys[vk - Vk::F1];
    // The navigation keys name the keys of their own block: Windows sends the same virtual
    // keys for the keypad with Num Lock off, but a caller that sends Home means Home.
    switch (vk) {
    case Vk::Back: return KEY_BACKSPACE;
    case Vk::Tab: return KEY_TAB;
    case Vk::Return: return extended ? KEY_KPENTER : KEY_ENTER;
    case Vk::Shift: return extended ? KEY_RIGHTSHIFT : KEY_LEFTSHIFT;
    case Vk::Control: return extended ? KEY_RIGHTCTRL : KEY_LEFTCTRL;
    case Vk::Menu: return extended ? KEY_RIGHTALT : KEY_LEFTALT;
    case Vk::Pause: return KEY_PAUSE;
    case Vk::Capital: return KEY_CAPSLOCK;
    case Vk::Escape: return KEY_ESC;
    case Vk::Space: return KEY_SPACE;
    case Vk::Prior: return KEY_PAGEUP;
    case Vk::Next: return KEY_PAGEDOWN;
    case Vk::End: return KEY_END;
    case Vk::Home: return KEY_HOME;
    case Vk::Left: return KEY_LEFT;
    case Vk::Up: return KEY_UP;
    case Vk::Right: return KEY_RIGHT;
    case Vk::Down: return KEY_DOWN;
    case Vk::Print:
    case Vk::Snapshot: return KEY_SYSRQ;
    case Vk::Insert: return KEY_INSERT;
    case Vk::Delete: return KEY_DELETE;
    case Vk::LWin: return KEY_LEFTMETA;
    case Vk::RWin: return KEY_RIGHTMETA;
    case Vk::Apps: return KEY_COMPOSE;
    case Vk::Multiply: return KEY_KPASTERISK;
    case Vk::Add: return KEY_KPPLUS;
    case Vk::Separator: return KEY_KPCOMMA;
    case Vk::Subtract: return KEY_KPMINUS;
    case Vk::Decimal: return KEY_KPDOT;
    case Vk::Divide: return KEY_KPSLASH;
    case Vk::NumLock: return KEY_NUMLOCK;
    case Vk::Scroll: return KEY_SCROLLLOCK;
    case Vk::LShift: return KEY_LEFTSHIFT;
    case Vk::RShift: return KEY_RIGHTSHIFT;
    case Vk::LControl: return KEY_LEFTCTRL;
    case Vk::RControl: return KEY_RIGHTCTRL;
    case Vk::LMenu: return KEY_LEFTALT;
    case Vk::RMenu: return KEY_RIGHTALT;
    case Vk::Oem1: return KEY_SEMICOLON;
    case Vk::OemPlus: return KEY_EQUAL;
    case Vk::OemComma: return KEY_COMMA;
    case Vk::OemMinus: return KEY_MINUS;
    case Vk::OemPeriod: return KEY_DOT;
    case Vk::Oem2: return KEY_SLASH;
    case Vk::Oem3: return KEY_GRAVE;
    case Vk::Oem4: return KEY_LEFTBRACE;
    case Vk::Oem5: return KEY_BACKSLASH;
    case Vk::Oem6: return KEY_RIGHTBRACE;
    case Vk::Oem7: return KEY_APOSTROPHE;
    case Vk::Oem102: return KEY_102ND;
    default: return std::nullopt;
    }
}
