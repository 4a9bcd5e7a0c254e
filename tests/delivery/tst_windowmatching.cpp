// Finding the destination window by targets.ini, typing keys, and bringing windows forward.
#include "delivery/globals.h"
#include "delivery/keyinput.h"

#include "platform/fake/fakeplatform.h"
#include "scriptedinteraction.h"
#include "settings/settings.h"
#include "util/errors.h"
#include "util/textutils.h"
#include "util/virtualkeys.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>

using namespace Qt::StringLiterals;

class TestWindowMatching : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void substringAndStartsWithModes();
    void caseOwnersAndHintWindows();
    void entryOrderBeatsStackingOrder();
    void onlyEntriesOneToNineAreRead();
    void searchTypeReadLeniently();
    void longTitlesMatchOnTheirStart();
    void noMatchGivesNoWindowAndShowsNothing();
    void classAndRoleEntries_data();
    void classAndRoleEntries();
    void foundWindowIsActivatedAndRaised();
    void suppliedTargetsFile_data();
    void suppliedTargetsFile();
    void unreadableTargetsFileIsNamed();

    void sendKeyPressEvents_data();
    void sendKeyPressEvents();
    void bringWindowToForeground();

private:
    void setTarget(const QString& application);
    void setEntry(const QString& application, const QString& key, const QString& value);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<ScriptedInteraction> ui;
    QString target;
};

void TestWindowMatching::init()
{
    dir = std::make_unique<QTemporaryDir>();
    OverrideAppDir(dir->path());
    fake = std::make_unique<FakePlatform>();
    ui = std::make_unique<ScriptedInteraction>();
}

void TestWindowMatching::cleanup()
{
    ui.reset();
    fake.reset();
    OverrideAppDir({});
}

void TestWindowMatching::setTarget(const QString& application)
{
    target = application;
}

void TestWindowMatching::setEntry(const QString& application, const QString& key, const QString& value)
{
    OpenTargetsFile().writeText(application, key, value);
}

void TestWindowMatching::substringAndStartsWithModes()
{
    setTarget(u"Outlook"_s);
    setEntry(u"Outlook"_s, u"Target"_s, u"Outlook"_s);
    setEntry(u"Outlook"_s, u"Search Type"_s, u"Substring"_s);
    const WindowHandle express = fake->windows.addWindow(u"Outlook Express"_s);
    const WindowHandle inbox = fake->windows.addWindow(u"Inbox - Outlook"_s);
    QCOMPARE(FindDestinationWindow(fake->windows, target), inbox);

    // Substring never takes a title that begins with the pattern.
    fake->windows.window(inbox).title = u"Calendar"_s;
    QCOMPARE(FindDestinationWindow(fake->windows, target), WindowHandle(0));

    // Try Both: the starts-with pass wins over a substring match higher in the stack.
    setEntry(u"Outlook"_s, u"Search Type"_s, u"Try Both"_s);
    fake->windows.window(inbox).title = u"Inbox - Outlook"_s;
    fake->windows.raiseWindow(inbox);
    QCOMPARE(FindDestinationWindow(fake->windows, target), express);
    fake->windows.window(express).title = u"Notes"_s;
    QCOMPARE(FindDestinationWindow(fake->windows, target), inbox);
    QCOMPARE(FindTitledWindow(fake->windows, u"Outlook"_s, true), WindowHandle(0));
}

void TestWindowMatching::caseOwnersAndHintWindows()
{
    const WindowHandle main = fake->windows.addWindow(u"Inbox - Outlook"_s);
    const WindowHandle reminder = fake->windows.addWindow(u"Reminder - Outlook"_s, {}, main);
    const WindowHandle hint = fake->windows.addWindow(u"Inbox hint"_s, u"  THintWindow "_s);

    QCOMPARE(FindTitledWindow(fake->windows, u"INBOX"_s, true), main); // case ignored, hint passed over
    QCOMPARE(FindTitledWindow(fake->windows, u"reminder"_s, true), reminder); // owners do not matter here
    QCOMPARE(FindTitledWindow(fake->windows, u"Outlook"_s, false), main); // an owned pop-up never matches
    fake->windows.window(main).owner = hint;
    QCOMPARE(FindTitledWindow(fake->windows, u"Outlook"_s, false), WindowHandle(0));

    // The class test compares with case: only "THintWindow" itself is passed over.
    fake->windows.window(hint).className = u"thintwindow"_s;
    QCOMPARE(FindTitledWindow(fake->windows, u"Inbox hint"_s, true), hint);
    QCOMPARE(FindTitledWindow(fake->windows, QString(), true), WindowHandle(0));
}

