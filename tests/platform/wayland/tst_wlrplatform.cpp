// The wlroots desktop layer under a headless sway, against a native Wayland Mousepad and
// windows of the test itself (native, or through Xwayland in the second run).
#include "platform/wayland/evdevkeys.h"
#include "platform/wayland/virtualkeyboard.h"
#include "platform/wayland/waylandconnection.h"
#include "platform/wayland/wlrwindowsystem.h"

#include "delivery/keyinput.h"
#include "desktoptools.h"
#include "util/virtualkeys.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRasterWindow>
#include <QTest>
#include <QThread>

#include <xkbcommon/xkbcommon.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int WaitMs = 5000;
constexpr int StartMs = 20000;
const QString MousepadId = u"mousepad"_s;
const QString MousepadTitle = u"~/answer.txt - Mousepad"_s;

// A window as sway itself describes it (swaymsg), apart from the code under test.
struct SwayWindow {
    QString title;
    QString appId;
    bool focused = false;
};

void CollectWindows(const QJsonObject& node, QList<SwayWindow>& windows)
{
    if (node.contains(u"pid"_s)) {
        const QString appId = node[u"app_id"_s].isString()
            ? node[u"app_id"_s].toString()
            : node[u"window_properties"_s].toObject()[u"class"_s].toString();
        windows.append({node[u"name"_s].toString(), appId, node[u"focused"_s].toBool()});
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node[QLatin1String(children)].toArray())
            CollectWindows(child.toObject(), windows);
    }
}

QList<SwayWindow> SwayWindows()
{
    QList<SwayWindow> windows;
    CollectWindows(QJsonDocument::fromJson(RunTool(u"swaymsg"_s, {u"-t"_s, u"get_tree"_s}).toUtf8()).object(), windows);
    return windows;
}

QString SwayFocusedTitle()
{
    for (const SwayWindow& window : SwayWindows()) {
        if (window.focused)
            return window.title;
    }
    return {};
}

// The listed window with that title, or 0.
WindowHandle Listed(WindowSystem& windows, const QString& title)
{
    for (const WindowHandle window : windows.topLevelWindows()) {
        if (windows.windowTitle(window) == title)
            return window;
    }
    return 0;
}

// Types the text key by key: letters, digits, space and the punctuation of a US keyboard.
void TypeText(KeyboardSynth& keyboard, const QString& text)
{
    static const QString plain = u"`1234567890-=[]\\;',./"_s;
    static const QString shifted = u"~!@#$%^&*()_+{}|:\"<>?"_s;
    static const std::uint16_t keys[]
        = {Vk::Oem3,     Vk::Key0 + 1, Vk::Key0 + 2, Vk::Key0 + 3, Vk::Key0 + 4, Vk::Key0 + 5,  Vk::Key0 + 6,
           Vk::Key0 + 7, Vk::Key0 + 8, Vk::Key0 + 9, Vk::Key0,     Vk::OemMinus, Vk::OemPlus,   Vk::Oem4,
           Vk::Oem6,     Vk::Oem5,     Vk::Oem1,     Vk::Oem7,     Vk::OemComma, Vk::OemPeriod, Vk::Oem2};
    for (const QChar c : text) {
        if (c >= u'a' && c <= u'z')
            SendKeyPress(keyboard, std::uint16_t(Vk::KeyA + (c.unicode() - u'a')), 0, false);
        else if (c >= u'A' && c <= u'Z')
            SendKeyPress(keyboard, std::uint16_t(Vk::KeyA + (c.unicode() - u'A')), ShiftState::Shift, false);
        else if (c == u' ')
            SendKeyPress(keyboard, Vk::Space, 0, false);
        else if (c == u'\n')
            SendKeyPress(keyboard, Vk::Return, 0, false);
        else if (plain.contains(c))
            SendKeyPress(keyboard, keys[plain.indexOf(c)], 0, false);
        else if (shifted.contains(c))
            SendKeyPress(keyboard, keys[shifted.indexOf(c)], ShiftState::Shift, false);
        else
            QFAIL(qPrintable(u"no key types %1"_s.arg(c)));
    }
}

// Whether the clipboard offers anything, asked without fetching its data.
bool ClipboardIsOffered()
{
    return !RunTool(u"wl-paste"_s, {u"--list-types"_s}).isEmpty();
}

// A tray's watcher on the session bus, as swaybar or KDE runs one.
class TrayWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

public:
    explicit TrayWatcher(bool host)
        : m_host(host)
    { }
    bool hostRegistered() const { return m_host; }

