// File > Import... and File > Export... of the main window, offscreen, with the scripted
// boxes and a database of its own.

#include "mainwindowfixture.h"

#include "dialogs/fRestoreBackup.h"
#include "exchange/exchangeformats.h"
#include "store/backups.h"
#include "store/messageexchange.h"

#include "childbyname.h"
#include "mnemonics.h"
#include "testfiles.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

class TestImportExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fileMenu();
    void importAsksAboutTakenHotwords_data();
    void importAsksAboutTakenHotwords();
    void brokenFileChangesNothing();
    void exportSummary();
    void importSummaryListsDateFormats();
    void messageWithIdZeroRoundTrip_data();
    void messageWithIdZeroRoundTrip();
    void importKeepsABackupFirst();
    void restoreABackup();
    void restoreRefusedWhileEditing();
    void exportOnFullDiskKeepsEarlierFile_data();
    void exportOnFullDiskKeepsEarlierFile();
};

namespace {

void Trigger(TfrmMain& window, const QString& name)
{
    window.findChild<QAction*>(name)->trigger();
}

QString WriteFile(const MessageDb& db, const QString& name, const QByteArray& data)
{
    QFile file(db.folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(name));
    return file.fileName();
}

int Count(const MessageDb& db)
{
    QSqlQuery query = db.run(u"select count(*) from FAQ"_s);
    return query.next() ? query.value(0).toInt() : -1;
}

const QByteArray answers = "ID,ParentID,ShortName,Hotword,Text,Keywords\r\n"
                           "1,0,Group,orders,Orders,\r\n"
                           "2,1,Refund,refund,We refund.,\"money\ncard\"\r\n"
                           "3,0,Empty,empty,,\r\n";

} // namespace

void TestImportExport::fileMenu()
{
    MainWindowFixture f;
    TfrmMain& window = f.create();
    QStringList texts;
    for (const QAction* action : window.findChild<QMenu*>(u"mnuFile"_s)->actions())
        texts << (action->isSeparator() ? u"-"_s : action->text());
    QCOMPARE(texts, (QStringList{u"&Import..."_s, u"&Export..."_s, u"&Restore a backup…"_s, u"-"_s, u"E&xit"_s}));
}

void TestImportExport::importAsksAboutTakenHotwords_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("topLevel"); // nodes of the rebuilt tree; the window was never filled before
    QTest::addColumn<QString>("summary");
    const QString left = u"\r\n\r\nLeft out:\r\nline 5 (Hotword \"empty\"): left out, it has no text."_s;
    QTest::newRow("skip") << 0 << 1 << 2
                          << u"Imported from answers.csv: 1 Message (0 groups), 2 keywords and 0 attachments."_s
            + u"\r\n\r\nLeft out:\r\nline 2 (Hotword \"orders\"): left out, the Hotword already exists."_s
            + u"\r\nline 5 (Hotword \"empty\"): left out, it has no text."_s;
    QTest::newRow("suffix") << 1 << 2 << 2
                            << u"Imported from answers.csv: 2 Messages (1 group), 2 keywords and 0 attachments."_s
            + left
            + u"\r\n\r\nChanged:\r\nline 2 (Hotword \"orders\"): the Hotword already exists; "
              "imported as \"orders-2\"."_s;
    QTest::newRow("cancel") << 2 << 0 << 0 << QString();
}