void TestWindowMatching::entryOrderBeatsStackingOrder()
{
    setTarget(u"Notepad"_s);
    setEntry(u"Notepad"_s, u"Target"_s, u"Untitled"_s);
    setEntry(u"Notepad"_s, u"Target2"_s, u"Mousepad"_s);
    setEntry(u"Notepad"_s, u"Search Type2"_s, u"Substring"_s);
    const WindowHandle lower = fake->windows.addWindow(u"Untitled 1 - Mousepad"_s);
    const WindowHandle upper = fake->windows.addWindow(u"notes.txt - Mousepad"_s);
    QCOMPARE(FindDestinationWindow(fake->windows, target), lower);

    // Two windows that match the same entry: the upper one.
    setEntry(u"Notepad"_s, u"Target"_s, QString());
    const WindowHandle top = fake->windows.addWindow(u"todo.txt - Mousepad"_s);
    QCOMPARE(FindDestinationWindow(fake->windows, target), top);
    fake->windows.raiseWindow(upper);
    QCOMPARE(FindDestinationWindow(fake->windows, target), upper);
    QVERIFY(ui->shown.isEmpty());
}

void TestWindowMatching::onlyEntriesOneToNineAreRead()
{
    setTarget(u"Geary"_s);
    const WindowHandle compose = fake->windows.addWindow(u"New Message"_s);
    setEntry(u"Geary"_s, u"Target1"_s, u"New Message"_s);
    setEntry(u"Geary"_s, u"Target10"_s, u"New Message"_s);
    setEntry(u"Geary"_s, u"Target 2"_s, u"New Message"_s);
    QCOMPARE(FindDestinationWindow(fake->windows, target), WindowHandle(0));
    // A section with only the third entry: entries 1 and 2 find nothing, 3 is used.
    setEntry(u"Geary"_s, u"Target3"_s, u"new"_s);
    setEntry(u"Geary"_s, u"Search Type3"_s, u"Starts With"_s);
    QCOMPARE(FindDestinationWindow(fake->windows, target), compose);
    setEntry(u"Geary"_s, u"Target9"_s, u"Message"_s);
    setEntry(u"Geary"_s, u"Target3"_s, QString());
    QCOMPARE(FindDestinationWindow(fake->windows, target), compose);
}

void TestWindowMatching::searchTypeReadLeniently()
{
    setTarget(u"Claws Mail"_s);
    setEntry(u"Claws Mail"_s, u"Target"_s, u"Compose"_s);
    const WindowHandle compose = fake->windows.addWindow(u"Compose message"_s);
    for (const QString& mode : {u"substring"_s, u"SUBSTRING"_s}) {
        setEntry(u"Claws Mail"_s, u"Search Type"_s, mode);
        QCOMPARE(FindDestinationWindow(fake->windows, target), WindowHandle(0));
    }
    for (const QString& mode : {u"starts with"_s, u"Substrnig"_s, QString()}) {
        setEntry(u"Claws Mail"_s, u"Search Type"_s, mode);
        QCOMPARE(FindDestinationWindow(fake->windows, target), compose);
    }
}

void TestWindowMatching::longTitlesMatchOnTheirStart()
{
    const QString padding(248, u'x');
    const WindowHandle window = fake->windows.addWindow(padding + u"Notepad"_s);
    QCOMPARE(FindTitledWindow(fake->windows, u"Note"_s, false), window); // ends at character 252
    QCOMPARE(FindTitledWindow(fake->windows, u"Notep"_s, false), window); // ends at 253
    QCOMPARE(FindTitledWindow(fake->windows, u"Notepa"_s, false), WindowHandle(0));
}

