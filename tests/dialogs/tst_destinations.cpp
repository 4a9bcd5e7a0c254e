// The destinations editor over a real targets.ini in a temporary folder and a fake desktop.
#include "dialogs/fDestinations.h"

#include "childbyname.h"
#include "platform/fake/fakeplatform.h"
#include "scriptedinteraction.h"
#include "settings/settings.h"
#include "testfiles.h"
#include "util/textutils.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Comments, an unknown key and CR LF line ends, which the editor keeps.
const QByteArray Original
    = "; supplied list\r\n[Mail]\r\n; the composer\r\nTarget=Compose\r\nSearch Type=starts with\r\n"
      "Colour=blue\r\n[Editor]\r\nTarget=- Mousepad\r\n[Old]\r\nTarget=x\r\n";

} // namespace

class TestDestinations : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void editsKeepWhatTheEditorDoesNotKnow();
    void cancelWritesNothing();
    void namesAreCheckedBeforeUse_data();
    void namesAreCheckedBeforeUse();
    void pickedWindowAndTheLiveLine();
    void pickedWindowAmongOthersOfItsKind_data();
    void pickedWindowAmongOthersOfItsKind();

private:
    std::unique_ptr<TfrmDestinations> openEditor(const QString& selected);
    void setCell(TfrmDestinations& editor, int row, int column, const QString& text);
    QString targetsPath() const { return dir->filePath(u"targets.ini"_s); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ScriptedInteraction> ui;
    std::unique_ptr<FakePlatform> fake;
};

void TestDestinations::init()
{
    dir = std::make_unique<QTemporaryDir>();
    OverrideAppDir(dir->path());
    QVERIFY(WriteFileBytes(targetsPath(), Original));
    ui = std::make_unique<ScriptedInteraction>();
    fake = std::make_unique<FakePlatform>();
}

void TestDestinations::cleanup()
{
    fake.reset();
    ui.reset();
    OverrideAppDir({});
}

std::unique_ptr<TfrmDestinations> TestDestinations::openEditor(const QString& selected)
{
    auto editor = std::make_unique<TfrmDestinations>(fake->platform.windows, *ui, selected);
    editor->open();
    return editor;
}

void TestDestinations::setCell(TfrmDestinations& editor, int row, int column, const QString& text)
{
    child<QTableWidget>(editor, "grdEntries")->item(row, column)->setText(text);
}

void TestDestinations::editsKeepWhatTheEditorDoesNotKnow()
{
    const auto editor = openEditor(u"mail"_s);
    QCOMPARE(editor->CurrentDestination(), u"Mail"_s);
    auto* grid = child<QTableWidget>(*editor, "grdEntries");
    QCOMPARE(grid->item(0, 0)->text(), u"Compose"_s);
    QCOMPARE(static_cast<QComboBox*>(grid->cellWidget(0, 1))->currentText(), u"Starts With"_s);

    // Mail: a class for entry 3; the first entry's title changes.
    setCell(*editor, 2, 2, u"evolution"_s);
    setCell(*editor, 0, 0, u"Write:"_s);
    // Editor becomes Mousepad and loses its entry; Old goes; New comes with one entry.
    auto* list = child<QListWidget>(*editor, "lstDestinations");
    list->setCurrentRow(1);
    setCell(*editor, 0, 0, QString());
    ui->inputAnswers = {u"Mousepad"_s, u"New"_s};
    child<QPushButton>(*editor, "btnRename")->click();
    list->setCurrentRow(2);
    ui->confirmAnswers = {true};
    child<QPushButton>(*editor, "btnDelete")->click();
    QCOMPARE(ui->texts(u"confirm"_s), QStringList{u"Delete the destination \"Old\"?"_s});
    child<QPushButton>(*editor, "btnAdd")->click();
    setCell(*editor, 1, 0, u"Inbox"_s);
    static_cast<QComboBox*>(grid->cellWidget(1, 1))->setCurrentText(u"Substring"_s);
    child<QPushButton>(*editor, "btnOK")->click();

    QCOMPARE(editor->result(), int(QDialog::Accepted));
    QCOMPARE(editor->CurrentDestination(), u"New"_s);
    QCOMPARE(
        ReadFileBytes(targetsPath()),
        "; supplied list\r\n[Mail]\r\n; the composer\r\nTarget=Write:\r\nSearch Type=starts with\r\n"
        "Colour=blue\r\nClass3=evolution\r\n[Mousepad]\r\n[New]\r\nTarget2=Inbox\r\nSearch Type2=Substring\r\n"_ba);
}

