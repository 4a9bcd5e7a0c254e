#include "store/databaselock.h"

#include "store/storeerror.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {

// SQLite's primary result code for a lock held by another connection.
constexpr int SqliteBusy = 5;

QString DatabaseFileNamed(const QString& path)
{
    return u"The Tolvane Quillbay database file "_s + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

bool IsSqlite(const QSqlDatabase& db)
{
    return db.driverName() == u"QSQLITE"_s;
}

// The lock file that guards a database file.
QString DatabaseLockFile(const QString& databaseFile)
{
    const QFileInfo file(databaseFile);
    // A file that does not exist yet is created in the folder's canonical place.
    QString canonical = file.canonicalFilePath();
    if (canonical.isEmpty()) {
        const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
        canonical = folder.isEmpty() ? file.absoluteFilePath() : QDir(folder).filePath(file.fileName());
    }
    return canonical + u".lock"_s;
}

} // namespace

DatabaseFileLock::DatabaseFileLock(const QString& databaseFile)
    : m_databaseFile(databaseFile)
    , m_lockFile(DatabaseLockFile(databaseFile))
    , m_lock(std::make_unique<QLockFile>(m_lockFile))
{
    // Held for as long as the copy runs: only an owner that is gone makes it stale.
    m_lock->setStaleLockTime(0);
}

DatabaseFileLock::~DatabaseFileLock() = default;

bool DatabaseFileLock::held() const
{
    return m_lock->isLocked();
}

void DatabaseFileLock::acquire()
{
    if (m_lock->tryLock(0) || m_lock->error() != QLockFile::LockFailedError)
        return;
    qint64 pid = 0;
    QString host, application;
    QString owner;
    if (m_lock->getLockInfo(&pid, &host, &application))
        owner = u" (process %1 on the computer %2)"_s.arg(pid).arg(host);
    throw DatabaseUnusable(DatabaseFileNamed(m_databaseFile) + u" is in use by another copy of Tolvane Quillbay"_s
                           + owner
                           + u", started by another user or with other settings. Only one copy may use the "
                             "file at a time, so this one ends. Use the copy that runs, or close it and start "
                             "again; if no such copy runs any more, delete the file "_s
                           + QDir::toNativeSeparators(m_lockFile) + u"."_s);
}

void RaiseWhenBusy(const QSqlDatabase& db, const QSqlError& error)
{
    if (!IsSqlite(db) || (error.nativeErrorCode().toInt() & 0xff) != SqliteBusy)
        return;
    throw DatabaseBusy(DatabaseFileNamed(db.databaseName())
                       + u" is busy in another program, which kept it locked for as long as Tolvane Quillbay "
                         "waits. Nothing has been changed. Please try again once that program has finished "
                         "its work, or close it."_s);
}

void BeginWriteTransaction(QSqlDatabase& db)
{
    if (!IsSqlite(db)) {
        if (!db.transaction())
            throw StoreError(db.lastError().text());
        return;
    }
    QSqlQuery begin(db);
    if (!begin.exec(u"begin immediate"_s)) {
        RaiseWhenBusy(db, begin.lastError());
        throw StoreError(begin.lastError().text());
    }
}