void TestWindowMatching::noMatchGivesNoWindowAndShowsNothing()
{
    setTarget(u"Eudora"_s);
    fake->windows.addWindow(u"Some other program"_s);
    QCOMPARE(FindDestinationWindow(fake->windows, target), WindowHandle(0));
    QCOMPARE(fake->windows.active, WindowHandle(0));
    // A section without entries gives the same.
    setEntry(u"Eudora"_s, u"Search Type"_s, u"Substring"_s);
    QCOMPARE(FindDestinationWindow(fake->windows, target), WindowHandle(0));
    QCOMPARE(fake->windows.active, WindowHandle(0));
    // The caller tells the user.
    QVERIFY(ui->shown.isEmpty());
}

void TestWindowMatching::classAndRoleEntries_data()
{
    QTest::addColumn<QString>("entries"); // Key=Value pairs of the section, split by ";"
    QTest::addColumn<QString>("found"); // the window's name below, or empty
    QTest::newRow("class alone: topmost without owner") << u"Class=evolution"_s << u"main"_s;
    QTest::newRow("class and role") << u"Class=evolution;Role=composer"_s << u"composer"_s;
    QTest::newRow("case ignored") << u"Class=EVOLUTION;Role=Composer"_s << u"composer"_s;
    QTest::newRow("role by its start") << u"Class=evolution;Role=comp"_s << u"composer"_s;
    QTest::newRow("role longer than the window's") << u"Class=evolution;Role=composer-2"_s << QString();
    QTest::newRow("no window has the role") << u"Class=evolution;Role=viewer"_s << QString();
    QTest::newRow("role without class finds nothing") << u"Role=composer"_s << QString();
    QTest::newRow("title alone") << u"Target=Re: Order;Search Type=Starts With"_s << u"notes"_s;
    QTest::newRow("title and class") << u"Target=Re: Order;Search Type=Starts With;Class=evolution"_s << u"composer"_s;
    QTest::newRow("substring and class") << u"Target=Order;Search Type=Substring;Class=Evolution"_s << u"composer"_s;
    QTest::newRow("numbered keys") << u"Class3=evolution;Role3=composer"_s << u"composer"_s;
    QTest::newRow("owned window: not by class alone") << u"Class=evolution;Role=spell"_s << QString();
    QTest::newRow("owned window: by its title")
        << u"Target=Spell;Search Type=Starts With;Role=spell;Class=evolution"_s << u"spelling"_s;
    QTest::newRow("class of a hint window") << u"Class=THintWindow"_s << QString();
    QTest::newRow("main window's title excepted") << u"Class=evolution;Except Title=mail - "_s << u"composer"_s;
    QTest::newRow("one of several texts excepted") << u"Class=evolution;Except Title=xyz||MAIL"_s << u"composer"_s;
    QTest::newRow("every title excepted") << u"Class=evolution;Except Title=Mail|Order"_s << QString();
    QTest::newRow("title pattern and exception") << u"Target=Re: Order;Except Title=notes"_s << u"composer"_s;
    QTest::newRow("numbered exception") << u"Class2=evolution;Except Title2=Evolution"_s << u"composer"_s;
    QTest::newRow("exception of another entry") << u"Class2=evolution;Except Title=Evolution"_s << u"main"_s;
    QTest::newRow("one of several classes") << u"Class=mousepad|evolution;Role=composer"_s << u"composer"_s;
    QTest::newRow("classes with blanks and case") << u"Class= | EVOLUTION ;Role=comp"_s << u"composer"_s;
    QTest::newRow("none of the classes") << u"Class=geary|org.gnome.Geary"_s << QString();
    QTest::newRow("class list of blanks: any class") << u"Class= | ;Role=comp"_s << u"composer"_s;
    QTest::newRow("only windows without a role") << u"Class=evolution;Role=(none)"_s << u"main"_s;
    QTest::newRow("title, without a role") << u"Target=Re: Order;Search Type=Starts With;Role=(NONE)"_s << u"notes"_s;
}

