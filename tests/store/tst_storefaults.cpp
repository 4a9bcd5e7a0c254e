// The embedded database under faults: first start, a broken data source, a damaged, locked
// or write-protected file, a second writer, and a writer killed in the middle of its saves.

#include "scriptedinteraction.h"
#include "store/dmData.h"
#include "store/messageexchange.h"
#include "store/storeerror.h"
#include "util/errors.h"
#include "util/textutils.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <future>
#include <thread>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString WriterText(int n)
{
    return u"Message %1 "_s.arg(n) + QString(64 * 1024, QChar(u'a' + n % 26));
}

// Child process: saves Messages one after another and reports each one once it is saved.
int RunWriter(const QString& path)
{
    ScriptedInteraction ui;
    TdmFAQData dm(ConnectionSpec{ConnectionSpec::Kind::Sqlite, path, false});
    dm.OpenDatabase();
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return 1;
    for (int n = 0;; ++n) {
        dm.NewMessage(0);
        dm.SetPendingMessage({u"w%1"_s.arg(n), u"Written %1"_s.arg(n), WriterText(n), {}});
        const int id = dm.SaveFAQ();
        out.write(u"saved %1 %2\n"_s.arg(id).arg(n).toUtf8());
        out.flush();
    }
}

QString StoreErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const StoreError& e) {
        return e.text();
    }
    return {};
}

// Child process, without write permission: prints the read-only reason, what a search
// finds, and the refusal of each kind of change.
int RunReadOnly(const QString& path)
{
    ScriptedInteraction ui;
    TdmFAQData dm(ConnectionSpec{ConnectionSpec::Kind::Sqlite, path, false});
    dm.OpenDatabase();
    const int id = dm.MessagesByFullText(u"Kept"_s).integer(0, u"ID"_s);
    QStringList lines{dm.readOnlyReason(), dm.MessageByID(id).text(0, u"Text"_s)};
    MessageCollection collection;
    collection.messages << CollectedMessage{1, 0, u"new"_s, u"new"_s, u"new"_s, {}, {}, {}, {}};
    dm.PositionOn(id);
    for (const std::function<void()>& change : std::initializer_list<std::function<void()>>{
             [&] { dm.NewMessage(0); }, [&] { dm.EditMessage(id); }, [&] { dm.DeleteFAQ(id); },
             [&] { dm.UpdateParentID(id, 0); }, [&] { ImportMessages(dm, collection, ImportChoice::Skip, {}); }})
        lines << StoreErrorText(change);
    std::fputs(lines.join(u'\n').toUtf8().constData(), stdout);
    return 0;
}

QString Scalar(TdmFAQData& dm, const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(dm.connectionName()));
    if (!query.exec(sql))
        throw StoreError(query.lastError().text());
    return query.next() ? query.value(0).toString() : QString();
}

} // namespace

class TestStoreFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void firstStartCreatesTheExampleDatabase();
    void brokenDataSourceStopsStartup_data();
    void brokenDataSourceStopsStartup();
    void unusableFileIsNamedAndLeftAlone_data();
    void unusableFileIsNamedAndLeftAlone();
    void lockedFileIsNamedSoon_data();
    void lockedFileIsNamedSoon();
    void writeProtectedFileOpensForReading_data();
    void writeProtectedFileOpensForReading();
    void secondWriterWaitsReadersDoNot();
    void killedWriterLosesNothingCommitted();

private:
    void useOdbcIni(const QString& content);

    ScriptedInteraction ui;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestStoreFaults::init()
{
    dir = std::make_unique<QTemporaryDir>();
    OverrideAppDir(dir->path());
    useOdbcIni(QString());
    ui.clear();
}

void TestStoreFaults::cleanup()
{
    OverrideAppDir({});
    QCOMPARE(ui.texts(u"error"_s), QStringList());
}

void TestStoreFaults::useOdbcIni(const QString& content)
{
    QFile ini(dir->filePath(u"odbc.ini"_s));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(content.toUtf8());
    ini.close();
    qputenv("ODBCINI", QFile::encodeName(ini.fileName()));
    // No system-wide data sources either.
    QVERIFY(QDir(dir->path()).mkpath(u"odbcsys"_s));
    qputenv("ODBCSYSINI", QFile::encodeName(dir->filePath(u"odbcsys"_s)));
}

