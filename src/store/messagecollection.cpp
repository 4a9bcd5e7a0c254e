#include "store/messagecollection.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

QString Fault(const CollectedMessage& message, const QString& reason)
{
    return message.origin.isEmpty() ? reason : message.origin + u": "_s + reason;
}

} // namespace

QString MessageCollection::treeFault() const
{
    QHash<int, qsizetype> indexOf;
    indexOf.reserve(messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const CollectedMessage& message = messages.at(i);
        if (message.id <= 0)
            return Fault(message, u"the ID must be a whole number above 0"_s);
        if (indexOf.contains(message.id))
            return Fault(message, u"the ID %1 is used twice"_s.arg(message.id));
        indexOf.insert(message.id, i);
    }
    for (const CollectedMessage& message : messages) {
        if (message.parentId != 0 && !indexOf.contains(message.parentId))
            return Fault(message, u"the parent ID %1 is not in the file"_s.arg(message.parentId));
    }
    if (treeOrder().size() != messages.size()) {
        // Whatever the walk from the top level did not reach hangs in a loop.
        QList<bool> reached(messages.size(), false);
        for (qsizetype i : treeOrder())
            reached[i] = true;
        for (qsizetype i = 0; i < messages.size(); ++i) {
            if (!reached.at(i))
                return Fault(messages.at(i), u"the Message is its own parent through a loop of parent IDs"_s);
        }
    }
    return {};
}

QList<qsizetype> MessageCollection::treeOrder() const
{
    QHash<int, QList<qsizetype>> children;
    for (qsizetype i = 0; i < messages.size(); ++i)
        children[messages.at(i).parentId].append(i);
    QList<qsizetype> order;
    order.reserve(messages.size());
    // Depth-first with an explicit stack: trees can be deeper than the call stack allows.
    // Each id is entered once, so repeated ids cannot make the walk endless.
    QSet<int> entered{0};
    QList<std::pair<const QList<qsizetype>*, qsizetype>> stack;
    if (const auto top = children.constFind(0); top != children.cend())
        stack.append({&top.value(), 0});
    while (!stack.isEmpty()) {
        auto& [kids, next] = stack.last();
        if (next >= kids->size()) {
            stack.removeLast();
            continue;
        }
        const qsizetype index = kids->at(next++);
        order.append(index);
        const int id = messages.at(index).id;
        const auto below = children.constFind(id);
        if (below != children.cend() && !entered.contains(id)) {
            entered.insert(id);
            stack.append({&below.value(), 0});
        }
    }
    return order;
}
