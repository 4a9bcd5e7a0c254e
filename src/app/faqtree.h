#pragma once

#include <QObject>

#include <functional>

class DataSet;
class Interaction;
class QPoint;
class QTreeWidget;
class QTreeWidgetItem;
class TdmFAQData;

// The Message tree: loaded one level at a time from the store, expanded branch-wise, and
// the place where a Message is moved by dragging its node. A node carries its Message ID;
// the "Searching..." placeholder stands for children not read yet.
class FAQTree : public QObject {
    Q_OBJECT
public:
    FAQTree(QTreeWidget& tree, TdmFAQData& store, Interaction& boxes);

    // Labels are "short name / Hotword" while on; the next fill uses it.
    void setShowHotword(bool show) { m_showHotword = show; }

    // Refills the top level and opens again every branch that was open. Raises the
    // store's error when the top level can not be read; the nodes read before it stay.
    void RefreshFAQTree();
    void FillFAQNode(QTreeWidgetItem* node, int parentID);
    int CountChildFAQs(int messageID);
    // Loads and expands every node below a node, as the "*" key does.
    void ExpandAllFAQNodes(QTreeWidgetItem* node);
    // Loads a node's branch and expands the node and each node below it whose Message ID
    // expand accepts; the others are left to load when expanded.
    void ExpandBranch(QTreeWidgetItem* node, const std::function<bool(int)>& expand);
    // The selected node's Message ID, or -1.
    int SelectedFAQID() const;
    // Selects and scrolls to the first loaded node of the Message, opening its parents.
    void Synchronize(int messageID);
    // Takes a node out of the tree and leaves nothing selected, so that no other Message
    // is shown in its place; the current node moves on for the keyboard.
    void RemoveNode(QTreeWidgetItem* node);

    // Whether a drag from this source may drop on the tree.
    bool tvFAQsDragOver(const QObject* source) const;
    // A drop of the selected node at a point of the tree's viewport: asks, then moves.
    void tvFAQsDragDrop(const QPoint& point);
    void MoveFAQ(int messageID, int newGroupID);

Q_SIGNALS:
    // The selection changed to a node (not to nothing).
    void nodeSelected(int messageID);
    // A drop moved a Message; the tree is to be refilled.
    void messageMoved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* NewFAQNode(const DataSet& rows, int row) const;
    void tvFAQsChange();
    void tvFAQsExpanding(QTreeWidgetItem* node);
    // The viewport's side of a drag inside the tree.
    bool tvFAQsDragEvent(QEvent* event);

    QTreeWidget& m_tree;
    TdmFAQData& m_store;
    Interaction& m_boxes;
    bool m_showHotword = false;
};
