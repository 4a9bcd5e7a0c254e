#pragma once

#include "store/backups.h"

#include <QDialog>
#include <QList>

#include <memory>
#include <optional>

namespace Ui {
class TfrmRestoreBackup;
}

// Lists the backups of the database, newest first, with the time each was made, its
// Message count and why it was made; OK ("Restore") picks the selected one.
class TfrmRestoreBackup : public QDialog {
    Q_OBJECT
public:
    TfrmRestoreBackup(const QList<BackupInfo>& backups, const QString& folder, QWidget* parent = nullptr);
    ~TfrmRestoreBackup() override;

    // The picked backup; none while nothing is selected.
    std::optional<BackupInfo> ChosenBackup() const;

private:
    const std::unique_ptr<Ui::TfrmRestoreBackup> ui;
    QList<BackupInfo> m_backups;
};

// How a backup's time shows: "2026-12-10 03:45".
QString BackupTimeText(const QDateTime& made);