void TestDestinations::cancelWritesNothing()
{
    const auto editor = openEditor(u"Editor"_s);
    setCell(*editor, 0, 0, u"changed"_s);
    ui->confirmAnswers = {true};
    child<QPushButton>(*editor, "btnDelete")->click();
    child<QPushButton>(*editor, "btnCancel")->click();
    QCOMPARE(ReadFileBytes(targetsPath()), Original);
}

void TestDestinations::namesAreCheckedBeforeUse_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QStringList>("listed");
    const QStringList before{u"Mail"_s, u"Editor"_s, u"Old"_s};
    QTest::newRow("taken in another case")
        << u"EDITOR"_s << u"There is a destination named \"EDITOR\" already."_s << before;
    QTest::newRow("brackets") << u"a]b"_s << u"A destination's name cannot hold [ or ]."_s << before;
    QTest::newRow("blank") << u"   "_s << QString() << before;
    QTest::newRow("trimmed") << u" Sylpheed "_s << QString() << before + QStringList{u"Sylpheed"_s};
}

void TestDestinations::namesAreCheckedBeforeUse()
{
    QFETCH(QString, name);
    QFETCH(QString, warning);
    QFETCH(QStringList, listed);
    const auto editor = openEditor({});
    ui->inputAnswers = {name};
    child<QPushButton>(*editor, "btnAdd")->click();
    QCOMPARE(ui->texts(u"warning"_s), warning.isEmpty() ? QStringList() : QStringList{warning});
    QStringList shown;
    auto* list = child<QListWidget>(*editor, "lstDestinations");
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    QCOMPARE(shown, listed);
}

void TestDestinations::pickedWindowAndTheLiveLine()
{
    const WindowHandle composer = fake->windows.addWindow(u"Re: Order 123"_s, u"Evolution"_s);
    fake->windows.window(composer).role = u"composer-94232385061808"_s;
    const WindowHandle main = fake->windows.addWindow(u"Mail - Evolution"_s, u"Evolution"_s);
    fake->windows.addWindow(QString(), u"Untitled"_s);
    const auto editor = openEditor(u"Mail"_s);
    auto* line = child<QLabel>(*editor, "lblMatchesNow");
    QCOMPARE(line->text(), u"No open window matches these entries now."_s);

    child<QPushButton>(*editor, "btnPickWindow")->click();
    auto* windows = child<QListWidget>(*editor, "lstOpenWindows");
    // Windows without a title are not offered.
    QCOMPARE(windows->count(), 2);
    QCOMPARE(windows->item(0)->text(), u"Mail - Evolution  [Evolution]"_s);
    windows->setCurrentRow(1);
    // Enter picks, and leaves the dialog open.
    QTest::keyClick(windows, Qt::Key_Return);
    QVERIFY(editor->isVisible());
    QVERIFY(!windows->isVisible());
    // The first free entry takes the class and role; the title stays empty.
    auto* grid = child<QTableWidget>(*editor, "grdEntries");
    QCOMPARE(grid->item(1, 0)->text(), QString());
    QCOMPARE(grid->item(1, 2)->text(), u"Evolution"_s);
    QCOMPARE(grid->item(1, 3)->text(), u"composer"_s);
    QCOMPARE(line->text(), u"Now entry 2 finds: Re: Order 123  [Evolution]"_s);
    // The line follows the desktop; entry 1 comes first once it finds a window.
    fake->windows.window(main).title = u"Compose a message"_s;
    QTRY_COMPARE_WITH_TIMEOUT(line->text(), u"Now entry 1 finds: Compose a message  [Evolution]"_s, 10000);
    // Nothing was brought forward while looking.
    QCOMPARE(fake->windows.active, WindowHandle(0));
}

