// The send sequence on a real X11 desktop (Xvfb and openbox) into real programs: Mousepad,
// found through the supplied targets.ini, and LibreOffice Writer; and with a clipboard
// manager, CopyQ, recording what passes the clipboard.
#include "delivery/send.h"

#include "desktoptools.h"
#include "platform/x11/x11platform.h"
#include "scriptedinteraction.h"
#include "settings/settings.h"
#include "shownmessage.h"
#include "util/textutils.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

const QString WriterTitleEnd = u" - LibreOffice Writer"_s;

} // namespace

class TestX11Send : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init() { ui->clear(); }
    void pastesIntoTheEditorAndRestoresTheClipboard();
    void pastesIntoLibreOfficeWriter();
    void clipboardManagerKeepsNoneOfTheMessages();

private:
    WindowHandle windowEndingWith(const QString& titleEnd);
    WindowHandle editorWindow() { return windowEndingWith(u" - Mousepad"_s); }
    // Puts a window other than the destination in front, as when a send starts.
    void activateOtherWindow();
    // The editor's whole text, read back through its own select-all and copy.
    QString editorText();
    void clearEditor();

    QTemporaryDir dir;
    DesktopProgram editor;
    std::unique_ptr<X11Platform> x11;
    std::unique_ptr<ScriptedInteraction> ui;
    std::unique_ptr<QWindow> other;
};

void TestX11Send::initTestCase()
{
    OverrideAppDir(dir.path());
    QVERIFY(QFile::copy(QStringLiteral(QB_SUPPLIED_TARGETS), dir.filePath(u"targets.ini"_s)));
    x11 = CreateX11Platform();
    ui = std::make_unique<ScriptedInteraction>();

    QVERIFY(editor.start(u"mousepad"_s));
    QTRY_VERIFY_WITH_TIMEOUT(editorWindow() != 0, 20000);
    other = std::make_unique<QWindow>();
    other->setTitle(u"Other program"_s);
    other->resize(300, 200);
    other->show();
    QTRY_VERIFY(x11->interfaces().windows.topLevelWindows().contains(other->winId()));
}

void TestX11Send::cleanupTestCase()
{
    editor.stop();
    other.reset();
    ui.reset();
    x11.reset();
    OverrideAppDir({});
}

WindowHandle TestX11Send::windowEndingWith(const QString& titleEnd)
{
    WindowSystem& windows = x11->interfaces().windows;
    for (const WindowHandle window : windows.topLevelWindows()) {
        if (windows.windowTitle(window).endsWith(titleEnd))
            return window;
    }
    return 0;
}

void TestX11Send::activateOtherWindow()
{
    WindowSystem& windows = x11->interfaces().windows;
    windows.requestActivation(other->winId());
    QVERIFY(windows.waitUntilActive(other->winId(), 5000));
}

QString TestX11Send::editorText()
{
    // The editor owns the clipboard after its copy, so xclip can be waited for here.
    QProcess::execute(u"xdotool"_s, {u"key"_s, u"ctrl+a"_s, u"ctrl+c"_s});
    QProcess xclip;
    xclip.start(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s});
    xclip.waitForFinished();
    return QString::fromUtf8(xclip.readAllStandardOutput());
}

void TestX11Send::clearEditor()
{
    QProcess::execute(u"xdotool"_s, {u"key"_s, u"ctrl+a"_s, u"Delete"_s});
}

void TestX11Send::pastesIntoTheEditorAndRestoresTheClipboard()
{
    Clipboard& clipboard = x11->interfaces().clipboard;
    WindowSystem& windows = x11->interfaces().windows;
    ShownMessage message;
    message.options.target = u"Notepad"_s;
    const TokenExpander expand = [](const QString& text) -> QString { return text + u"\nRegards, Ann"_s; };

    for (int send = 1; send <= 5; ++send) {
        const QString before = u"clipboard before send %1"_s.arg(send);
        clipboard.setText(before);
        message.text = u"Dear customer %1,\nthank you — Grüße aus Köln."_s.arg(send);
        // Another window is in front when the send starts; the send finds and activates the editor.
        activateOtherWindow();
        (void)message.send(x11->interfaces(), *ui, expand);
        QVERIFY2(ui->shown.isEmpty(), qPrintable(ui->shown.value(0).text));
        QCOMPARE(windows.activeWindow(), editorWindow());
        QCOMPARE(clipboard.text(), before);

        const QString expected = message.text + u"\nRegards, Ann"_s;
        QTRY_COMPARE_WITH_TIMEOUT(editorText(), expected, 10000);
        clearEditor();
    }
}