private:
    bool m_host;
};

} // namespace

class TestWlrPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void evdevKeys_data();
    void evdevKeys();
    void listsWindows_data();
    void listsWindows();
    void activates_data();
    void activates();
    void types_data();
    void types();
    void closedWindow_data();
    void closedWindow();
    void notificationArea_data();
    void notificationArea();

private:
    // Mousepad's document, saved with Ctrl+S and read back.
    QString mousepadText();

    std::unique_ptr<WaylandConnection> m_wayland;
    std::unique_ptr<WlrWindowSystem> m_windows;
    std::unique_ptr<VirtualKeyboardSynth> m_keyboard;
    std::unique_ptr<DesktopProgram> m_mousepad;
    QRasterWindow m_own;
    WindowHandle m_mousepadWindow = 0;
    QString m_document;
    QProcessEnvironment m_mousepadEnvironment;
};

void TestWlrPlatform::initTestCase()
{
    // The X11 class that Qt gives our windows, apart from the executable's name.
    QCoreApplication::setApplicationName(u"Wlr Platform Test"_s);
    m_wayland = std::make_unique<WaylandConnection>();
    m_windows = std::make_unique<WlrWindowSystem>(*m_wayland);
    m_keyboard = std::make_unique<VirtualKeyboardSynth>(*m_wayland);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"GDK_BACKEND"_s, u"wayland"_s);
    environment.insert(u"NO_AT_BRIDGE"_s, u"1"_s);
    m_mousepadEnvironment = environment;
    m_mousepad = std::make_unique<DesktopProgram>(environment);
    m_document = m_mousepad->home() + u"/answer.txt"_s;
    QFile document(m_document);
    QVERIFY(document.open(QIODevice::WriteOnly));
    document.close();
    QVERIFY(m_mousepad->start(u"mousepad"_s, {m_document}));
    if (!QTest::qWaitFor([&] { return (m_mousepadWindow = Listed(*m_windows, MousepadTitle)) != 0; }, StartMs)) {
        QStringList titles;
        for (const WindowHandle window : m_windows->topLevelWindows())
            titles << m_windows->windowTitle(window);
        QFAIL(qPrintable(u"Mousepad did not show; listed: "_s + titles.join(u", "_s)));
    }

    m_own.setTitle(u"Own window"_s);
    m_own.resize(200, 100);
    m_own.show();
    QVERIFY(QTest::qWaitFor([&] { return Listed(*m_windows, m_own.title()) != 0; }));
}

void TestWlrPlatform::cleanupTestCase()
{
    m_mousepad.reset();
    m_keyboard.reset();
    m_windows.reset();
    m_wayland.reset();
}

