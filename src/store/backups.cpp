#include "store/backups.h"

#include "store/dmData.h"
#include "store/storeerror.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>

#include <sqlite3.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// As long as a save waits for another program's write.
constexpr int busyWaitMs = 5000;

const QString nameTimeFormat = u"yyyy-MM-dd-HHmmsszzz"_s;

QString KindPrefix(BackupKind kind)
{
    switch (kind) {
    case BackupKind::Daily: return u"daily"_s;
    case BackupKind::BeforeImport: return u"import"_s;
    case BackupKind::BeforeRestore: return u"restore"_s;
    }
    return {};
}

QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The store's own SQLite connection, or null for another driver.
sqlite3* StoreHandle(TdmFAQData& store)
{
    const QSqlDatabase db = QSqlDatabase::database(store.connectionName(), false);
    if (!db.isOpen() || db.driverName() != u"QSQLITE"_s)
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// A connection of SQLite's own to a file, closed when it goes.
class Connection {
public:
    Connection(const QString& path, int flags)
    {
        const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            const QString reason
                = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close(m_db);
            throw StoreError(u"The file %1 can not be opened: %2"_s.arg(Native(path), reason));
        }
        sqlite3_busy_timeout(m_db, busyWaitMs);
    }
    ~Connection() { sqlite3_close(m_db); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* handle() const { return m_db; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }
    bool exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    // Messages in the database; -1 when they can not be counted.
    int messageCount() const
    {
        sqlite3_stmt* statement = nullptr;
        int count = -1;
        if (sqlite3_prepare_v2(m_db, "select count(*) from FAQ", -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            count = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        return count;
    }

private:
    sqlite3* m_db = nullptr;
};

// Copies the whole main database of from into to as one step; while either is busy in
// another program the copy is tried again for as long as a save waits. Gives SQLite's
// reason when it fails, else an empty text.
QString CopyDatabase(sqlite3* from, sqlite3* to)
{
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        return QString::fromUtf8(sqlite3_errmsg(to));
    const QDeadlineTimer deadline(busyWaitMs);
    int rc = SQLITE_OK;
    for (;;) {
        rc = sqlite3_backup_step(backup, -1);
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || deadline.hasExpired())
            break;
        sqlite3_sleep(50);
    }
    sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE)
        return {};
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        return u"the database is busy in another program"_s;
    return QString::fromUtf8(sqlite3_errstr(rc));
}

} // namespace

QString BackupKindText(BackupKind kind)
{
    switch (kind) {
    case BackupKind::Daily: return u"daily backup"_s;
    case BackupKind::BeforeImport: return u"backup before an import"_s;
    case BackupKind::BeforeRestore: return u"backup before a restore"_s;
    }
    return {};
}

DatabaseBackups::DatabaseBackups(TdmFAQData& store)
    : m_store(store)
{
    if (sqlite3* handle = StoreHandle(store)) {
        if (const char* file = sqlite3_db_filename(handle, "main"); file && *file)
            m_databaseFile = QString::fromUtf8(file);
    }
}

bool DatabaseBackups::available() const
{
    return !m_databaseFile.isEmpty();
}

QString DatabaseBackups::folder() const
{
    return available() ? QFileInfo(m_databaseFile).absoluteDir().filePath(u"backups"_s) : QString();
}

bool DatabaseBackups::MakeDailyBackup(const QDateTime& now)
{
    if (!available() || !m_store.readOnlyReason().isEmpty())
        return false;
    const QList<BackupInfo> files = Files();
    if (std::ranges::any_of(files, [&](const BackupInfo& file) {
            return file.kind == BackupKind::Daily && file.made.date() == now.date();
        }))
        return false;
    MakeBackup(BackupKind::Daily, now);
    return true;
}