void TestWindowMatching::classAndRoleEntries()
{
    QFETCH(QString, entries);
    QFETCH(QString, found);
    std::map<QString, WindowHandle> windows;
    windows[u"composer"_s] = fake->windows.addWindow(u"Re: Order 123"_s, u"Evolution"_s);
    fake->windows.window(windows[u"composer"_s]).role = u"composer-1"_s;
    windows[u"spelling"_s] = fake->windows.addWindow(u"Spelling"_s, u"Evolution"_s, windows[u"composer"_s]);
    fake->windows.window(windows[u"spelling"_s]).role = u"spell"_s;
    windows[u"main"_s] = fake->windows.addWindow(u"Mail - Evolution"_s, u"Evolution"_s);
    windows[u"notes"_s] = fake->windows.addWindow(u"Re: Order 123 - notes.txt"_s, u"Mousepad"_s);
    fake->windows.addWindow(u"hint"_s, u"THintWindow"_s);
    setTarget(u"Mail"_s);
    for (const QString& pair : entries.split(u';'))
        setEntry(u"Mail"_s, pair.section(u'=', 0, 0), pair.section(u'=', 1));

    const WindowHandle expected = found.isEmpty() ? 0 : windows.at(found);
    QCOMPARE(FindDestinationWindow(fake->windows, target), expected);
    QCOMPARE(fake->windows.active, expected);
}

void TestWindowMatching::foundWindowIsActivatedAndRaised()
{
    const WindowHandle window = fake->windows.addWindow(u"Write: Re: Order 4711 - Thunderbird"_s);
    fake->windows.addWindow(u"Terminal"_s);
    fake->journal.clear();
    QCOMPARE(FindTitledWindow(fake->windows, u"Write:"_s, true), window);
    QCOMPARE(fake->journal, (QStringList{u"enumerate"_s, u"activate 1"_s, u"raise 1"_s}));
    QCOMPARE(fake->windows.active, window);
}

void TestWindowMatching::suppliedTargetsFile_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("role");
    // Titles, classes and roles as the programs show them under Xvfb.
    const QString none;
    QTest::newRow("Thunderbird") << u"Thunderbird"_s << u"Write: (no subject) - Thunderbird"_s << none << none;
    QTest::newRow("Evolution") << u"Evolution"_s << u"Compose Message"_s << none << none;
    QTest::newRow("Evolution with a subject")
        << u"Evolution"_s << u"Re: Order 123"_s << u"Evolution"_s << u"EMsgComposer-94232385061808"_s;
    QTest::newRow("Claws Mail") << u"Claws Mail"_s << u"[no subject] - Compose message"_s << none << none;
    QTest::newRow("Sylpheed") << u"Sylpheed"_s << u"(No Subject) - Compose"_s << none << none;
    QTest::newRow("Sylpheed with a subject") << u"Sylpheed"_s << u"Re: Order 123 - Compose *"_s << none << none;
    QTest::newRow("Geary") << u"Geary"_s << u"New Message"_s << u"Geary"_s << none;
    // In its own window, or filling the main window, which then takes the subject as title.
    QTest::newRow("Geary with a subject") << u"Geary"_s << u"Re: Order 123"_s << u"Geary"_s << none;
    QTest::newRow("Outlook on the web") << u"Outlook"_s << u"Mail - Ann Example - Outlook — Mozilla Firefox"_s << none
                                        << none;
    QTest::newRow("Mousepad") << u"Notepad"_s << u"/tmp/notes.txt - Mousepad"_s << none << none;
    QTest::newRow("gedit") << u"Notepad"_s << u"notes.txt (/tmp) - gedit"_s << none << none;
    QTest::newRow("Kate") << u"Notepad"_s << u"notes.txt  — Kate"_s << none << none;
    QTest::newRow("FeatherPad") << u"Notepad"_s << u"Untitled"_s << none << none;
    QTest::newRow("FeatherPad changed") << u"Notepad"_s << u"*Untitled"_s << none << none;
    // On Wayland the class is the app id, and no window has a role; GTK 3 programs take
    // their program name as app id (measured under sway), Flatpak builds their desktop id.
    QTest::newRow("Wayland: Thunderbird")
        << u"Thunderbird"_s << u"Write: (no subject) - Thunderbird"_s << u"thunderbird"_s << none;
    QTest::newRow("Wayland: Thunderbird from Flatpak")
        << u"Thunderbird"_s << u"Write: Re: Order 123 - Thunderbird"_s << u"org.mozilla.Thunderbird"_s << none;
    QTest::newRow("Wayland: Evolution") << u"Evolution"_s << u"Compose Message"_s << u"evolution"_s << none;
    QTest::newRow("Wayland: Evolution with a subject")
        << u"Evolution"_s << u"Re: Order 123"_s << u"evolution"_s << none;
    QTest::newRow("Wayland: Evolution from Flatpak with a subject")
        << u"Evolution"_s << u"Re: Order 123"_s << u"org.gnome.Evolution"_s << none;
    QTest::newRow("Wayland: Geary with a subject") << u"Geary"_s << u"Re: Order 123"_s << u"geary"_s << none;
    QTest::newRow("Wayland: Geary from Flatpak") << u"Geary"_s << u"New Message"_s << u"org.gnome.Geary"_s << none;
    QTest::newRow("Wayland: Mousepad") << u"Notepad"_s << u"Untitled 1 - Mousepad"_s << u"mousepad"_s << none;
    QTest::newRow("Wayland: Mousepad from Flatpak")
        << u"Notepad"_s << u"/tmp/notes.txt - Mousepad"_s << u"org.xfce.mousepad"_s << none;
}

