// Time from the send command to the last synthesized key, with 50 other top-level
// windows open and Mousepad as the destination, not counting the waits for the
// destination. Run by hand on an X display with a window manager:
//   tests/support/with-x11.sh build/bench/delivery/bench_send [sends]
#include "delivery/send.h"
#include "platform/x11/x11platform.h"
#include "settings/settings.h"
#include "util/textutils.h"

#include "desktoptools.h"
#include "samples.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

QElapsedTimer clock_;

// Forwards to the real desktop and notes how long the waits take and when the last key went out.
struct Timing {
    qint64 waited = 0;
    qint64 lastKey = 0;
    qint64 activation = 0; // when the destination was asked to become active
    template <typename F> auto wait(F&& f)
    {
        const qint64 start = clock_.nsecsElapsed();
        auto result = f();
        waited += clock_.nsecsElapsed() - start;
        return result;
    }
};

class TimedWindows : public WindowSystem {
public:
    TimedWindows(WindowSystem& real, Timing& timing)
        : m_real(real)
        , m_timing(timing)
    { }
    QList<WindowHandle> topLevelWindows() override { return m_real.topLevelWindows(); }
    QString windowTitle(WindowHandle w) override { return m_real.windowTitle(w); }
    QString windowClass(WindowHandle w) override { return m_real.windowClass(w); }
    QString windowRole(WindowHandle w) override { return m_real.windowRole(w); }
    bool hasNotificationArea() override { return m_real.hasNotificationArea(); }
    WindowHandle windowOwner(WindowHandle w) override { return m_real.windowOwner(w); }
    WindowHandle activeWindow() override { return m_real.activeWindow(); }
    bool isMinimized(WindowHandle w) override { return m_real.isMinimized(w); }
    void restoreWindow(WindowHandle w) override { m_real.restoreWindow(w); }
    void requestActivation(WindowHandle w) override
    {
        m_timing.activation = clock_.nsecsElapsed();
        m_real.requestActivation(w);
    }
    void raiseWindow(WindowHandle w) override { m_real.raiseWindow(w); }
    bool isOwnWindow(WindowHandle w) override { return m_real.isOwnWindow(w); }
    bool waitUntilActive(WindowHandle w, int ms) override
    {
        return m_timing.wait([&] { return m_real.waitUntilActive(w, ms); });
    }

private:
    WindowSystem& m_real;
    Timing& m_timing;
};

class TimedKeyboard : public KeyboardSynth {
public:
    TimedKeyboard(KeyboardSynth& real, Timing& timing)
        : m_real(real)
        , m_timing(timing)
    { }
    std::uint8_t scanCode(std::uint16_t vk) override { return m_real.scanCode(vk); }
    void keyEvent(std::uint16_t vk, std::uint8_t scan, std::uint32_t flags) override
    {
        m_real.keyEvent(vk, scan, flags);
        m_timing.lastKey = clock_.nsecsElapsed();
        m_waitedAtLastKey = m_timing.waited;
    }
    bool waitUntilModifiersReleased(int ms) override
    {
        return m_timing.wait([&] { return m_real.waitUntilModifiersReleased(ms); });
    }
    qint64 waitedAtLastKey() const { return m_waitedAtLastKey; }

private:
    KeyboardSynth& m_real;
    Timing& m_timing;
    qint64 m_waitedAtLastKey = 0;
};

class TimedClipboard : public Clipboard {
public:
    TimedClipboard(Clipboard& real, Timing& timing)
        : m_real(real)
        , m_timing(timing)
    { }
    bool hasText() override { return m_real.hasText(); }
    QString text() override { return m_real.text(); }
    void setText(const QString& text) override { m_real.setText(text); }
    void setFiles(const QStringList& paths) override { m_real.setFiles(paths); }
    std::optional<ClipboardContent> allFormats(qsizetype maxBytes) override { return m_real.allFormats(maxBytes); }
    void setAllFormats(const ClipboardContent& content) override { m_real.setAllFormats(content); }
    void setTransient(bool transient) override { m_real.setTransient(transient); }
    bool waitUntilRead(WindowHandle reader, int ms) override
    {
        const bool read = m_timing.wait([&] { return m_real.waitUntilRead(reader, ms); });
        if (!read)
            ++unread;
        return read;
    }
    int unread = 0;

private:
    Clipboard& m_real;
    Timing& m_timing;
};

