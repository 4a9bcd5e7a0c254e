#include "dialogs/keyevents.h"

#include "util/virtualkeys.h"

#include <QKeyEvent>

namespace {

// Shifted punctuation of a US layout, which Qt reports by the character it types.
std::uint16_t PunctuationKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Exclam: return Vk::Key0 + 1;
    case Qt::Key_At: return Vk::Key0 + 2;
    case Qt::Key_NumberSign: return Vk::Key0 + 3;
    case Qt::Key_Dollar: return Vk::Key0 + 4;
    case Qt::Key_Percent: return Vk::Key0 + 5;
    case Qt::Key_AsciiCircum: return Vk::Key0 + 6;
    case Qt::Key_Ampersand: return Vk::Key0 + 7;
    case Qt::Key_Asterisk: return Vk::Key0 + 8;
    case Qt::Key_ParenLeft: return Vk::Key0 + 9;
    case Qt::Key_ParenRight: return Vk::Key0;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return Vk::Oem1;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return Vk::OemPlus;
    case Qt::Key_Comma:
    case Qt::Key_Less: return Vk::OemComma;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return Vk::OemMinus;
    case Qt::Key_Period:
    case Qt::Key_Greater: return Vk::OemPeriod;
    case Qt::Key_Slash:
    case Qt::Key_Question: return Vk::Oem2;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return Vk::Oem3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return Vk::Oem4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return Vk::Oem5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return Vk::Oem6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return Vk::Oem7;
    default: return 0;
    }
}

std::uint16_t KeypadKey(int qtKey)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return std::uint16_t(Vk::Numpad0 + (qtKey - Qt::Key_0));
    switch (qtKey) {
    case Qt::Key_Asterisk: return Vk::Multiply;
    case Qt::Key_Plus: return Vk::Add;
    case Qt::Key_Minus: return Vk::Subtract;
    case Qt::Key_Period:
    case Qt::Key_Comma: return Vk::Decimal;
    case Qt::Key_Slash: return Vk::Divide;
    case Qt::Key_Enter: return Vk::Return;
    default: return 0;
    }
}

} // namespace

std::uint16_t VirtualKeyFromQtKey(int qtKey, bool keypad)
{
    if (keypad) {
        if (const std::uint16_t key = KeypadKey(qtKey))
            return key;
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return std::uint16_t(Vk::KeyA + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return std::uint16_t(Vk::Key0 + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return std::uint16_t(Vk::F1 + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Backspace: return Vk::Back;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return Vk::Tab;
    case Qt::Key_Clear: return Vk::Clear;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Vk::Return;
    case Qt::Key_Shift: return Vk::Shift;
    case Qt::Key_Control: return Vk::Control;
    case Qt::Key_Alt: return Vk::Menu;
    case Qt::Key_Pause: return Vk::Pause;
    case Qt::Key_CapsLock: return Vk::Capital;
    case Qt::Key_Escape: return Vk::Escape;
    case Qt::Key_Space: return Vk::Space;
    case Qt::Key_PageUp: return Vk::Prior;
    case Qt::Key_PageDown: return Vk::Next;
    case Qt::Key_End: return Vk::End;
    case Qt::Key_Home: return Vk::Home;
    case Qt::Key_Left: return Vk::Left;
    case Qt::Key_Up: return Vk::Up;
    case Qt::Key_Right: return Vk::Right;
    case Qt::Key_Down: return Vk::Down;
    case Qt::Key_Select: return Vk::Select;
    case Qt::Key_Print: return Vk::Snapshot;
    case Qt::Key_Execute: return Vk::Execute;
    case Qt::Key_Insert: return Vk::Insert;
    case Qt::Key_Delete: return Vk::Delete;
    case Qt::Key_Help: return Vk::Help;
    case Qt::Key_Super_L: return Vk::LWin;
    case Qt::Key_Super_R: return Vk::RWin;
    case Qt::Key_Menu: return Vk::Apps;
    case Qt::Key_NumLock: return Vk::NumLock;
    case Qt::Key_ScrollLock: return Vk::Scroll;
    default: return PunctuationKey(qtKey);
    }
}

HotKey HotKeyFromKeyEvent(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    HotKey pressed;
    pressed.key = VirtualKeyFromQtKey(event.key(), modifiers.testFlag(Qt::KeypadModifier));
    if (modifiers.testFlag(Qt::ShiftModifier))
        pressed.shift |= ShiftState::Shift;
    if (modifiers.testFlag(Qt::AltModifier))
        pressed.shift |= ShiftState::Alt;
    if (modifiers.testFlag(Qt::ControlModifier))
        pressed.shift |= ShiftState::Ctrl;
    return pressed;
}
