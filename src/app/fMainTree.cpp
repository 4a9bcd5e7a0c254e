// The main window's commands on the selected node of the Message tree: its context menu,
// moving a Message with a group picker and duplicating it.
#include "app/fMain.h"

#include "app/faqtree.h"
#include "dialogs/fMoveFAQ.h"
#include "dialogs/ffaqaddedit.h"
#include "store/dmData.h"
#include "util/errors.h"
#include "util/interaction.h"

#include "ui_fMain.h"

#include <QMenu>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

std::optional<int> TfrmMain::SelectedForCommand(const QString& refusal)
{
    const int messageID = m_tree->SelectedFAQID();
    if (messageID <= 0) {
        m_boxes.showMessage(refusal);
        return std::nullopt;
    }
    return messageID;
}

void TfrmMain::tvFAQsContextMenu(const QPoint& position)
{
    // The commands act on the node the menu was opened on; from the keyboard, that is the
    // current node.
    if (QTreeWidgetItem* node = ui->tvFAQs->itemAt(position); node && !node->isSelected())
        ui->tvFAQs->setCurrentItem(node);
    mnuFAQTree->popup(ui->tvFAQs->viewport()->mapToGlobal(position));
}

void TfrmMain::actMoveToExecute()
{
    const std::optional<int> moving = SelectedForCommand(u"Please select a message to move"_s);
    if (!moving)
        return;
    auto* dialog = new TfrmMoveFAQ(m_store.MessageOutline(), *moving, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, messageID = *moving] {
        const std::optional<int> group = dialog->ChosenGroupID();
        if (group)
            Guarded(m_boxes, [&] { MoveFAQTo(messageID, *group); });
    });
    dialog->open();
}

void TfrmMain::MoveFAQTo(int messageID, int groupID)
{
    m_tree->MoveFAQ(messageID, groupID);
    RefreshFAQTree();
    // The moved node stays selected where it now stands, when its branch is open.
    m_tree->Synchronize(messageID);
}

void TfrmMain::actDuplicateExecute()
{
    const std::optional<int> original = SelectedForCommand(u"Please select a message to duplicate"_s);
    if (!original)
        return;
    // The copy opens for editing, which the Message being edited would lose.
    if (m_addEdit->isVisible()) {
        m_boxes.showMessage(u"Please save or cancel the message being edited before duplicating a message."_s);
        return;
    }
    const int copy = m_store.DuplicateMessage(*original);
    RefreshFAQTree();
    m_tree->Synchronize(copy);
    if (m_shownMessageID != copy)
        ShowFAQByID(copy);
    // Usually the copy is to differ: its Hotword at least.
    actEditExecute();
}
