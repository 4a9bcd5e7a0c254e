// The embedded database under faults: first start, a broken data source, a second writer,
// and a writer killed in the middle of its saves.

#include "scriptedinteraction.h"
#include "store/dmData.h"
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
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return 1;
    for (int n = 0;; ++n) {
        dm.atFAQ.insert();
        dm.atFAQ.setFieldValue(u"ShortName"_s, u"Written %1"_s.arg(n));
        dm.atFAQ.setFieldValue(u"Hotword"_s, u"w%1"_s.arg(n));
        dm.atFAQ.setFieldValue(u"Text"_s, WriterText(n));
        const int id = dm.SaveFAQ();
        out.write(u"saved %1 %2\n"_s.arg(id).arg(n).toUtf8());
        out.flush();
    }
}

QString Scalar(TdmFAQData& dm, const QString& sql)
{
    dm.adoCommand.commandText = sql;
    const DataSet rows = dm.adoCommand.execute();
    return rows.isEmpty() ? QString() : rows.text(0, rows.fieldNames().value(0));
}

} // namespace

class TestStoreFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void firstStartCreatesTheExampleDatabase();
    void brokenDataSourceStopsStartup();
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
    QVERIFY(QFile::exists(spec.database));
    QCOMPARE(ui.shown.size(), 0);
    QCOMPARE(Scalar(*dm, u"pragma journal_mode"_s), u"wal"_s);
    QVERIFY(Scalar(*dm, u"pragma busy_timeout"_s).toInt() >= 5000);

    // Groups with Messages in them, and between them every kind of token.
    const DataSet top = dm->aspFAQsByParentID.openWith(u"[parentid:]"_s, 0);
    int groups = 0;
    QList<int> ids;
    for (int i = 0; i < top.recordCount(); ++i) {
        const int id = top.integer(i, u"ID"_s);
        ids << id;
        if (dm->aspCountByParentID.openWith(u"[groupid:]"_s, id).integer(0, u"count"_s) > 0) {
            ++groups;
            const DataSet children = dm->aspFAQsByParentID.openWith(u"[parentid:]"_s, id);
            for (int c = 0; c < children.recordCount(); ++c)
                ids << children.integer(c, u"ID"_s);
        }
    }
    QVERIFY(groups >= 2);
    QCOMPARE(Scalar(*dm, u"select count(*) from FAQ"_s).toInt(), ids.size());

    QString texts;
    int withNotes = 0;
    for (int id : std::as_const(ids)) {
        texts += dm->aspTextByID.openWith(u"[ID:]"_s, id).text(0, u"Text"_s);
        dm->atFAQ.setFilter(u"id = "_s + QString::number(id));
        dm->atFAQ.setFiltered(true);
        QVERIFY2(dm->atKeywords.recordCount() > 0, qPrintable(QString::number(id)));
        withNotes += dm->atFAQ.fieldText(u"Notes"_s).isEmpty() ? 0 : 1;
    }
    QVERIFY(withNotes > 0 && withNotes < ids.size());
    for (const QString& token : {u"%CLIPBOARD%"_s, u"%DATE%"_s, u"%DATETIME%"_s, u"^^INPUT:"_s, u"%INCLUDE:"_s})
        QVERIFY2(texts.contains(token), qPrintable(token));
    QVERIFY(texts.contains(QRegularExpression(u"\\^\\^INPUT:[^|^]+\\|\\|[^^]+\\^\\^"_s))); // with a default
    QVERIFY(texts.contains(QRegularExpression(u"\\^\\^INPUT:[^|^]+\\|\\|\\^\\^"_s)));      // without one
    // Every include names a Message that exists once.
    static const QRegularExpression include(u"%INCLUDE:([^%]*)%"_s);
    for (auto it = include.globalMatch(texts); it.hasNext();) {
        const QString hotword = it.next().captured(1);
        QCOMPARE(dm->aspTextByHotword.openWith(u"[Hotword:]"_s, hotword).recordCount(), 1);
    }

    // The next start finds the file and adds nothing.
    dm = std::make_unique<TdmFAQData>(DefaultConnectionSpec());
    QCOMPARE(Scalar(*dm, u"select count(*) from FAQ"_s).toInt(), ids.size());
}