void TestStoreFaults::firstStartCreatesTheExampleDatabase()
{
    const ConnectionSpec spec = DefaultConnectionSpec();
    QCOMPARE(spec.kind, ConnectionSpec::Kind::Sqlite);
    QCOMPARE(spec.database, dir->filePath(u"quillbay.db"_s));
    QVERIFY(spec.createWithExamples);
    QVERIFY(!QFile::exists(spec.database));

    auto dm = std::make_unique<TdmFAQData>(spec);
    dm->OpenDatabase();
    QVERIFY(QFile::exists(spec.database));
    QCOMPARE(ui.shown.size(), 0);
    QCOMPARE(Scalar(*dm, u"pragma journal_mode"_s), u"wal"_s);
    QVERIFY(Scalar(*dm, u"pragma busy_timeout"_s).toInt() >= 5000);

    // Groups with Messages in them, and between them every kind of token.
    const DataSet top = dm->ChildrenOf(0);
    int groups = 0;
    QList<int> ids;
    for (int i = 0; i < top.recordCount(); ++i) {
        const int id = top.integer(i, u"ID"_s);
        ids << id;
        if (dm->CountChildren(id) > 0) {
            ++groups;
            const DataSet children = dm->ChildrenOf(id);
            for (int c = 0; c < children.recordCount(); ++c)
                ids << children.integer(c, u"ID"_s);
        }
    }
    QVERIFY(groups >= 2);
    QCOMPARE(Scalar(*dm, u"select count(*) from FAQ"_s).toInt(), ids.size());

    QString texts;
    int withNotes = 0;
    for (int id : std::as_const(ids)) {
        texts += dm->MessageByID(id).text(0, u"Text"_s);
        dm->PositionOn(id);
        QVERIFY2(dm->Keywords().recordCount() > 0, qPrintable(QString::number(id)));
        withNotes += dm->PendingMessage().notes.isEmpty() ? 0 : 1;
    }
    QVERIFY(withNotes > 0 && withNotes < ids.size());
    for (const QString& token : {u"%CLIPBOARD%"_s, u"%DATE%"_s, u"%DATETIME%"_s, u"^^INPUT:"_s, u"%INCLUDE:"_s})
        QVERIFY2(texts.contains(token), qPrintable(token));
    QVERIFY(texts.contains(QRegularExpression(u"\\^\\^INPUT:[^|^]+\\|\\|[^^]+\\^\\^"_s))); // with a default
    QVERIFY(texts.contains(QRegularExpression(u"\\^\\^INPUT:[^|^]+\\|\\|\\^\\^"_s))); // without one
    // Every include names a Message that exists once.
    static const QRegularExpression include(u"%INCLUDE:([^%]*)%"_s);
    for (auto it = include.globalMatch(texts); it.hasNext();) {
        const QString hotword = it.next().captured(1);
        QCOMPARE(dm->MessagesByHotword(hotword).recordCount(), 1);
    }

    // The next start finds the file and adds nothing.
    dm = std::make_unique<TdmFAQData>(DefaultConnectionSpec());
    QCOMPARE(Scalar(*dm, u"select count(*) from FAQ"_s).toInt(), ids.size());
}

void TestStoreFaults::brokenDataSourceStopsStartup_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("registered"); // odbcinst.ini
    QTest::addColumn<QString>("reason");
    const QString library = QDir::temp().filePath(u"no-such-folder/no-such-driver.so"_s);
    const QString missing = u"can not be opened: its driver %1 is not installed."_s;
    QTest::newRow("library path") << library << QString() << missing.arg(library);
    QTest::newRow("driver not registered") << u"Vanished"_s << QString() << missing.arg(u"Vanished"_s);
    QTest::newRow("registered library gone")
        << u"Gone"_s << u"[Gone]\nDriver = %1\n"_s.arg(library) << missing.arg(u"Gone (%1)"_s.arg(library));
    QFile system(u"/etc/odbcinst.ini"_s);
    if (system.open(QIODevice::ReadOnly) && system.readAll().contains("[SQLite3]")) {
        system.seek(0);
        QTest::newRow("damaged database")
            << u"SQLite3"_s << QString::fromUtf8(system.readAll())
            << u"was reached, but its Messages can not be read: its database may be "
               "damaged, locked by another program, or not a Tolvane Quillbay database."_s;
    }
}