void TestWlrPlatform::evdevKeys_data()
{
    QTest::addColumn<int>("virtualKey");
    QTest::addColumn<bool>("extended");
    // The keysym that the key gives in xkbcommon's US layout, without Shift.
    QTest::addColumn<QString>("keysym");
    QTest::newRow("first letter") << int(Vk::KeyA) << false << u"a"_s;
    QTest::newRow("V") << int(Vk::KeyV) << false << u"v"_s;
    QTest::newRow("last letter") << int(Vk::KeyA + 25) << false << u"z"_s;
    QTest::newRow("0") << int(Vk::Key0) << false << u"0"_s;
    QTest::newRow("9") << int(Vk::Key0 + 9) << false << u"9"_s;
    QTest::newRow("F1") << int(Vk::F1) << false << u"F1"_s;
    QTest::newRow("F11") << int(Vk::F11) << false << u"F11"_s;
    QTest::newRow("F12") << int(Vk::F12) << false << u"F12"_s;
    QTest::newRow("F13") << int(Vk::F12 + 1) << false << u"XF86Tools"_s;
    QTest::newRow("Shift") << int(Vk::Shift) << false << u"Shift_L"_s;
    QTest::newRow("right Shift") << int(Vk::Shift) << true << u"Shift_R"_s;
    QTest::newRow("RShift") << int(Vk::RShift) << false << u"Shift_R"_s;
    QTest::newRow("Control") << int(Vk::Control) << false << u"Control_L"_s;
    QTest::newRow("right Control") << int(Vk::Control) << true << u"Control_R"_s;
    QTest::newRow("LControl") << int(Vk::LControl) << false << u"Control_L"_s;
    QTest::newRow("Alt") << int(Vk::Menu) << false << u"Alt_L"_s;
    QTest::newRow("LWin") << int(Vk::LWin) << false << u"Super_L"_s;
    QTest::newRow("Return") << int(Vk::Return) << false << u"Return"_s;
    QTest::newRow("keypad Enter") << int(Vk::Return) << true << u"KP_Enter"_s;
    QTest::newRow("Tab") << int(Vk::Tab) << false << u"Tab"_s;
    QTest::newRow("Escape") << int(Vk::Escape) << false << u"Escape"_s;
    QTest::newRow("Back") << int(Vk::Back) << false << u"BackSpace"_s;
    QTest::newRow("Delete") << int(Vk::Delete) << false << u"Delete"_s;
    QTest::newRow("Insert") << int(Vk::Insert) << false << u"Insert"_s;
    QTest::newRow("Space") << int(Vk::Space) << false << u"space"_s;
    QTest::newRow("Home") << int(Vk::Home) << false << u"Home"_s;
    QTest::newRow("End extended") << int(Vk::End) << true << u"End"_s;
    QTest::newRow("Page Up") << int(Vk::Prior) << false << u"Prior"_s;
    QTest::newRow("Page Down") << int(Vk::Next) << false << u"Next"_s;
    QTest::newRow("Left") << int(Vk::Left) << false << u"Left"_s;
    QTest::newRow("Up") << int(Vk::Up) << false << u"Up"_s;
    QTest::newRow("Right") << int(Vk::Right) << false << u"Right"_s;
    QTest::newRow("Down") << int(Vk::Down) << false << u"Down"_s;
    QTest::newRow("keypad 0") << int(Vk::Numpad0) << false << u"KP_Insert"_s;
    QTest::newRow("keypad 7") << int(Vk::Numpad0 + 7) << false << u"KP_Home"_s;
    QTest::newRow("keypad *") << int(Vk::Multiply) << false << u"KP_Multiply"_s;
    QTest::newRow("keypad +") << int(Vk::Add) << false << u"KP_Add"_s;
    QTest::newRow("keypad -") << int(Vk::Subtract) << false << u"KP_Subtract"_s;
    QTest::newRow("keypad /") << int(Vk::Divide) << false << u"KP_Divide"_s;
    QTest::newRow("keypad .") << int(Vk::Decimal) << false << u"KP_Delete"_s;
    QTest::newRow("Num Lock") << int(Vk::NumLock) << false << u"Num_Lock"_s;
    QTest::newRow(";") << int(Vk::Oem1) << false << u"semicolon"_s;
    QTest::newRow("=") << int(Vk::OemPlus) << false << u"equal"_s;
    QTest::newRow(",") << int(Vk::OemComma) << false << u"comma"_s;
    QTest::newRow("-") << int(Vk::OemMinus) << false << u"minus"_s;
    QTest::newRow(".") << int(Vk::OemPeriod) << false << u"period"_s;
    QTest::newRow("/") << int(Vk::Oem2) << false << u"slash"_s;
    QTest::newRow("`") << int(Vk::Oem3) << false << u"grave"_s;
    QTest::newRow("[") << int(Vk::Oem4) << false << u"bracketleft"_s;
    QTest::newRow("backslash") << int(Vk::Oem5) << false << u"backslash"_s;
    QTest::newRow("]") << int(Vk::Oem6) << false << u"bracketright"_s;
    QTest::newRow("'") << int(Vk::Oem7) << false << u"apostrophe"_s;
    QTest::newRow("102nd key") << int(Vk::Oem102) << false << u"less"_s;
    QTest::newRow("no such key") << 0xFF << false << QString();
}

void TestWlrPlatform::evdevKeys()
{
    QFETCH(int, virtualKey);
    QFETCH(bool, extended);
    QFETCH(QString, keysym);
    const std::optional<std::uint32_t> code = EvdevKeyCode(std::uint16_t(virtualKey), extended);
    if (keysym.isEmpty()) {
        QVERIFY(!code);
        return;
    }
    QVERIFY(code);
    const auto context = std::unique_ptr<xkb_context, decltype(&xkb_context_unref)>(
        xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    const auto keymap = std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)>(
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS), &xkb_keymap_unref);
    QVERIFY(keymap);
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap.get(), *code + 8, 0, 0, &syms);
    QCOMPARE(count, 1);
    char name[64];
    xkb_keysym_get_name(syms[0], name, sizeof name);
    QCOMPARE(QString::fromLatin1(name), keysym);
}