void TestImportExport::importAsksAboutTakenHotwords()
{
    QFETCH(int, choice);
    QFETCH(int, added);
    QFETCH(int, topLevel);
    QFETCH(QString, summary);
    MainWindowFixture f;
    f.db.addMessage(u"Orders"_s, u"Orders"_s, u"Here before."_s);
    TfrmMain& window = f.create();
    f.ui.fileAnswers.push_back(WriteFile(f.db, u"answers.csv"_s, answers));
    f.ui.choiceAnswers.push_back(choice);
    Trigger(window, u"actImport"_s);

    QCOMPARE(f.ui.texts(u"choose"_s),
             QStringList{u"2 of the 3 Messages in the file cannot be imported as they stand:\r\n"
                         "line 2: Hotword \"orders\": the Hotword already exists.\r\n"
                         "line 5: Hotword \"empty\": it has no text.\r\n\r\n"
                         "Skip them, or import them with a suffix such as \"-2\" added to a taken or too long "
                         "Hotword (and a too long short description cut)? Messages without a Hotword, a short "
                         "description or text are always skipped."_s});
    // The buttons of the question, each with an accelerator of its own.
    const auto question = std::ranges::find(f.ui.shown, u"choose"_s, &ScriptedInteraction::Shown::kind);
    QCOMPARE(question->caption, u"&Skip Them|&Import with a Suffix|Cancel"_s);
    QCOMPARE(RepeatedMnemonics(question->caption.split(u'|')), QStringList());
    QCOMPARE(f.ui.texts(u"message"_s), summary.isEmpty() ? QStringList() : QStringList{summary});
    QCOMPARE(Count(f.db), 1 + added);
    QCOMPARE(child<QTreeWidget>(window, "tvFAQs")->topLevelItemCount(), topLevel);
}

void TestImportExport::brokenFileChangesNothing()
{
    MainWindowFixture f;
    TfrmMain& window = f.create();
    QByteArray broken = answers;
    broken.replace("We refund.", "We \"refund\".");
    f.ui.fileAnswers.push_back(WriteFile(f.db, u"broken.csv"_s, broken));
    Trigger(window, u"actImport"_s);
    QCOMPARE(f.ui.texts(u"error"_s),
             QStringList{u"Nothing was imported from broken.csv.\r\n"
                         "Line 3: a quote inside a field that does not start with one."_s});
    QCOMPARE(Count(f.db), 0);
}

void TestImportExport::exportSummary()
{
    MainWindowFixture f;
    const int group = f.db.addMessage(u"Group"_s, u"group"_s, u"G"_s);
    const int child = f.db.addMessage(u"Child"_s, u"child"_s, u"C"_s, group);
    f.db.addKeyword(child, u"one"_s);
    TfrmMain& window = f.create();
    const QString path = f.db.folder.filePath(u"out.json"_s);
    f.ui.saveAnswers.push_back(path);
    Trigger(window, u"actExport"_s);
    QCOMPARE(f.ui.texts(u"message"_s),
             QStringList{u"Exported to out.json: 2 Messages (1 group), 1 keyword and 0 attachments."_s});
    QCOMPARE(ReadCollectionFile(path).messages.size(), 2);

    // A cancelled save dialog writes nothing.
    f.ui.clear();
    f.ui.saveAnswers.push_back(std::nullopt);
    Trigger(window, u"actExport"_s);
    QCOMPARE(f.ui.shown.size(), 1);
}

void TestImportExport::importSummaryListsDateFormats()
{
    MainWindowFixture f;
    TfrmMain& window = f.create();
    // The fake desktop writes the short date as 2026-12-09, as "%F" does.
    f.ui.fileAnswers.push_back(WriteFile(f.db, u"dates.yml"_s,
                                         "matches:\n"
                                         "  - trigger: \":d\"\n"
                                         "    replace: \"On {{day}}, in {{year}}.\"\n"
                                         "    vars:\n"
                                         "      - {name: day, type: date, params: {format: \"%F\"}}\n"
                                         "      - {name: year, type: date, params: {format: \"%Y\"}}\n"));
    Trigger(window, u"actImport"_s);
    QCOMPARE(
        f.ui.texts(u"message"_s),
        QStringList{u"Imported from dates.yml: 2 Messages (1 group), 0 keywords and 0 attachments.\r\n\r\n"
                    "Turned into tokens of this program:\r\n"
                    "Trigger \":d\": {{day}} (date format \"%F\") became %DATE%.\r\n\r\n"
                    "Kept as plain text or left out by the reader:\r\n"
                    "Trigger \":d\": {{year}} kept as plain text: its date format \"%Y\" writes the date otherwise "
                    "than %DATE% and %DATETIME%."_s});
    QSqlQuery text = f.db.run(u"select Text from FAQ where Hotword = ':d'"_s);
    QVERIFY(text.next());
    QCOMPARE(text.value(0).toString(), u"On %DATE%, in {{year}}."_s);
}