void TestStoreFaults::brokenDataSourceStopsStartup()
{
#ifdef Q_OS_WIN
    QSKIP("the data sources here are unixODBC's files");
#endif
    QFETCH(QString, driver);
    QFETCH(QString, registered);
    QFETCH(QString, reason);
    const QString database = dir->filePath(u"x.db"_s);
    useOdbcIni(u"[QuillBay]\nDriver = %1\nDatabase = %2\n"_s.arg(driver, database));
    for (const auto& [path, content] : {std::pair{dir->filePath(u"odbcsys/odbcinst.ini"_s), registered.toUtf8()},
                                        std::pair{database, QByteArray(4096, 'x')}}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const ConnectionSpec spec = DefaultConnectionSpec();
    QCOMPARE(spec.kind, ConnectionSpec::Kind::Odbc);
    QCOMPARE(spec.database, u"QuillBay"_s);
    // The driver manager keeps what it read of its files for a while, so each start runs
    // in a process of its own, as the program's start does.
    QProcess start;
    start.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A driver is unloaded at disconnect, before the leak check, so what it keeps can not
    // be told from ours; that is left to the tests that load none.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"ASAN_OPTIONS"_s, environment.value(u"ASAN_OPTIONS"_s) + u":detect_leaks=0"_s);
    start.setProcessEnvironment(environment);
    start.start(QCoreApplication::applicationFilePath(), {u"--open"_s, dir->path()});
    QVERIFY(start.waitForFinished(30000));
    QCOMPARE(start.exitCode(), 0);
    const QString text = QString::fromUtf8(start.readAllStandardOutput());
    // The driver manager's own words follow as detail.
    const QString message = u"The ODBC data source QuillBay "_s + reason + u"\n\n"_s;
    QVERIFY2(text.startsWith(message) && text.size() > message.size(), qPrintable(text));
    if (driver != u"SQLite3"_s) // in this process too where no driver gets loaded
        QVERIFY(!StoreErrorText([&] { TdmFAQData dm(spec); }).isEmpty());
    QVERIFY(!QFile::exists(dir->filePath(u"quillbay.db"_s)));
    QCOMPARE(ui.shown.size(), 0);
    // The failed module left no connection behind that blocks the next one.
    useOdbcIni(QString());
    TdmFAQData embedded(DefaultConnectionSpec());
    embedded.OpenDatabase();
    QVERIFY(embedded.Keywords().isOpen());
}

void TestStoreFaults::unusableFileIsNamedAndLeftAlone_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: a folder in the file's place
    QTest::addColumn<QString>("reason");
    const QString damaged = u" is damaged or is not a Tolvane Quillbay database, so it can not be opened. "
                            "The file has not been changed.\n\nfile is not a database"_s;
    QTest::newRow("garbage") << QByteArray(4096, '\x9c') << damaged;
    QTest::newRow("cut-off header") << QByteArray("SQLite format") << damaged;
    QTest::newRow("folder") << QByteArray() << u" is a folder, not a database."_s;
    QTemporaryDir other;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        db.setDatabaseName(other.filePath(u"other.db"_s));
        QVERIFY(db.open() && QSqlQuery(db).exec(u"create table Other (x)"_s));
        db.close();
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    QFile file(other.filePath(u"other.db"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QTest::newRow("another program's database")
        << file.readAll()
        << u" has no table of Messages, so it is not a Tolvane Quillbay database. The file has not been changed."
           "\n\nno such table: FAQ"_s;
}

void TestStoreFaults::unusableFileIsNamedAndLeftAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path = QDir::toNativeSeparators(dir->filePath(u"quillbay.db"_s));
    QFile file(path);
    QVERIFY(content.isEmpty() ? QDir(dir->path()).mkdir(u"quillbay.db"_s) : file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const QStringList before = QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    const QString text = StoreErrorText([&] { TdmFAQData dm(DefaultConnectionSpec()); });
    QVERIFY2(text.startsWith(u"The Tolvane Quillbay database file "_s + path + reason), qPrintable(text));
    // Neither the file nor anything beside it was written.
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    QVERIFY(content.isEmpty() || file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
}

void TestStoreFaults::lockedFileIsNamedSoon_data()
{
    QTest::addColumn<QString>("journal");
    QTest::addColumn<QStringList>("other"); // what the other program runs and keeps
    QTest::addColumn<bool>("opens");
    QTest::newRow("exclusive lock") << u"delete"_s << QStringList{u"begin exclusive"_s} << false;
    QTest::newRow("exclusive locking mode")
        << u"wal"_s << QStringList{u"pragma locking_mode = exclusive"_s, u"begin exclusive"_s} << false;
    // Readers do not wait for a writer, and opening needs no write.
    QTest::newRow("another writer") << u"wal"_s << QStringList{u"begin immediate"_s, u"delete from FAQKeywords"_s}
                                    << true;
}

void TestStoreFaults::lockedFileIsNamedSoon()
{
    QFETCH(QString, journal);
    QFETCH(QStringList, other);
    QFETCH(bool, opens);
    const QString path = dir->filePath(u"quillbay.db"_s);
    Scalar(*std::make_unique<TdmFAQData>(DefaultConnectionSpec()), u"pragma journal_mode = "_s + journal);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString& statement : std::as_const(other))
            QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
        const QString text = StoreErrorText([&] { TdmFAQData(DefaultConnectionSpec()).MessagesByHotword(u"x"_s); });
        QCOMPARE(text.section(u"\n\n"_s, 0, 0),
                 opens ? QString()
                       : u"The Tolvane Quillbay database file "_s + QDir::toNativeSeparators(path)
                         + u" is in use by another program, which keeps it locked. Please close that program "
                           "and start Tolvane Quillbay again."_s);
        query.exec(u"rollback"_s);
    }
    QSqlDatabase::removeDatabase(u"other"_s);
}

void TestStoreFaults::writeProtectedFileOpensForReading_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");
    QTest::newRow("file") << 0x7777 << 0x5555;
    // No shared-memory file can be made beside it either.
    QTest::newRow("folder") << 0x5555 << 0x7555;
}

