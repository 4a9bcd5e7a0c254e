// The send sequence on a real X11 desktop (Xvfb and openbox) into a real editor, Mousepad,
// found through the supplied targets.ini.
#include "delivery/send.h"

#include "desktoptools.h"
#include "platform/x11/x11platform.h"
#include "scriptedinteraction.h"
#include "settings/settings.h"
#include "shownmessage.h"
#include "util/textutils.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace { } // namespace

class TestX11Send : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void pastesIntoTheEditorAndRestoresTheClipboard();

private:
    WindowHandle editorWindow();
    // The editor's whole text, read back through its own select-all and copy.
    QString editorText();
    void clearEditor();

    QTemporaryDir dir;
    DesktopProgram editor;
    std::unique_ptr<X11Platform> x11;
    std::unique_ptr<ScriptedInteraction> ui;
};

void TestX11Send::initTestCase()
{
    OverrideAppDir(dir.path());
    QVERIFY(QFile::copy(QStringLiteral(QB_SUPPLIED_TARGETS), dir.filePath(u"targets.ini"_s)));
    x11 = CreateX11Platform();
    ui = std::make_unique<ScriptedInteraction>();

    QVERIFY(editor.start(u"mousepad"_s));
    QTRY_VERIFY_WITH_TIMEOUT(editorWindow() != 0, 20000);
}

void TestX11Send::cleanupTestCase()
{
    editor.stop();
    ui.reset();
    x11.reset();
    OverrideAppDir({});
}

WindowHandle TestX11Send::editorWindow()
{
    WindowSystem& windows = x11->interfaces().windows;
    for (const WindowHandle window : windows.topLevelWindows()) {
        if (windows.windowTitle(window).endsWith(u" - Mousepad"_s))
            return window;
    }
    return 0;
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
    QWindow other;
    other.setTitle(u"Other program"_s);
    other.resize(300, 200);
    other.show();
    QTRY_VERIFY(windows.topLevelWindows().contains(other.winId()));
    ShownMessage message;
    message.options.target = u"Notepad"_s;
    const TokenExpander expand = [](const QString& text) -> QString { return text + u"\nRegards, Ann"_s; };

    for (int send = 1; send <= 5; ++send) {
        const QString before = u"clipboard before send %1"_s.arg(send);
        clipboard.setText(before);
        message.text = u"Dear customer %1,\nthank you — Grüße aus Köln."_s.arg(send);
        // Another window is in front when the send starts; the send finds and activates the editor.
        windows.requestActivation(other.winId());
        QVERIFY(windows.waitUntilActive(other.winId(), 5000));
        (void)message.send(x11->interfaces(), *ui, expand);
        QVERIFY2(ui->shown.isEmpty(), qPrintable(ui->shown.value(0).text));
        QCOMPARE(windows.activeWindow(), editorWindow());
        QCOMPARE(clipboard.text(), before);

        const QString expected = message.text + u"\nRegards, Ann"_s;
        QTRY_COMPARE_WITH_TIMEOUT(editorText(), expected, 10000);
        clearEditor();
    }
}

QTEST_MAIN(TestX11Send)
#include "tst_x11send.moc"
