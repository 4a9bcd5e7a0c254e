// The built program on a real X11 desktop (Xvfb and openbox), driven with real key presses and
// mouse drags: a Message is added under a group, given a date token, a keyword and an
// attachment, found by keyword, dragged to the top level, sent into Mousepad and deleted.
// With QB_SCREENSHOTS set to a folder, the add/edit dialog is saved there in both modes, at
// its design size and enlarged.
#include "desktoptools.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QImage Grab(const QRect& area)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
}

bool IsWhite(QRgb pixel)
{
    return qRed(pixel) > 250 && qGreen(pixel) > 250 && qBlue(pixel) > 250;
}

// The selection colour: clearly blue.
bool IsHighlight(QRgb pixel)
{
    return qBlue(pixel) > qRed(pixel) + 60 && qBlue(pixel) > 120;
}

} // namespace

class TestEditEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void addFindMoveSendAndDelete();

private:
    // The tree's empty area (below its nodes) in screen coordinates, found on the screen.
    QPoint treeEmptyPoint();
    // The selected node's row in screen coordinates.
    QRect selectedRow();
    void focusTree();
    // The program's visible windows, menus included.
    int programWindows();
    // Clicks the white (editable) area at a point given as fractions of the window's size.
    void clickWhite(const QString& window, QPointF at);
    void answerYes();
    QString dialogWindow();
    void screenshots(const QString& mode);
    QSqlQuery query(const QString& sql);
    int scalar(const QString& sql);

    ProgramFolder folder{QStringLiteral(QB_PROGRAM)};
    DesktopProgram editor;
    QProcess quillbay;
    QString editorWindow;
    QString mainWindow;
};

void TestEditEndToEnd::initTestCase()
{
    StartEditorAndProgram(folder, QStringLiteral(QB_TARGETS), editor, quillbay, editorWindow, mainWindow);

    auto db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check"_s);
    db.setDatabaseName(folder.filePath(u"quillbay.db"_s));
    QVERIFY(db.open());
}

void TestEditEndToEnd::cleanupTestCase()
{
    quillbay.kill();
    quillbay.waitForFinished();
    editor.stop();
    QSqlDatabase::removeDatabase(u"check"_s);
}

QSqlQuery TestEditEndToEnd::query(const QString& sql)
{
    QSqlQuery result(QSqlDatabase::database(u"check"_s));
    if (!result.exec(sql))
        qFatal("%s", qUtf8Printable(sql));
    return result;
}

int TestEditEndToEnd::scalar(const QString& sql)
{
    QSqlQuery result = query(sql);
    return result.next() ? result.value(0).toInt() : -1;
}

QPoint TestEditEndToEnd::treeEmptyPoint()
{
    // The tree fills the left pane; low in the window, its white area starts near the left edge.
    const QRect window = WindowGeometry(mainWindow);
    const QImage image = Grab(window);
    const int y = image.height() * 2 / 3;
    int x = 0;
    while (x < image.width() / 2 && !IsWhite(image.pixel(x, y)))
        ++x;
    int end = x;
    while (end < image.width() / 2 && IsWhite(image.pixel(end, y)))
        ++end;
    if (end - x < 40)
        qFatal("tree not found on the screen");
    return window.topLeft() + QPoint((x + end) / 2, y);
}

QRect TestEditEndToEnd::selectedRow()
{
    const QRect window = WindowGeometry(mainWindow);
    const QImage image = Grab(window);
    QRect row;
    for (int y = 0; y < image.height(); ++y) {
        int count = 0;
        for (int x = 0; x < image.width() / 2; ++x)
            count += IsHighlight(image.pixel(x, y));
        if (count > 60)
            row = row.united(QRect(0, y, image.width() / 3, 1));
    }
    return row.translated(window.topLeft());
}

int TestEditEndToEnd::programWindows()
{
    return int(Xdotool({u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(quillbay.processId())})
                   .split(u'\n', Qt::SkipEmptyParts)
                   .size());
}

void TestEditEndToEnd::focusTree()
{
    ActivateWindow(mainWindow);
    const QPoint empty = treeEmptyPoint();
    Xdotool({u"mousemove"_s, QString::number(empty.x()), QString::number(empty.y()), u"click"_s, u"1"_s});
}

void TestEditEndToEnd::clickWhite(const QString& window, QPointF at)
{
    const QRect area = WindowGeometry(window);
    const QImage image = Grab(area);
    const QPoint point(int(at.x() * image.width()), int(at.y() * image.height()));
    if (!IsWhite(image.pixel(point)))
        qFatal("no editable area at %d,%d", point.x(), point.y());
    const QPoint screen = area.topLeft() + point;
    Xdotool({u"mousemove"_s, QString::number(screen.x()), QString::number(screen.y()), u"click"_s, u"1"_s});
}

void TestEditEndToEnd::answerYes()
{
    QString box;
    QTRY_VERIFY_WITH_TIMEOUT(!(box = FindVisibleWindow({u"--name"_s, u"^Confirm$"_s})).isEmpty(), 10000);
    ActivateWindow(box);
    TypeKeys({u"alt+y"_s});
    QTRY_VERIFY_WITH_TIMEOUT(FindVisibleWindow({u"--name"_s, u"^Confirm$"_s}).isEmpty(), 10000);
}

