#include "app/faqtree.h"

#include "app/faqnodes.h"
#include "dialogs/widgetsupport.h"
#include "store/dataset.h"
#include "store/dmData.h"
#include "store/storeerror.h"
#include "util/connectguarded.h"
#include "util/interaction.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QSet>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString Placeholder = u"Searching..."_s;

QString Quoted(const QString& text)
{
    return u'"' + text + u'"';
}

// Visits the nodes that exist, in tree order: a node, its children, then its next sibling.
void WalkTree(QTreeWidget& tree, const std::function<void(QTreeWidgetItem*)>& visit)
{
    // Parents before children, in tree order, without recursion: chains may be deep.
    std::vector<QTreeWidgetItem*> pending;
    for (int i = tree.topLevelItemCount() - 1; i >= 0; --i)
        pending.push_back(tree.topLevelItem(i));
    while (!pending.empty()) {
        QTreeWidgetItem* node = pending.back();
        pending.pop_back();
        visit(node);
        for (int i = node->childCount() - 1; i >= 0; --i)
            pending.push_back(node->child(i));
    }
}

// Stands for the children of a node until the node is expanded.
void AddPlaceholder(QTreeWidgetItem* node)
{
    auto* placeholder = new QTreeWidgetItem(node, QStringList{Placeholder});
    placeholder->setData(0, MessageIdRole, 0);
}

QTreeWidgetItem* ChildWithID(QTreeWidget& tree, QTreeWidgetItem* parent, int messageID)
{
    const int count = parent ? parent->childCount() : tree.topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* node = parent ? parent->child(i) : tree.topLevelItem(i);
        if (NodeID(node) == messageID)
            return node;
    }
    return nullptr;
}

// The Message IDs a node's children must not repeat: the node, its ancestors and the
// top level's group 0. A Message that is its own group would otherwise list itself.
QSet<int> PathIDs(const QTreeWidgetItem* node)
{
    QSet<int> ids{0};
    for (const QTreeWidgetItem* up = node; up; up = up->parent())
        ids.insert(NodeID(up));
    return ids;
}

} // namespace

FAQTree::FAQTree(QTreeWidget& tree, TdmFAQData& store, Interaction& boxes)
    : QObject(&tree)
    , m_tree(tree)
    , m_store(store)
    , m_boxes(boxes)
{
    KeepSelectionHighlighted(&m_tree);
    // A drop changes the database, never the items: the tree is rebuilt afterwards.
    m_tree.viewport()->installEventFilter(this);
    // "*" expands the whole branch through the Message store, not item by item.
    m_tree.installEventFilter(this);
    ConnectGuarded(m_boxes, &m_tree, &QTreeWidget::itemSelectionChanged, this, &FAQTree::tvFAQsChange);
    ConnectGuarded(m_boxes, &m_tree, &QTreeWidget::itemExpanded, this, &FAQTree::tvFAQsExpanding);
}

void FAQTree::RefreshFAQTree()
{
    QSet<int> expanded;
    WalkTree(m_tree, [&](QTreeWidgetItem* node) {
        if (node->isExpanded())
            expanded.insert(NodeID(node));
    });
    m_tree.clear();
    FillFAQNode(nullptr, 0);
    const auto wasExpanded = [&](int id) { return expanded.contains(id); };
    for (int i = 0; i < m_tree.topLevelItemCount(); ++i) {
        QTreeWidgetItem* node = m_tree.topLevelItem(i);
        if (wasExpanded(NodeID(node)))
            ExpandBranch(node, wasExpanded);
    }
}

QTreeWidgetItem* FAQTree::NewFAQNode(const DataSet& rows, int row) const
{
    QString label = rows.text(row, u"ShortName"_s);
    if (m_showHotword)
        label += u" / "_s + rows.text(row, u"Hotword"_s);
    auto* item = new QTreeWidgetItem(QStringList{label});
    item->setData(0, MessageIdRole, rows.integer(row, u"ID"_s));
    return item;
}

