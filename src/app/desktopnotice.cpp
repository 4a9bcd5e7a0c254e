#include "app/desktopnotice.h"

#include "settings/settings.h"
#include "util/interaction.h"
#include "util/virtualkeys.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace {

struct KeyName {
    std::uint16_t key;
    QStringView name;
};

constexpr std::array SwayKeyNames{
    KeyName{Vk::Back, u"BackSpace"},
    KeyName{Vk::Tab, u"Tab"},
    KeyName{Vk::Clear, u"Clear"},
    KeyName{Vk::Return, u"Return"},
    KeyName{Vk::Pause, u"Pause"},
    KeyName{Vk::Capital, u"Caps_Lock"},
    KeyName{Vk::Escape, u"Escape"},
    KeyName{Vk::Space, u"space"},
    KeyName{Vk::Prior, u"Prior"},
    KeyName{Vk::Next, u"Next"},
    KeyName{Vk::End, u"End"},
    KeyName{Vk::Home, u"Home"},
    KeyName{Vk::Left, u"Left"},
    KeyName{Vk::Up, u"Up"},
    KeyName{Vk::Right, u"Right"},
    KeyName{Vk::Down, u"Down"},
    KeyName{Vk::Select, u"Select"},
    KeyName{Vk::Print, u"Print"},
    KeyName{Vk::Execute, u"Execute"},
    KeyName{Vk::Snapshot, u"Print"},
    KeyName{Vk::Insert, u"Insert"},
    KeyName{Vk::Delete, u"Delete"},
    KeyName{Vk::Help, u"Help"},
    KeyName{Vk::Apps, u"Menu"},
    KeyName{Vk::Multiply, u"KP_Multiply"},
    KeyName{Vk::Add, u"KP_Add"},
    KeyName{Vk::Separator, u"KP_Separator"},
    KeyName{Vk::Subtract, u"KP_Subtract"},
    KeyName{Vk::Decimal, u"KP_Decimal"},
    KeyName{Vk::Divide, u"KP_Divide"},
    KeyName{Vk::NumLock, u"Num_Lock"},
    KeyName{Vk::Scroll, u"Scroll_Lock"},
    KeyName{Vk::Oem1, u"semicolon"},
    KeyName{Vk::OemPlus, u"equal"},
    KeyName{Vk::OemComma, u"comma"},
    KeyName{Vk::OemMinus, u"minus"},
    KeyName{Vk::OemPeriod, u"period"},
    KeyName{Vk::Oem2, u"slash"},
    KeyName{Vk::Oem3, u"grave"},
    KeyName{Vk::Oem4, u"bracketleft"},
    KeyName{Vk::Oem5, u"backslash"},
    KeyName{Vk::Oem6, u"bracketright"},
    KeyName{Vk::Oem7, u"apostrophe"},
};

QString SwayKeySymbol(std::uint16_t key)
{
    if (key >= Vk::KeyA && key < Vk::KeyA + 26)
        return QString(QChar(u'a' + (key - Vk::KeyA)));
    if (key >= Vk::Key0 && key < Vk::Key0 + 10)
        return QString(QChar(u'0' + (key - Vk::Key0)));
    if (key >= Vk::Numpad0 && key < Vk::Numpad0 + 10)
        return u"KP_"_s + QChar(u'0' + (key - Vk::Numpad0));
    if (key >= Vk::F1 && key <= Vk::F24)
        return u"F"_s + QString::number(key - Vk::F1 + 1);
    for (const KeyName& entry : SwayKeyNames) {
        if (entry.key == key)
            return entry.name.toString();
    }
    return {};
}

// The path as a shell reads it, quoted when it holds more than plain characters.
QString ShellWord(const QString& text)
{
    static const QRegularExpression plain(u"^[A-Za-z0-9_./+-]+$"_s);
    if (plain.match(text).hasMatch())
        return text;
    QString quoted = text;
    return u'\'' + quoted.replace(u"'"_s, u"'\\''"_s) + u'\'';
}

