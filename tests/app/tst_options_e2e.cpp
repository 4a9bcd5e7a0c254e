// The built program on a real X11 desktop (Xvfb and openbox) set up through its own
// windows as a new user would: the Options dialog, the destinations editor with a picked
// window, a real mail program replying with a subject, and closing on a desktop without and then
// with a notification area.
#include "desktoptools.h"
#include "settings/inifile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

void Type(const QString& text)
{
    Xdotool({u"type"_s, u"--clearmodifiers"_s, u"--delay"_s, u"40"_s, text});
}

// The program's visible window of that exact title, once it shows, made the active one so
// that keys typed next reach it; empty after the time.
QString AwaitWindow(const QProcess& process, const QString& title, int timeoutMs = 20000)
{
    QString window;
    WaitFor(
        [&] {
            window = FindVisibleWindow({u"--all"_s, u"--pid"_s, QString::number(process.processId()), u"--name"_s,
                                        u'^' + QRegularExpression::escape(title) + u'$'});
            return !window.isEmpty();
        },
        timeoutMs);
    if (!window.isEmpty())
        ActivateWindow(window);
    return window;
}

bool Gone(const QString& window)
{
    return WaitFor([&] { return !IsViewable(window); });
}

// A program started with the folder's environment, killed at the end.
class Started {
public:
    Started(const ProgramFolder& folder, const QString& program, const QStringList& arguments)
    {
        process.setProcessEnvironment(folder.environment());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice()); // harmless GTK and dconf warnings
        process.start(program, arguments);
        if (!process.waitForStarted())
            qFatal("%s did not start", qUtf8Printable(program));
    }
    ~Started()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    QProcess process;
};

} // namespace

class TestOptionsEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void newUserChoosesDestinationAndSendKey();
    void pickedWindowBecomesADestination();
    void sendsIntoMailComposerWithSubject();
    void closingWithoutAndWithNotificationArea();

private:
    // Tools, Options from the main window; the dialog's window.
    QString openOptions();
    // Hotword, Enter, then the send key; waits until the program has put the clipboard back.
    void send(const QString& sendKey);

    ProgramFolder folder{QStringLiteral(QB_PROGRAM)};
    std::unique_ptr<Started> quillbay;
    QString mainWindow;
    QString expected;
};

void TestOptionsEndToEnd::initTestCase()
{
    folder.addFile(QStringLiteral(QB_TARGETS), u"targets.ini"_s);
}

QString TestOptionsEndToEnd::openOptions()
{
    ActivateWindow(mainWindow);
    TypeKeys({u"alt+o"_s, u"o"_s});
    return AwaitWindow(quillbay->process, u"Options"_s);
}

void TestOptionsEndToEnd::send(const QString& sendKey)
{
    ActivateWindow(mainWindow);
    // Back from another program the search box may keep its text unselected.
    TypeKeys({u"ctrl+a"_s});
    Type(u"start"_s);
    TypeKeys({u"Return"_s, sendKey});
}

