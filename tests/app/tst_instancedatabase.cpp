// The embedded database under a second program: the file dialogs leave SQLite's locks in
// place, a second copy keeps off the file, and a database that another program keeps
// locked is named as busy on Save, Delete and Import, after the same wait.
#include "mainwindowfixture.h"
#include "posixlocks.h"

#include "app/faqtree.h"
#include "dialogs/ffaqaddedit.h"
#include "dialogs/qtinteraction.h"
#include "store/databaselock.h"
#include "store/storeerror.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Holds the write lock of a database file through a connection of its own thread, as
// another program would, for holdMs.
class WriteLockHolder {
public:
    WriteLockHolder(const QString& file, int holdMs)
    {
        m_thread.reset(QThread::create([this, file, holdMs] {
            const QString name = u"holder"_s;
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
                db.setDatabaseName(file);
                QSqlQuery query(db);
                m_locked = db.open() && query.exec(u"begin immediate"_s);
                m_ready.release();
                QThread::msleep(holdMs);
                query.exec(u"commit"_s);
            }
            QSqlDatabase::removeDatabase(name);
        }));
        m_thread->start();
        m_ready.acquire();
    }
    ~WriteLockHolder() { m_thread->wait(); }
    bool locked() const { return m_locked; }

private:
    std::unique_ptr<QThread> m_thread;
    QSemaphore m_ready;
    bool m_locked = false;
};

const QString BusyAfter
    = u" is busy in another program, which kept it locked for as long as Tolvane Quillbay waits. Nothing has "
      "been changed. Please try again once that program has finished its work, or close it."_s;

} // namespace

class TestInstanceDatabase : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fileDialogsKeepTheDatabaseLocks_data();
    void fileDialogsKeepTheDatabaseLocks();
    void secondCopyKeepsOff_data();
    void secondCopyKeepsOff();
    void busyDatabase_data();
    void busyDatabase();
};

void TestInstanceDatabase::fileDialogsKeepTheDatabaseLocks_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("open") << false;
    QTest::newRow("save") << true;
}

void TestInstanceDatabase::fileDialogsKeepTheDatabaseLocks()
{
#ifndef Q_OS_LINUX
    QSKIP("POSIX locks are listed by Linux only");
#endif
    QFETCH(bool, save);
    MessageDb db;
    db.addMessage(u"A"_s, u"a"_s, u"t"_s);
    const QString file = db.module->databaseLocation();
    const QStringList files = SqliteFiles(file);
    const qint64 pid = QCoreApplication::applicationPid();
    const QStringList before = PosixLocksOf(pid, files);
    QVERIFY2(!before.isEmpty(), "SQLite holds no lock on its files");

    // The dialog lists the database's folder until every file there has its type (which Qt's
    // own provider reads from the file's start), then is cancelled.
    bool listed = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        const auto* model = dialog->findChild<QFileSystemModel*>();
        if (!model || dialog->directory() != QDir(db.folder.path()))
            return;
        const QModelIndex root = model->index(db.folder.path());
        const int rows = model->rowCount(root);
        int withType = 0;
        for (int row = 0; row < rows; ++row)
            withType += !model->type(model->index(row, 0, root)).isEmpty();
        if (rows < files.size() || withType < rows)
            return;
        listed = true;
        dialog->reject();
    });
    poll.start(50);
    QtInteraction boxes;
    const std::optional<QString> chosen = save ? boxes.saveFileName(db.folder.path(), u"All Files|*.*"_s)
                                               : boxes.openFileName(db.folder.path(), u"All Files|*.*"_s);
    QVERIFY(listed);
    QVERIFY(!chosen);
    QCOMPARE(PosixLocksOf(pid, files), before);
}

void TestInstanceDatabase::secondCopyKeepsOff_data()
{
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("refused");
    QTest::newRow("same path") << u"data/quillbay.db"_s << true;
    QTest::newRow("spelled with dots") << u"data/../data/./quillbay.db"_s << true;
#ifndef Q_OS_WIN
    // Windows makes shortcut files, which paths do not pass through.
    QTest::newRow("through a link to the folder") << u"link/quillbay.db"_s << true;
#endif
    QTest::newRow("another file") << u"data/other.db"_s << false;
}

void TestInstanceDatabase::secondCopyKeepsOff()
{
    QFETCH(QString, second);
    QFETCH(bool, refused);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkdir(u"data"_s));
#ifndef Q_OS_WIN
    QVERIFY(QFile::link(root.filePath(u"data"_s), root.filePath(u"link"_s)));
#endif
    const QString first = root.filePath(u"data/quillbay.db"_s);

    // The first copy locks before its database file exists; the file is made meanwhile.
    auto running = std::make_unique<DatabaseFileLock>(first);
    running->acquire();
    QVERIFY(running->held());
    QFile(first).open(QIODevice::WriteOnly);

    DatabaseFileLock later(root.filePath(second));
    if (!refused) {
        later.acquire();
        QVERIFY(later.held());
        return;
    }
    try {
        later.acquire();
        QFAIL("the second copy was let in");
    } catch (const DatabaseUnusable& e) {
        const QString canonical = QFileInfo(first).canonicalFilePath();
        QVERIFY2(e.text().startsWith(u"The Tolvane Quillbay database file "_s
                                     + QDir::toNativeSeparators(QFileInfo(root.filePath(second)).absoluteFilePath())
                                     + u" is in use by another copy of Tolvane Quillbay (process "_s),
                 qPrintable(e.text()));
        QVERIFY2(e.text().endsWith(u"delete the file "_s + QDir::toNativeSeparators(canonical) + u".lock."_s),
                 qPrintable(e.text()));
    }
    QVERIFY(!later.held());
    // Once the first copy has ended the file is free.
    running.reset();
    later.acquire();
    QVERIFY(later.held());
}

