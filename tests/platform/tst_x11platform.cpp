// The X11 desktop layer against a real X server (Xvfb), with openbox as the window
// manager or, in the second run, with no window manager at all.
#include "platform/x11/x11platform.h"

#include "util/virtualkeys.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// Another X client, as the destination program would be: its own connection and windows.
class OtherClient {
public:
    OtherClient()
        : c(xcb_connect(nullptr, nullptr))
        , screen(xcb_setup_roots_iterator(xcb_get_setup(c)).data)
    { }
    ~OtherClient() { xcb_disconnect(c); }

    xcb_atom_t atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t value = reply->atom;
        std::free(reply);
        return value;
    }

    void setText(xcb_window_t w, xcb_atom_t property, xcb_atom_t type, const QByteArray& value)
    {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, 8, static_cast<std::uint32_t>(value.size()),
                            value.constData());
    }

    // A top-level window; utf8Title goes to _NET_WM_NAME, latin1Title to WM_NAME.
    xcb_window_t createWindow(const QString& utf8Title, const QString& latin1Title, const QByteArray& wmClass,
                              xcb_window_t transientFor = XCB_NONE)
    {
        const xcb_window_t w = xcb_generate_id(c);
        const std::uint32_t events = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 10, 10, 200, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_EVENT_MASK, &events);
        if (!utf8Title.isNull())
            setText(w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), utf8Title.toUtf8());
        if (!latin1Title.isNull())
            setText(w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, latin1Title.toLatin1());
        if (!wmClass.isEmpty())
            setText(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
        if (transientFor != XCB_NONE)
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1,
                                &transientFor);
        xcb_map_window(c, w);
        xcb_flush(c);
        return w;
    }

    void minimize(xcb_window_t w)
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = w;
        event.type = atom("WM_CHANGE_STATE");
        event.data.data32[0] = 3; // IconicState
        xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(c);
    }

    bool windowManagerRuns()
    {
        auto* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, screen->root, atom("_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0, 1), nullptr);
        const bool found = reply && reply->type == XCB_ATOM_WINDOW;
        std::free(reply);
        return found;
    }

    // Key events that reached our windows so far: (press?, keycode, modifier state).
    struct Key {
        bool press;
        xcb_keycode_t code;
        std::uint16_t state;
    };
    QList<Key> keys()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const std::uint8_t type = event->response_type & 0x7F;
            if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
                auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
                received.append({type == XCB_KEY_PRESS, key->detail, key->state});
            }
            std::free(event);
        }
        return received;
    }

    xcb_keycode_t keycode(xcb_keysym_t keysym)
    {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        const xcb_keycode_t code = codes ? codes[0] : 0;
        std::free(codes);
        xcb_key_symbols_free(symbols);
        return code;
    }

    // Checked grab of a key; the X error code, or 0 on success.
    int grabKey(xcb_keycode_t code, std::uint16_t modifiers = 0)
    {
        xcb_generic_error_t* error = xcb_request_check(
            c, xcb_grab_key_checked(c, 0, screen->root, modifiers, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        const int result = error ? error->error_code : 0;
        std::free(error);
        return result;
    }

    xcb_connection_t* c;
    xcb_screen_t* screen;
    QList<Key> received;
};

QString runXclip(const QStringList& arguments)
{
    QProcess xclip;
    xclip.start(u"xclip"_s, arguments);
    // Our clipboard answers from the event loop, so keep it running while xclip reads.
    QDeadlineTimer deadline(10000);
    while (xclip.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(5);
    return QString::fromUtf8(xclip.readAllStandardOutput());
}

} // namespace

class TestX11Platform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { x11.reset(); }
    void windowsListedTopmostFirstWithTitlesClassesAndOwners();
    void activationAndMinimizedWindows();
    void synthesizedKeysArriveInOrder();
    void heldModifiersAreSeen();
    void clipboardTextRoundTripsWithAnotherClient();
    void onlyTheDestinationsReadEndsTheWait();
    void fileListIsOfferedToFileManagers();
    void clipboardTakenBackFromALaterOwner();
    void hotKeyGrabAndRefusal();
    void letterHotKeyWithCtrl_data();
    void letterHotKeyWithCtrl();

private:
    std::unique_ptr<X11Platform> x11;
    OtherClient other;
    bool withManager = false;
};

void TestX11Platform::initTestCase()
{
    x11 = CreateX11Platform();
    withManager = other.windowManagerRuns();
    qInfo("Window manager: %s", withManager ? "yes" : "none");
}