void TestStoreFaults::writeProtectedFileOpensForReading()
{
#ifdef Q_OS_UNIX
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    const QString path = dir->filePath(u"quillbay.db"_s);
    Scalar(*std::make_unique<TdmFAQData>(DefaultConnectionSpec()),
           u"insert into FAQ (ShortName, Hotword, Text) values ('Kept', 'kept', 'k')"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    file.close();
    QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::Permissions(folderMode)));
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(fileMode)));
    // Root may write anything, so the check runs in a process without its rights.
    QProcess child;
    child.setChildProcessModifier([] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
    });
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {u"--read-only"_s, path});
    const bool finished = child.waitForFinished(30000);
    QFile::setPermissions(dir->path(), QFileDevice::Permissions(0x7700));
    QVERIFY(finished);
    QCOMPARE(child.exitCode(), 0);

    const QString reason = u"The Tolvane Quillbay database file "_s + QDir::toNativeSeparators(path)
        + u" can only be read: the file or its folder is write-protected. Changes can not "
          "be saved; searching and sending still work."_s;
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).split(u'\n'),
             QStringList({reason, u"k"_s, reason, reason, reason, reason, reason}));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
#else
    QSKIP("needs a POSIX process without write permission");
#endif
}

void TestStoreFaults::secondWriterWaitsReadersDoNot()
{
    const QString path = dir->filePath(u"shared.db"_s);
    TdmFAQData dm(ConnectionSpec{ConnectionSpec::Kind::Sqlite, path, false});
    dm.OpenDatabase();

    // Another program holds the write lock for a moment, then commits.
    std::promise<void> locked;
    std::promise<void> release;
    std::promise<QString> finished;
    std::thread other([&] {
        QString result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other-writer"_s);
            db.setDatabaseName(path);
            QSqlQuery query(db);
            if (!db.open() || !query.exec(u"begin immediate"_s)
                || !query.exec(u"insert into FAQ (ShortName, Hotword, Text) values ('Other', 'other', 'o')"_s))
                result = db.lastError().text() + query.lastError().text();
            locked.set_value();
            release.get_future().wait();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (result.isEmpty() && !query.exec(u"commit"_s))
                result = query.lastError().text();
            query.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(u"other-writer"_s);
        finished.set_value(result);
    });
    locked.get_future().wait();

    // Reading goes on while the other program writes.
    QCOMPARE(dm.MessagesByHotword(u"other"_s).recordCount(), 0);
    dm.NewMessage(0);
    dm.SetPendingMessage({u"mine"_s, u"Mine"_s, u"m"_s, {}});
    release.set_value();
    int id = 0;
    QString refusal;
    try {
        id = dm.SaveFAQ(); // waits for the other commit instead of failing
    } catch (const HotwordTaken& e) {
        refusal = e.text();
    }
    other.join();
    QCOMPARE(finished.get_future().get(), QString());
    QCOMPARE(refusal, QString());
    QCOMPARE(dm.MessagesByHotword(u"mine"_s).integer(0, u"ID"_s), id);
    QCOMPARE(dm.MessagesByHotword(u"other"_s).recordCount(), 1);
}