QString TestEditEndToEnd::dialogWindow()
{
    QString window;
    const QStringList search{u"--name"_s, u"^Add/Edit Message$"_s};
    if (!QTest::qWaitFor([&] { return !(window = FindVisibleWindow(search)).isEmpty(); }, 10000))
        qFatal("the add/edit dialog did not show");
    ActivateWindow(window);
    return window;
}

void TestEditEndToEnd::screenshots(const QString& mode)
{
    const QString target = qEnvironmentVariable("QB_SCREENSHOTS");
    if (target.isEmpty())
        return;
    QDir().mkpath(target);
    const QString window = dialogWindow();
    const QRect design = WindowGeometry(window);
    Grab(design).save(QDir(target).filePath(u"addedit-%1.png"_s.arg(mode)));
    Xdotool({u"windowsize"_s, u"--sync"_s, window, u"900"_s, u"900"_s});
    // Saved once the window has been painted at its new size and no longer changes.
    QImage shown;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QImage before = Grab(WindowGeometry(window));
            shown = Grab(WindowGeometry(window));
            return shown.width() == 900 && shown == before;
        }(),
        5000);
    shown.save(QDir(target).filePath(u"addedit-%1-enlarged.png"_s.arg(mode)));
    Xdotool({u"windowsize"_s, u"--sync"_s, window, QString::number(design.width()), QString::number(design.height())});
    ActivateWindow(window);
}