void FAQTree::FillFAQNode(QTreeWidgetItem* node, int parentID)
{
    // A node of Message 0 stands for the top level again; it lists nothing.
    const DataSet rows = node && parentID == 0 ? DataSet() : m_store.ChildrenOf(parentID);
    if (node)
        qDeleteAll(node->takeChildren());
    const QSet<int> path = node ? PathIDs(node) : QSet<int>();

    QList<QTreeWidgetItem*> created;
    // Nodes read before a failure stay in the tree.
    auto append = [&] {
        if (node)
            node->addChildren(created);
        else
            m_tree.addTopLevelItems(created);
    };
    try {
        for (int row = 0; row < rows.recordCount(); ++row) {
            const int id = rows.integer(row, u"ID"_s);
            if (path.contains(id))
                continue;
            auto* item = NewFAQNode(rows, row);
            created.append(item);
            if (id != 0 && CountChildFAQs(id) > 0)
                AddPlaceholder(item);
        }
    } catch (...) {
        append();
        throw;
    }
    append();
}

void FAQTree::ExpandAllFAQNodes(QTreeWidgetItem* node)
{
    ExpandBranch(node, [](int) { return true; });
}

void FAQTree::ExpandBranch(QTreeWidgetItem* node, const std::function<bool(int)>& expand)
{
    // The branch is read into detached items first, each Message once on its path, and
    // put into the tree in one step; one expansion each then needs no further reading.
    QSet<int> path = PathIDs(node);
    QList<QTreeWidgetItem*> branch;
    QList<QTreeWidgetItem*> parents;
    struct Step {
        QTreeWidgetItem* item;
        bool leaving;
    };
    std::vector<Step> steps;
    auto readChildren = [&](QTreeWidgetItem* parent, QList<QTreeWidgetItem*>& into) {
        const int parentID = NodeID(parent);
        if (parentID == 0)
            return;
        const DataSet rows = m_store.ChildrenOf(parentID);
        for (int row = 0; row < rows.recordCount(); ++row) {
            if (path.contains(rows.integer(row, u"ID"_s)))
                continue;
            into.append(NewFAQNode(rows, row));
        }
    };
    try {
        readChildren(node, branch);
        for (auto it = branch.crbegin(); it != branch.crend(); ++it)
            steps.push_back({*it, false});
        while (!steps.empty()) {
            const Step step = steps.back();
            steps.pop_back();
            const int id = NodeID(step.item);
            if (step.leaving) {
                path.remove(id);
                continue;
            }
            if (!expand(id)) {
                // Loaded when the user expands it, as a node of a plain fill.
                if (id != 0 && CountChildFAQs(id) > 0)
                    AddPlaceholder(step.item);
                continue;
            }
            path.insert(id);
            steps.push_back({step.item, true});
            QList<QTreeWidgetItem*> children;
            readChildren(step.item, children);
            if (children.isEmpty())
                continue;
            step.item->addChildren(children);
            parents.append(step.item);
            for (auto it = children.crbegin(); it != children.crend(); ++it)
                steps.push_back({*it, false});
        }
    } catch (...) {
        qDeleteAll(branch);
        throw;
    }

    const QSignalBlocker quiet(&m_tree);
    node->setExpanded(false);
    qDeleteAll(node->takeChildren());
    node->addChildren(branch);
    // Deepest first, so only the last expansion lays the branch out.
    for (auto it = parents.crbegin(); it != parents.crend(); ++it)
        (*it)->setExpanded(true);
    node->setExpanded(true);
}

int FAQTree::CountChildFAQs(int messageID)
{
    // Without a count the node is taken to have children, so it can still be expanded.
    const int count = m_store.CountChildren(messageID);
    return count < 0 ? 1 : count;
}

int FAQTree::SelectedFAQID() const
{
    const QList<QTreeWidgetItem*> selected = m_tree.selectedItems();
    return selected.isEmpty() ? -1 : NodeID(selected.front());
}