void TestX11Platform::windowsListedTopmostFirstWithTitlesClassesAndOwners()
{
    WindowSystem& windows = x11->interfaces().windows;
    const xcb_window_t main = other.createWindow(u"Grüße – Mousepad"_s, u"ignored"_s, "mousepad\0Mousepad\0"_ba);
    const xcb_window_t plain = other.createWindow({}, u"Latin-1 only: caf\u00e9"_s, "xmessage\0Xmessage\0"_ba);
    const xcb_window_t dialog = other.createWindow(u"Find"_s, {}, {}, main);
    QTRY_VERIFY(windows.topLevelWindows().contains(dialog));
    QTRY_VERIFY(windows.topLevelWindows().contains(main) && windows.topLevelWindows().contains(plain));

    QList<WindowHandle> list = windows.topLevelWindows();
    QVERIFY(list.indexOf(dialog) < list.indexOf(plain));
    QVERIFY(list.indexOf(plain) < list.indexOf(main));
    QCOMPARE(windows.windowTitle(main), u"Grüße – Mousepad"_s);
    QCOMPARE(windows.windowTitle(plain), u"Latin-1 only: caf\u00e9"_s);
    QCOMPARE(windows.windowClass(main), u"Mousepad"_s);
    QCOMPARE(windows.windowClass(dialog), QString());
    QCOMPARE(windows.windowOwner(dialog), WindowHandle(main));
    QCOMPARE(windows.windowOwner(main), WindowHandle(0));

    // A window manager keeps the dialog above the window it belongs to.
    windows.raiseWindow(main);
    QTRY_VERIFY(windows.topLevelWindows().indexOf(main) < windows.topLevelWindows().indexOf(plain));
    QCOMPARE(windows.topLevelWindows().value(0), WindowHandle(withManager ? dialog : main));

    // A title changed after the list was taken is seen by the next list.
    other.setText(plain, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "renamed");
    xcb_flush(other.c);
    QTRY_VERIFY(windows.topLevelWindows().contains(plain) && windows.windowTitle(plain) == u"renamed"_s);

    for (const xcb_window_t w : {dialog, plain, main})
        xcb_destroy_window(other.c, w);
    xcb_flush(other.c);
    QTRY_VERIFY(!windows.topLevelWindows().contains(main));
}

void TestX11Platform::activationAndMinimizedWindows()
{
    WindowSystem& windows = x11->interfaces().windows;
    const xcb_window_t first = other.createWindow(u"First"_s, {}, "a\0A\0"_ba);
    const xcb_window_t second = other.createWindow(u"Second"_s, {}, "b\0B\0"_ba);
    QTRY_VERIFY(windows.topLevelWindows().contains(second));

    windows.requestActivation(first);
    windows.raiseWindow(first);
    QVERIFY(windows.waitUntilActive(first, 3000));
    QCOMPARE(windows.activeWindow(), WindowHandle(first));
    windows.requestActivation(second);
    QVERIFY(windows.waitUntilActive(second, 3000));
    // A window that never becomes active ends the wait at its time-out. (Not the first
    // window: a busy window manager may still hand the focus back to it for a moment.)
    const xcb_window_t hidden = xcb_generate_id(other.c);
    QVERIFY(!windows.waitUntilActive(hidden, 50));

    if (withManager) {
        QVERIFY(!windows.isMinimized(second));
        other.minimize(second);
        QTRY_VERIFY(windows.isMinimized(second));
        QVERIFY(windows.topLevelWindows().contains(second));
        windows.restoreWindow(second);
        QTRY_VERIFY(!windows.isMinimized(second));
        // Activation brings a minimised window back as well.
        other.minimize(first);
        QTRY_VERIFY(windows.isMinimized(first));
        windows.requestActivation(first);
        QVERIFY(windows.waitUntilActive(first, 3000));
        QVERIFY(!windows.isMinimized(first));
    }
    xcb_destroy_window(other.c, first);
    xcb_destroy_window(other.c, second);
    xcb_flush(other.c);
}

