// The main window's editing commands: New and Edit through the add/edit dialog, Delete,
// and moving a Message by dragging its node in the tree.
#include "app/fMain.h"

#include "app/faqnodes.h"
#include "dialogs/ffaqaddedit.h"
#include "store/dmData.h"
#include "util/errors.h"
#include "util/interaction.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QSet>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

QString Quoted(const QString& text)
{
    return u'"' + text + u'"';
}

} // namespace

void TfrmMain::actNewExecute()
{
    if (frmAddEditFAQ->isVisible())
        return;
    const int groupID = qMax(0, SelectedFAQID());
    dmFAQData->NewMessage(groupID);
    frmAddEditFAQ->SetEditMode(TfrmAddEditFAQ::EditMode::NewMessage);
    frmAddEditFAQ->ShowOnPendingRow();
    frmAddEditFAQ->FocusHotword();
}

void TfrmMain::actEditExecute()
{
    if (frmAddEditFAQ->isVisible())
        return;
    // Before any Message is shown, or after the shown one was deleted, there is nothing to edit.
    if (m_shownMessageID <= 0 || !dmFAQData->EditMessage(m_shownMessageID)) {
        interaction().showMessage(u"Please select a message to edit"_s);
        return;
    }
    frmAddEditFAQ->SetEditMode(TfrmAddEditFAQ::EditMode::ExistingMessage);
    frmAddEditFAQ->ShowOnPendingRow();
}

void TfrmMain::MessageSaved(const QString& hotword)
{
    RefreshFAQTree();
    SearchByHotword(hotword);
}

void TfrmMain::actDeleteExecute()
{
    const QList<QTreeWidgetItem*> selected = tvFAQs->selectedItems();
    if (selected.isEmpty()) {
        interaction().showMessage(u"Please select a message to delete"_s);
        return;
    }
    QTreeWidgetItem* node = selected.front();
    const QString label = node->text(0);
    if (node->childCount() > 0) {
        interaction().showMessage(
            u"You cannot delete messages that contain other messages. Please delete all messages contained in "_s
            + Quoted(label) + u" before deleting it."_s);
        return;
    }
    // The dialog's pending row would be lost with the table's position.
    if (frmAddEditFAQ->isVisible()) {
        interaction().showMessage(u"Please save or cancel the message being edited before deleting a message."_s);
        return;
    }
    if (!interaction().confirmYesNo(u"Are you sure you want to delete "_s + Quoted(label)
                                    + u" ? This is a permanent operation and cannot be undone."_s))
        return;
    dmFAQData->DeleteFAQ(NodeID(node));
    // Its removal leaves nothing selected, so the panel keeps what it shows.
    delete node;
}

bool TfrmMain::tvFAQsDragOver(const QObject* source) const
{
    return source == tvFAQs;
}

bool TfrmMain::tvFAQsDragEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (tvFAQsDragOver(drag->source())) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!tvFAQsDragOver(drop->source())) {
            drop->ignore();
            return true;
        }
        // The tree keeps its items: only the database changes, then the tree is rebuilt.
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        const QPoint point = drop->position().toPoint();
        // Questions are asked once the drag has ended.
        QMetaObject::invokeMethod(
            this, [this, point] { Guarded([&] { tvFAQsDragDrop(point); }); }, Qt::QueuedConnection);
        return true;
    }
    default: return false;
    }
}

void TfrmMain::tvFAQsDragDrop(const QPoint& point)
{
    const QList<QTreeWidgetItem*> selected = tvFAQs->selectedItems();
    if (selected.isEmpty())
        return;
    const int draggedID = NodeID(selected.front());
    const QString draggedLabel = selected.front()->text(0);
    if (draggedID <= 0)
        return;

    int newGroupID = 0;
    QString place = u"at the top level"_s;
    if (const QTreeWidgetItem* target = tvFAQs->itemAt(point)) {
        newGroupID = NodeID(target);
        place = u"inside "_s + Quoted(target->text(0));
    }
    if (newGroupID == draggedID) {
        interaction().showMessage(u"You cannot drag/drop a message onto itself."_s);
        return;
    }
    // A Message placed under one of its own descendants could no longer be reached.
    QSet<int> seen;
    for (int up = newGroupID; up > 0 && !seen.contains(up);) {
        if (up == draggedID) {
            interaction().showMessage(u"You cannot place "_s + Quoted(draggedLabel)
                                      + u" inside a message that it contains."_s);
            return;
        }
        seen.insert(up);
        up = dmFAQData->GroupIDOf(up).value_or(0);
    }
    if (!interaction().confirmYesNo(u"Are you sure you want to place "_s + Quoted(draggedLabel) + u' ' + place
                                    + u" ?"_s))
        return;
    MoveFAQ(draggedID, newGroupID);
    RefreshFAQTree();
}

void TfrmMain::MoveFAQ(int messageID, int newGroupID)
{
    dmFAQData->UpdateParentID(messageID, newGroupID);
}