void TestDestinations::pickedWindowAmongOthersOfItsKind_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("other"); // title of another window of the same class and role
    QTest::addColumn<QString>("titlePart");
    QTest::newRow("browser windows on other sites") << u"Inbox (3) - ann@example.com - Gmail - Chromium"_s
                                                    << u"News - Chromium"_s << u"Inbox (3) - ann@example.com - Gmail"_s;
    QTest::newRow("shared end cut in whole words") << u"Mail - Chromium"_s << u"Gmail - Chromium"_s << u"Mail"_s;
    QTest::newRow("nothing shared") << u"Webmail"_s << u"News"_s << u"Webmail"_s;
    QTest::newRow("the other's title is the shared end")
        << u"Mail - Mozilla Firefox"_s << u"Mozilla Firefox"_s << u"Mail"_s;
    QTest::newRow("the same title") << u"New Tab - Chromium"_s << u"New Tab - Chromium"_s << QString();
}

void TestDestinations::pickedWindowAmongOthersOfItsKind()
{
    QFETCH(QString, picked);
    QFETCH(QString, other);
    QFETCH(QString, titlePart);
    const WindowHandle site = fake->windows.addWindow(picked, u"Chromium"_s);
    fake->windows.window(site).role = u"browser"_s;
    // Windows of another kind or role do not count; the other browser window was used last.
    fake->windows.addWindow(u"notes.txt - gedit"_s, u"Gedit"_s);
    const WindowHandle popup = fake->windows.addWindow(u"Downloads"_s, u"Chromium"_s);
    fake->windows.window(popup).role = u"pop-up"_s;
    const WindowHandle last = fake->windows.addWindow(other, u"Chromium"_s);
    fake->windows.window(last).role = u"browser"_s;

    const auto editor = openEditor(u"Editor"_s);
    child<QPushButton>(*editor, "btnPickWindow")->click();
    auto* windows = child<QListWidget>(*editor, "lstOpenWindows");
    windows->setCurrentRow(3);
    QCOMPARE(windows->currentItem()->text(), picked + u"  [Chromium]"_s);
    QTest::keyClick(windows, Qt::Key_Return);
    auto* grid = child<QTableWidget>(*editor, "grdEntries");
    QCOMPARE(grid->item(1, 0)->text(), titlePart);
    QCOMPARE(grid->item(1, 2)->text(), u"Chromium"_s);
    QCOMPARE(grid->item(1, 3)->text(), u"browser"_s);
    auto* line = child<QLabel>(*editor, "lblMatchesNow");
    if (titlePart.isEmpty()) {
        QCOMPARE(line->text(), u"Now entry 2 finds: %1  [Chromium], the topmost of 2 windows it matches."_s.arg(other));
        return;
    }
    // The title part open for editing; the picked window is the one a send reaches.
    const auto* field = grid->viewport()->findChild<QLineEdit*>();
    QVERIFY(field && field->isVisible());
    QCOMPARE(field->text(), titlePart);
    QCOMPARE(line->text(), u"Now entry 2 finds: %1  [Chromium]"_s.arg(picked));
    // Without it, the browser window used last.
    setCell(*editor, 1, 0, QString());
    QCOMPARE(line->text(), u"Now entry 2 finds: %1  [Chromium], the topmost of 2 windows it matches."_s.arg(other));
    setCell(*editor, 1, 0, titlePart);
    child<QPushButton>(*editor, "btnOK")->click();
    const IniFile targets = OpenTargetsFile();
    QCOMPARE(ReadTargetEntry(targets, u"Editor"_s, 2), (TargetEntry{titlePart, {}, u"Chromium"_s, u"browser"_s, {}}));
    QCOMPARE(FindEntryWindow(fake->windows, ReadTargetEntry(targets, u"Editor"_s, 2)), site);
}

QTEST_MAIN(TestDestinations)
#include "tst_destinations.moc"
