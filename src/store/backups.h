#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class TdmFAQData;

// Why a backup was made; its file name starts with the kind.
enum class BackupKind { Daily, BeforeImport, BeforeRestore };

struct BackupInfo {
    QString path;
    BackupKind kind = BackupKind::Daily;
    QDateTime made;
    // Messages in the copy; -1 when the copy can not be read.
    int messages = -1;
};

// Copies of the embedded database in the folder "backups" beside it, made with SQLite's
// online backup, so that only SQLite opens the database file and the copy is consistent
// while the program keeps working. Each copy is written under a temporary name and renamed
// when complete. Kept: the daily copies of the last 7 days on which one was made, and the
// last 3 copies of each other kind. The team database (ODBC) has none: its server backs it up.
// Failures raise StoreError naming the file.
class DatabaseBackups {
public:
    static constexpr int KeptDays = 7;
    static constexpr int KeptOthers = 3;

    explicit DatabaseBackups(TdmFAQData& store);

    // Whether the store is the embedded database, which these backups cover.
    bool available() const;
    QString folder() const;

    // The first call on a day makes that day's copy; later calls that day do nothing. A
    // database that can only be read is not copied. Gives whether a copy was made.
    bool MakeDailyBackup(const QDateTime& now);
    // Makes a copy of the given kind; gives its path.
    QString MakeBackup(BackupKind kind, const QDateTime& now);
    // The copies, newest first, with their Message counts.
    QList<BackupInfo> List() const;
    // Replaces every Message of the database by those of the copy, in one transaction
    // under SQLite's lock, after keeping the database as it was in a BeforeRestore copy,
    // whose path it gives. The store's connection is opened again afterwards.
    QString Restore(const BackupInfo& backup, const QDateTime& now);

private:
    QList<BackupInfo> Files() const;
    void Prune(BackupKind kind, int keep) const;

    TdmFAQData& m_store;
    QString m_databaseFile;
};

// "daily backup", "backup before an import", "backup before a restore".
QString BackupKindText(BackupKind kind);
