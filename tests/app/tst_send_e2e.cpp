// The built program on a real X11 desktop (Xvfb and openbox) sends an example Message into a
// real editor, Mousepad, found through the supplied targets.ini: Hotword, Enter, F12.
#include "desktoptools.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void Keys(const QStringList& keys)
{
    Xdotool(QStringList{u"key"_s, u"--clearmodifiers"_s} + keys);
}

// Processes that keep both cores busy while they live.
class BusyLoops {
public:
    BusyLoops()
    {
        for (auto& loop : m_loops)
            loop.start(u"sh"_s, {u"-c"_s, u"while :; do :; done"_s});
    }
    ~BusyLoops()
    {
        for (auto& loop : m_loops) {
            loop.kill();
            loop.waitForFinished();
        }
    }

private:
    QProcess m_loops[2];
};

} // namespace

class TestSendEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void hotwordEnterF12PastesAndRestoresTheClipboard();
    void twentySendsUnderLoad();

private:
    // One F12 in the main window; waits until the program has put the clipboard back.
    void sendAndWait(const QString& clipboardBefore);
    QString editorText();
    void clearEditor();

    ProgramFolder folder{QStringLiteral(QB_PROGRAM)};
    DesktopProgram editor;
    QProcess quillbay;
    QString editorWindow;
    QString mainWindow;
    QString expected;
};

void TestSendEndToEnd::initTestCase()
{
    StartEditorAndProgram(folder, QStringLiteral(QB_TARGETS), editor, quillbay, editorWindow, mainWindow);

    expected = folder.messageText(u"start"_s);
    QVERIFY(expected.size() > 100);
}

void TestSendEndToEnd::cleanupTestCase()
{
    quillbay.kill();
    quillbay.waitForFinished();
    editor.stop();
}

void TestSendEndToEnd::sendAndWait(const QString& clipboardBefore)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(clipboardBefore);
    QTRY_VERIFY(clipboard->ownsClipboard());
    // Reading the clipboard while the program waits for the editor would answer that wait
    // itself, so only ownership changes are watched: the program takes the clipboard for
    // the paste and then takes it again to give the old text back.
    int changes = 0;
    const auto watch = connect(clipboard, &QClipboard::changed, this,
                               [&](QClipboard::Mode mode) { changes += mode == QClipboard::Clipboard; });
    ActivateWindow(mainWindow);
    Keys({u"F12"_s});
    QTRY_VERIFY_WITH_TIMEOUT(changes >= 2, 10000);
    disconnect(watch);
    QVERIFY(!clipboard->ownsClipboard());
    QCOMPARE(clipboard->text(), clipboardBefore);
}

QString TestSendEndToEnd::editorText()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(u"marker"_s);
    ActivateWindow(editorWindow);
    Keys({u"ctrl+a"_s, u"ctrl+c"_s});
    if (!QTest::qWaitFor([&] { return !clipboard->ownsClipboard(); }, 5000))
        return u"(the editor did not copy)"_s;
    // GTK offers text/plain with CR LF line ends; the document itself holds LF.
    return clipboard->text().replace(u"\r\n"_s, u"\n"_s);
}

void TestSendEndToEnd::clearEditor()
{
    ActivateWindow(editorWindow);
    Keys({u"ctrl+a"_s, u"Delete"_s});
}

void TestSendEndToEnd::hotwordEnterF12PastesAndRestoresTheClipboard()
{
    ActivateWindow(mainWindow);
    Xdotool({u"type"_s, u"--delay"_s, u"20"_s, u"start"_s});
    Keys({u"Return"_s});
    sendAndWait(u"the user's own clipboard text, ü €"_s);
    QCOMPARE(editorText(), expected);
}

void TestSendEndToEnd::twentySendsUnderLoad()
{
    BusyLoops load;
    for (int send = 1; send <= 20; ++send) {
        clearEditor();
        sendAndWait(u"clipboard before send %1"_s.arg(send));
        QCOMPARE(editorText(), expected);
    }
}

QTEST_MAIN(TestSendEndToEnd)
#include "tst_send_e2e.moc"