void TestOptionsEndToEnd::newUserChoosesDestinationAndSendKey()
{
    DesktopProgram editor;
    QVERIFY(editor.start(u"mousepad"_s));
    const QString editorWindow = editor.window({u"--name"_s, u" - Mousepad$"_s});
    QVERIFY(!editorWindow.isEmpty());

    quillbay = std::make_unique<Started>(folder, folder.program(), QStringList());
    QProcess& process = quillbay->process;
    // No destination yet: the first-run notice.
    const QString notice = AwaitWindow(process, u"Tolvane Quillbay"_s);
    QVERIFY(!notice.isEmpty());
    TypeKeys({u"Return"_s});
    QVERIFY(Gone(notice));
    mainWindow = AwaitWindow(process, u"Tolvane Quillbay"_s);
    QVERIFY(!mainWindow.isEmpty());
    expected = folder.messageText(u"start"_s);
    QVERIFY(!expected.isEmpty());

    // The list has the focus; choosing Notepad by typing, then Enter for OK.
    QString options = openOptions();
    QVERIFY(!options.isEmpty());
    Type(u"Notepad"_s);
    TypeKeys({u"Return"_s});
    QVERIFY(Gone(options));
    const IniFile ini(folder.filePath(u"options.ini"_s));
    QCOMPARE(ini.readText(u"Options"_s, u"Target"_s, {}), u"Notepad"_s);
    QCOMPARE(ini.readText(u"Options"_s, u"HotKey"_s, {}), u"F12"_s);

    send(u"F12"_s);
    QCOMPARE(CopyWindowTextWhen(editorWindow, expected, 20000), expected);

    // The send key becomes Shift+F11: its field by its accelerator, the key, then on to OK.
    options = openOptions();
    QVERIFY(!options.isEmpty());
    TypeKeys({u"alt+h"_s, u"shift+F11"_s, u"Tab"_s, u"Return"_s});
    QVERIFY(Gone(options));
    QCOMPARE(ini.readText(u"Options"_s, u"HotKey"_s, {}), u"Shift+F11"_s);
    ActivateWindow(editorWindow);
    TypeKeys({u"ctrl+a"_s, u"Delete"_s});
    // F12 first: had it sent, the text would come twice, since the program handles the keys
    // in order.
    ActivateWindow(mainWindow);
    TypeKeys({u"ctrl+a"_s});
    Type(u"start"_s);
    TypeKeys({u"Return"_s, u"F12"_s, u"shift+F11"_s});
    QCOMPARE(CopyWindowTextWhen(editorWindow, expected, 20000), expected);
}

void TestOptionsEndToEnd::pickedWindowBecomesADestination()
{
    QVERIFY(quillbay);
    DesktopProgram editor;
    QVERIFY(editor.start(u"featherpad"_s));
    const QString editorWindow = editor.window();
    QVERIFY(!editorWindow.isEmpty());

    const QString options = openOptions();
    QVERIFY(!options.isEmpty());
    TypeKeys({u"alt+d"_s});
    const QString destinations = AwaitWindow(quillbay->process, u"Destinations"_s);
    QVERIFY(!destinations.isEmpty());
    TypeKeys({u"alt+a"_s});
    const QString name = AwaitWindow(quillbay->process, u"Add Destination"_s);
    QVERIFY(!name.isEmpty());
    Type(u"Scratch"_s);
    TypeKeys({u"Return"_s});
    QVERIFY(Gone(name));
    // The open windows are listed by title; typing the start of FeatherPad's picks it.
    TypeKeys({u"alt+p"_s});
    Type(u"Untitled"_s);
    TypeKeys({u"Return"_s, u"alt+o"_s});
    QVERIFY(Gone(destinations));
    const IniFile targets(folder.filePath(u"targets.ini"_s));
    QCOMPARE(targets.readText(u"Scratch"_s, u"Class"_s, {}), u"FeatherPad"_s);
    QCOMPARE(targets.sectionNames().last(), u"Scratch"_s);
    // Options shows the new destination; OK stores it.
    TypeKeys({u"alt+o"_s});
    QVERIFY(Gone(options));
    QCOMPARE(IniFile(folder.filePath(u"options.ini"_s)).readText(u"Options"_s, u"Target"_s, {}), u"Scratch"_s);

    send(u"shift+F11"_s);
    QCOMPARE(CopyWindowTextWhen(editorWindow, expected, 20000), expected);
}

