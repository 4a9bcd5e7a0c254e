#include "settings/hotkeytext.h"

#include "util/virtualkeys.h"

#include <array>

using namespace Qt::StringLiterals;

namespace {

// Names of the keys that a keyboard layout would name itself.
struct NamedKey {
    std::uint16_t key;
    const char16_t* name;
};

constexpr std::array LayoutNames{
    NamedKey{Vk::Clear, u"Clear"},
    NamedKey{Vk::Shift, u"Shift"},
    NamedKey{Vk::Control, u"Ctrl"},
    NamedKey{Vk::Menu, u"Alt"},
    NamedKey{Vk::Pause, u"Pause"},
    NamedKey{Vk::Capital, u"Caps Lock"},
    NamedKey{Vk::Select, u"Select"},
    NamedKey{Vk::Print, u"Print"},
    NamedKey{Vk::Execute, u"Execute"},
    NamedKey{Vk::Snapshot, u"Print Screen"},
    NamedKey{Vk::Help, u"Help"},
    NamedKey{Vk::LWin, u"Left Windows"},
    NamedKey{Vk::RWin, u"Right Windows"},
    NamedKey{Vk::Apps, u"Application"},
    NamedKey{Vk::Multiply, u"Num *"},
    NamedKey{Vk::Add, u"Num +"},
    NamedKey{Vk::Separator, u"Num Separator"},
    NamedKey{Vk::Subtract, u"Num -"},
    NamedKey{Vk::Decimal, u"Num Del"},
    NamedKey{Vk::Divide, u"Num /"},
    NamedKey{Vk::NumLock, u"Num Lock"},
    NamedKey{Vk::Scroll, u"Scroll Lock"},
    NamedKey{Vk::LShift, u"Left Shift"},
    NamedKey{Vk::RShift, u"Right Shift"},
    NamedKey{Vk::LControl, u"Left Ctrl"},
    NamedKey{Vk::RControl, u"Right Ctrl"},
    NamedKey{Vk::LMenu, u"Left Alt"},
    NamedKey{Vk::RMenu, u"Right Alt"},
    NamedKey{Vk::Oem1, u";"},
    NamedKey{Vk::OemPlus, u"="},
    NamedKey{Vk::OemComma, u","},
    NamedKey{Vk::OemMinus, u"-"},
    NamedKey{Vk::OemPeriod, u"."},
    NamedKey{Vk::Oem2, u"/"},
    NamedKey{Vk::Oem3, u"`"},
    NamedKey{Vk::Oem4, u"["},
    NamedKey{Vk::Oem5, u"\\"},
    NamedKey{Vk::Oem6, u"]"},
    NamedKey{Vk::Oem7, u"'"},
    NamedKey{Vk::Oem102, u"OEM 102"},
};

bool takePrefix(QString& text, QStringView prefix)
{
    if (!text.startsWith(prefix, Qt::CaseInsensitive))
        return false;
    text.remove(0, prefix.size());
    return true;
}

} // namespace

QString VirtualKeyName(std::uint16_t key)
{
    switch (key) {
    case Vk::Back: return u"BkSp"_s;
    case Vk::Tab: return u"Tab"_s;
    case Vk::Return: return u"Enter"_s;
    case Vk::Escape: return u"Esc"_s;
    case Vk::Space: return u"Space"_s;
    case Vk::Prior: return u"PgUp"_s;
    case Vk::Next: return u"PgDn"_s;
    case Vk::End: return u"End"_s;
    case Vk::Home: return u"Home"_s;
    case Vk::Left: return u"Left"_s;
    case Vk::Up: return u"Up"_s;
    case Vk::Right: return u"Right"_s;
    case Vk::Down: return u"Down"_s;
    case Vk::Insert: return u"Ins"_s;
    case Vk::Delete: return u"Del"_s;
    default: break;
    }
    if (key >= Vk::Key0 && key <= Vk::Key0 + 9)
        return QString(QChar(key));
    if (key >= Vk::KeyA && key <= Vk::KeyA + 25)
        return QString(QChar(key));
    if (key >= Vk::Numpad0 && key <= Vk::Numpad0 + 9)
        return QString(QChar(u'0' + (key - Vk::Numpad0)));
    if (key >= Vk::F1 && key <= Vk::F24)
        return u"F"_s + QString::number(key - Vk::F1 + 1);
    for (const NamedKey& named : LayoutNames) {
        if (named.key == key)
            return QString::fromUtf16(named.name);
    }
    if (key >= 8 && key <= 255)
        return u"Key "_s + QString::number(key, 16).toUpper().rightJustified(2, u'0');
    return {};
}

QString ModifierPrefix(std::uint8_t shift)
{
    QString text;
    if (shift & ShiftState::Shift)
        text += u"Shift+"_s;
    if (shift & ShiftState::Ctrl)
        text += u"Ctrl+"_s;
    if (shift & ShiftState::Alt)
        text += u"Alt+"_s;
    return text;
}

QString HotKeyToText(const HotKey& hotKey)
{
    const QString name = VirtualKeyName(hotKey.key);
    if (name.isEmpty())
        return {};
    return ModifierPrefix(hotKey.shift) + name;
}

HotKey TextToHotKey(const QString& text)
{
    QString rest = text;
    std::uint8_t shift = 0;
    for (;;) {
        if (takePrefix(rest, u"Shift+"))
            shift |= ShiftState::Shift;
        else if (takePrefix(rest, u"^") || takePrefix(rest, u"Ctrl+"))
            shift |= ShiftState::Ctrl;
        else if (takePrefix(rest, u"Alt+"))
            shift |= ShiftState::Alt;
        else
            break;
    }
    if (rest.isEmpty())
        return {};
    for (std::uint16_t key = 8; key <= 255; ++key) {
        if (VirtualKeyName(key).compare(rest, Qt::CaseInsensitive) == 0)
            return HotKey{key, shift};
    }
    return {};
}

bool TypesText(const HotKey& hotKey)
{
    if (hotKey.shift & (ShiftState::Ctrl | ShiftState::Alt))
        return false;
    const std::uint16_t key = hotKey.key;
    switch (key) {
    case Vk::Back:
    case Vk::Tab:
    case Vk::Return:
    case Vk::Space: return true;
    default: break;
    }
    return (key >= Vk::Key0 && key <= Vk::Key0 + 9) || (key >= Vk::KeyA && key <= Vk::KeyA + 25)
        || (key >= Vk::Numpad0 && key <= Vk::Divide) || (key >= Vk::Oem1 && key <= Vk::Oem3)
        || (key >= Vk::Oem4 && key <= Vk::Oem7) || key == Vk::Oem102;
}