// Attachments never come up: the benchmark's Message has none.
class NoQuestions : public SendQuestions {
public:
    bool attachFile(const QString&) override { return true; }
    void attachmentMissing(const QString&) override { }
    void attachmentsNotForTarget() override { }
};

// 50 plain top-level windows of another client, stacked above the destination.
void OpenOtherWindows(xcb_connection_t* c, int count)
{
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    for (int i = 0; i < count; ++i) {
        const xcb_window_t w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 20 + i, 20 + i, 300, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        const QByteArray title = "Report " + QByteArray::number(i) + " - Viewer";
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(title.size()), title.constData());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, 14, "viewer\0Viewer\0");
        xcb_map_window(c, w);
    }
    xcb_flush(c);
}

void Pause(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int sends = argc > 1 ? std::atoi(argv[1]) : 30;
    clock_.start();

    QTemporaryDir dir;
    OverrideAppDir(dir.path());
    QFile::copy(QStringLiteral(QB_SUPPLIED_TARGETS), dir.filePath(u"targets.ini"_s));

    std::unique_ptr<X11Platform> x11 = CreateX11Platform();
    Platform& real = x11->interfaces();
    Timing timing;
    TimedWindows windows(real.windows, timing);
    TimedKeyboard keyboard(real.keyboard, timing);
    TimedClipboard clipboard(real.clipboard, timing);
    Platform timed{windows, keyboard, clipboard, real.activationKey, real.dateFormats, real.files};

    DesktopProgram editor;
    editor.start(u"mousepad"_s);
    QElapsedTimer started;
    started.start();
    auto destinationListed = [&] {
        for (const WindowHandle w : real.windows.topLevelWindows()) {
            if (real.windows.windowTitle(w).contains(u"Mousepad"_s))
                return true;
        }
        return false;
    };
    while (!destinationListed() && started.elapsed() < 15000)
        Pause(50);
    if (!destinationListed()) {
        std::fprintf(stderr, "Mousepad did not start\n");
        return 1;
    }
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    OpenOtherWindows(other, 50);
    while (real.windows.topLevelWindows().size() < 51)
        Pause(20);
    Pause(500);
    real.clipboard.setText(u"clipboard before"_s);

    const SendOptions options{u"Notepad"_s, true, true};
    const OutgoingMessage message{u"Dear customer,\nthank you for your order.\n"_s, {}};
    NoQuestions questions;
    const TokenExpander identity = [](const QString& text) { return text; };
    Samples toLastKey, toActivation, waits;
    for (int i = 0; i < sends; ++i) {
        timing = Timing{};
        const qint64 start = clock_.nsecsElapsed();
        const SendOutcome outcome = SendShownMessage(timed, options, message, questions, identity);
        if (outcome.result != SendOutcome::Pasted)
            std::fprintf(stderr, "send %d stopped: outcome %d\n", i + 1, int(outcome.result));
        toLastKey.add((timing.lastKey - start - keyboard.waitedAtLastKey()) / 1e6);
        toActivation.add((timing.activation - start) / 1e6);
        waits.add(timing.waited / 1e6);
        // Let the editor settle, and put another window on top again.
        Pause(150);
        real.windows.requestActivation(real.windows.topLevelWindows().value(1));
        Pause(100);
    }

    std::printf("sends: %d, top-level windows: %lld, clipboard reads missed: %d\n", sends,
                static_cast<long long>(real.windows.topLevelWindows().size()), clipboard.unread);
    std::printf("send command to last key, without waits: median %.2f ms, min %.2f, max %.2f\n", toLastKey.median(),
                toLastKey.best(), toLastKey.worst());
    std::printf("  of which window search up to the activation request: median %.2f ms\n", toActivation.median());
    std::printf("waits for the destination (activation, modifiers, clipboard read): median %.2f ms\n", waits.median());
    editor.stop();
    xcb_disconnect(other);
    return 0;
}