void TestWlrPlatform::listsWindows_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("appId");
    QTest::addColumn<bool>("own");
    QTest::newRow("native Mousepad") << MousepadTitle << MousepadId << false;
    // Natively Qt names the window after the executable; through Xwayland sway gives the
    // X11 class, the application's name.
    const bool x11 = QGuiApplication::platformName() == u"xcb"_s;
    QTest::newRow("own window") << u"Own window"_s << (x11 ? u"Wlr Platform Test"_s : u"tst_wlrplatform"_s) << true;
}

void TestWlrPlatform::listsWindows()
{
    QFETCH(QString, title);
    QFETCH(QString, appId);
    QFETCH(bool, own);
    const WindowHandle window = Listed(*m_windows, title);
    QVERIFY(window != 0);
    QCOMPARE(m_windows->windowClass(window), appId);
    QCOMPARE(m_windows->windowRole(window), QString());
    QCOMPARE(m_windows->windowOwner(window), WindowHandle(0));
    QCOMPARE(m_windows->isOwnWindow(window), own);
    // As sway tells it.
    bool found = false;
    for (const SwayWindow& sway : SwayWindows())
        found = found || (sway.title == title && sway.appId == appId);
    QVERIFY(found);
}

void TestWlrPlatform::activates_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("Mousepad from our window") << u"Own window"_s << MousepadTitle;
    QTest::newRow("our window from Mousepad") << MousepadTitle << u"Own window"_s;
}

void TestWlrPlatform::activates()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    const WindowHandle first = Listed(*m_windows, from);
    const WindowHandle second = Listed(*m_windows, to);
    QVERIFY(first && second);
    QVERIFY(BringWindowToForeground(*m_windows, first));
    QTRY_COMPARE(SwayFocusedTitle(), from);

    QVERIFY(BringWindowToForeground(*m_windows, second));
    QCOMPARE(m_windows->activeWindow(), second);
    QTRY_COMPARE(SwayFocusedTitle(), to);
    // The active window first, then the one active before it.
    const QList<WindowHandle> list = m_windows->topLevelWindows();
    QVERIFY(list.size() >= 2);
    QCOMPARE(list[0], second);
    QCOMPARE(list[1], first);
}

QString TestWlrPlatform::mousepadText()
{
    SendKeyPress(*m_keyboard, Vk::KeyA + 18, ShiftState::Ctrl, false);
    QFile document(m_document);
    if (!document.open(QIODevice::ReadOnly))
        return u"(not saved)"_s;
    return QString::fromUtf8(document.readAll());
}

void TestWlrPlatform::types_data()
{
    QTest::addColumn<QString>("layout");
    // A key that the user holds on the keyboard meanwhile, or 0.
    QTest::addColumn<int>("held");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letters") << QString() << 0 << u"hello"_s << QString() << u"hello"_s;
    QTest::newRow("Shift, digits, punctuation") << QString() << 0 << u"Hello, World! 1+2=3 [a/b] \"q\" ~`"_s
                                                << QString() << u"Hello, World! 1+2=3 [a/b] \"q\" ~`"_s;
    QTest::newRow("Ctrl+V") << QString() << 0 << QString() << u"Grüße – 東京\nline two"_s
                            << u"Grüße – 東京\nline two"_s;
    QTest::newRow("typed then pasted") << QString() << 0 << u"Re: "_s << u"answer"_s << u"Re: answer"_s;
    // The keys keep their meaning when the desktop's keyboards have another layout.
    QTest::newRow("German layout") << u"de"_s << 0 << u"yz-"_s << u"x"_s << u"yz-x"_s;
    // The user's modifiers stay on the user's keyboard.
    QTest::newRow("user holds Ctrl") << QString() << int(Vk::Control) << u"send"_s << u"x"_s << u"sendx"_s;
    QTest::newRow("user holds Shift") << QString() << int(Vk::Shift) << u"abc"_s << QString() << u"abc"_s;
}

