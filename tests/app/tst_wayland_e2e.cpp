// The built program on a Wayland desktop beside native Wayland Mousepad, driven from outside
// as a user would, under sway (the program native, or an X11 client of Xwayland) and KWin.
// In Mousepad the activation key brings the program up (sway: bound to "quillbay --show";
// KWin: the global shortcut service), a Hotword and Enter show a Message, and the send key
// (sway: bound to "quillbay --send"; KWin: the program's own) pastes it into Mousepad. The
// text lands exactly, the clipboard held before (text or a picture) is back byte for byte,
// and a destination named by Mousepad's app id alone is found.
#include "desktoptools.h"
#include "settings/inifile.h"
#include "waylanddesktop.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Hotword = u"wlsend"_s;
// Non-ASCII, an emoji, a tab, several lines and an empty one; no placeholder.
const QString MessageText = u"Grüße aus Köln – naïve café\nZweite Zeile mit ✉ und 😀\n\n\tEingerückt: € 42\nEnde"_s;
const QString ProgramTitle = u"Tolvane Quillbay"_s;
const QString TextType = u"text/plain;charset=utf-8"_s;
const QString PictureType = u"image/png"_s;
// A destination that only Mousepad's app id names.
const QString ByAppId = u"Mousepad by app id"_s;

QByteArray Picture()
{
    QImage image(24, 16, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 10, y * 15, 200, 128 + x));
    }
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    image.save(&png, "PNG");
    return png.data();
}

QByteArray FileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot read the file)");
}

} // namespace

class TestWaylandEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void firstStartTellsOnceWhatToBind();
    void activationKeyBringsTheProgramUp();
    void sendPastesExactlyAndRestoresTheClipboard_data();
    void sendPastesExactlyAndRestoresTheClipboard();
    void secondStartTellsNothing();

private:
    // Starts the program and finds its main window; boxes shown at start are closed and counted.
    void startProgram();
    std::optional<WaylandDesktop::Window> programWindow() const;
    std::optional<WaylandDesktop::Window> editorWindow() const;
    // The windows with their IDs, app ids and focus, to tell what went wrong.
    QString windowList() const;
    // Empties and saves Mousepad's document.
    void clearEditor();
    // The Hotword and Enter in the program.
    void showMessage();
    // The send key: under sway bound to "quillbay --send", pressed in Mousepad; under KWin
    // the program's own.
    void send();
    // Saves Mousepad's document.
    void saveEditor();
    // Whether the paste has come: it marks Mousepad's document changed.
    bool waitForPaste() const;

    WaylandDesktop desktop;
    ProgramFolder folder{QStringLiteral(QB_PROGRAM)};
    QProcessEnvironment programEnvironment;
    QProcess quillbay;
    QString mainWindowId;
    int startBoxes = 0;
    std::unique_ptr<DesktopProgram> editor;
    QString document;
};

