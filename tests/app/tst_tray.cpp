// The built program on a real X11 desktop (Xvfb, openbox and trayer as the tray): the
// tray icon, the system-wide activation key from another program (Mousepad), hiding to the
// tray and back, and the layout written at the end.
#include "desktoptools.h"
#include "settings/inifile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Keys of options.ini and their values; the layout keys go to "Startup Settings".
using Options = std::map<QString, QString>;

// One copy of the program in a folder of its own, with the options given.
class Instance {
public:
    explicit Instance(const Options& options = {})
    {
        IniFile ini(folder.filePath(u"options.ini"_s));
        ini.writeText(u"Options"_s, u"Target"_s, u"Notepad"_s);
        for (const auto& [key, value] : options) {
            const QString section
                = key.startsWith(u"Main Form"_s) || key == u"Left Panel Width"_s ? u"Startup Settings"_s : u"Options"_s;
            ini.writeText(section, key, value);
        }
        process.setProcessEnvironment(folder.environment());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(folder.program(), {});
        if (!process.waitForStarted())
            qFatal("the program did not start");
        const bool shown = WaitFor([this] {
            for (const QString& window : WindowsOf(process.processId())) {
                if (ManagedWindows().contains(window) && IsViewable(window))
                    mainWindow = window;
                else if (IsViewable(window) && InTray(window))
                    trayIcon = window;
            }
            return !mainWindow.isEmpty() && !trayIcon.isEmpty() && ActiveWindow() == mainWindow;
        });
        if (!shown)
            qFatal("the main window and the tray icon did not show");
    }
    ~Instance()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    // Main Form State, Left, Top, Width and Height as written.
    QStringList layout() const
    {
        QStringList values;
        for (const char* key : {"State", "Left", "Top", "Width", "Height"}) {
            values << IniFile(folder.filePath(u"options.ini"_s))
                          .readText(u"Startup Settings"_s, u"Main Form "_s + QLatin1StringView(key), {});
        }
        return values;
    }
    bool isHiddenInTray() const { return !IsViewable(mainWindow) && !ManagedWindows().contains(mainWindow); }
    // The tray menu at the icon; the keys choose its item.
    void trayMenu(const QStringList& keys) const
    {
        Xdotool({u"mousemove"_s, u"--window"_s, trayIcon, u"8"_s, u"8"_s, u"click"_s, u"3"_s});
        QVERIFY(WaitFor([this] { return WindowsOf(process.processId()).size() > 2; }));
        Xdotool(QStringList{u"key"_s, u"--delay"_s, u"40"_s} + keys);
    }

    ProgramFolder folder{QStringLiteral(QB_PROGRAM)};
    QProcess process;
    QString mainWindow;
    QString trayIcon;
};

} // namespace

class TestTray : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void iconIsEmbeddedAndTheLayoutIsWrittenAtExit();
    void hiddenToTheTrayAndBack();
    void singleClicksOnTheIconHideAndShow();
    void secondInstanceLeavesTheKeyWithTheFirst();

private:
    // Mousepad in front, then F11; true when the window became the active one.
    bool activateFromEditor(const QString& window);
    // Keys typed now land in the search box: what it holds afterwards.
    QString typeIntoFocus(const QString& text);

    DesktopProgram m_editor;
    QString m_editorWindow;
};

void TestTray::initTestCase()
{
    const QString file = QDir(m_editor.home()).filePath(u"note.txt"_s);
    QFile(file).open(QIODevice::WriteOnly);
    QVERIFY(m_editor.start(u"mousepad"_s, {file}));
    m_editorWindow = m_editor.window({u"--name"_s, u"note.txt"_s});
    QVERIFY(!m_editorWindow.isEmpty());
}

void TestTray::cleanupTestCase()
{
    m_editor.stop();
}

bool TestTray::activateFromEditor(const QString& window)
{
    ActivateWindow(m_editorWindow);
    if (!WaitFor([this] { return ActiveWindow() == m_editorWindow; }))
        return false;
    Xdotool({u"key"_s, u"F11"_s});
    return WaitFor([&] { return ActiveWindow() == window && IsViewable(window); });
}

QString TestTray::typeIntoFocus(const QString& text)
{
    // Copied back from the focused box; the clipboard then holds exactly its text.
    Xdotool({u"key"_s, u"--delay"_s, u"30"_s, u"ctrl+a"_s, u"BackSpace"_s});
    Xdotool({u"type"_s, u"--delay"_s, u"30"_s, text});
    Xdotool({u"key"_s, u"--delay"_s, u"30"_s, u"ctrl+a"_s, u"ctrl+c"_s});
    QString copied;
    WaitFor([&] { return (copied = RunTool(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s})) == text; }, 3000);
    return copied;
}