void TestEditEndToEnd::addFindMoveSendAndDelete()
{
    const int orders = scalar(u"select ID from FAQ where Hotword = 'orders'"_s);
    const int before = scalar(u"select count(*) from FAQ"_s);

    // New under the selected group "Orders and refunds" (the second top-level node).
    focusTree();
    TypeKeys({u"Home"_s, u"Down"_s});
    QTRY_VERIFY_WITH_TIMEOUT(selectedRow().height() > 8, 5000);
    TypeKeys({u"alt+n"_s});
    QString dialog = dialogWindow();
    screenshots(u"new"_s);
    // Tab goes from the Hotword to the short description and on to the Message Text.
    TypeText(u"e2ehot"_s);
    TypeKeys({u"Tab"_s});
    TypeText(u"End to end message"_s);
    TypeKeys({u"Tab"_s});
    TypeText(u"Dear customer, today is "_s);
    // The Message Text's menu: four edit commands, then Other FAQ, Clipboard, Date.
    const int windowsBeforeMenu = programWindows();
    TypeKeys({u"Menu"_s});
    QTRY_VERIFY_WITH_TIMEOUT(programWindows() > windowsBeforeMenu, 5000);
    TypeKeys({u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Return"_s});
    // The free-text prompt (two items further), minimised through the window manager, comes
    // back, and the windows taken along with it too; Esc then cancels it.
    TypeKeys({u"Menu"_s});
    QTRY_VERIFY_WITH_TIMEOUT(programWindows() > windowsBeforeMenu, 5000);
    TypeKeys({u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s, u"Down"_s,
              u"Return"_s});
    const QStringList promptSearch{u"--name"_s, u"^Prompt For Entry of Free Text$"_s};
    QString prompt;
    QTRY_VERIFY_WITH_TIMEOUT(!(prompt = FindVisibleWindow(promptSearch)).isEmpty(), 10000);
    Xdotool({u"windowminimize"_s, prompt});
    QTest::qWait(1000);
    QVERIFY(WaitFor([&] { return IsViewable(prompt) && IsViewable(dialog) && IsViewable(mainWindow); }, 5000));
    ActivateWindow(prompt);
    TypeKeys({u"Escape"_s});
    QTRY_VERIFY_WITH_TIMEOUT(FindVisibleWindow(promptSearch).isEmpty(), 10000);
    TypeKeys({u"alt+s"_s});
    QTRY_COMPARE_WITH_TIMEOUT(scalar(u"select count(*) from FAQ where Hotword = 'e2ehot'"_s), 1, 10000);
    const int id = scalar(u"select ID from FAQ where Hotword = 'e2ehot'"_s);
    QCOMPARE(scalar(u"select GroupID from FAQ where ID = %1"_s.arg(id)), orders);
    {
        QSqlQuery row = query(u"select ShortName, Text from FAQ where ID = %1"_s.arg(id));
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toString(), u"End to end message"_s);
        QCOMPARE(row.value(1).toString(), u"Dear customer, today is %DATE%"_s);
    }

    // Edit the shown Message: a keyword and an attachment.
    QFile attachment(folder.filePath(u"price list.txt"_s));
    QVERIFY(attachment.open(QIODevice::WriteOnly));
    attachment.close();
    QTRY_VERIFY_WITH_TIMEOUT(FindVisibleWindow({u"--name"_s, u"^Add/Edit Message$"_s}).isEmpty(), 10000);
    ActivateWindow(mainWindow);
    TypeKeys({u"alt+e"_s});
    dialog = dialogWindow();
    screenshots(u"edit"_s);
    clickWhite(dialog, {0.75, 0.1}); // the keyword grid
    TypeKeys({u"Insert"_s});
    TypeText(u"e2ekey"_s);
    TypeKeys({u"Return"_s, u"alt+a"_s, u"Insert"_s});
    TypeText(attachment.fileName());
    TypeKeys({u"Return"_s, u"alt+s"_s});
    const QString keywordCount = u"select count(*) from FAQKeywords where FAQID = %1 and Keyword = 'e2ekey'"_s.arg(id);
    QTRY_COMPARE_WITH_TIMEOUT(scalar(keywordCount), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(scalar(u"select count(*) from FAQAttachments where FAQID = %1"_s.arg(id)), 1, 10000);
    QCOMPARE(query(u"select Filename from FAQAttachments where FAQID = %1"_s.arg(id)).next(), true);

    // Find it by keyword (F3), then drag its node below the last node: the top level.
    QTRY_VERIFY_WITH_TIMEOUT(FindVisibleWindow({u"--name"_s, u"^Add/Edit Message$"_s}).isEmpty(), 10000);
    ActivateWindow(mainWindow);
    TypeKeys({u"F3"_s});
    TypeText(u"e2ekey"_s);
    TypeKeys({u"Return"_s});
    // Its node: the first child of the expanded group ("End..." sorts before "Order...").
    focusTree();
    TypeKeys({u"Home"_s, u"Down"_s, u"Right"_s, u"Down"_s});
    QRect row;
    QTRY_VERIFY_WITH_TIMEOUT((row = selectedRow()).height() > 8, 5000);
    const QPoint from = row.center();
    const QPoint to = treeEmptyPoint();
    QStringList drag{u"mousemove"_s, QString::number(from.x()), QString::number(from.y()), u"mousedown"_s, u"1"_s};
    for (int step = 1; step <= 10; ++step) {
        const QPoint at = from + (to - from) * step / 10;
        drag << u"sleep"_s << u"0.05"_s << u"mousemove"_s << QString::number(at.x()) << QString::number(at.y());
    }
    drag << u"sleep"_s << u"0.1"_s << u"mouseup"_s << u"1"_s;
    Xdotool(drag);
    answerYes();
    QTRY_COMPARE_WITH_TIMEOUT(scalar(u"select GroupID from FAQ where ID = %1"_s.arg(id)), 0, 10000);

    // F12 sends the shown Message into Mousepad with its date filled in.
    QClipboard* clipboard = QGuiApplication::clipboard();
    ActivateWindow(mainWindow);
    TypeKeys({u"F12"_s});
    // The attachment goes only to Outlook: the send says so, then pastes the text.
    QString box;
    QVERIFY(QTest::qWaitFor(
        [&] {
            const QStringList windows
                = Xdotool({u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(quillbay.processId()),
                           u"--name"_s, u"^Tolvane Quillbay$"_s})
                      .split(u'\n');
            for (const QString& window : windows) {
                if (!window.isEmpty() && window != mainWindow)
                    box = window;
            }
            return !box.isEmpty();
        },
        10000));
    ActivateWindow(box);
    TypeKeys({u"Return"_s});
    QString pasted;
    const auto editorText = [&] {
        clipboard->setText(u"marker"_s);
        ActivateWindow(editorWindow);
        TypeKeys({u"ctrl+a"_s, u"ctrl+c"_s});
        pasted = QTest::qWaitFor([&] { return !clipboard->ownsClipboard(); }, 3000) ? clipboard->text() : QString();
        return pasted;
    };
    QVERIFY2(QTest::qWaitFor([&] { return editorText().startsWith(u"Dear customer, today is "_s); }, 10000),
             qPrintable(pasted));
    QVERIFY(!pasted.contains(u"%DATE%"_s));
    QVERIFY(pasted.size() > u"Dear customer, today is "_s.size());

    // Delete it: now the first top-level node.
    focusTree();
    // The first node may already be current without being selected: step off it and back.
    TypeKeys({u"Down"_s, u"Home"_s});
    QTRY_VERIFY_WITH_TIMEOUT(selectedRow().height() > 8, 5000);
    TypeKeys({u"alt+d"_s});
    answerYes();
    QTRY_COMPARE_WITH_TIMEOUT(scalar(u"select count(*) from FAQ where ID = %1"_s.arg(id)), 0, 10000);
    QCOMPARE(scalar(u"select count(*) from FAQKeywords where FAQID = %1"_s.arg(id)), 0);
    QCOMPARE(scalar(u"select count(*) from FAQAttachments where FAQID = %1"_s.arg(id)), 0);
    QCOMPARE(scalar(u"select count(*) from FAQ"_s), before);
    QCOMPARE(scalar(u"select count(*) from FAQAction"_s), 0);
}

QTEST_MAIN(TestEditEndToEnd)
#include "tst_edit_e2e.moc"