struct Part {
    bool DesktopAbilities::*ability;
    QString text;
};

const Part Parts[] = {
    {&DesktopAbilities::otherWindows, u"finding the mail program's window and bringing it to the front"_s},
    {&DesktopAbilities::typing, u"pasting into it"_s},
    {&DesktopAbilities::clipboard, u"keeping your clipboard and putting it back after a send"_s},
    {&DesktopAbilities::activationKey, u"a key of this program's own that calls it up from every other program"_s},
};

bool EverythingWorks(const DesktopAbilities& abilities)
{
    return std::all_of(std::begin(Parts), std::end(Parts), [&](const Part& part) { return abilities.*part.ability; });
}

// The desktop and its abilities, as options.ini remembers the notice shown last.
QString NoticeFor(const DesktopAbilities& abilities)
{
    QString flags;
    for (const Part& part : Parts)
        flags += abilities.*part.ability ? u'1' : u'0';
    return abilities.name + u'|' + flags;
}

} // namespace

QString SwayKeyName(const HotKey& key)
{
    const QString symbol = SwayKeySymbol(key.key);
    if (symbol.isEmpty())
        return {};
    return ModifierPrefix(key.shift) + symbol;
}

QString DesktopNoticeText(const DesktopAbilities& abilities, const QString& program, const HotKey& activateKey,
                          const HotKey& sendKey)
{
    if (EverythingWorks(abilities))
        return {};
    QStringList working{u"finding, showing and editing Messages"_s,
                        u"copying a Message's text with Ctrl+C while this program has the focus"_s,
                        u"opening attachments"_s};
    QStringList missing;
    for (const Part& part : Parts)
        (abilities.*part.ability ? working : missing).append(part.text);
    QString text = u"On %1 some parts of %2 do not work.\n\nWhat works: %3.\nWhat does not work: %4."_s.arg(
        abilities.name, ApplicationTitle(), working.join(u"; "_s), missing.join(u"; "_s));
    if (!abilities.reason.isEmpty())
        text += u"\n\n"_s + abilities.reason;
    if (abilities.activationKey)
        return text;

    struct Binding {
        HotKey key;
        QString command;
    };
    const QString executable = ShellWord(program);
    const Binding bindings[] = {{activateKey, executable + u" --show"_s}, {sendKey, executable + u" --send"_s}};
    text += u"\n\nTo call the program up and send from any program, bind these commands to keys in the desktop's "
            "keyboard shortcut settings:"_s;
    for (const Binding& binding : bindings) {
        const QString key = binding.key.key != 0 ? HotKeyToText(binding.key) : u"A key of your choice"_s;
        text += u"\n%1: %2"_s.arg(key, binding.command);
    }
    if (abilities.name.compare(u"sway"_s, Qt::CaseInsensitive) == 0) {
        text += u"\n\nOn sway, add these lines to ~/.config/sway/config and reload it (swaymsg reload):"_s;
        for (const Binding& binding : bindings) {
            const QString key = SwayKeyName(binding.key);
            if (!key.isEmpty())
                text += u"\nbindsym %1 exec %2"_s.arg(key, binding.command);
        }
    }
    return text;
}

void ShowDesktopNoticeOnce(const DesktopAbilities& abilities, Options& options, Interaction& boxes,
                           const QString& program)
{
    if (EverythingWorks(abilities))
        return;
    options.load();
    const QString notice = NoticeFor(abilities);
    QStringList shown = options.value(Setting::DesktopNotice).split(u';', Qt::SkipEmptyParts);
    if (shown.contains(notice))
        return;
    boxes.showMessage(DesktopNoticeText(abilities, program, TextToHotKey(options.value(Setting::ActivateKey)),
                                        TextToHotKey(options.value(Setting::HotKey))));
    shown.append(notice);
    options.setValue(Setting::DesktopNotice, shown.join(u';'));
    options.save();
}