void FAQTree::tvFAQsChange()
{
    if (!m_tree.selectedItems().isEmpty())
        Q_EMIT nodeSelected(SelectedFAQID());
}

void FAQTree::tvFAQsExpanding(QTreeWidgetItem* node)
{
    FillFAQNode(node, NodeID(node));
}

void FAQTree::Synchronize(int messageID)
{
    // The first loaded node of the Message, by its path of Message IDs.
    QList<int> path;
    WalkTree(m_tree, [&](QTreeWidgetItem* node) {
        if (!path.isEmpty() || NodeID(node) != messageID)
            return;
        for (QTreeWidgetItem* up = node; up; up = up->parent())
            path.prepend(NodeID(up));
    });
    if (path.isEmpty())
        return;
    // Expanding a parent reloads its children, so each level is found again by ID.
    QTreeWidgetItem* node = nullptr;
    for (const int id : path) {
        if (node && !node->isExpanded())
            node->setExpanded(true);
        node = ChildWithID(m_tree, node, id);
        if (!node)
            return;
    }
    m_tree.scrollToItem(node);
    m_tree.setCurrentItem(node);
}

void FAQTree::RemoveNode(QTreeWidgetItem* node)
{
    // The view selects a neighbour in place of the removed node; that selection is dropped
    // unseen.
    const QSignalBlocker quiet(&m_tree);
    delete node;
    m_tree.clearSelection();
}

bool FAQTree::eventFilter(QObject* watched, QEvent* event)
{
    // Watched are the tree and its viewport only; viewport() is not asked, since events still
    // arrive while the tree is being destroyed.
    if (watched != &m_tree)
        return tvFAQsDragEvent(event);
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Asterisk) {
        if (QTreeWidgetItem* current = m_tree.currentItem())
            Guarded(m_boxes, [&] { ExpandAllFAQNodes(current); });
        return true;
    }
    return false;
}

bool FAQTree::tvFAQsDragOver(const QObject* source) const
{
    return source == &m_tree;
}

bool FAQTree::tvFAQsDragEvent(QEvent* event)
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
            this, [this, point] { Guarded(m_boxes, [&] { tvFAQsDragDrop(point); }); }, Qt::QueuedConnection);
        return true;
    }
    default: return false;
    }
}

void FAQTree::tvFAQsDragDrop(const QPoint& point)
{
    const QList<QTreeWidgetItem*> selected = m_tree.selectedItems();
    if (selected.isEmpty())
        return;
    const int draggedID = NodeID(selected.front());
    const QString draggedLabel = selected.front()->text(0);
    if (draggedID <= 0)
        return;

    int newGroupID = 0;
    QString place = u"at the top level"_s;
    if (const QTreeWidgetItem* target = m_tree.itemAt(point)) {
        newGroupID = NodeID(target);
        place = u"inside "_s + Quoted(target->text(0));
    }
    if (newGroupID == draggedID) {
        m_boxes.showMessage(u"You cannot drag/drop a message onto itself."_s);
        return;
    }
    // A Message placed under one of its own descendants could no longer be reached.
    QSet<int> seen;
    for (int up = newGroupID; up > 0 && !seen.contains(up);) {
        if (up == draggedID) {
            m_boxes.showMessage(u"You cannot place "_s + Quoted(draggedLabel)
                                + u" inside a message that it contains."_s);
            return;
        }
        seen.insert(up);
        up = m_store.GroupIDOf(up).value_or(0);
    }
    if (!m_boxes.confirmYesNo(u"Are you sure you want to place "_s + Quoted(draggedLabel) + u' ' + place + u" ?"_s))
        return;
    MoveFAQ(draggedID, newGroupID);
    Q_EMIT messageMoved();
}

void FAQTree::MoveFAQ(int messageID, int newGroupID)
{
    try {
        m_store.UpdateParentID(messageID, newGroupID);
    } catch (const DeletedMeanwhile&) {
        // The tree shows what is stored now, without the Message that is gone.
        RefreshFAQTree();
        throw;
    }
}