void TestTray::iconIsEmbeddedAndTheLayoutIsWrittenAtExit()
{
    {
        // A first start: the design position, the design size on a 1280-pixel screen.
        Instance first;
        QVERIFY(InTray(first.trayIcon));
        QVERIFY(!InTray(first.mainWindow));
        first.trayMenu({u"x"_s});
        QVERIFY(first.process.waitForFinished(10000));
        QCOMPARE(first.process.exitCode(), 0);
        QCOMPARE(first.layout(), (QStringList{u"0"_s, u"178"_s, u"189"_s, u"678"_s, u"380"_s}));
    }
    // A saved layout comes back as it was and is written again unchanged.
    Instance again(Options{{u"Main Form Left"_s, u"300"_s},
                           {u"Main Form Top"_s, u"250"_s},
                           {u"Main Form Width"_s, u"720"_s},
                           {u"Main Form Height"_s, u"430"_s}});
    ActivateWindow(again.mainWindow);
    Xdotool({u"key"_s, u"--delay"_s, u"40"_s, u"alt+f"_s, u"x"_s});
    QVERIFY(again.process.waitForFinished(10000));
    QCOMPARE(again.layout(), (QStringList{u"0"_s, u"300"_s, u"250"_s, u"720"_s, u"430"_s}));
}

void TestTray::hiddenToTheTrayAndBack()
{
    Instance quillbay(Options{{u"Minimize On Close"_s, u"True"_s}});
    const QString window = quillbay.mainWindow;

    // Closed by the title bar's key: hidden, no task-bar entry, still running, icon shown.
    Xdotool({u"key"_s, u"alt+F4"_s});
    QVERIFY(WaitFor([&] { return quillbay.isHiddenInTray(); }));
    QCOMPARE(quillbay.process.state(), QProcess::Running);
    QVERIFY(IsViewable(quillbay.trayIcon));
    QVERIFY(activateFromEditor(window));
    QCOMPARE(typeIntoFocus(u"back"_s), u"back"_s);

    // Minimised: hidden the same way; a double-click on the icon brings it back.
    Xdotool({u"windowminimize"_s, window});
    QVERIFY(WaitFor([&] { return quillbay.isHiddenInTray(); }));
    Xdotool({u"mousemove"_s, u"--window"_s, quillbay.trayIcon, u"8"_s, u"8"_s, u"click"_s, u"--repeat"_s, u"2"_s,
             u"--delay"_s, u"80"_s, u"1"_s});
    QVERIFY(WaitFor([&] { return ActiveWindow() == window && IsViewable(window); }));

    // The File menu's Exit hides too; the tray's Restore brings the window back.
    Xdotool({u"key"_s, u"--delay"_s, u"40"_s, u"alt+f"_s, u"x"_s});
    QVERIFY(WaitFor([&] { return quillbay.isHiddenInTray(); }));
    quillbay.trayMenu({u"Down"_s, u"Return"_s});
    QVERIFY(WaitFor([&] { return ActiveWindow() == window && IsViewable(window); }));
    QCOMPARE(typeIntoFocus(u"menu"_s), u"menu"_s);

    // From the tray, the tray's Exit ends the program and writes the layout.
    Xdotool({u"key"_s, u"alt+F4"_s});
    QVERIFY(WaitFor([&] { return quillbay.isHiddenInTray(); }));
    quillbay.trayMenu({u"x"_s});
    QVERIFY(quillbay.process.waitForFinished(10000));
    QCOMPARE(quillbay.process.exitCode(), 0);
    QCOMPARE(quillbay.layout(), (QStringList{u"0"_s, u"178"_s, u"189"_s, u"678"_s, u"380"_s}));
}

void TestTray::singleClicksOnTheIconHideAndShow()
{
    Instance quillbay;
    const QString window = quillbay.mainWindow;
    const auto click = [&](const QString& count) {
        Xdotool({u"mousemove"_s, u"--window"_s, quillbay.trayIcon, u"8"_s, u"8"_s, u"click"_s, u"--repeat"_s, count,
                 u"--delay"_s, u"80"_s, u"1"_s});
    };
    click(u"1"_s);
    QVERIFY(WaitFor([&] { return quillbay.isHiddenInTray(); }));
    click(u"1"_s);
    QVERIFY(WaitFor([&] { return ActiveWindow() == window && IsViewable(window); }));
    QCOMPARE(typeIntoFocus(u"click"_s), u"click"_s);
    // A double-click on the shown window leaves it shown.
    click(u"2"_s);
    QTest::qWait(1500);
    QVERIFY(IsViewable(window));
    QVERIFY(!quillbay.isHiddenInTray());
}

void TestTray::secondInstanceLeavesTheKeyWithTheFirst()
{
    Instance first;
    auto second = std::make_unique<Instance>();
    // The second one could not claim the key: F11 brings the first, and the keys after it
    // reach its search box, since the key's grab let go of the keyboard.
    QVERIFY(activateFromEditor(first.mainWindow));
    QCOMPARE(typeIntoFocus(u"zq"_s), u"zq"_s);

    // The second one ends; the key still belongs to the first.
    ActivateWindow(second->mainWindow);
    Xdotool({u"key"_s, u"--delay"_s, u"40"_s, u"alt+f"_s, u"x"_s});
    QVERIFY(second->process.waitForFinished(10000));
    second.reset();
    QVERIFY(activateFromEditor(first.mainWindow));
}

QTEST_GUILESS_MAIN(TestTray)
#include "tst_tray.moc"
