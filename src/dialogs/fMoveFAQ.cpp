#include "dialogs/fMoveFAQ.h"

#include "ui_fMoveFAQ.h"

#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QSet>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int GroupIdRole = Qt::UserRole;

bool Matches(const QTreeWidgetItem* item, const QString& filter)
{
    return item->text(0).contains(filter, Qt::CaseInsensitive) || item->text(1).contains(filter, Qt::CaseInsensitive);
}

// Shows the items that match and the parents leading to them; whether any below showed.
bool ApplyFilter(QTreeWidgetItem* item, const QString& filter)
{
    bool anyShown = false;
    for (int i = 0; i < item->childCount(); ++i)
        anyShown = ApplyFilter(item->child(i), filter) || anyShown;
    const bool shown = anyShown || filter.isEmpty() || Matches(item, filter);
    item->setHidden(!shown);
    return shown;
}

bool Choosable(const QTreeWidgetItem* item)
{
    return item && !item->isHidden() && !item->isDisabled();
}

} // namespace

TfrmMoveFAQ::TfrmMoveFAQ(const QList<TdmFAQData::OutlineEntry>& messages, int movingID, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmMoveFAQ>())
{
    ui->setupUi(this);

    m_topLevel = new QTreeWidgetItem(ui->tvGroups, QStringList{u"(top level)"_s});
    m_topLevel->setData(0, GroupIdRole, 0);

    QHash<int, QList<const TdmFAQData::OutlineEntry*>> childrenOf;
    for (const TdmFAQData::OutlineEntry& entry : messages) {
        childrenOf[entry.groupID].append(&entry);
        if (entry.id == movingID)
            ui->lblMoving->setText(u"Where should \""_s + entry.shortName + u"\" go?"_s);
    }
    // Parents before children, each Message once: a loop of groups in the data ends there.
    QSet<int> placed{0};
    std::vector<QTreeWidgetItem*> pending{m_topLevel};
    while (!pending.empty()) {
        QTreeWidgetItem* parentItem = pending.back();
        pending.pop_back();
        for (const TdmFAQData::OutlineEntry* entry : childrenOf.value(parentItem->data(0, GroupIdRole).toInt())) {
            if (placed.contains(entry->id))
                continue;
            placed.insert(entry->id);
            auto* item = new QTreeWidgetItem(parentItem, QStringList{entry->shortName, entry->hotword});
            item->setData(0, GroupIdRole, entry->id);
            // A disabled item disables the items below it too.
            if (entry->id == movingID)
                item->setDisabled(true);
            pending.push_back(item);
        }
    }
    ui->tvGroups->expandAll();
    // The names take the room; the Hotwords as much as they need.
    QHeaderView* header = ui->tvGroups->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::ResizeToContents);

    connect(ui->txtFilter, &QLineEdit::textChanged, this, &TfrmMoveFAQ::txtFilterChange);
    connect(ui->tvGroups, &QTreeWidget::itemSelectionChanged, this, &TfrmMoveFAQ::UpdateOK);
    connect(ui->tvGroups, &QTreeWidget::itemActivated, this, [this] {
        if (ChosenGroupID())
            accept();
    });
    ui->txtFilter->installEventFilter(this);
    UpdateOK();
}

TfrmMoveFAQ::~TfrmMoveFAQ() = default;

std::optional<int> TfrmMoveFAQ::ChosenGroupID() const
{
    const QTreeWidgetItem* current = ui->tvGroups->currentItem();
    if (!Choosable(current) || !current->isSelected())
        return std::nullopt;
    return current->data(0, GroupIdRole).toInt();
}

bool TfrmMoveFAQ::eventFilter(QObject* watched, QEvent* event)
{
    // The arrow keys in the filter move through the list, as in a search field.
    if (watched == ui->txtFilter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            ui->tvGroups->setFocus();
            QKeyEvent forwarded(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(ui->tvGroups, &forwarded);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmMoveFAQ::txtFilterChange()
{
    const QString filter = ui->txtFilter->text().trimmed();
    ApplyFilter(m_topLevel, filter);
    m_topLevel->setHidden(false);
    // The first Message that matches is picked, so that Enter places the Message there.
    if (filter.isEmpty())
        return;
    for (QTreeWidgetItemIterator it(ui->tvGroups); *it; ++it) {
        if (*it != m_topLevel && Choosable(*it) && Matches(*it, filter)) {
            ui->tvGroups->setCurrentItem(*it);
            ui->tvGroups->scrollToItem(*it);
            return;
        }
    }
    ui->tvGroups->clearSelection();
    ui->tvGroups->setCurrentItem(nullptr);
}

void TfrmMoveFAQ::UpdateOK()
{
    ui->btnsMove->button(QDialogButtonBox::Ok)->setEnabled(ChosenGroupID().has_value());
}
