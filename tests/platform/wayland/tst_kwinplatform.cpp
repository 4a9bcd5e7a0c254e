// KDE Plasma's desktop layer against a real KWin (kwin_wayland --virtual) with a native Wayland
// Mousepad. KWin lets this test use its window management and fake input the way it lets the
// installed program: through a desktop file that names the test's executable and asks for the
// interfaces the program's own desktop file asks for.
#include "delivery/keyinput.h"
#include "platform/wayland/fakeinputkeyboard.h"
#include "platform/wayland/kglobalaccelhotkey.h"
#include "platform/wayland/plasmawindowsystem.h"
#include "platform/wayland/waylandconnection.h"
#include "util/virtualkeys.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Mousepad 0.5 gives its windows the app id of its program name.
const QString MousepadAppId = u"mousepad"_s;

// The program's desktop file line that asks KWin for the interfaces.
QString RequestedInterfacesLine()
{
    QFile file(QStringLiteral(QB_DESKTOP_FILE));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        if (line.startsWith(u"X-KDE-Wayland-Interfaces="_s))
            return line;
    }
    return {};
}

// Runs a script inside KWin through its scripting service.
bool RunKWinScript(const QString& code)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"script.js"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(code.toUtf8()) < 0)
        return false;
    file.close();
    const QString plugin = u"qbtest"_s;
    QDBusMessage load = QDBusMessage::createMethodCall(u"org.kde.KWin"_s, u"/Scripting"_s, u"org.kde.kwin.Scripting"_s,
                                                       u"loadScript"_s);
    load.setArguments({path, plugin});
    const QDBusReply<int> id = QDBusConnection::sessionBus().call(load);
    if (!id.isValid())
        return false;
    const QDBusMessage run = QDBusMessage::createMethodCall(u"org.kde.KWin"_s, u"/"_s + QString::number(id.value()),
                                                            u"org.kde.kwin.Script"_s, u"run"_s);
    const bool ran = QDBusConnection::sessionBus().call(run).type() == QDBusMessage::ReplyMessage;
    QDBusMessage unload = QDBusMessage::createMethodCall(u"org.kde.KWin"_s, u"/Scripting"_s,
                                                         u"org.kde.kwin.Scripting"_s, u"unloadScript"_s);
    unload.setArguments({plugin});
    QDBusConnection::sessionBus().call(unload);
    return ran;
}

// Gives another component of the shortcut service a key, as another program would.
QList<int> HoldKeyForOtherComponent(int key)
{
    const QStringList actionId{u"othertool"_s, u"run"_s, u"Other Tool"_s, u"Run"_s};
    QDBusMessage reg = QDBusMessage::createMethodCall(u"org.kde.kglobalaccel"_s, u"/kglobalaccel"_s,
                                                      u"org.kde.KGlobalAccel"_s, u"doRegister"_s);
    reg.setArguments({actionId});
    QDBusConnection::sessionBus().call(reg);
    QDBusMessage set = QDBusMessage::createMethodCall(u"org.kde.kglobalaccel"_s, u"/kglobalaccel"_s,
                                                      u"org.kde.KGlobalAccel"_s, u"setShortcut"_s);
    set.setArguments({actionId, QVariant::fromValue(QList<int>{key}), 2u | 4u});
    const QDBusReply<QList<int>> reply = QDBusConnection::sessionBus().call(set);
    return reply.isValid() ? reply.value() : QList<int>();
}

// The clipboard's text as another program reads it; empty when none comes within a second.
QString ClipboardText()
{
    QProcess paste;
    paste.start(u"wl-paste"_s, {u"--no-newline"_s});
    if (!paste.waitForFinished(1000)) {
        paste.kill();
        paste.waitForFinished();
        return {};
    }
    return QString::fromUtf8(paste.readAllStandardOutput());
}

