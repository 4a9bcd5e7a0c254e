// The main window's editing commands: New and Edit through the add/edit dialog, and Delete.
#include "app/fMain.h"

#include "app/faqnodes.h"
#include "app/faqtree.h"
#include "app/searchcommand.h"
#include "dialogs/ffaqaddedit.h"
#include "store/dmData.h"
#include "store/storeerror.h"
#include "util/errors.h"
#include "util/interaction.h"

#include "ui_fMain.h"

#include <QLineEdit>
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
    if (m_addEdit->isVisible())
        return;
    const int groupID = qMax(0, m_tree->SelectedFAQID());
    m_store.NewMessage(groupID);
    m_addEdit->SetEditMode(TfrmAddEditFAQ::EditMode::NewMessage);
    m_addEdit->ShowOnPendingRow();
    m_addEdit->FocusHotword();
}

void TfrmMain::actEditExecute()
{
    if (m_addEdit->isVisible())
        return;
    // Before any Message is shown there is nothing to edit.
    if (m_shownMessageID <= 0) {
        m_boxes.showMessage(u"Please select a message to edit"_s);
        return;
    }
    // The dialog opens on the Message as stored now, which may be gone.
    if (!m_store.EditMessage(m_shownMessageID)) {
        m_boxes.showMessage(u"This Message has been deleted, so it can not be edited."_s);
        RefreshFAQTree();
        return;
    }
    m_addEdit->SetEditMode(TfrmAddEditFAQ::EditMode::ExistingMessage);
    m_addEdit->ShowOnPendingRow();
}

void TfrmMain::MessageSaved(const QString& hotword)
{
    RefreshFAQTree();
    m_search->SearchByHotword(hotword);
}

void TfrmMain::actDeleteExecute()
{
    const QList<QTreeWidgetItem*> selected = ui->tvFAQs->selectedItems();
    if (selected.isEmpty()) {
        m_boxes.showMessage(u"Please select a message to delete"_s);
        return;
    }
    QTreeWidgetItem* node = selected.front();
    const QString label = node->text(0);
    if (node->childCount() > 0) {
        m_boxes.showMessage(
            u"You cannot delete messages that contain other messages. Please delete all messages contained in "_s
            + Quoted(label) + u" before deleting it."_s);
        return;
    }
    // The dialog's pending row would be lost with the table's position.
    if (m_addEdit->isVisible()) {
        m_boxes.showMessage(u"Please save or cancel the message being edited before deleting a message."_s);
        return;
    }
    if (!m_boxes.confirmYesNo(u"Are you sure you want to delete "_s + Quoted(label)
                              + u" ? This is a permanent operation and cannot be undone."_s))
        return;
    // The database has the last word: another user may have added a child, or deleted it.
    try {
        m_store.DeleteFAQ(NodeID(node));
    } catch (const HasChildMessages&) {
        m_boxes.showMessage(
            u"You cannot delete messages that contain other messages. Please delete all messages contained in "_s
            + Quoted(label) + u" before deleting it."_s);
        RefreshFAQTree();
        return;
    } catch (const DeletedMeanwhile&) {
        m_boxes.showMessage(Quoted(label) + u" has already been deleted by someone else."_s);
        RefreshFAQTree();
        return;
    }
    // The panel keeps what it shows, the deleted Message included.
    m_tree->RemoveNode(node);
    RefreshHotwordCompletion();
}