void TestWindowMatching::suppliedTargetsFile()
{
    QFETCH(QString, application);
    QFETCH(QString, title);
    QFETCH(QString, className);
    QFETCH(QString, role);
    QVERIFY(QFile::copy(QStringLiteral(QB_SUPPLIED_TARGETS), dir->filePath(u"targets.ini"_s)));
    QCOMPARE(OpenTargetsFile().sectionNames(),
             (QStringList{u"Thunderbird"_s, u"Evolution"_s, u"Claws Mail"_s, u"Sylpheed"_s, u"Geary"_s, u"Outlook"_s,
                          u"Notepad"_s, u"Other"_s}));
    const WindowHandle window = fake->windows.addWindow(QString());
    // The main windows of the mail programs and unrelated windows are never taken.
    fake->windows.addWindow(u"Inbox - ann@example.com - Mozilla Thunderbird"_s);
    fake->windows.addWindow(u"ann@example.com - Claws Mail 4.1.1"_s);
    fake->windows.addWindow(u"Mail - Evolution"_s, u"Evolution"_s);
    fake->windows.window(fake->windows.addWindow(u"Preferences"_s, u"Evolution"_s)).role = u"preferences-window"_s;
    fake->windows.addWindow(u"Sylpheed - Inbox"_s, u"Sylpheed"_s);
    // Geary's main window before and after a folder shows, and a tooltip it owns.
    const WindowHandle geary = fake->windows.addWindow(u"Geary"_s, u"Geary"_s);
    fake->windows.addWindow(u"Inbox — ann@example.com"_s, u"Geary"_s);
    fake->windows.addWindow(u"Geary"_s, u"Geary"_s, geary);
    fake->windows.addWindow(u"Terminal - ann@host: ~"_s);
    // The same main windows on Wayland, under their app ids and without roles.
    fake->windows.addWindow(u"Mail - Evolution"_s, u"evolution"_s);
    fake->windows.addWindow(u"Evolution Preferences"_s, u"org.gnome.Evolution"_s);
    fake->windows.addWindow(u"Geary"_s, u"geary"_s);
    fake->windows.addWindow(u"Inbox — ann@example.com"_s, u"org.gnome.Geary"_s);
    fake->windows.addWindow(u"Inbox - ann@example.com - Mozilla Thunderbird"_s, u"thunderbird"_s);
    setTarget(application);
    QCOMPARE(FindDestinationWindow(fake->windows, target), WindowHandle(0));
    FakeWindow& shown = fake->windows.window(window);
    shown.title = title;
    shown.className = className;
    shown.role = role;
    QCOMPARE(FindDestinationWindow(fake->windows, target), window);
}

