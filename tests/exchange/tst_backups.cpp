// Backups of the embedded database: when they are made, which are kept, and restoring one.

#include "store/backups.h"
#include "store/storeerror.h"

#include "../dialogs/messagedb.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QDateTime Day(int day, int hour = 9)
{
    return {QDate(2026, 3, 1).addDays(day - 1), QTime(hour, 0)};
}

QList<QDateTime> Made(const QList<BackupInfo>& files, BackupKind kind)
{
    QList<QDateTime> made;
    for (const BackupInfo& file : files) {
        if (file.kind == kind)
            made.append(file.made);
    }
    return made;
}

// Hotword and text of every Message, by Hotword.
QStringList Messages(const MessageDb& db)
{
    QStringList rows;
    for (QSqlQuery query = db.run(u"select Hotword, Text from FAQ order by Hotword"_s); query.next();)
        rows.append(query.value(0).toString() + u'=' + query.value(1).toString());
    return rows;
}

} // namespace

class TestBackups : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dailyBackups_data();
    void dailyBackups();
    void otherKindsKeepThree();
    void restoreDayOldCopy();
    void unreadableCopyIsRefused();
    void teamDatabaseHasNone();
};

void TestBackups::dailyBackups_data()
{
    QTest::addColumn<QList<QDateTime>>("starts");
    QTest::addColumn<QList<bool>>("made");
    QTest::addColumn<QList<QDateTime>>("kept"); // newest first

    QTest::newRow("first start of a day only") << QList{Day(1, 8), Day(1, 17), Day(2, 0), Day(2, 23)}
                                               << QList{true, false, true, false} << QList{Day(2, 0), Day(1, 8)};
    QList<QDateTime> tenDays;
    QList<QDateTime> lastSeven;
    for (int day = 1; day <= 10; ++day)
        tenDays.append(Day(day));
    for (int day = 10; day >= 4; --day)
        lastSeven.append(Day(day));
    QTest::newRow("the last seven days") << tenDays << QList<bool>(10, true) << lastSeven;
    // Days without a start do not push copies out.
    QTest::newRow("days with a start") << QList{Day(1),  Day(5),  Day(20), Day(21), Day(22),
                                                Day(23), Day(30), Day(40), Day(41)}
                                       << QList<bool>(9, true)
                                       << QList{Day(41), Day(40), Day(30), Day(23), Day(22), Day(21), Day(20)};
}

void TestBackups::dailyBackups()
{
    QFETCH(QList<QDateTime>, starts);
    QFETCH(QList<bool>, made);
    QFETCH(QList<QDateTime>, kept);
    MessageDb db;
    db.addMessage(u"One"_s, u"one"_s, u"1"_s);
    DatabaseBackups backups(*db.module);
    QVERIFY(backups.available());
    QCOMPARE(QDir(backups.folder()).dirName(), u"backups"_s);
    QCOMPARE(QFileInfo(backups.folder()).absolutePath(), QFileInfo(db.folder.path()).absoluteFilePath());
    // An import's copy on a day is no daily copy.
    backups.MakeBackup(BackupKind::BeforeImport, starts.first().addSecs(-60));
    QList<bool> answers;
    for (const QDateTime& start : starts)
        answers.append(backups.MakeDailyBackup(start));
    QCOMPARE(answers, made);
    const QList<BackupInfo> list = backups.List();
    QCOMPARE(Made(list, BackupKind::Daily), kept);
    QCOMPARE(Made(list, BackupKind::BeforeImport).size(), 1);
    for (const BackupInfo& file : list)
        QCOMPARE(file.messages, 1);
    // Only complete copies are left, each a database of its own without a log beside it.
    QCOMPARE(QDir(backups.folder()).entryList(QDir::Files).size(), kept.size() + 1);
}

void TestBackups::otherKindsKeepThree()
{
    MessageDb db;
    DatabaseBackups backups(*db.module);
    for (int n = 0; n < 5; ++n) {
        db.addMessage(u"M"_s, u"m%1"_s.arg(n), u"x"_s);
        backups.MakeBackup(BackupKind::BeforeImport, Day(1).addSecs(n));
        backups.MakeBackup(BackupKind::BeforeRestore, Day(2).addSecs(n));
    }
    backups.MakeDailyBackup(Day(3));
    const QList<BackupInfo> list = backups.List();
    QCOMPARE(list.size(), 7);
    QCOMPARE(list.first().kind, BackupKind::Daily);
    QCOMPARE(Made(list, BackupKind::BeforeImport), (QList{Day(1).addSecs(4), Day(1).addSecs(3), Day(1).addSecs(2)}));
    QCOMPARE(Made(list, BackupKind::BeforeRestore), (QList{Day(2).addSecs(4), Day(2).addSecs(3), Day(2).addSecs(2)}));
    QCOMPARE(list.at(1).messages, 5);
    QCOMPARE(list.last().messages, 3);
    // Two copies within the same millisecond both stay.
    const QString first = backups.MakeBackup(BackupKind::BeforeImport, Day(4));
    const QString second = backups.MakeBackup(BackupKind::BeforeImport, Day(4));
    QVERIFY(first != second && QFile::exists(first) && QFile::exists(second));
}