void TestWaylandEndToEnd::initTestCase()
{
    qInfo("%s%s, the program a native Wayland client", qPrintable(desktop.name()),
          desktop.xwayland() ? " with Xwayland" : "");

    QFile targets(folder.filePath(u"targets.ini"_s));
    QVERIFY(targets.open(QIODevice::WriteOnly));
    targets.write(FileContents(QStringLiteral(QB_TARGETS)));
    targets.write("\n[" + ByAppId.toUtf8() + "]\nClass=mousepad\n");
    targets.close();
    IniFile(folder.filePath(u"options.ini"_s)).writeText(u"Options"_s, u"Target"_s, u"Notepad"_s);

    programEnvironment = folder.environment();
    // As installed (the package brings Qt's Wayland platform), whether Xwayland runs or not.
    programEnvironment.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
    if (desktop.compositor() == WaylandDesktop::Compositor::KWin) {
        // Installed as a package would, naming the program in this folder.
        QString entry = QString::fromUtf8(FileContents(QStringLiteral(QB_DESKTOP_FILE)));
        entry.replace(QRegularExpression(u"^Exec=.*$"_s, QRegularExpression::MultilineOption),
                      u"Exec="_s + folder.program());
        WaylandDesktop::addDesktopFile(u"quillbay.desktop"_s, entry.toUtf8());
    } else {
        // As the user would bind them in sway's configuration.
        QString command = u"exec env"_s;
        for (const QString& name : {u"HOME"_s, u"XDG_CONFIG_HOME"_s, u"ODBCINI"_s, u"QT_QPA_PLATFORM"_s})
            command += u' ' + name + u'=' + programEnvironment.value(name);
        command += u' ' + folder.program();
        const QStringList bindings{u"bindsym F11 "_s + command + u" --show"_s,
                                   u"bindsym F12 "_s + command + u" --send"_s};
        for (const QString& binding : bindings) {
            const QString answer = RunTool(u"swaymsg"_s, {binding});
            QVERIFY2(!answer.contains(u"false"_s), qPrintable(binding + u": "_s + answer));
        }
    }

    document = folder.filePath(u"letter.txt"_s);
    QVERIFY(QFile(document).open(QIODevice::WriteOnly));
    QProcessEnvironment editorEnvironment = QProcessEnvironment::systemEnvironment();
    editorEnvironment.insert(u"GDK_BACKEND"_s, u"wayland"_s);
    editorEnvironment.insert(u"NO_AT_BRIDGE"_s, u"1"_s);
    editor = std::make_unique<DesktopProgram>(editorEnvironment);
    QVERIFY(editor->start(u"mousepad"_s, {document}));
    QVERIFY2(editorWindow(), "Mousepad did not show its window");

    startProgram();
    QVERIFY(QTest::qWaitFor([&] { return QFile::exists(folder.filePath(u"quillbay.db"_s)); }, 10000));
    QVERIFY(AddMessageTo(folder.filePath(u"quillbay.db"_s), Hotword, MessageText));
}

void TestWaylandEndToEnd::cleanupTestCase()
{
    quillbay.kill();
    quillbay.waitForFinished();
    if (editor)
        editor->stop();
}

std::optional<WaylandDesktop::Window> TestWaylandEndToEnd::editorWindow() const
{
    return desktop.waitForWindow(u" - Mousepad"_s, [](const WaylandDesktop::Window&) { return true; });
}

std::optional<WaylandDesktop::Window> TestWaylandEndToEnd::programWindow() const
{
    // KWin's search names windows afresh each time; nothing else there bears the title.
    const bool kwin = desktop.compositor() == WaylandDesktop::Compositor::KWin;
    return desktop.waitForWindow(ProgramTitle, [&](const WaylandDesktop::Window& window) {
        return window.id == mainWindowId || (kwin && window.title == ProgramTitle);
    });
}

void TestWaylandEndToEnd::startProgram()
{
    quillbay.setProcessEnvironment(programEnvironment);
    quillbay.setProcessChannelMode(QProcess::ForwardedChannels);
    quillbay.start(folder.program(), {});
    QVERIFY(quillbay.waitForStarted());
    const auto mainWindow = desktop.waitForProgram(quillbay.processId(), ProgramTitle, startBoxes);
    QVERIFY2(mainWindow, "the program did not show its main window");
    mainWindowId = mainWindow->id;
}

void TestWaylandEndToEnd::firstStartTellsOnceWhatToBind()
{
    // sway holds no key for programs, so the first start there tells which commands to bind
    // (its text is checked offscreen: message boxes give no text to read from outside);
    // KWin lends its global shortcut service, and everything works without a word.
    QCOMPARE(startBoxes, desktop.compositor() == WaylandDesktop::Compositor::Sway ? 1 : 0);
}

QString TestWaylandEndToEnd::windowList() const
{
    QString list;
    for (const auto& window : desktop.windows(QString()))
        list += u"\n  %1 \"%2\" %3%4"_s.arg(window.id, window.title, window.appId,
                                            window.focused ? u" (focused)"_s : QString());
    return list;
}

void TestWaylandEndToEnd::clearEditor()
{
    const auto window = editorWindow();
    QVERIFY(window);
    desktop.activate(*window);
    desktop.pressKeys({u"ctrl+a"_s, u"Delete"_s, u"ctrl+s"_s});
    QVERIFY(QTest::qWaitFor([&] { return FileContents(document).isEmpty(); }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return !desktop.title(u" - Mousepad"_s).startsWith(u'*'); }, 5000));
}

void TestWaylandEndToEnd::showMessage()
{
    const auto window = programWindow();
    QVERIFY(window);
    desktop.activate(*window);
    desktop.typeText(Hotword);
    desktop.pressKeys({u"Return"_s});
}

