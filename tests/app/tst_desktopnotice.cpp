// The start-up notice on a desktop where parts of the program do not work.
#include "app/desktopnotice.h"

#include "scriptedinteraction.h"
#include "settings/hotkeytext.h"
#include "settings/settings.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// "name|flags", flags as 1 and 0 for windows, typing, clipboard and activation key.
DesktopAbilities Abilities(const QString& desktop)
{
    DesktopAbilities abilities;
    abilities.name = desktop.section(u'|', 0, 0);
    const QString flags = desktop.section(u'|', 1);
    abilities.otherWindows = flags.at(0) == u'1';
    abilities.typing = flags.at(1) == u'1';
    abilities.clipboard = flags.at(2) == u'1';
    abilities.activationKey = flags.at(3) == u'1';
    abilities.reason = u"Because."_s;
    return abilities;
}

} // namespace

class TestDesktopNotice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void swayKeyNames_data();
    void swayKeyNames();
    void swayNotice();
    void noticeParts_data();
    void noticeParts();
    void shownOncePerDesktop_data();
    void shownOncePerDesktop();
};

void TestDesktopNotice::swayKeyNames_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("sway");
    QTest::newRow("function key") << u"F11"_s << u"F11"_s;
    QTest::newRow("modifiers in sway's order") << u"Alt+Shift+Ctrl+F12"_s << u"Shift+Ctrl+Alt+F12"_s;
    QTest::newRow("letter as its lower-case symbol") << u"Ctrl+Q"_s << u"Ctrl+q"_s;
    QTest::newRow("digit") << u"Alt+7"_s << u"Alt+7"_s;
    QTest::newRow("page up") << u"PgUp"_s << u"Prior"_s;
    QTest::newRow("page down") << u"Ctrl+PgDn"_s << u"Ctrl+Next"_s;
    QTest::newRow("enter") << u"Ctrl+Enter"_s << u"Ctrl+Return"_s;
    QTest::newRow("backspace") << u"Alt+BkSp"_s << u"Alt+BackSpace"_s;
    QTest::newRow("space") << u"Ctrl+Space"_s << u"Ctrl+space"_s;
    QTest::newRow("keypad operator") << u"Num +"_s << u"KP_Add"_s;
    QTest::newRow("punctuation") << u"Ctrl+;"_s << u"Ctrl+semicolon"_s;
    QTest::newRow("print screen") << u"Print Screen"_s << u"Print"_s;
    QTest::newRow("last function key") << u"F24"_s << u"F24"_s;
    QTest::newRow("no sway name") << u"Left Windows"_s << QString();
    QTest::newRow("no key") << QString() << QString();
}

void TestDesktopNotice::swayKeyNames()
{
    QFETCH(QString, key);
    QFETCH(QString, sway);
    QCOMPARE(SwayKeyName(TextToHotKey(key)), sway);
}

void TestDesktopNotice::swayNotice()
{
    DesktopAbilities abilities = Abilities(u"sway|1110"_s);
    abilities.reason = u"No protocol lets a program claim a key."_s;
    QCOMPARE(DesktopNoticeText(abilities, u"/usr/bin/quillbay"_s, TextToHotKey(u"F11"_s), TextToHotKey(u"F12"_s)),
             u"On sway some parts of Tolvane Quillbay do not work.\n\n"
             "What works: finding, showing and editing Messages; copying a Message's text with Ctrl+C while this "
             "program has the focus; opening attachments; finding the mail program's window and bringing it to the "
             "front; pasting into it; keeping your clipboard and putting it back after a send.\n"
             "What does not work: a key of this program's own that calls it up from every other program.\n\n"
             "No protocol lets a program claim a key.\n\n"
             "To call the program up and send from any program, bind these commands to keys in the desktop's "
             "keyboard shortcut settings:\n"
             "F11: /usr/bin/quillbay --show\n"
             "F12: /usr/bin/quillbay --send\n\n"
             "On sway, add these lines to ~/.config/sway/config and reload it (swaymsg reload):\n"
             "bindsym F11 exec /usr/bin/quillbay --show\n"
             "bindsym F12 exec /usr/bin/quillbay --send"_s);
}