void TestInstanceDatabase::busyDatabase_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<bool>("busy");
    // Each operation waits as long as the connection's busy wait (5 s), then names the file.
    QTest::newRow("save an edit") << u"edit"_s << 6000 << true;
    QTest::newRow("save a new Message") << u"new"_s << 6000 << true;
    QTest::newRow("delete") << u"delete"_s << 6000 << true;
    QTest::newRow("import") << u"import"_s << 6000 << true;
    QTest::newRow("move") << u"move"_s << 6000 << true;
    // A lock given back within the wait changes nothing for the user.
    QTest::newRow("save a new Message, lock given back") << u"new"_s << 1000 << false;
    QTest::newRow("import, lock given back") << u"import"_s << 1000 << false;
}

void TestInstanceDatabase::busyDatabase()
{
    QFETCH(QString, command);
    QFETCH(int, holdMs);
    QFETCH(bool, busy);
    MainWindowFixture f;
    const int id = f.db.addMessage(u"Kept"_s, u"kept"_s, u"as it was"_s);
    const QString importFile = f.db.folder.filePath(u"answers.csv"_s);
    QFile csv(importFile);
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("ID,ParentID,ShortName,Hotword,Text,Keywords\r\n1,0,Imported,imported,Text,\r\n");
    csv.close();
    TfrmMain& window = f.create();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.ShowFAQByID(id);
    f.ui.clear();

    const auto count = [&](const QString& sql) {
        QSqlQuery query = f.db.run(sql);
        return query.next() ? query.value(0).toInt() : -1;
    };
    std::unique_ptr<WriteLockHolder> holder;
    QElapsedTimer waited;
    const auto lock = [&] {
        holder = std::make_unique<WriteLockHolder>(f.db.module->databaseLocation(), holdMs);
        QVERIFY(holder->locked());
        waited.start();
    };
    TfrmAddEditFAQ& dialog = window.addEditDialog();
    if (command == u"edit"_s || command == u"new"_s) {
        child<QAction>(window, command == u"edit"_s ? "actEdit" : "actNew")->trigger();
        child<QLineEdit>(dialog, "dbtxtHotWord")->setText(u"typed"_s);
        child<QPlainTextEdit>(dialog, "dbtxtShortDescription")->setPlainText(u"Typed"_s);
        child<QPlainTextEdit>(dialog, "dbmemText")->setPlainText(u"changed"_s);
        lock();
        child<QPushButton>(dialog, "btnSave")->click();
    } else if (command == u"delete"_s) {
        auto* tree = child<QTreeWidget>(window, "tvFAQs");
        tree->setCurrentItem(tree->topLevelItem(0));
        f.ui.confirmAnswers = {true};
        lock();
        child<QAction>(window, "actDelete")->trigger();
    } else if (command == u"move"_s) {
        lock();
        try {
            window.faqTree().MoveFAQ(id, 0);
        } catch (const Error& error) {
            f.ui.shown.append({u"error"_s, {}, error.text(), {}});
        }
    } else {
        f.ui.fileAnswers = {importFile};
        lock();
        child<QAction>(window, "actImport")->trigger();
    }
    const qint64 elapsed = waited.elapsed();
    holder.reset();

    const QString file = QDir::toNativeSeparators(f.db.module->databaseLocation());
    if (!busy) {
        QVERIFY2(f.ui.texts(u"error"_s).isEmpty(), qPrintable(f.ui.texts(u"error"_s).join(u'\n')));
        QVERIFY(elapsed >= holdMs - 100);
        QCOMPARE(count(u"select count(*) from FAQ"_s), 2);
        return;
    }
    QString expected = u"The Tolvane Quillbay database file "_s + file + BusyAfter;
    if (command == u"import"_s)
        expected = u"Nothing was imported from answers.csv.\r\n"_s + expected;
    QCOMPARE(f.ui.texts(u"error"_s), QStringList{expected});
    QVERIFY2(elapsed >= 4500, qPrintable(QString::number(elapsed)));
    QCOMPARE(count(u"select count(*) from FAQ"_s), 1);
    QCOMPARE(count(u"select count(*) from FAQ where Text = 'as it was'"_s), 1);
    // The dialog keeps what was typed for the next Save.
    if (command == u"edit"_s || command == u"new"_s) {
        QVERIFY(dialog.isVisible());
        QCOMPARE(child<QPlainTextEdit>(dialog, "dbmemText")->toPlainText(), u"changed"_s);
    }
}

QTEST_MAIN(TestInstanceDatabase)
#include "tst_instancedatabase.moc"