void TestX11Platform::synthesizedKeysArriveInOrder()
{
    WindowSystem& windows = x11->interfaces().windows;
    KeyboardSynth& keyboard = x11->interfaces().keyboard;
    const xcb_window_t target = other.createWindow(u"Keys"_s, {}, "k\0K\0"_ba);
    QTRY_VERIFY(windows.topLevelWindows().contains(target));
    windows.requestActivation(target);
    QVERIFY(windows.waitUntilActive(target, 3000));
    other.keys();
    other.received.clear();

    const xcb_keycode_t control = other.keycode(XK_Control_L);
    const xcb_keycode_t v = other.keycode(XK_v);
    QCOMPARE(keyboard.scanCode(Vk::Control), control);
    QCOMPARE(keyboard.scanCode(Vk::KeyV), v);
    keyboard.keyEvent(Vk::Control, keyboard.scanCode(Vk::Control), 0);
    keyboard.keyEvent(Vk::KeyV, keyboard.scanCode(Vk::KeyV), 0);
    keyboard.keyEvent(Vk::KeyV, keyboard.scanCode(Vk::KeyV), KeyboardSynth::KeyUp);
    keyboard.keyEvent(Vk::Control, keyboard.scanCode(Vk::Control), KeyboardSynth::KeyUp);
    // The extended flag picks the right-hand Ctrl.
    keyboard.keyEvent(Vk::Control, 0, KeyboardSynth::ExtendedKey);
    keyboard.keyEvent(Vk::Control, 0, KeyboardSynth::ExtendedKey | KeyboardSynth::KeyUp);
    QTRY_COMPARE(other.keys().size(), 6);

    const QList<OtherClient::Key> keys = other.keys();
    const xcb_keycode_t rightControl = other.keycode(XK_Control_R);
    const QList<std::pair<bool, xcb_keycode_t>> expected{
        {true, control}, {true, v}, {false, v}, {false, control}, {true, rightControl}, {false, rightControl}};
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(keys[i].press, expected[i].first);
        QCOMPARE(keys[i].code, expected[i].second);
    }
    // V went down and up while Ctrl was held.
    QVERIFY(keys[1].state & XCB_MOD_MASK_CONTROL);
    QVERIFY(keys[2].state & XCB_MOD_MASK_CONTROL);
    xcb_destroy_window(other.c, target);
    xcb_flush(other.c);
}

void TestX11Platform::heldModifiersAreSeen()
{
    KeyboardSynth& keyboard = x11->interfaces().keyboard;
    QVERIFY(keyboard.waitUntilModifiersReleased(1000));
    for (const std::uint16_t modifier : {Vk::Shift, Vk::Menu, Vk::RControl}) {
        keyboard.keyEvent(modifier, 0, 0);
        QVERIFY(!keyboard.waitUntilModifiersReleased(30));
        keyboard.keyEvent(modifier, 0, KeyboardSynth::KeyUp);
        QVERIFY(keyboard.waitUntilModifiersReleased(3000));
    }
}

void TestX11Platform::clipboardTextRoundTripsWithAnotherClient()
{
    Clipboard& clipboard = x11->interfaces().clipboard;
    const QString text = u"Dear customer,\nGrüße – ünïcödé"_s;
    clipboard.setText(text);
    QVERIFY(clipboard.hasText());
    QCOMPARE(clipboard.text(), text);
    // Reading our own data back is not a read by another program.
    QVERIFY(!clipboard.waitUntilRead(0, 30));

    QProcess reader;
    reader.start(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s});
    QVERIFY(clipboard.waitUntilRead(0, 10000));
    QTRY_VERIFY_WITH_TIMEOUT(reader.state() == QProcess::NotRunning, 10000);
    QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), text);

    // Another program's text, and our wait for it to fetch a second text of ours.
    QProcess writer;
    writer.start(u"xclip"_s, {u"-quiet"_s, u"-selection"_s, u"clipboard"_s, u"-i"_s});
    writer.write(u"from another program ©"_s.toUtf8());
    writer.closeWriteChannel();
    QTRY_VERIFY(clipboard.hasText() && clipboard.text() == u"from another program ©"_s);
    clipboard.setText(u"second"_s);
    QTRY_VERIFY(writer.state() == QProcess::NotRunning); // xclip ends when it loses the clipboard
    QCOMPARE(runXclip({u"-o"_s, u"-selection"_s, u"clipboard"_s}), u"second"_s);
    QVERIFY(clipboard.waitUntilRead(0, 10000));
}

