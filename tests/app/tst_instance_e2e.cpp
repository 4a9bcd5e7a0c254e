// The built program on a real X11 desktop (Xvfb, openbox and trayer as the tray) started a
// second time and driven from the command line, started hidden as at login, and pasting
// into the window the user came from: a text area in Chromium, with real keys.
#include "desktoptools.h"
#include "settings/inifile.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

void Keys(const QStringList& keys)
{
    Xdotool(QStringList{u"key"_s, u"--clearmodifiers"_s} + keys);
}

// Non-ASCII, an emoji, tabs, several lines and an empty one.
const QString MixedText = u"Grüße aus Köln – naïve café\n\tIndented with a tab\n\n😀 ✉ €\tend"_s;

// The program's main window as the window manager shows it, or empty; the tray icon has
// the same title.
QString ShownMainWindow(qint64 pid)
{
    const QStringList managed = ManagedWindows();
    for (const QString& window : WindowsOf(pid)) {
        if (managed.contains(window) && IsViewable(window))
            return window;
    }
    return {};
}

} // namespace

class TestInstanceEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void secondStartBringsTheFirstUp();
    void sendFromTheCommandLine();
    void startsHiddenInTheTray();
    void pastesIntoTheBrowserCameFrom();

private:
    // Runs the program with the arguments, which hands them to the running copy and ends.
    void runCommand(const QStringList& arguments);
    // Counts the times another program takes the clipboard from now on.
    void watchClipboard();

    ProgramFolder folder{QStringLiteral(QB_PROGRAM)};
    DesktopProgram editor;
    QProcess quillbay;
    QString editorWindow;
    QString mainWindow;
    int clipboardTaken = 0;
    QMetaObject::Connection clipboardWatch;
};

void TestInstanceEndToEnd::initTestCase()
{
    StartEditorAndProgram(folder, QStringLiteral(QB_TARGETS), editor, quillbay, editorWindow, mainWindow);
    QVERIFY(WaitFor([this] { return !(mainWindow = ShownMainWindow(quillbay.processId())).isEmpty(); }));
}

void TestInstanceEndToEnd::cleanupTestCase()
{
    quillbay.kill();
    quillbay.waitForFinished();
    editor.stop();
}

void TestInstanceEndToEnd::runCommand(const QStringList& arguments)
{
    QProcess later;
    QVERIFY(folder.start(later, arguments));
    QVERIFY(later.waitForFinished(20000));
    QCOMPARE(later.exitStatus(), QProcess::NormalExit);
    QCOMPARE(later.exitCode(), 0);
    QCOMPARE(quillbay.state(), QProcess::Running);
}

void TestInstanceEndToEnd::watchClipboard()
{
    // xclip claims the clipboard at the server's present time. A claim by this process carries
    // the time of the last X event it saw, which is older than the claim of the program that
    // copied last, and the server then refuses it.
    RunTool(u"sh"_s,
            {u"-c"_s, u"printf %s \"$1\" | xclip -selection clipboard >/dev/null 2>&1"_s, u"sh"_s,
             u"the user's own text"_s});
    QClipboard* clipboard = QGuiApplication::clipboard();
    QTRY_COMPARE(clipboard->text(), u"the user's own text"_s);
    QCoreApplication::processEvents();
    clipboardTaken = 0;
    disconnect(clipboardWatch);
    clipboardWatch = connect(clipboard, &QClipboard::changed, this,
                             [this](QClipboard::Mode mode) { clipboardTaken += mode == QClipboard::Clipboard; });
}

void TestInstanceEndToEnd::secondStartBringsTheFirstUp()
{
    ActivateWindow(editorWindow);
    runCommand({});
    QTRY_COMPARE_WITH_TIMEOUT(ActiveWindow(), mainWindow, 10000);
    // One main window on the desktop: the second start showed none.
    const QStringList managed = ManagedWindows();
    const QStringList named
        = Xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Tolvane Quillbay$"_s}).split(u'\n');
    QCOMPARE(std::count_if(named.begin(), named.end(), [&](const QString& window) { return managed.contains(window); }),
             1);
}

void TestInstanceEndToEnd::sendFromTheCommandLine()
{
    const QString expected = folder.messageText(u"start"_s);
    QVERIFY(!expected.isEmpty());
    ActivateWindow(editorWindow);
    Keys({u"ctrl+a"_s, u"Delete"_s});
    watchClipboard();
    // As a shortcut of the desktop would run it, with the editor in front.
    runCommand({u"--send"_s, u"start"_s});
    // The program takes the clipboard for the paste, then again to give the old text back.
    QTRY_VERIFY_WITH_TIMEOUT(clipboardTaken >= 2, 15000);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"the user's own text"_s);
    QCOMPARE(CopyWindowTextWhen(editorWindow, expected, 10000), expected);
}