void TestWaylandEndToEnd::send()
{
    if (desktop.compositor() == WaylandDesktop::Compositor::KWin) {
        desktop.pressKeys({u"F12"_s});
        return;
    }
    // Bound in sway, the key sends from any window.
    const auto window = editorWindow();
    QVERIFY(window);
    desktop.activate(*window);
    desktop.pressKeys({u"F12"_s});
}

void TestWaylandEndToEnd::saveEditor()
{
    const auto window = editorWindow();
    QVERIFY(window);
    desktop.activate(*window);
    desktop.pressKeys({u"ctrl+s"_s});
    QVERIFY(QTest::qWaitFor([&] { return !desktop.title(u" - Mousepad"_s).startsWith(u'*'); }, 5000));
}

bool TestWaylandEndToEnd::waitForPaste() const
{
    // The paste marks the document changed.
    return QTest::qWaitFor([&] { return desktop.title(u" - Mousepad"_s).startsWith(u'*'); }, 10000);
}

void TestWaylandEndToEnd::activationKeyBringsTheProgramUp()
{
    clearEditor();
    if (QTest::currentTestFailed())
        return;
    desktop.pressKeys({u"F11"_s});
    if (desktop.compositor() == WaylandDesktop::Compositor::Sway) {
        const bool up = QTest::qWaitFor(
            [&] {
                const auto window = programWindow();
                return window && window->focused;
            },
            10000);
        QVERIFY2(
            up,
            qPrintable(u"the activation key did not bring the program (%1) up:"_s.arg(mainWindowId) + windowList()));
        return;
    }
    // KWin's window search does not tell the focus: the Hotword and the send key typed next
    // reach the program only if it came up.
    QTest::qWait(500);
    desktop.typeText(Hotword);
    desktop.pressKeys({u"Return"_s, u"F12"_s});
    QVERIFY2(waitForPaste(), qPrintable(u"nothing was pasted into Mousepad:"_s + windowList()));
    saveEditor();
    QCOMPARE(QString::fromUtf8(FileContents(document)), MessageText);
}

void TestWaylandEndToEnd::sendPastesExactlyAndRestoresTheClipboard_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("before");

    QTest::newRow("text, destination by title")
        << u"Notepad"_s << TextType << u"the user's own text: Grüße € 😀"_s.toUtf8();
    QTest::newRow("picture, destination by title") << u"Notepad"_s << PictureType << Picture();
    QTest::newRow("text, destination by app id") << ByAppId << TextType << QByteArray("copied before\nthe send");
}

void TestWaylandEndToEnd::sendPastesExactlyAndRestoresTheClipboard()
{
    QFETCH(QString, destination);
    QFETCH(QString, type);
    QFETCH(QByteArray, before);

    IniFile(folder.filePath(u"options.ini"_s)).writeText(u"Options"_s, u"Target"_s, destination);
    clearEditor();
    if (QTest::currentTestFailed())
        return;
    SetClipboard(before, type);
    QCOMPARE(ClipboardData(type), before);

    showMessage();
    send();
    if (QTest::currentTestFailed())
        return;
    // The clipboard is read only after the paste, so that the read does not stand in for the
    // editor's.
    QVERIFY2(waitForPaste(), qPrintable(u"nothing was pasted into Mousepad:"_s + windowList()));
    saveEditor();
    QCOMPARE(QString::fromUtf8(FileContents(document)), MessageText);
    QVERIFY2(QTest::qWaitFor([&] { return ClipboardData(type) == before; }, 10000),
             qPrintable(u"the clipboard was not put back; it offers "_s + ClipboardTypes().join(u", "_s)
                        + u" and holds as "_s + type + u": "_s + QString::fromUtf8(ClipboardData(type).left(80))
                        + u"\nWindows:"_s + windowList()));
    QCOMPARE(ClipboardData(type), before);
}

void TestWaylandEndToEnd::secondStartTellsNothing()
{
    quillbay.terminate();
    QVERIFY(quillbay.waitForFinished(10000));
    startProgram();
    QCOMPARE(startBoxes, 0);
}

QTEST_GUILESS_MAIN(TestWaylandEndToEnd)
#include "tst_wayland_e2e.moc"