void TestX11Platform::onlyTheDestinationsReadEndsTheWait()
{
    Clipboard& clipboard = x11->interfaces().clipboard;
    const xcb_window_t destination = other.createWindow(u"Destination"_s, {}, QByteArray("dest\0Dest\0", 10));
    xcb_flush(other.c);
    clipboard.setText(u"for the destination"_s);

    // A clipboard manager fetching every new content is another program.
    QCOMPARE(runXclip({u"-o"_s, u"-selection"_s, u"clipboard"_s}), u"for the destination"_s);
    QVERIFY(clipboard.waitUntilRead(0, 10000));
    QVERIFY(!clipboard.waitUntilRead(destination, 200));

    // A request from another window of the destination's program counts.
    const xcb_window_t requestor = other.createWindow({}, {}, QByteArray());
    xcb_convert_selection(other.c, requestor, other.atom("CLIPBOARD"), other.atom("UTF8_STRING"),
                          other.atom("QB_PASTE"), XCB_CURRENT_TIME);
    xcb_flush(other.c);
    QVERIFY(clipboard.waitUntilRead(destination, 10000));

    // So does one through another connection of the destination's process (LibreOffice reads
    // through a hidden window of its own on a second connection), known by the process ID.
    clipboard.setText(u"read by a second connection"_s);
    QCOMPARE(runXclip({u"-o"_s, u"-selection"_s, u"clipboard"_s}), u"read by a second connection"_s);
    QVERIFY(!clipboard.waitUntilRead(destination, 200));
    OtherClient sameProcess;
    const xcb_window_t hidden = sameProcess.createWindow({}, {}, QByteArray());
    xcb_convert_selection(sameProcess.c, hidden, sameProcess.atom("CLIPBOARD"), sameProcess.atom("UTF8_STRING"),
                          sameProcess.atom("QB_PASTE"), XCB_CURRENT_TIME);
    xcb_flush(sameProcess.c);
    QVERIFY(clipboard.waitUntilRead(destination, 10000));
}

void TestX11Platform::fileListIsOfferedToFileManagers()
{
    Clipboard& clipboard = x11->interfaces().clipboard;
    clipboard.setText(u"text before"_s);
    clipboard.setFiles({u"/tmp/price list.pdf"_s, u"/tmp/Ärger.txt"_s});
    QVERIFY(!clipboard.hasText());
    QCOMPARE(clipboard.text(), QString());

    const QStringList targets
        = runXclip({u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, u"TARGETS"_s}).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(targets.contains(u"text/uri-list"_s), qPrintable(targets.join(u' ')));
    QVERIFY(targets.contains(u"x-special/gnome-copied-files"_s));
    // A text-only program gets no text: only the file-list formats are offered.
    for (const QString& text : {u"UTF8_STRING"_s, u"STRING"_s, u"TEXT"_s, u"text/plain"_s})
        QVERIFY2(!targets.contains(text), qPrintable(targets.join(u' ')));
    QCOMPARE(runXclip({u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, u"UTF8_STRING"_s}), QString());
    QCOMPARE(runXclip({u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, u"text/uri-list"_s}).trimmed(),
             u"file:///tmp/price%20list.pdf\r\nfile:///tmp/%C3%84rger.txt"_s);
    QCOMPARE(runXclip({u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, u"x-special/gnome-copied-files"_s}),
             u"copy\nfile:///tmp/price%20list.pdf\nfile:///tmp/%C3%84rger.txt"_s);
    QVERIFY(clipboard.waitUntilRead(0, 10000));
}

void TestX11Platform::clipboardTakenBackFromALaterOwner()
{
    // Another program takes the clipboard after the last event that we handled: the server
    // refuses a request stamped with that older time, and the clipboard must still be ours.
    Clipboard& clipboard = x11->interfaces().clipboard;
    clipboard.setText(u"ours before"_s);
    const xcb_atom_t selection = other.atom("CLIPBOARD");
    const auto owner = [&] {
        auto* reply = xcb_get_selection_owner_reply(other.c, xcb_get_selection_owner(other.c, selection), nullptr);
        const xcb_window_t window = reply ? reply->owner : XCB_NONE;
        std::free(reply);
        return window;
    };
    const xcb_window_t ours = owner();
    QProcess writer;
    writer.start(u"xclip"_s, {u"-quiet"_s, u"-selection"_s, u"clipboard"_s, u"-i"_s});
    writer.write("theirs");
    writer.waitForBytesWritten();
    writer.closeWriteChannel();
    // Without handling any event of ours meanwhile.
    QDeadlineTimer deadline(10000);
    while (owner() == ours && !deadline.hasExpired())
        QThread::msleep(5);
    QVERIFY(owner() != ours);

    clipboard.setText(u"ours again"_s);
    QCOMPARE(owner(), ours);
    QCOMPARE(runXclip({u"-o"_s, u"-selection"_s, u"clipboard"_s}), u"ours again"_s);
    QTRY_VERIFY(writer.state() == QProcess::NotRunning);
}