void TestInstanceEndToEnd::startsHiddenInTheTray()
{
    // Another settings folder: a copy of its own, started as the login entry starts it.
    ProgramFolder other{QStringLiteral(QB_PROGRAM)};
    IniFile(other.filePath(u"options.ini"_s)).writeText(u"Options"_s, u"Target"_s, u"Notepad"_s);
    QProcess hidden;
    QVERIFY(other.start(hidden, {u"--hide"_s}));
    const auto shownWindow = [&] { return ShownMainWindow(hidden.processId()); };
    QVERIFY(WaitFor([&] {
        const QStringList windows = WindowsOf(hidden.processId());
        return std::any_of(windows.begin(), windows.end(),
                           [](const QString& window) { return IsViewable(window) && InTray(window); });
    }));
    QVERIFY(WaitFor([&] { return shownWindow().isEmpty(); }));

    // --show brings it up; the first copy is left alone.
    QProcess show;
    QVERIFY(other.start(show, {u"--show"_s}));
    QVERIFY(show.waitForFinished(20000));
    QCOMPARE(show.exitCode(), 0);
    QString window;
    QVERIFY(WaitFor([&] { return !(window = shownWindow()).isEmpty(); }));
    QTRY_COMPARE_WITH_TIMEOUT(ActiveWindow(), window, 10000);
    QCOMPARE(quillbay.state(), QProcess::Running);
    hidden.kill();
    hidden.waitForFinished();
}

void TestInstanceEndToEnd::pastesIntoTheBrowserCameFrom()
{
    QVERIFY(AddMessageTo(folder.filePath(u"quillbay.db"_s), u"mixed"_s, MixedText));
    IniFile(folder.filePath(u"options.ini"_s)).writeText(u"Options"_s, u"Target"_s, u"The window I came from"_s);

    QTemporaryDir pages;
    const QString page = pages.filePath(u"mail.html"_s);
    QFile file(page);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // The text area fills the page, so that a click in the window's middle lands in it.
    file.write("<!doctype html><meta charset=\"utf-8\"><title>Web mail compose</title>"
               "<style>textarea { position: fixed; inset: 0; width: 100%; height: 100%; }</style>"
               "<textarea id=\"body\" autofocus></textarea>");
    file.close();
    // No accessibility bus: it would outlive the browser's own bus.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"NO_AT_BRIDGE"_s, u"1"_s);
    DesktopProgram browser(environment);
    const QString browserWindow = StartBrowser(browser, page, u"Web mail compose"_s);
    QVERIFY(!browserWindow.isEmpty());

    // The text area has the focus once a typed probe can be copied back from it; a page still
    // loading on a busy machine takes a few clicks.
    const QString geometry = Xdotool({u"getwindowgeometry"_s, u"--shell"_s, browserWindow});
    const auto size = [&](const QString& key) { return geometry.section(key + u'=', 1).section(u'\n', 0, 0).toInt(); };
    QVERIFY(WaitFor(
        [&] {
            ActivateWindow(browserWindow);
            Xdotool({u"mousemove"_s, u"--window"_s, browserWindow, QString::number(size(u"WIDTH"_s) / 2),
                     QString::number(size(u"HEIGHT"_s) / 2), u"click"_s, u"1"_s});
            Keys({u"ctrl+a"_s, u"BackSpace"_s, u"p"_s});
            return CopyWindowText(browserWindow) == u"p"_s;
        },
        30000));
    Keys({u"BackSpace"_s});

    // F11 from the browser, the Hotword, Enter, F12.
    Keys({u"F11"_s});
    QTRY_COMPARE_WITH_TIMEOUT(ActiveWindow(), mainWindow, 10000);
    Keys({u"ctrl+a"_s});
    Xdotool({u"type"_s, u"--delay"_s, u"20"_s, u"mixed"_s});
    Keys({u"Return"_s});
    watchClipboard();
    ActivateWindow(mainWindow);
    Keys({u"F12"_s});
    QTRY_VERIFY_WITH_TIMEOUT(clipboardTaken >= 2, 15000);
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), u"the user's own text"_s);
    QCOMPARE(ActiveWindow(), browserWindow);
    // The browser shows what it fetched a moment later.
    QCOMPARE(CopyWindowTextWhen(browserWindow, MixedText, 10000), MixedText);
    browser.stop();
}

QTEST_MAIN(TestInstanceEndToEnd)
#include "tst_instance_e2e.moc"