void TestX11Send::pastesIntoLibreOfficeWriter()
{
    // Writer reads the clipboard through a hidden window of its own on a second connection.
    if (QStandardPaths::findExecutable(u"soffice"_s).isEmpty())
        QSKIP("LibreOffice Writer (soffice) is not installed here");
    OpenTargetsFile().writeText(u"LibreOffice Writer"_s, u"Target"_s, WriterTitleEnd);
    OpenTargetsFile().writeText(u"LibreOffice Writer"_s, u"Search Type"_s, u"Substring"_s);
    DesktopProgram writer;
    QVERIFY(writer.start(u"soffice"_s, {u"--writer"_s, u"--norestore"_s, u"--nologo"_s, u"--nolockcheck"_s}));
    QTRY_VERIFY_WITH_TIMEOUT(windowEndingWith(WriterTitleEnd) != 0, 60000);
    const QString document = QString::number(windowEndingWith(WriterTitleEnd));
    // The soffice script starts the office process and may leave it running: end it by its ID.
    const qint64 office = Xdotool({u"getwindowpid"_s, document}).toLongLong();
    const auto endOffice = qScopeGuard([&] {
        if (office > 0)
            ::kill(pid_t(office), SIGKILL);
        writer.stop();
    });
    // Ready once it takes typed keys.
    ActivateWindow(document);
    Xdotool({u"type"_s, u"ready"_s});
    QCOMPARE(CopyWindowTextWhen(document, u"ready"_s, 30000), u"ready"_s);
    Xdotool({u"key"_s, u"ctrl+a"_s, u"Delete"_s});

    Clipboard& clipboard = x11->interfaces().clipboard;
    ShownMessage message;
    message.options.target = u"LibreOffice Writer"_s;
    const TokenExpander expand = [](const QString& text) { return text; };
    QString sent;
    for (int send = 1; send <= 5; ++send) {
        const QString before = u"the user's own text %1"_s.arg(send);
        clipboard.setText(before);
        message.text = u"Dear customer %1, thank you — Grüße aus Köln."_s.arg(send);
        activateOtherWindow();
        (void)message.send(x11->interfaces(), *ui, expand);
        QVERIFY2(ui->shown.isEmpty(), qPrintable(ui->shown.value(0).text));
        QCOMPARE(clipboard.text(), before);
        sent += message.text;
    }
    // Each paste exactly once, in order.
    QCOMPARE(CopyWindowTextWhen(document, sent, 10000), sent);
}

void TestX11Send::clipboardManagerKeepsNoneOfTheMessages()
{
    if (QStandardPaths::findExecutable(u"copyq"_s).isEmpty())
        QSKIP("CopyQ is not installed here");
    DesktopProgram copyq;
    QVERIFY(copyq.start(u"copyq"_s));
    // Runs a CopyQ script; CopyQ may ask us for our clipboard meanwhile: keep the event loop running.
    const auto script = [&copyq](const QString& code) {
        QProcess client;
        client.setProcessEnvironment(copyq.environment());
        client.start(u"copyq"_s, {u"eval"_s, u"--"_s, code});
        QDeadlineTimer deadline(10000);
        while (client.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(5);
        return QString::fromUtf8(client.readAllStandardOutput());
    };
    const auto history = [&script] {
        return script(u"for (var i = 0; i < size(); ++i) print(str(read(i)) + '\x1e')"_s)
            .split(u'\x1e', Qt::SkipEmptyParts);
    };
    Clipboard& clipboard = x11->interfaces().clipboard;
    // CopyQ records the user's own text, which also tells that it watches the clipboard.
    const QString own = u"the user's own text"_s;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            clipboard.setText(own);
            return history().contains(own);
        }(),
        20000);
    // From here on only the sends' restores can put the user's text into the history again.
    script(u"while (size() > 0) remove(0)"_s);
    QVERIFY(history().isEmpty());

    ShownMessage message;
    message.options.target = u"Notepad"_s;
    const TokenExpander expand = [](const QString& text) { return text; };
    QStringList sent;
    for (int send = 1; send <= 5; ++send) {
        message.text = u"Message %1 for a customer"_s.arg(send);
        activateOtherWindow();
        (void)message.send(x11->interfaces(), *ui, expand);
        QVERIFY2(ui->shown.isEmpty(), qPrintable(ui->shown.value(0).text));
        QCOMPARE(clipboard.text(), own);
        sent.append(message.text);
    }
    // Give CopyQ time to record what it would, then look: the restored text is the user's own
    // content, recorded as usual.
    QTest::qWait(500);
    const QStringList recorded = history();
    QVERIFY2(recorded.contains(own), qPrintable(recorded.join(u" | "_s)));
    for (const QString& text : std::as_const(sent))
        QVERIFY2(!recorded.contains(text), qPrintable(text));
    // The Messages did arrive.
    QCOMPARE(editorText(), sent.join(QString()));
    clearEditor();
}

QTEST_MAIN(TestX11Send)
#include "tst_x11send.moc"
