#include "dialogs/fRestoreBackup.h"

#include "ui_fRestoreBackup.h"

#include <QDir>
#include <QHeaderView>
#include <QPushButton>

using namespace Qt::StringLiterals;

QString BackupTimeText(const QDateTime& made)
{
    return made.toString(u"yyyy-MM-dd HH:mm"_s);
}

TfrmRestoreBackup::TfrmRestoreBackup(const QList<BackupInfo>& backups, const QString& folder, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmRestoreBackup>())
    , m_backups(backups)
{
    ui->setupUi(this);
    QPushButton* restore = ui->btnsRestore->button(QDialogButtonBox::Ok);
    restore->setText(u"&Restore"_s);
    ui->lblFolder->setText(u"Kept in "_s + QDir::toNativeSeparators(folder));
    for (const BackupInfo& backup : backups) {
        auto* item = new QTreeWidgetItem(ui->lvBackups,
                                         {BackupTimeText(backup.made),
                                          backup.messages < 0 ? u"unreadable"_s : QString::number(backup.messages),
                                          BackupKindText(backup.kind)});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        // An unreadable copy can not be restored.
        item->setDisabled(backup.messages < 0);
    }
    ui->lvBackups->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    const auto update = [this, restore] { restore->setEnabled(ChosenBackup().has_value()); };
    connect(ui->lvBackups, &QTreeWidget::currentItemChanged, this, update);
    connect(ui->lvBackups, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (ChosenBackup())
            accept();
    });
    for (int i = 0; i < ui->lvBackups->topLevelItemCount(); ++i) {
        if (!ui->lvBackups->topLevelItem(i)->isDisabled()) {
            ui->lvBackups->setCurrentItem(ui->lvBackups->topLevelItem(i));
            break;
        }
    }
    update();
}

TfrmRestoreBackup::~TfrmRestoreBackup() = default;

std::optional<BackupInfo> TfrmRestoreBackup::ChosenBackup() const
{
    QTreeWidgetItem* item = ui->lvBackups->currentItem();
    if (!item || item->isDisabled())
        return std::nullopt;
    return m_backups.value(ui->lvBackups->indexOfTopLevelItem(item));
}