void TestBackups::restoreDayOldCopy()
{
    MessageDb db;
    const int a = db.addMessage(u"A"_s, u"a"_s, u"first day"_s);
    const int b = db.addMessage(u"B"_s, u"b"_s, u"first day"_s);
    db.addKeyword(b, u"kept"_s);
    DatabaseBackups backups(*db.module);
    QVERIFY(backups.MakeDailyBackup(Day(1)));
    const QStringList dayOne = Messages(db);

    db.addMessage(u"C"_s, u"c"_s, u"second day"_s);
    db.deleteMessage(a);
    db.run(u"update FAQ set Text = 'second day' where ID = ?"_s, {b});
    QVERIFY(backups.MakeDailyBackup(Day(2)));
    const QStringList dayTwo = Messages(db);
    // The store has read the Messages of the day, as a running program has.
    QCOMPARE(db.module->MessagesByHotword(u"c"_s).recordCount(), 1);

    const QList<BackupInfo> list = backups.List();
    QCOMPARE(Made(list, BackupKind::Daily), (QList{Day(2), Day(1)}));
    const QString kept = backups.Restore(list.at(1), Day(2, 10));

    QCOMPARE(Messages(db), dayOne);
    QCOMPARE(db.module->MessagesByHotword(u"c"_s).recordCount(), 0);
    QCOMPARE(db.module->MessagesByHotword(u"a"_s).recordCount(), 1);
    QSqlQuery keywords = db.run(u"select Keyword from FAQKeywords where FAQID = ?"_s, {b});
    QVERIFY(keywords.next());
    QCOMPARE(keywords.value(0).toString(), u"kept"_s);
    keywords.finish();
    // The Messages replaced are a backup of their own, which restores them again.
    const QList<BackupInfo> after = backups.List();
    QCOMPARE(after.first().kind, BackupKind::BeforeRestore);
    QCOMPARE(after.first().path, kept);
    QCOMPARE(after.first().messages, 2);
    backups.Restore(after.first(), Day(2, 11));
    QCOMPARE(Messages(db), dayTwo);
}

void TestBackups::unreadableCopyIsRefused()
{
    MessageDb db;
    db.addMessage(u"A"_s, u"a"_s, u"x"_s);
    DatabaseBackups backups(*db.module);
    QVERIFY(QDir().mkpath(backups.folder()));
    QFile damaged(QDir(backups.folder()).filePath(u"daily-2026-03-01-090000000.db"_s));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    const QList<BackupInfo> list = backups.List();
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.first().messages, -1);
    QVERIFY_THROWS_EXCEPTION(StoreError, backups.Restore(list.first(), Day(2)));
    QCOMPARE(Messages(db), QStringList{u"a=x"_s});
    // Nothing was replaced, so nothing was kept.
    QCOMPARE(backups.List().size(), 1);
}

void TestBackups::teamDatabaseHasNone()
{
    // Run through the ODBC data source QuillBay on an SQLite file by with-odbc-sqlite.sh.
    if (qEnvironmentVariable("QB_TEST_ENGINE") != u"odbc-sqlite"_s)
        QSKIP("needs the ODBC data source of with-odbc-sqlite.sh");
    const QString file = qEnvironmentVariable("QB_TEST_SQLITE_FILE");
    {
        // The data source's file gets the schema through the embedded path first.
        TdmFAQData creator(ConnectionSpec{ConnectionSpec::Kind::Sqlite, file, false});
    }
    TdmFAQData team(ConnectionSpec{ConnectionSpec::Kind::Odbc, u"QuillBay"_s, false});
    team.OpenDatabase();
    DatabaseBackups backups(team);
    QVERIFY(!backups.available());
    QVERIFY(!backups.MakeDailyBackup(Day(1)));
    QVERIFY_THROWS_EXCEPTION(StoreError, backups.MakeBackup(BackupKind::BeforeImport, Day(1)));
    QVERIFY(backups.List().isEmpty());
    QVERIFY(!QFileInfo::exists(QFileInfo(file).absoluteDir().filePath(u"backups"_s)));
}

QTEST_GUILESS_MAIN(TestBackups)
#include "tst_backups.moc"
