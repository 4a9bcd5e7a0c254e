#pragma once

#include <QTreeWidgetItem>

// A tree node's Message ID; the "Searching..." placeholder carries 0.
constexpr int MessageIdRole = Qt::UserRole;

inline int NodeID(const QTreeWidgetItem* node)
{
    return node->data(0, MessageIdRole).toInt();
}