QString DatabaseBackups::MakeBackup(BackupKind kind, const QDateTime& now)
{
    sqlite3* source = StoreHandle(m_store);
    if (!available() || !source)
        throw StoreError(u"Only the database file of Tolvane Quillbay is backed up here; the team database is "
                         "backed up by its server."_s);
    const QDir dir(folder());
    if (!dir.mkpath(u"."_s))
        throw StoreError(u"The backup folder %1 can not be made."_s.arg(Native(dir.path())));
    QString path = dir.filePath(KindPrefix(kind) + u'-' + now.toString(nameTimeFormat) + u".db"_s);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(KindPrefix(kind) + u'-' + now.toString(nameTimeFormat) + u'-' + QString::number(n)
                            + u".db"_s);
    // Complete copies only carry a backup's name.
    const QString partial = path + u".part"_s;
    QFile::remove(partial);
    QString failure;
    {
        Connection copy(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        failure = CopyDatabase(source, copy.handle());
        // The copy stands alone, without a write-ahead log beside it.
        if (failure.isEmpty() && !copy.exec("pragma journal_mode = delete"))
            failure = copy.error();
    }
    if (failure.isEmpty() && !QFile::rename(partial, path))
        failure = u"the copy can not be renamed"_s;
    if (!failure.isEmpty()) {
        QFile::remove(partial);
        throw StoreError(u"The backup %1 can not be made: %2."_s.arg(Native(path), failure));
    }
    Prune(kind, kind == BackupKind::Daily ? KeptDays : KeptOthers);
    return path;
}

QList<BackupInfo> DatabaseBackups::Files() const
{
    static const QRegularExpression name(u"^(daily|import|restore)-(\\d{4}-\\d{2}-\\d{2}-\\d{9})(?:-\\d+)?\\.db$"_s);
    QList<BackupInfo> files;
    if (!available())
        return files;
    const QDir dir(folder());
    for (const QString& entry : dir.entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch m = name.match(entry);
        if (!m.hasMatch())
            continue;
        BackupInfo info;
        info.path = dir.filePath(entry);
        info.kind = m.captured(1) == u"daily"_s ? BackupKind::Daily
            : m.captured(1) == u"import"_s      ? BackupKind::BeforeImport
                                                : BackupKind::BeforeRestore;
        info.made = QDateTime::fromString(m.captured(2), nameTimeFormat);
        if (info.made.isValid())
            files.append(info);
    }
    std::ranges::stable_sort(files, std::ranges::greater(), &BackupInfo::made);
    return files;
}

void DatabaseBackups::Prune(BackupKind kind, int keep) const
{
    int kept = 0;
    for (const BackupInfo& file : Files()) {
        if (file.kind == kind && ++kept > keep)
            QFile::remove(file.path);
    }
}

QList<BackupInfo> DatabaseBackups::List() const
{
    QList<BackupInfo> files = Files();
    for (BackupInfo& file : files) {
        try {
            file.messages = Connection(file.path, SQLITE_OPEN_READONLY).messageCount();
        } catch (const StoreError&) {
            file.messages = -1;
        }
    }
    return files;
}

QString DatabaseBackups::Restore(const BackupInfo& backup, const QDateTime& now)
{
    if (!m_store.readOnlyReason().isEmpty())
        throw StoreError(m_store.readOnlyReason());
    Connection from(backup.path, SQLITE_OPEN_READONLY);
    if (from.messageCount() < 0)
        throw StoreError(u"The backup %1 can not be read: %2"_s.arg(Native(backup.path), from.error()));
    const QString kept = MakeBackup(BackupKind::BeforeRestore, now);
    // A connection of its own writes the copy, so that the store's open queries stay as they
    // are; SQLite's lock keeps other connections out until the copy is complete.
    Connection to(m_databaseFile, SQLITE_OPEN_READWRITE);
    if (const QString failure = CopyDatabase(from.handle(), to.handle()); !failure.isEmpty())
        throw StoreError(u"The backup %1 can not be restored into %2: %3. The database has not been changed."_s.arg(
            Native(backup.path), Native(m_databaseFile), failure));
    // The store opens its connection again, so that no query of it goes on reading the
    // Messages as they were.
    QSqlDatabase::database(m_store.connectionName(), false).close();
    m_store.OpenDatabase();
    return kept;
}
