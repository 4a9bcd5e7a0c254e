// File > Import... and File > Export... of the main window, offscreen, with the scripted
// boxes and a database of its own.

#include "mainwindowfixture.h"

#include "exchange/exchangeformats.h"

#include "childbyname.h"
#include "mnemonics.h"
#include "testfiles.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
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
    QCOMPARE(texts, (QStringList{u"&Import..."_s, u"&Export..."_s, u"-"_s, u"E&xit"_s}));
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
