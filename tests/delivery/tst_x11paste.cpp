// The send on a real X11 desktop (Xvfb and openbox) into destinations that are hard to get
// as real programs, played by a small X client of ours: one that fetches several formats
// per paste, one on another desktop, one that closes when activated, and a clipboard owner
// that never answers.
#include "delivery/keyinput.h"
#include "delivery/send.h"

#include "platform/x11/x11platform.h"
#include "scriptedinteraction.h"
#include "settings/settings.h"
#include "shownmessage.h"
#include "util/errors.h"
#include "util/textutils.h"
#include "util/virtualkeys.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// A window of the program itself whose title matches the destination's pattern.
class OwnWindow : public QWindow {
public:
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
};

// The test client, with what it has printed so far.
class Probe {
public:
    explicit Probe(const QStringList& arguments)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(QB_XPROBE), arguments);
    }
    ~Probe()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    QStringList lines()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output.split(u'\n', Qt::SkipEmptyParts);
    }
    // Waits (events flowing, so that our clipboard answers) for a line that starts so.
    bool waitForLine(const QString& start, int timeoutMs = 10000)
    {
        return QTest::qWaitFor(
            [&] { return !lines().filter(QRegularExpression(u'^' + QRegularExpression::escape(start))).isEmpty(); },
            timeoutMs);
    }
    // The value the probe got for a target in one paste.
    QString value(int paste, const QString& target)
    {
        const QString start = u"paste %1 %2 "_s.arg(paste).arg(target);
        for (const QString& line : lines()) {
            if (line.startsWith(start))
                return line.mid(start.size());
        }
        return u"(not asked)"_s;
    }
    WindowHandle window()
    {
        if (!waitForLine(u"ready "_s))
            return 0;
        return lines().filter(QRegularExpression(u"^ready "_s)).value(0).mid(6).toULongLong();
    }

private:
    QProcess m_process;
    QString m_output;
};

QString RunTool(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    // Our clipboard answers from the event loop, so keep it running while the tool reads.
    if (!QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 10000))
        return u"(the tool did not end)"_s;
    return QString::fromUtf8(tool.readAllStandardOutput());
}

} // namespace

class TestX11Paste : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void everyFetchOfAPasteGetsThatPaste();
    void wholeClipboardComesBack();
    void destinationOnAnotherDesktop();
    void destinationClosingWhenActivated();
    void pasteReachingOurOwnWindowIsDropped();
    void ownerThatNeverAnswers();
    void pasteInACyrillicOnlyLayout();
    // Last: ends the platform.
    void clipboardManagerKeepsOurContentAtExit();

private:
    void sendFromOwnWindow(WindowHandle destination);

    QTemporaryDir dir;
    std::unique_ptr<X11Platform> x11;
    std::unique_ptr<ScriptedInteraction> ui;
    std::unique_ptr<OwnWindow> own;
    ShownMessage message;
    SendOutcome lastOutcome;
};

void TestX11Paste::initTestCase()
{
    OverrideAppDir(dir.path());
    message.text = u"Dear customer,\nthank you."_s;
    message.options.target = u"Outlook"_s;
    OpenTargetsFile().writeText(u"Outlook"_s, u"Target"_s, u"Probe window"_s);
    OpenTargetsFile().writeText(u"Outlook"_s, u"Search Type"_s, u"Starts With"_s);
    x11 = CreateX11Platform();
}

void TestX11Paste::init()
{
    ui = std::make_unique<ScriptedInteraction>();
    own = std::make_unique<OwnWindow>();
    own->setTitle(u"Probe window of this program"_s);
    own->resize(300, 200);
    own->show();
    message.attachments.clear();
}

void TestX11Paste::cleanup()
{
    own.reset();
    ui.reset();
}

void TestX11Paste::cleanupTestCase()
{
    x11.reset();
    OverrideAppDir({});
}

void TestX11Paste::sendFromOwnWindow(WindowHandle destination)
{
    WindowSystem& windows = x11->interfaces().windows;
    QVERIFY(destination != 0);
    QTRY_VERIFY(windows.topLevelWindows().contains(own->winId()));
    QTRY_VERIFY(windows.topLevelWindows().contains(destination));
    windows.requestActivation(own->winId());
    QVERIFY(windows.waitUntilActive(own->winId(), 5000));
    lastOutcome = message.send(x11->interfaces(), *ui, [](const QString& text) { return text; });
}

