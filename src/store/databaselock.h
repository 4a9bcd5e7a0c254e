#pragma once

#include <QString>

#include <memory>

class QLockFile;
class QSqlDatabase;
class QSqlError;

// Keeps a second copy of the program (another user's, or one with other settings) off an
// embedded database file that this copy uses. The lock is a file of its own beside the
// database (the name of the database's canonical path with ".lock" added), so every path to
// the file, symbolic links included, meets the same lock; it holds while this copy runs
// and does not depend on any descriptor of the database itself, which SQLite's own locks
// do. A lock left behind by a copy that ended without removing it does not count.
class DatabaseFileLock {
public:
    explicit DatabaseFileLock(const QString& databaseFile);
    ~DatabaseFileLock();
    DatabaseFileLock(const DatabaseFileLock&) = delete;
    DatabaseFileLock& operator=(const DatabaseFileLock&) = delete;

    // Takes the lock. Raises DatabaseUnusable naming the database file when another copy
    // holds it. Where no lock file can be made (a write-protected folder, whose database
    // opens for reading only) the copy goes on without one.
    void acquire();
    bool held() const;

private:
    QString m_databaseFile;
    QString m_lockFile;
    std::unique_ptr<QLockFile> m_lock;
};

// Raises DatabaseBusy naming the database when the error says that another program holds
// the embedded database's write lock (after the connection's busy wait); does nothing else.
void RaiseWhenBusy(const QSqlDatabase& db, const QSqlError& error);

// Starts a transaction that is to write. On SQLite it takes the write lock at once, waiting
// for another program as long as any save does, so that a read inside the transaction can
// not make a later write fail without that wait. Raises DatabaseBusy or StoreError.
void BeginWriteTransaction(QSqlDatabase& db);