void TestStoreFaults::killedWriterLosesNothingCommitted()
{
    const QString path = dir->filePath(u"killed.db"_s);
    {
        TdmFAQData create(ConnectionSpec{ConnectionSpec::Kind::Sqlite, path, false});
    }
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QCoreApplication::applicationFilePath(), {u"--writer"_s, path});
    QVERIFY(writer.waitForStarted());

    QMap<int, int> saved; // id -> n
    QByteArray pending;
    while (saved.size() < 25) {
        QVERIFY2(writer.state() == QProcess::Running || writer.bytesAvailable() > 0, "writer ended");
        writer.waitForReadyRead(10000);
        pending += writer.readAll();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QStringList parts = QString::fromUtf8(pending.left(end)).split(u' ');
            pending.remove(0, end + 1);
            QCOMPARE(parts.value(0), u"saved"_s);
            saved.insert(parts.value(1).toInt(), parts.value(2).toInt());
        }
    }
    writer.kill(); // while it is busy with the next save
    QVERIFY(writer.waitForFinished());
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

    TdmFAQData dm(ConnectionSpec{ConnectionSpec::Kind::Sqlite, path, false});
    dm.OpenDatabase();
    QCOMPARE(Scalar(dm, u"pragma integrity_check"_s), u"ok"_s);
    Scalar(dm, u"insert into FAQSearch (FAQSearch) values ('integrity-check')"_s);
    for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
        const DataSet row = dm.MessageByID(it.key());
        QCOMPARE(row.recordCount(), 1);
        QVERIFY(row.text(0, u"Text"_s) == WriterText(it.value()));
    }
    // Whatever else is there is whole, too.
    const int rows = Scalar(dm, u"select count(*) from FAQ"_s).toInt();
    QVERIFY(rows >= saved.size() && rows <= saved.size() + 1);
    QCOMPARE(
        Scalar(dm, u"select count(*) from FAQ where length(Text) <> 65536 + length('Message ' || (ID - 1) || ' ')"_s),
        u"0"_s);
    QCOMPARE(dm.MessagesByFullText(u"Message 3 "_s).recordCount(), 1);

    dm.NewMessage(0);
    dm.SetPendingMessage({u"after"_s, u"After"_s, u"a"_s, {}});
    QVERIFY(dm.SaveFAQ() > 0);
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--writer") == 0) {
        QCoreApplication app(argc, argv);
        try {
            return RunWriter(QString::fromLocal8Bit(argv[2]));
        } catch (const Error& e) {
            std::fprintf(stderr, "writer: %s\n", e.what());
            return 1;
        }
    }
    if (argc == 3 && qstrcmp(argv[1], "--open") == 0) {
        // Prints why the start-up's database does not open.
        QCoreApplication app(argc, argv);
        OverrideAppDir(QString::fromLocal8Bit(argv[2]));
        ScriptedInteraction ui;
        std::fputs(StoreErrorText([] { TdmFAQData dm(DefaultConnectionSpec()); }).toUtf8().constData(), stdout);
        return 0;
    }
    if (argc == 3 && qstrcmp(argv[1], "--read-only") == 0) {
        QCoreApplication app(argc, argv);
        try {
            return RunReadOnly(QString::fromLocal8Bit(argv[2]));
        } catch (const Error& e) {
            std::fprintf(stderr, "read-only: %s\n", e.what());
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    TestStoreFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storefaults.moc"