void TestImportExport::messageWithIdZeroRoundTrip_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("csv") << u"all.csv"_s;
    QTest::newRow("json") << u"all.json"_s;
}

void TestImportExport::messageWithIdZeroRoundTrip()
{
    QFETCH(QString, fileName);
    MainWindowFixture f;
    // Older databases may hold a Message with the ID 0; it is a top-level Message, no group.
    f.db.run(u"insert into FAQ (ID, ShortName, Hotword, Text, GroupID) values (0, 'Zero', 'zero', 'Z', 0)"_s);
    const int group = f.db.addMessage(u"Group"_s, u"group"_s, u"G"_s);
    f.db.addMessage(u"Child"_s, u"child"_s, u"C"_s, group);
    f.db.addMessage(u"Top"_s, u"top"_s, u"T"_s);
    const MessageCollection before = ReadAllMessages(*f.db.module);
    TfrmMain& window = f.create();
    const QString path = f.db.folder.filePath(fileName);
    f.ui.saveAnswers.push_back(path);
    Trigger(window, u"actExport"_s);
    QCOMPARE(f.ui.texts(u"message"_s),
             QStringList{u"Exported to %1: 4 Messages (1 group), 0 keywords and 0 attachments."_s.arg(fileName)});

    f.db.run(u"delete from FAQ"_s);
    f.ui.clear();
    f.ui.fileAnswers.push_back(path);
    Trigger(window, u"actImport"_s);
    QCOMPARE(f.ui.texts(u"error"_s), QStringList());
    QCOMPARE(ReadAllMessages(*f.db.module).messages, before.messages);
    QCOMPARE(child<QTreeWidget>(window, "tvFAQs")->topLevelItemCount(), 3);
}

void TestImportExport::importKeepsABackupFirst()
{
    MainWindowFixture f;
    f.db.addMessage(u"Before"_s, u"before"_s, u"Here before."_s);
    TfrmMain& window = f.create();
    f.ui.fileAnswers.push_back(WriteFile(f.db, u"answers.csv"_s, answers));
    f.ui.choiceAnswers.push_back(0);
    Trigger(window, u"actImport"_s);
    QCOMPARE(Count(f.db), 3);
    const QList<BackupInfo> backups = DatabaseBackups(*f.db.module).List();
    QCOMPARE(backups.size(), 1);
    QCOMPARE(backups.first().kind, BackupKind::BeforeImport);
    QCOMPARE(backups.first().messages, 1);
}

