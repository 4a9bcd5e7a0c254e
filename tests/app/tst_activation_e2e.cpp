// The built program on a real X11 desktop (Xvfb and openbox) beside Mousepad, driven with
// real keys and clicks: after a Message was clicked in the tree, the activation key pressed
// in the editor leaves the last search term selected, so the next Hotword replaces it.
#include "desktoptools.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void Type(const QString& text)
{
    Xdotool({u"type"_s, u"--delay"_s, u"30"_s, text});
}

bool IsWhite(QRgb pixel)
{
    return qRed(pixel) > 250 && qGreen(pixel) > 250 && qBlue(pixel) > 250;
}

} // namespace

class TestActivationEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void nextHotwordReplacesTheLastAfterATreeClick();

private:
    // The middle of the tree's first row, on the screen: the tree is the white area of the
    // left pane, its rows start at the top of that area.
    QPoint firstTreeRow();

    ProgramFolder folder{QStringLiteral(QB_PROGRAM)};
    DesktopProgram editor;
    QProcess quillbay;
    QString editorWindow;
    QString mainWindow;
};

void TestActivationEndToEnd::initTestCase()
{
    StartEditorAndProgram(folder, QStringLiteral(QB_TARGETS), editor, quillbay, editorWindow, mainWindow);
}

void TestActivationEndToEnd::cleanupTestCase()
{
    quillbay.kill();
    quillbay.waitForFinished();
    editor.stop();
}

QPoint TestActivationEndToEnd::firstTreeRow()
{
    const QRect window = WindowGeometry(mainWindow);
    const QImage image = QGuiApplication::primaryScreen()
                             ->grabWindow(0, window.x(), window.y(), window.width(), window.height())
                             .toImage();
    const int low = image.height() * 2 / 3;
    int left = 0;
    while (left < image.width() / 2 && !IsWhite(image.pixel(left, low)))
        ++left;
    int right = left;
    while (right < image.width() / 2 && IsWhite(image.pixel(right, low)))
        ++right;
    if (right - left < 80)
        qFatal("tree not found on the screen");
    // Near the right edge of the rows no label reaches.
    const int column = right - 4;
    int top = low;
    while (top > 0 && IsWhite(image.pixel(column, top - 1)))
        --top;
    // Clear of the branch marks at the left, on the first row's label.
    return window.topLeft() + QPoint(left + 50, top + 8);
}

void TestActivationEndToEnd::nextHotwordReplacesTheLastAfterATreeClick()
{
    const QString expected = folder.messageText(u"support"_s);
    QVERIFY(!expected.isEmpty());
    QVERIFY(!folder.messageText(u"orders"_s).isEmpty());

    ActivateWindow(mainWindow);
    Type(u"orders"_s);
    TypeKeys({u"Return"_s});
    const QPoint row = firstTreeRow();
    Xdotool({u"mousemove"_s, QString::number(row.x()), QString::number(row.y()), u"click"_s, u"1"_s});

    ActivateWindow(editorWindow);
    QVERIFY(WaitFor([&] { return ActiveWindow() == editorWindow; }));
    TypeKeys({u"F11"_s});
    QVERIFY(WaitFor([&] { return ActiveWindow() == mainWindow; }));
    // A typo closes the list of Hotwords; the corrected term goes on in the box.
    Type(u"supx"_s);
    TypeKeys({u"BackSpace"_s});
    Type(u"port"_s);
    TypeKeys({u"Return"_s});

    // The shown Message's text, copied from the panel.
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(u"marker"_s);
    QTRY_VERIFY(clipboard->ownsClipboard());
    TypeKeys({u"alt+t"_s, u"ctrl+a"_s, u"ctrl+c"_s});
    QTRY_VERIFY_WITH_TIMEOUT(!clipboard->ownsClipboard(), 5000);
    QCOMPARE(clipboard->text().replace(u"\r\n"_s, u"\n"_s), expected);
}

QTEST_MAIN(TestActivationEndToEnd)
#include "tst_activation_e2e.moc"