void TestDesktopNotice::noticeParts_data()
{
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("activateKey");
    QTest::addColumn<QString>("sendKey");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("absent");
    const QString program = u"/usr/bin/quillbay"_s;
    QTest::newRow("everything works: no notice")
        << u"KDE Plasma|1111"_s << program << u"F11"_s << u"F12"_s << QStringList() << QStringList();
    QTest::newRow("sway: keys with modifiers, a path with blanks")
        << u"sway|1110"_s << u"/home/ann/my apps/quillbay"_s << u"Ctrl+Alt+Q"_s << u"Shift+F12"_s
        << QStringList{u"Ctrl+Alt+Q: '/home/ann/my apps/quillbay' --show"_s,
                       u"Shift+F12: '/home/ann/my apps/quillbay' --send"_s,
                       u"bindsym Ctrl+Alt+q exec '/home/ann/my apps/quillbay' --show"_s,
                       u"bindsym Shift+F12 exec '/home/ann/my apps/quillbay' --send"_s}
        << QStringList();
    QTest::newRow("a quote in the path") << u"sway|1110"_s << u"/opt/ann's/quillbay"_s << u"F11"_s << u"F12"_s
                                         << QStringList{u"F11: '/opt/ann'\\''s/quillbay' --show"_s} << QStringList();
    QTest::newRow("no activation key set: the command still shown")
        << u"sway|1110"_s << program << QString() << u"F12"_s
        << QStringList{u"A key of your choice: /usr/bin/quillbay --show"_s,
                       u"bindsym F12 exec /usr/bin/quillbay --send"_s}
        << QStringList{u"bindsym  exec /usr/bin/quillbay --show"_s};
    QTest::newRow("GNOME: only the program's own parts work")
        << u"GNOME|0000"_s << program << u"F11"_s << u"F12"_s
        << QStringList{u"What works: finding, showing and editing Messages; copying a Message's text with Ctrl+C "
                       "while this program has the focus; opening attachments."_s,
                       u"What does not work: finding the mail program's window and bringing it to the front; "
                       "pasting into it; keeping your clipboard and putting it back after a send; a key of this "
                       "program's own that calls it up from every other program."_s,
                       u"Because."_s, u"F11: /usr/bin/quillbay --show"_s, u"F12: /usr/bin/quillbay --send"_s}
        << QStringList{u"bindsym F11 exec /usr/bin/quillbay --show"_s};
    QTest::newRow("KDE Plasma without its desktop file: no commands, the key works")
        << u"KDE Plasma|0011"_s << program << u"F11"_s << u"F12"_s
        << QStringList{u"What does not work: finding the mail program's window and bringing it to the front; "
                       "pasting into it."_s,
                       u"Because."_s}
        << QStringList{u"F11: /usr/bin/quillbay --show"_s};
}

void TestDesktopNotice::noticeParts()
{
    QFETCH(QString, desktop);
    QFETCH(QString, program);
    QFETCH(QString, activateKey);
    QFETCH(QString, sendKey);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, absent);
    const QString text
        = DesktopNoticeText(Abilities(desktop), program, TextToHotKey(activateKey), TextToHotKey(sendKey));
    QCOMPARE(text.isEmpty(), lines.isEmpty());
    const QStringList shown = text.split(u'\n');
    for (const QString& line : std::as_const(lines))
        QVERIFY2(shown.contains(line), qPrintable(u"missing: "_s + line + u"\n---\n"_s + text));
    for (const QString& line : std::as_const(absent))
        QVERIFY2(!shown.contains(line), qPrintable(u"shown: "_s + line));
}

void TestDesktopNotice::shownOncePerDesktop_data()
{
    QTest::addColumn<QStringList>("starts");
    QTest::addColumn<QList<int>>("boxes");
    QTest::newRow("shown at the first start only")
        << QStringList{u"sway|1110"_s, u"sway|1110"_s, u"sway|1110"_s} << QList<int>{1, 0, 0};
    QTest::newRow("another desktop shows it again, each once")
        << QStringList{u"sway|1110"_s, u"GNOME|0000"_s, u"sway|1110"_s, u"GNOME|0000"_s} << QList<int>{1, 1, 0, 0};
    QTest::newRow("the same desktop with other abilities")
        << QStringList{u"KDE Plasma|0011"_s, u"KDE Plasma|0111"_s, u"KDE Plasma|0011"_s} << QList<int>{1, 1, 0};
    QTest::newRow("never where everything works") << QStringList{u"|1111"_s, u"KDE Plasma|1111"_s} << QList<int>{0, 0};
    QTest::newRow("a desktop that works now: nothing more")
        << QStringList{u"KDE Plasma|0011"_s, u"KDE Plasma|1111"_s} << QList<int>{1, 0};
}

void TestDesktopNotice::shownOncePerDesktop()
{
    QFETCH(QStringList, starts);
    QFETCH(QList<int>, boxes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"options.ini"_s);
    {
        Options options(path);
        options.setValue(Setting::ActivateKey, u"Ctrl+F9"_s);
        options.save();
    }
    for (qsizetype start = 0; start < starts.size(); ++start) {
        // Each start reads the file afresh.
        Options options(path);
        ScriptedInteraction interaction;
        ShowDesktopNoticeOnce(Abilities(starts[start]), options, interaction, u"/usr/bin/quillbay"_s);
        QCOMPARE(interaction.shown.size(), boxes[start]);
        if (boxes[start] == 1) {
            QCOMPARE(interaction.shown[0].kind, u"message"_s);
            if (!Abilities(starts[start]).activationKey)
                QVERIFY(interaction.shown[0].text.contains(u"\nCtrl+F9: /usr/bin/quillbay --show\n"_s));
        }
    }
    // The other keys of the file stay.
    Options options(path);
    options.load();
    QCOMPARE(options.value(Setting::ActivateKey), u"Ctrl+F9"_s);
}

QTEST_GUILESS_MAIN(TestDesktopNotice)
#include "tst_desktopnotice.moc"