void TestImportExport::restoreABackup()
{
    MainWindowFixture f;
    f.db.addMessage(u"Yesterday"_s, u"yesterday"_s, u"Y"_s);
    const QDateTime yesterday(QDate::currentDate().addDays(-1), QTime(8, 30));
    DatabaseBackups(*f.db.module).MakeDailyBackup(yesterday);
    f.db.addMessage(u"Today"_s, u"today"_s, u"T"_s);
    TfrmMain& window = f.create();
    window.RefreshFAQTree();
    auto* tree = child<QTreeWidget>(window, "tvFAQs");
    QCOMPARE(tree->topLevelItemCount(), 2);

    Trigger(window, u"actRestoreBackup"_s);
    auto* dialog = window.findChild<TfrmRestoreBackup*>();
    QVERIFY(dialog);
    auto* list = child<QTreeWidget>(*dialog, "lvBackups");
    QCOMPARE(list->topLevelItemCount(), 1);
    const QString made = yesterday.toString(u"yyyy-MM-dd HH:mm"_s);
    QCOMPARE(list->topLevelItem(0)->text(0), made);
    QCOMPARE(list->topLevelItem(0)->text(1), u"1"_s);
    QCOMPARE(list->topLevelItem(0)->text(2), u"daily backup"_s);
    f.ui.confirmAnswers.push_back(true);
    child<QDialogButtonBox>(*dialog, "btnsRestore")->button(QDialogButtonBox::Ok)->click();

    QCOMPARE(
        f.ui.texts(u"confirm"_s),
        QStringList{
            u"Restore the daily backup of %1 (1 Message)?\r\n\r\nEvery Message now in the database is "
            "replaced by those of the backup. The database as it is now is kept as a backup of its own."_s.arg(made)});
    QCOMPARE(f.ui.shown.first().defaultButton, u"No"_s);
    QCOMPARE(f.ui.texts(u"error"_s), QStringList());
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->text(0), u"Yesterday"_s);
    const QList<BackupInfo> backups = DatabaseBackups(*f.db.module).List();
    QCOMPARE(backups.size(), 2);
    QCOMPARE(backups.first().kind, BackupKind::BeforeRestore);
    QCOMPARE(backups.first().messages, 2);
    QCOMPARE(
        f.ui.texts(u"message"_s),
        QStringList{u"Restored the daily backup of %1 (1 Message).\r\nThe Messages it replaced are kept in %2."_s.arg(
            made, QDir::toNativeSeparators(backups.first().path))});

    // Answering No changes nothing.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window.findChild<TfrmRestoreBackup*>());
    f.ui.clear();
    Trigger(window, u"actRestoreBackup"_s);
    dialog = window.findChild<TfrmRestoreBackup*>();
    f.ui.confirmAnswers.push_back(false);
    child<QDialogButtonBox>(*dialog, "btnsRestore")->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(f.ui.texts(u"message"_s), QStringList());
    QCOMPARE(Count(f.db), 1);
}

void TestImportExport::restoreRefusedWhileEditing()
{
    MainWindowFixture f;
    TfrmMain& window = f.create();
    // Without any backup the command says when they are made.
    Trigger(window, u"actRestoreBackup"_s);
    QCOMPARE(f.ui.texts(u"message"_s),
             QStringList{u"There is no backup yet. One is made at the first start of each day and before every "
                         "import, in %1."_s.arg(QDir::toNativeSeparators(f.db.folder.filePath(u"backups"_s)))});
    f.ui.clear();
    window.actNewExecute();
    Trigger(window, u"actRestoreBackup"_s);
    QCOMPARE(f.ui.texts(u"message"_s),
             QStringList{u"Please save or cancel the message being edited before restoring a backup."_s});
    QVERIFY(!window.findChild<TfrmRestoreBackup*>());
}

void TestImportExport::exportOnFullDiskKeepsEarlierFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("CSV") << u"exp.csv"_s;
    QTest::newRow("JSON") << u"exp.json"_s;
}

void TestImportExport::exportOnFullDiskKeepsEarlierFile()
{
    if (!FullDisk::available())
        QSKIP("no file size limit on this system");
    QFETCH(QString, name);
    MainWindowFixture f;
    for (int i = 0; i < 8; ++i)
        f.db.addMessage(u"Message %1"_s.arg(i), u"hot%1"_s.arg(i), u"Text %1"_s.arg(i));
    TfrmMain& window = f.create();
    const QString earlier = WriteFile(f.db, name, "an earlier export\n");
    f.ui.saveAnswers.push_back(earlier);
    {
        const FullDisk full;
        Trigger(window, u"actExport"_s);
    }
    // No summary: the error names the file and the system's reason.
    QCOMPARE(f.ui.texts(u"message"_s), QStringList());
    QCOMPARE(f.ui.texts(u"error"_s),
             QStringList{u"Unable to write to %1: %2. The file was left as it was."_s.arg(
                 QDir::toNativeSeparators(earlier), FullDisk::reason())});
    QCOMPARE(ReadFileBytes(earlier), QByteArray("an earlier export\n"));
}

QTEST_MAIN(TestImportExport)
#include "childbyname.h"
#include "tst_importexport.moc"