// The virtual key and shift state that type a character on a US keyboard.
std::pair<std::uint16_t, std::uint8_t> KeyFor(QChar c)
{
    if (c.isUpper())
        return {static_cast<std::uint16_t>(c.unicode()), ShiftState::Shift};
    if (c.isLower())
        return {static_cast<std::uint16_t>(c.toUpper().unicode()), 0};
    if (c.isDigit())
        return {static_cast<std::uint16_t>(c.unicode()), 0};
    switch (c.unicode()) {
    case ' ': return {Vk::Space, 0};
    case ',': return {Vk::OemComma, 0};
    case '.': return {Vk::OemPeriod, 0};
    case '-': return {Vk::OemMinus, 0};
    case '_': return {Vk::OemMinus, ShiftState::Shift};
    case ':': return {Vk::Oem1, ShiftState::Shift};
    case '!': return {static_cast<std::uint16_t>(Vk::Key0 + 1), ShiftState::Shift};
    default: return {0, 0};
    }
}

// Holds a key with its modifiers down for a while, long enough for it to repeat.
void HoldKey(KeyboardSynth& keyboard, std::uint16_t key, std::uint8_t shiftState, int ms)
{
    const QList<std::pair<std::uint8_t, std::uint16_t>> modifiers{
        {ShiftState::Ctrl, Vk::Control}, {ShiftState::Shift, Vk::Shift}, {ShiftState::Alt, Vk::Menu}};
    for (const auto& [bit, vk] : modifiers) {
        if (shiftState & bit)
            keyboard.keyEvent(vk, keyboard.scanCode(vk), 0);
    }
    keyboard.keyEvent(key, keyboard.scanCode(key), 0);
    QTest::qWait(ms);
    keyboard.keyEvent(key, keyboard.scanCode(key), KeyboardSynth::KeyUp);
    for (const auto& [bit, vk] : modifiers) {
        if (shiftState & bit)
            keyboard.keyEvent(vk, keyboard.scanCode(vk), KeyboardSynth::KeyUp);
    }
}

// Plasma's status notifier watcher, with or without a tray showing the icons.
class StatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
public:
    explicit StatusNotifierWatcher(bool host)
        : m_host(host)
    { }
    bool hostRegistered() const { return m_host; }

private:
    bool m_host;
};

} // namespace

class TestKWinPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void editorListedWithTitleAppIdAndOwner();
    void activationAndMinimizedWindow_data();
    void activationAndMinimizedWindow();
    void keysTypedExactly_data();
    void keysTypedExactly();
    void activationKey_data();
    void activationKey();
    void notificationArea_data();
    void notificationArea();

private:
    WindowHandle editorWindow();

    std::unique_ptr<WaylandConnection> connection;
    std::unique_ptr<PlasmaWindowSystem> windows;
    std::unique_ptr<FakeInputKeyboardSynth> keyboard;
    QProcess editor;
    WindowHandle editorHandle = 0;
};

void TestKWinPlatform::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("WAYLAND_DISPLAY"), "run under tests/support/with-wayland.sh kwin");
    const QString interfaces = RequestedInterfacesLine();
    QVERIFY2(!interfaces.isEmpty(), "the program's desktop file asks KWin for no interfaces");
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    QVERIFY2(!exe.contains(u' '), "the test's path must not hold spaces");
    const QString applications
        = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/applications"_s;
    QVERIFY(QDir().mkpath(applications));
    QFile entry(applications + u"/qb-tst-kwinplatform.desktop"_s);
    QVERIFY(entry.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QString text = u"[Desktop Entry]\nType=Application\nName=Quillbay KWin test\nNoDisplay=true\nExec="_s + exe
        + u'\n' + interfaces + u'\n';
    QVERIFY(entry.write(text.toUtf8()) > 0);
    entry.close();

    connection = std::make_unique<WaylandConnection>();
    QVERIFY2(connection->offers("org_kde_plasma_window_management"), "KWin refused the window management");
    windows = std::make_unique<PlasmaWindowSystem>(*connection);
    keyboard = std::make_unique<FakeInputKeyboardSynth>(*connection);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"GDK_BACKEND"_s, u"wayland"_s);
    env.insert(u"GSETTINGS_BACKEND"_s, u"memory"_s);
    env.insert(u"NO_AT_BRIDGE"_s, u"1"_s);
    editor.setProcessEnvironment(env);
    editor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    editor.start(u"mousepad"_s, {});
    QVERIFY(editor.waitForStarted());
    QDeadlineTimer deadline(20000);
    while ((editorHandle = editorWindow()) == 0 && !deadline.hasExpired())
        QTest::qWait(100);
    QStringList seen;
    for (const WindowHandle window : windows->topLevelWindows())
        seen.append(windows->windowClass(window) + u": "_s + windows->windowTitle(window));
    QVERIFY2(editorHandle != 0, qPrintable(u"Mousepad did not show; windows: "_s + seen.join(u", "_s)));
}