void TestX11Paste::everyFetchOfAPasteGetsThatPaste()
{
    // Asks for the list, the text, the file list and the hint, 20 ms apart, on every paste.
    Probe probe({u"window"_s, u"Probe window"_s, u"--gap"_s, u"20"_s, u"TARGETS"_s, u"UTF8_STRING"_s,
                 u"text/uri-list"_s, u"x-kde-passwordManagerHint"_s});
    QFile file(dir.filePath(u"price list.pdf"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    message.attachments = {{file.fileName(), false}};
    sendFromOwnWindow(probe.window());
    QVERIFY2(ui->shown.isEmpty(), qPrintable(ui->shown.value(0).text + probe.lines().join(u" / ")));
    QVERIFY(probe.waitForLine(u"pasted 2"_s));

    QCOMPARE(probe.value(1, u"UTF8_STRING"_s), u"Dear customer,\\nthank you."_s);
    QCOMPARE(probe.value(1, u"text/uri-list"_s), u"-"_s);
    // The file list offers no text at all.
    const QStringList listed = probe.value(2, u"TARGETS"_s).split(u',');
    QVERIFY2(listed.contains(u"text/uri-list"_s), qPrintable(listed.join(u' ')));
    for (const QString& text : {u"UTF8_STRING"_s, u"STRING"_s, u"TEXT"_s, u"text/plain"_s})
        QVERIFY2(!listed.contains(text), qPrintable(listed.join(u' ')));
    QCOMPARE(probe.value(2, u"UTF8_STRING"_s), u"-"_s);
    QCOMPARE(probe.value(2, u"text/uri-list"_s), u"file://"_s + dir.path() + u"/price%20list.pdf\\r\\n"_s);
    // Both pastes are marked for clipboard managers to leave out.
    QCOMPARE(probe.value(1, u"x-kde-passwordManagerHint"_s), u"secret"_s);
    QCOMPARE(probe.value(2, u"x-kde-passwordManagerHint"_s), u"secret"_s);
    QCOMPARE(own->keys, 0);
}

void TestX11Paste::wholeClipboardComesBack()
{
    // Another program holds a picture large enough to travel in pieces both ways.
    QByteArray picture(700 * 1024, Qt::Uninitialized);
    QRandomGenerator random(11);
    for (char& byte : picture)
        byte = char(random.bounded(256));
    QFile file(dir.filePath(u"picture.png"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(picture);
    file.close();
    QProcess owner;
    owner.start(u"xclip"_s,
                {u"-quiet"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, u"image/png"_s, u"-i"_s, file.fileName()});
    Clipboard& clipboard = x11->interfaces().clipboard;
    QTRY_VERIFY_WITH_TIMEOUT(
        RunTool(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, u"TARGETS"_s}).contains(u"image/png"_s),
        10000);

    Probe probe({u"window"_s, u"Probe window"_s});
    sendFromOwnWindow(probe.window());
    QVERIFY2(ui->shown.isEmpty(), qPrintable(ui->shown.value(0).text));
    QVERIFY(probe.waitForLine(u"pasted 1"_s));
    QCOMPARE(probe.value(1, u"UTF8_STRING"_s), u"Dear customer,\\nthank you."_s);

    QProcess reader;
    reader.start(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, u"image/png"_s});
    QVERIFY(QTest::qWaitFor([&] { return reader.state() == QProcess::NotRunning; }, 10000));
    QVERIFY(reader.readAllStandardOutput() == picture);
    QVERIFY(!clipboard.hasText());
    owner.kill();
    owner.waitForFinished();

    // Text copied in one of the program's own widgets is read like any other program's.
    QGuiApplication::clipboard()->setText(u"copied in the program"_s);
    QCOMPARE(clipboard.text(), u"copied in the program"_s);
    const std::optional<ClipboardContent> formats = clipboard.allFormats(MaxSavedClipboardBytes);
    QVERIFY(formats && std::any_of(formats->cbegin(), formats->cend(), [](const ClipboardFormat& format) {
                return format.name == u"UTF8_STRING"_s && format.data == "copied in the program";
            }));
}

void TestX11Paste::destinationOnAnotherDesktop()
{
    Probe probe({u"window"_s, u"Probe window"_s});
    const WindowHandle window = probe.window();
    QVERIFY(window != 0);
    const QString id = QString::number(window);
    QTRY_VERIFY(x11->interfaces().windows.topLevelWindows().contains(window));
    QProcess::execute(u"xdotool"_s, {u"set_desktop_for_window"_s, id, u"1"_s});
    QTRY_COMPARE(RunTool(u"xdotool"_s, {u"get_desktop_for_window"_s, id}).trimmed(), u"1"_s);
    QCOMPARE(RunTool(u"xdotool"_s, {u"get_desktop"_s}).trimmed(), u"0"_s);

    sendFromOwnWindow(window);
    QVERIFY2(ui->shown.isEmpty(), qPrintable(ui->shown.value(0).text));
    QVERIFY(probe.waitForLine(u"pasted 1"_s));
    QCOMPARE(probe.value(1, u"UTF8_STRING"_s), u"Dear customer,\\nthank you."_s);
    QCOMPARE(RunTool(u"xdotool"_s, {u"get_desktop"_s}).trimmed(), u"1"_s);
    QProcess::execute(u"xdotool"_s, {u"set_desktop"_s, u"0"_s});
    QCOMPARE(own->keys, 0);
}

void TestX11Paste::destinationClosingWhenActivated()
{
    Clipboard& clipboard = x11->interfaces().clipboard;
    clipboard.setText(u"the user's own text"_s);
    Probe probe({u"window"_s, u"Probe window"_s, u"--close-on-activate"_s});
    sendFromOwnWindow(probe.window());
    QVERIFY(probe.waitForLine(u"closing"_s));
    // It closes before it is reported active, or just after: either way the user is told.
    QCOMPARE(ui->texts(u"message"_s).size(), 1);
    QVERIFY2(lastOutcome.result == SendOutcome::NotActivated || lastOutcome.result == SendOutcome::NotFetched,
             qPrintable(ui->texts(u"message"_s).join(u" / ")));
    QCOMPARE(lastOutcome.windowTitle, u"Probe window"_s);
    // No key reached the program's own window, which got the input back.
    QTest::qWait(100);
    QCOMPARE(own->keys, 0);
    QCOMPARE(clipboard.text(), message.text);
}

void TestX11Paste::pasteReachingOurOwnWindowIsDropped()
{
    // As when the destination vanished between its activation and the keys.
    WindowSystem& windows = x11->interfaces().windows;
    QTRY_VERIFY(windows.topLevelWindows().contains(own->winId()));
    windows.requestActivation(own->winId());
    QVERIFY(windows.waitUntilActive(own->winId(), 5000));
    SendKeyPress(x11->interfaces().keyboard, Vk::KeyV, ShiftState::Ctrl, false);
    QTest::qWait(200);
    QCOMPARE(own->keys, 0);
    // The user's own keys still arrive: Ctrl and V.
    QProcess::execute(u"xdotool"_s, {u"key"_s, u"ctrl+v"_s});
    QTRY_COMPARE(own->keys, 2);
}

void TestX11Paste::ownerThatNeverAnswers()
{
    Clipboard& clipboard = x11->interfaces().clipboard;
    Probe holder({u"hold"_s});
    QVERIFY(holder.window() != 0);
    for (const auto& read : std::initializer_list<std::function<void()>>{
             [&] { clipboard.hasText(); }, [&] { clipboard.text(); }, [&] { clipboard.allFormats(1024); }}) {
        try {
            read();
            QFAIL("the read did not fail");
        } catch (const Error& error) {
            QCOMPARE(error.text(), u"Cannot open clipboard"_s);
        }
    }
    // The send stops before it pastes anything.
    Probe probe({u"window"_s, u"Probe window"_s});
    sendFromOwnWindow(probe.window());
    QCOMPARE(int(lastOutcome.result), int(SendOutcome::ClipboardBusy));
    QTest::qWait(100);
    QVERIFY(probe.lines().filter(u"paste"_s).isEmpty());
}

void TestX11Paste::pasteInACyrillicOnlyLayout()
{
    QCOMPARE(QProcess::execute(u"setxkbmap"_s, {u"ru"_s}), 0);
    Probe probe({u"window"_s, u"Probe window"_s});
    sendFromOwnWindow(probe.window());
    const bool pasted = probe.waitForLine(u"pasted 1"_s, 5000);
    QProcess::execute(u"setxkbmap"_s, {u"us"_s});
    QVERIFY2(pasted, qPrintable(probe.lines().join(u" / ") + u" / "_s + ui->texts(u"message"_s).join(u" / ")));
    QCOMPARE(probe.value(1, u"UTF8_STRING"_s), u"Dear customer,\\nthank you."_s);
    QVERIFY(ui->shown.isEmpty());
}

void TestX11Paste::clipboardManagerKeepsOurContentAtExit()
{
    Probe manager({u"manager"_s});
    QVERIFY(manager.window() != 0);
    x11->interfaces().clipboard.setText(u"kept after exit"_s);
    x11.reset();
    QVERIFY(manager.waitForLine(u"saved "_s));
    QCOMPARE(manager.lines().filter(QRegularExpression(u"^saved "_s)), QStringList{u"saved kept after exit"_s});
}

QTEST_MAIN(TestX11Paste)
#include "tst_x11paste.moc"