void TestOptionsEndToEnd::sendsIntoMailComposerWithSubject()
{
    QVERIFY(quillbay);
    // A throw-away offline profile: an MH mailbox and one account on localhost.
    DesktopProgram mail;
    const QDir home(mail.home());
    QVERIFY(home.mkpath(u".sylpheed-2.0"_s));
    QVERIFY(home.mkpath(u"Mail"_s));
    QFile folders(home.filePath(u".sylpheed-2.0/folderlist.xml"_s));
    QVERIFY(folders.open(QIODevice::WriteOnly));
    folders.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<folderlist>\n"
                  "<folder type=\"mh\" name=\"Mailbox\" path=\"Mail\">\n"
                  "<folderitem type=\"inbox\" name=\"inbox\" path=\"inbox\" />\n"
                  "<folderitem type=\"outbox\" name=\"sent\" path=\"sent\" />\n"
                  "<folderitem type=\"draft\" name=\"draft\" path=\"draft\" />\n"
                  "<folderitem type=\"queue\" name=\"queue\" path=\"queue\" />\n"
                  "<folderitem type=\"trash\" name=\"trash\" path=\"trash\" />\n"
                  "</folder>\n</folderlist>\n");
    folders.close();
    QFile account(home.filePath(u".sylpheed-2.0/accountrc"_s));
    QVERIFY(account.open(QIODevice::WriteOnly));
    account.write("[Account: 1]\naccount_name=Test\nis_default=1\nname=Test User\n"
                  "address=test@example.invalid\nprotocol=0\nreceive_server=localhost\n"
                  "smtp_server=localhost\nuser_id=test\n");
    account.close();

    // A reply: the composer's title is its subject's. A click in the lower part puts the
    // focus in the body, where it stays when the window is brought back.
    QVERIFY(mail.start(u"sylpheed"_s, {u"--compose"_s, u"mailto:ann@example.invalid?subject=Re:%20Order%20123"_s}));
    const QString composer = mail.window({u"--name"_s, u"^Re: Order 123 - Compose$"_s});
    QVERIFY(!composer.isEmpty());
    ActivateWindow(composer);
    const int height = Xdotool({u"getwindowgeometry"_s, u"--shell"_s, composer})
                           .section(u"HEIGHT="_s, 1)
                           .section(u'\n', 0, 0)
                           .toInt();
    Xdotool({u"mousemove"_s, u"--window"_s, composer, u"100"_s, QString::number(height - 40), u"click"_s, u"1"_s});

    const QString options = openOptions();
    QVERIFY(!options.isEmpty());
    Type(u"Sylpheed"_s);
    TypeKeys({u"Return"_s});
    QVERIFY(Gone(options));
    send(u"shift+F11"_s);
    QString text;
    WaitFor([&] { return (text = CopyWindowText(composer).trimmed()) == expected.trimmed(); }, 20000);
    QCOMPARE(text, expected.trimmed());
}

void TestOptionsEndToEnd::closingWithoutAndWithNotificationArea()
{
    quillbay.reset();
    IniFile(folder.filePath(u"options.ini"_s)).writeText(u"Options"_s, u"Minimize On Close"_s, u"True"_s);
    {
        // No notification area: Exit ends the program.
        Started alone(folder, folder.program(), {});
        const QString window = AwaitWindow(alone.process, u"Tolvane Quillbay"_s);
        QVERIFY(!window.isEmpty());
        ActivateWindow(window);
        TypeKeys({u"alt+f"_s, u"x"_s});
        QVERIFY(alone.process.waitForFinished(10000));
        QCOMPARE(alone.process.exitCode(), 0);
    }
    // A notification area that comes after the start: Exit hides the program there.
    Started program(folder, folder.program(), {});
    const QString window = AwaitWindow(program.process, u"Tolvane Quillbay"_s);
    QVERIFY(!window.isEmpty());
    Started tray(
        folder, u"trayer"_s,
        {u"--edge"_s, u"bottom"_s, u"--align"_s, u"right"_s, u"--widthtype"_s, u"request"_s, u"--height"_s, u"24"_s});
    QVERIFY(WaitFor([&] {
        const QStringList windows = WindowsOf(program.process.processId());
        return std::any_of(windows.begin(), windows.end(), [](const QString& w) { return IsViewable(w) && InTray(w); });
    }));
    ActivateWindow(window);
    TypeKeys({u"alt+f"_s, u"x"_s});
    QVERIFY(WaitFor([&] { return !IsViewable(window) && !ManagedWindows().contains(window); }));
    QCOMPARE(program.process.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestOptionsEndToEnd)
#include "tst_options_e2e.moc"