void TestKWinPlatform::cleanupTestCase()
{
    keyboard.reset();
    windows.reset();
    connection.reset();
    editor.kill();
    editor.waitForFinished();
}

WindowHandle TestKWinPlatform::editorWindow()
{
    for (const WindowHandle window : windows->topLevelWindows()) {
        if (windows->windowClass(window) == MousepadAppId)
            return window;
    }
    return 0;
}

void TestKWinPlatform::editorListedWithTitleAppIdAndOwner()
{
    const QList<WindowHandle> list = windows->topLevelWindows();
    QVERIFY(list.contains(editorHandle));
    QCOMPARE(windows->windowClass(editorHandle), MousepadAppId);
    QVERIFY2(windows->windowTitle(editorHandle).contains(u"Mousepad"_s),
             qPrintable(windows->windowTitle(editorHandle)));
    QCOMPARE(windows->windowOwner(editorHandle), WindowHandle(0));
    QCOMPARE(windows->windowRole(editorHandle), QString());
    QVERIFY(!windows->isOwnWindow(editorHandle));
    // The newest window is on top.
    QCOMPARE(list.first(), editorHandle);

    // A dialog (Go to line) names the editor as its owner and the editor's process as its own.
    QVERIFY(BringWindowToForeground(*windows, editorHandle));
    SendKeyPress(*keyboard, Vk::KeyA + ('L' - 'A'), ShiftState::Ctrl, false);
    WindowHandle dialog = 0;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = windows->activeWindow()) != editorHandle && dialog != 0, 5000);
    QCOMPARE(windows->windowOwner(dialog), editorHandle);
    QCOMPARE(windows->topLevelWindows().first(), dialog);
    QVERIFY(!windows->isOwnWindow(dialog));
    SendKeyPress(*keyboard, Vk::Escape, 0, false);
    QTRY_COMPARE_WITH_TIMEOUT(windows->activeWindow(), editorHandle, 5000);
    // Gone windows answer empty.
    QTRY_VERIFY_WITH_TIMEOUT(!windows->topLevelWindows().contains(dialog), 5000);
    QCOMPARE(windows->windowTitle(dialog), QString());
    QCOMPARE(windows->windowOwner(dialog), WindowHandle(0));
    windows->requestActivation(dialog);
    QVERIFY(!windows->waitUntilActive(dialog, 100));
}

void TestKWinPlatform::activationAndMinimizedWindow_data()
{
    QTest::addColumn<bool>("restoreFirst");
    QTest::newRow("restored, then activated") << true;
    QTest::newRow("activated while minimised") << false;
}

void TestKWinPlatform::activationAndMinimizedWindow()
{
    QFETCH(bool, restoreFirst);
    QVERIFY(BringWindowToForeground(*windows, editorHandle));
    QVERIFY(RunKWinScript(u"workspace.activeClient.minimized = true;"_s));
    QTRY_VERIFY_WITH_TIMEOUT(windows->isMinimized(editorHandle), 5000);
    QVERIFY(windows->activeWindow() != editorHandle);
    if (restoreFirst) {
        windows->restoreWindow(editorHandle);
        QTRY_VERIFY_WITH_TIMEOUT(!windows->isMinimized(editorHandle), 5000);
    }
    windows->requestActivation(editorHandle);
    QVERIFY(windows->waitUntilActive(editorHandle, 5000));
    QVERIFY(!windows->isMinimized(editorHandle));
    QCOMPARE(windows->activeWindow(), editorHandle);
}

void TestKWinPlatform::keysTypedExactly_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("letters and space") << u"Dear Customer"_s;
    QTest::newRow("digits and punctuation") << u"Order 4711, shipped: today."_s;
    QTest::newRow("shifted symbols") << u"Thanks_a-lot!"_s;
}

