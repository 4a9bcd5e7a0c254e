#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class DateFormats;
class Interaction;
class QWidget;
struct BackupInfo;
class TdmFAQData;

// File > Import... and File > Export...: whole collections of Messages in and out, in the
// formats of the exchange library, with a summary of what came in or went out. Every import
// of the embedded database is preceded by a backup. File > Restore a backup... puts back
// one of the backups.
class ImportExport : public QObject {
    Q_OBJECT
public:
    // The window is the parent of the progress and restore dialogs; dates tell which
    // imported date formats the date tokens match.
    ImportExport(TdmFAQData& store, Interaction& boxes, DateFormats& dates, QWidget& window);

    void actImportExecute();
    void actExportExecute();
    void actRestoreBackupExecute();

    // The clock that names backups.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

Q_SIGNALS:
    // Messages were added; the tree is to be refilled before the summary shows.
    void messagesImported();
    // Every Message was replaced by those of a backup.
    void databaseRestored();

private:
    void ImportFile(const QString& path);
    void ExportFile(const QString& path);
    void RestoreBackup(const BackupInfo& backup);

    TdmFAQData& m_store;
    Interaction& m_boxes;
    DateFormats& m_dates;
    QWidget& m_window;
    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTime(); };
};