void TestWindowMatching::unreadableTargetsFileIsNamed()
{
    // A missing file finds no window (above); one that can not be read is named.
    setTarget(u"Eudora"_s);
    fake->windows.addWindow(u"Eudora"_s);
    QVERIFY(QDir(dir->path()).mkdir(u"targets.ini"_s));
    try {
        (void)FindDestinationWindow(fake->windows, target);
        QFAIL("no error");
    } catch (const Error& e) {
        QCOMPARE(e.text(),
                 u"The settings file "_s + QDir::toNativeSeparators(dir->filePath(u"targets.ini"_s))
                     + u" can not be read: it is a folder."_s);
    }
    QCOMPARE(ui->shown.size(), 0);
}

void TestWindowMatching::sendKeyPressEvents_data()
{
    QTest::addColumn<std::uint8_t>("modifiers");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QList<KeyEventRecord>>("expected");
    const std::uint32_t up = KeyboardSynth::KeyUp;
    const std::uint32_t ext = KeyboardSynth::ExtendedKey;
    const std::uint8_t ctrl = 0x1D, shift = 0x2A, alt = 0x38, v = 0x2F;
    QTest::newRow("Ctrl+V") << ShiftState::Ctrl << false
                            << QList<KeyEventRecord>{{Vk::Control, ctrl, 0},
                                                     {Vk::KeyV, v, 0},
                                                     {Vk::KeyV, v, up},
                                                     {Vk::Control, ctrl, up}};
    QTest::newRow("Ctrl+Shift+Alt+V") << std::uint8_t(ShiftState::Ctrl | ShiftState::Shift | ShiftState::Alt) << false
                                      << QList<KeyEventRecord>{{Vk::Control, ctrl, 0}, {Vk::Shift, shift, 0},
                                                               {Vk::Menu, alt, 0},     {Vk::KeyV, v, 0},
                                                               {Vk::KeyV, v, up},      {Vk::Menu, alt, up},
                                                               {Vk::Shift, shift, up}, {Vk::Control, ctrl, up}};
    QTest::newRow("V alone") << std::uint8_t(0) << false << QList<KeyEventRecord>{{Vk::KeyV, v, 0}, {Vk::KeyV, v, up}};
    QTest::newRow("Alt+extended V") << ShiftState::Alt << true
                                    << QList<KeyEventRecord>{{Vk::Menu, alt, 0},
                                                             {Vk::KeyV, v, ext},
                                                             {Vk::KeyV, v, ext | up},
                                                             {Vk::Menu, alt, up}};
}

void TestWindowMatching::sendKeyPressEvents()
{
    QFETCH(std::uint8_t, modifiers);
    QFETCH(bool, extended);
    QFETCH(QList<KeyEventRecord>, expected);
    SendKeyPress(fake->keyboard, Vk::KeyV, modifiers, extended);
    QCOMPARE(fake->keyboard.events, expected);
}

void TestWindowMatching::bringWindowToForeground()
{
    FakeWindowSystem& windows = fake->windows;
    const WindowHandle own = windows.addWindow(u"Tolvane Quillbay"_s);
    windows.addWindow(u"Editor"_s);

    // Already active: true at once, but a minimised window is restored all the same.
    windows.active = own;
    windows.window(own).minimized = true;
    QVERIFY(BringWindowToForeground(fake->windows, own));
    QCOMPARE(fake->journal, QStringList{u"restore 1"_s});

    windows.active = 2;
    fake->journal.clear();
    QVERIFY(BringWindowToForeground(fake->windows, own));
    QCOMPARE(fake->journal, (QStringList{u"activate 1"_s, u"raise 1"_s, u"wait active 1"_s}));

    windows.active = 2;
    windows.activationWorks = false;
    QVERIFY(!BringWindowToForeground(fake->windows, own));
}

QTEST_GUILESS_MAIN(TestWindowMatching)
#include "tst_windowmatching.moc"