void TestKWinPlatform::keysTypedExactly()
{
    QFETCH(QString, text);
    QVERIFY(BringWindowToForeground(*windows, editorHandle));
    // Empty the document first.
    SendKeyPress(*keyboard, Vk::KeyA, ShiftState::Ctrl, false);
    SendKeyPress(*keyboard, Vk::Delete, 0, false);
    for (const QChar c : text) {
        const auto [vk, shift] = KeyFor(c);
        QVERIFY2(vk != 0, "the test types no such character");
        SendKeyPress(*keyboard, vk, shift, false);
    }
    SendKeyPress(*keyboard, Vk::KeyA, ShiftState::Ctrl, false);
    SendKeyPress(*keyboard, Vk::KeyA + ('C' - 'A'), ShiftState::Ctrl, false);
    QTRY_COMPARE_WITH_TIMEOUT(ClipboardText(), text, 5000);
}

void TestKWinPlatform::activationKey_data()
{
    QTest::addColumn<int>("vk");
    QTest::addColumn<int>("shift");
    QTest::addColumn<bool>("heldByOther");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("F11") << int(Vk::F11) << 0 << false << true;
    QTest::newRow("Ctrl+Shift+F12") << int(Vk::F12) << int(ShiftState::Ctrl | ShiftState::Shift) << false << true;
    QTest::newRow("held by another program") << int(Vk::F1 + 8) << int(ShiftState::Alt) << true << false;
    QTest::newRow("held by KWin (Ctrl+F1 switches desktops)") << int(Vk::F1) << int(ShiftState::Ctrl) << false << false;
}

void TestKWinPlatform::activationKey()
{
    QFETCH(int, vk);
    QFETCH(int, shift);
    QFETCH(bool, heldByOther);
    QFETCH(bool, accepted);
    const auto key = static_cast<std::uint16_t>(vk);
    const auto shiftState = static_cast<std::uint8_t>(shift);
    if (heldByOther)
        QCOMPARE(HoldKeyForOtherComponent(QtKeyCode(key, shiftState)), QList<int>{QtKeyCode(key, shiftState)});

    KGlobalAccelHotKey hotKey;
    int fired = 0;
    hotKey.setCallback([&fired] { ++fired; });
    QCOMPARE(hotKey.setKey(key, shiftState), accepted);
    QVERIFY(BringWindowToForeground(*windows, editorHandle));
    SendKeyPress(*keyboard, key, shiftState, false);
    if (accepted) {
        QTRY_COMPARE_WITH_TIMEOUT(fired, 1, 5000);
        // Held down, the key repeats; it still counts once, and again after its release.
        HoldKey(*keyboard, key, shiftState, 1500);
        QTRY_COMPARE_WITH_TIMEOUT(fired, 2, 1000);
        QTest::qWait(200);
        QCOMPARE(fired, 2);
        SendKeyPress(*keyboard, key, shiftState, false);
        QTRY_COMPARE_WITH_TIMEOUT(fired, 3, 5000);
        // Once cleared, the key is no longer ours.
        hotKey.clear();
        SendKeyPress(*keyboard, key, shiftState, false);
        QTest::qWait(500);
        QCOMPARE(fired, 3);
    } else {
        QTest::qWait(500);
        QCOMPARE(fired, 0);
    }
}

void TestKWinPlatform::notificationArea_data()
{
    QTest::addColumn<bool>("watcher");
    QTest::addColumn<bool>("host");
    QTest::newRow("no watcher (KWin alone)") << false << false;
    QTest::newRow("watcher without a tray") << true << false;
    QTest::newRow("watcher with Plasma's tray") << true << true;
}

void TestKWinPlatform::notificationArea()
{
    QFETCH(bool, watcher);
    QFETCH(bool, host);
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = u"org.kde.StatusNotifierWatcher"_s;
    const QString path = u"/StatusNotifierWatcher"_s;
    StatusNotifierWatcher object(host);
    if (watcher) {
        QVERIFY(bus.registerObject(path, &object, QDBusConnection::ExportAllProperties));
        QVERIFY(bus.registerService(service));
    }
    const bool answer = windows->hasNotificationArea();
    if (watcher) {
        bus.unregisterService(service);
        bus.unregisterObject(path);
    }
    QCOMPARE(answer, host);
}

QTEST_GUILESS_MAIN(TestKWinPlatform)
#include "tst_kwinplatform.moc"