void TestX11Platform::hotKeyGrabAndRefusal()
{
    GlobalHotKey& hotKey = x11->interfaces().activationKey;
    const auto f9Key = std::uint16_t(Vk::F1 + 8);
    int presses = 0;
    hotKey.setCallback([&presses] { ++presses; });

    QVERIFY(hotKey.setKey(f9Key, ShiftState::Ctrl));
    QProcess::execute(u"xdotool"_s, {u"key"_s, u"ctrl+F9"_s});
    QTRY_COMPARE(presses, 1);
    // NumLock on does not hide the key.
    QProcess::execute(u"xdotool"_s, {u"key"_s, u"Num_Lock"_s, u"ctrl+F9"_s, u"Num_Lock"_s});
    QTRY_COMPARE(presses, 2);
    // Held down, the key repeats: one press all the same, and the next real press counts
    // although its release went to no window of ours.
    QProcess::execute(u"sh"_s, {u"-c"_s, u"xdotool keydown ctrl+F9; sleep 1.5; xdotool keyup ctrl+F9"_s});
    QTRY_COMPARE(presses, 3);
    QProcess::execute(u"xdotool"_s, {u"key"_s, u"ctrl+F9"_s});
    QTRY_COMPARE(presses, 4);
    QTest::qWait(100);
    QCOMPARE(presses, 4);
    // Only the combination is taken: F9 alone and Shift+Ctrl+F9 stay free for others.
    const xcb_keycode_t f9 = other.keycode(XK_F9);
    QCOMPARE(other.grabKey(f9, XCB_MOD_MASK_CONTROL), 10); // BadAccess
    QCOMPARE(other.grabKey(f9, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_LOCK), 10);
    QCOMPARE(other.grabKey(f9), 0);
    QCOMPARE(other.grabKey(f9, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT), 0);

    // While we hold a key, another program cannot grab it, and the other way round.
    QVERIFY(hotKey.setKey(std::uint16_t(Vk::F1 + 7), 0));
    QCOMPARE(other.grabKey(other.keycode(XK_F8)), 10); // BadAccess
    QCOMPARE(other.grabKey(other.keycode(XK_F7)), 0);
    QVERIFY(!hotKey.setKey(std::uint16_t(Vk::F1 + 6), 0));
    // A refused key leaves no grab behind: F8 is free again.
    QCOMPARE(other.grabKey(other.keycode(XK_F8)), 0);
    hotKey.clear();
    QCOMPARE(other.grabKey(f9, XCB_MOD_MASK_CONTROL), 0);
}

void TestX11Platform::letterHotKeyWithCtrl_data()
{
    QTest::addColumn<int>("shiftState");
    QTest::addColumn<QString>("pressed"); // as xdotool names it
    QTest::addColumn<int>("grabbed"); // the X modifiers taken with the key
    QTest::newRow("Ctrl+Shift+K") << int(ShiftState::Ctrl | ShiftState::Shift) << u"ctrl+shift+k"_s
                                  << int(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT);
    QTest::newRow("Ctrl+K") << int(ShiftState::Ctrl) << u"ctrl+k"_s << int(XCB_MOD_MASK_CONTROL);
    QTest::newRow("Ctrl+Alt+K") << int(ShiftState::Ctrl | ShiftState::Alt) << u"ctrl+alt+k"_s
                                << int(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
}

void TestX11Platform::letterHotKeyWithCtrl()
{
    QFETCH(int, shiftState);
    QFETCH(QString, pressed);
    QFETCH(int, grabbed);
    GlobalHotKey& hotKey = x11->interfaces().activationKey;
    int presses = 0;
    hotKey.setCallback([&presses] { ++presses; });
    QVERIFY(hotKey.setKey(std::uint16_t(Vk::KeyA + 10), std::uint8_t(shiftState)));
    QProcess::execute(u"xdotool"_s, {u"key"_s, pressed});
    QTRY_COMPARE(presses, 1);

    // Only the combination is ours: K alone and Shift+K stay with the other programs.
    const xcb_keycode_t k = other.keycode(XK_k);
    QCOMPARE(other.grabKey(k, std::uint16_t(grabbed)), 10); // BadAccess
    QCOMPARE(other.grabKey(k), 0);
    QCOMPARE(other.grabKey(k, XCB_MOD_MASK_SHIFT), 0);
    QProcess::execute(u"xdotool"_s, {u"key"_s, u"k"_s, u"shift+k"_s});
    QTest::qWait(200);
    QCOMPARE(presses, 1);
    for (const std::uint16_t modifiers : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_SHIFT)})
        xcb_ungrab_key(other.c, k, other.screen->root, modifiers);
    xcb_flush(other.c);
    hotKey.clear();
    hotKey.setCallback({});
}

QTEST_MAIN(TestX11Platform)
#include "tst_x11platform.moc"