void TestWlrPlatform::types()
{
    QFETCH(QString, layout);
    QFETCH(int, held);
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, expected);
    if (!layout.isEmpty())
        RunTool(u"swaymsg"_s, {u"input type:keyboard xkb_layout "_s + layout});
    const auto usLayout = qScopeGuard([&] {
        if (!layout.isEmpty())
            RunTool(u"swaymsg"_s, {u"input type:keyboard xkb_layout us"_s});
    });
    QProcess copy;
    const auto stopCopy = qScopeGuard([&] {
        copy.kill();
        copy.waitForFinished();
    });
    QVERIFY(BringWindowToForeground(*m_windows, m_mousepadWindow));
    QVERIFY(m_keyboard->waitUntilModifiersReleased(1000));
    // An empty document.
    SendKeyPress(*m_keyboard, Vk::KeyA, ShiftState::Ctrl, false);
    SendKeyPress(*m_keyboard, Vk::Delete, 0, false);

    // Another keyboard of the seat, as the user's.
    std::optional<VirtualKeyboardSynth> user;
    if (held != 0) {
        user.emplace(*m_wayland);
        user->keyEvent(std::uint16_t(held), 0, 0);
    }
    TypeText(*m_keyboard, typed);
    if (!pasted.isEmpty()) {
        RunTool(u"wl-copy"_s, {u"--clear"_s});
        copy.start(u"wl-copy"_s, {u"--foreground"_s, u"--"_s, pasted});
        QVERIFY(QTest::qWaitFor([&] { return ClipboardIsOffered(); }, WaitMs));
        SendKeyPress(*m_keyboard, Vk::KeyV, ShiftState::Ctrl, false);
    }
    user.reset();
    QTRY_COMPARE_WITH_TIMEOUT(mousepadText(), expected, 2 * WaitMs);
}

void TestWlrPlatform::closedWindow_data()
{
    QTest::addColumn<bool>("mousepad");
    QTest::newRow("our window") << false;
    QTest::newRow("Mousepad ended") << true;
}

void TestWlrPlatform::closedWindow()
{
    QFETCH(bool, mousepad);
    QRasterWindow window;
    window.setTitle(u"Closed soon"_s);
    window.resize(100, 100);
    DesktopProgram program(m_mousepadEnvironment);
    const QString document = program.home() + u"/closed.txt"_s;
    QFile file(document);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString title = mousepad ? u"~/closed.txt - Mousepad"_s : window.title();
    const auto show = [&] {
        if (mousepad)
            QVERIFY(program.start(u"mousepad"_s, {document}));
        else
            window.show();
    };
    show();
    WindowHandle handle = 0;
    QVERIFY(QTest::qWaitFor([&] { return (handle = Listed(*m_windows, title)) != 0; }, StartMs));
    QVERIFY(BringWindowToForeground(*m_windows, m_mousepadWindow));
    if (mousepad)
        program.process.kill();
    else
        window.destroy();
    QVERIFY(QTest::qWaitFor([&] { return !m_windows->topLevelWindows().contains(handle); }));

    QCOMPARE(m_windows->windowTitle(handle), QString());
    QCOMPARE(m_windows->windowClass(handle), QString());
    QCOMPARE(m_windows->isOwnWindow(handle), false);
    QVERIFY(!m_windows->isMinimized(handle));
    m_windows->restoreWindow(handle);
    m_windows->requestActivation(handle);
    m_windows->raiseWindow(handle);
    QVERIFY(!m_windows->waitUntilActive(handle, 300));
    QVERIFY(!BringWindowToForeground(*m_windows, handle));
    QCOMPARE(m_windows->activeWindow(), m_mousepadWindow);

    // A window shown again is another window, with a handle of its own.
    if (mousepad)
        program.process.waitForFinished();
    show();
    WindowHandle again = 0;
    QVERIFY(QTest::qWaitFor([&] { return (again = Listed(*m_windows, title)) != 0; }, StartMs));
    QVERIFY(again != handle);
    QCOMPARE(m_windows->windowTitle(handle), QString());
}

void TestWlrPlatform::notificationArea_data()
{
    QTest::addColumn<bool>("watcher");
    QTest::addColumn<bool>("host");
    QTest::newRow("no tray") << false << false;
    QTest::newRow("a watcher without a host") << true << false;
    QTest::newRow("a watcher with a host") << true << true;
}

void TestWlrPlatform::notificationArea()
{
    QFETCH(bool, watcher);
    QFETCH(bool, host);
    // The watcher answers from a thread of its own while the call waits.
    QThread thread;
    TrayWatcher tray(host);
    thread.start();
    const auto stop = qScopeGuard([&] {
        QDBusConnection::disconnectFromBus(u"tray"_s);
        thread.quit();
        thread.wait();
    });
    tray.moveToThread(&thread);
    if (watcher) {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"tray"_s);
        QVERIFY(bus.registerObject(u"/StatusNotifierWatcher"_s, &tray, QDBusConnection::ExportAllProperties));
        QVERIFY(bus.registerService(u"org.kde.StatusNotifierWatcher"_s));
    }
    QCOMPARE(m_windows->hasNotificationArea(), watcher && host);
}

QTEST_MAIN(TestWlrPlatform)
#include "tst_wlrplatform.moc"