void TestStoreFaults::brokenDataSourceStopsStartup()
{
    useOdbcIni(u"[QuillBay]\nDriver = %1\nDatabase = %2\n"_s.arg(dir->filePath(u"no-such-driver.so"_s),
                                                                  dir->filePath(u"x.db"_s)));
    const ConnectionSpec spec = DefaultConnectionSpec();
    QCOMPARE(spec.kind, ConnectionSpec::Kind::Odbc);
    QCOMPARE(spec.database, u"QuillBay"_s);
    try {
        TdmFAQData dm(spec);
        QFAIL("the broken data source opened");
    } catch (const Error& e) {
        QVERIFY2(e.text().contains(u"no-such-driver"_s), qPrintable(e.text()));
    }
    QVERIFY(!QFile::exists(dir->filePath(u"quillbay.db"_s)));
    QCOMPARE(ui.shown.size(), 0);
    // The failed module left no connection behind that blocks the next one.
    useOdbcIni(QString());
    TdmFAQData embedded(DefaultConnectionSpec());
    QVERIFY(embedded.atFAQ.isOpen());
}

void TestStoreFaults::secondWriterWaitsReadersDoNot()
{
    const QString path = dir->filePath(u"shared.db"_s);
    TdmFAQData dm(ConnectionSpec{ConnectionSpec::Kind::Sqlite, path, false});

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
    QCOMPARE(dm.aspTextByHotword.openWith(u"[Hotword:]"_s, u"other"_s).recordCount(), 0);
    dm.atFAQ.insert();
    dm.atFAQ.setFieldValue(u"ShortName"_s, u"Mine"_s);
    dm.atFAQ.setFieldValue(u"Hotword"_s, u"mine"_s);
    dm.atFAQ.setFieldValue(u"Text"_s, u"m"_s);
    release.set_value();
    int id = 0;
    try {
        id = dm.SaveFAQ(); // waits for the other commit instead of failing
    } catch (const Abort&) {
    }
    other.join();
    QCOMPARE(finished.get_future().get(), QString());
    QCOMPARE(ui.texts(u"warning"_s), QStringList());
    QCOMPARE(dm.aspTextByHotword.openWith(u"[Hotword:]"_s, u"mine"_s).integer(0, u"ID"_s), id);
    QCOMPARE(dm.aspTextByHotword.openWith(u"[Hotword:]"_s, u"other"_s).recordCount(), 1);
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
    QCOMPARE(Scalar(dm, u"pragma integrity_check"_s), u"ok"_s);
    dm.adoCommand.commandText = u"insert into FAQSearch (FAQSearch) values ('integrity-check')"_s;
    dm.adoCommand.execute();
    for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
        const DataSet& row = dm.aspTextByID.openWith(u"[ID:]"_s, it.key());
        QCOMPARE(row.recordCount(), 1);
        QVERIFY(row.text(0, u"Text"_s) == WriterText(it.value()));
    }
    // Whatever else is there is whole, too.
    const int rows = Scalar(dm, u"select count(*) from FAQ"_s).toInt();
    QVERIFY(rows >= saved.size() && rows <= saved.size() + 1);
    QCOMPARE(Scalar(dm, u"select count(*) from FAQ where length(Text) <> 65536 + length('Message ' || (ID - 1) || ' ')"_s),
             u"0"_s);
    QCOMPARE(dm.aspFullText.openWith(u"[search term:]"_s, u"Message 3 "_s).recordCount(), 1);

    dm.atFAQ.insert();
    dm.atFAQ.setFieldValue(u"ShortName"_s, u"After"_s);
    dm.atFAQ.setFieldValue(u"Hotword"_s, u"after"_s);
    dm.atFAQ.setFieldValue(u"Text"_s, u"a"_s);
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
    QCoreApplication app(argc, argv);
    TestStoreFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storefaults.moc"
