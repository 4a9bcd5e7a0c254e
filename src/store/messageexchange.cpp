#include "store/messageexchange.h"

#include "store/columns.h"
#include "store/databaselock.h"
#include "store/dmData.h"
#include "store/storeerror.h"
#include "util/errors.h"

#include <QHash>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {

QSqlDatabase Database(TdmFAQData& dm)
{
    QSqlDatabase db = QSqlDatabase::database(dm.connectionName(), false);
    if (!db.isOpen())
        throw StoreError(u"The database connection is not open."_s);
    return db;
}

QSqlQuery Run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw StoreError(query.lastError().text());
    return query;
}

// The key under which the database's unique index compares Hotwords: SQLite folds A-Z
// only, the other engines every letter.
class HotwordKeys {
public:
    explicit HotwordKeys(SqlDialect::Engine engine)
        : m_asciiOnly(engine == SqlDialect::Engine::SQLite)
    { }
    QString key(const QString& hotword) const
    {
        if (!m_asciiOnly)
            return hotword.toLower();
        QString folded = hotword;
        for (QChar& c : folded) {
            if (c >= u'A' && c <= u'Z')
                c = QChar(c.unicode() + ('a' - 'A'));
        }
        return folded;
    }

private:
    bool m_asciiOnly;
};

QString Quoted(const QString& text)
{
    return u"\""_s + text + u"\""_s;
}

QString Where(const CollectedMessage& message)
{
    const QString name = u"Hotword "_s + Quoted(message.hotword);
    return message.origin.isEmpty() ? name : message.origin + u" ("_s + name + u")"_s;
}

// The first free Hotword made of the start of hotword and a suffix "-2", "-3", ...
QString FreeHotword(const QString& hotword, const QSet<QString>& taken, const HotwordKeys& keys)
{
    if (hotword.size() <= Column::HotwordLength && !taken.contains(keys.key(hotword)))
        return hotword;
    for (int n = 2;; ++n) {
        const QString candidate = HotwordWithSuffix(hotword, u"-"_s + QString::number(n));
        if (!taken.contains(keys.key(candidate)))
            return candidate;
    }
}

// What happens to each Message of a collection.
struct Plan {
    struct Entry {
        qsizetype index = 0;
        QString hotword;
        QString shortName;
        // Index of the nearest imported ancestor in entries, -1 for the top level.
        qsizetype parent = -1;
        QStringList keywords;
        QList<CollectedAttachment> attachments;
    };
    QList<Entry> entries;
    QList<ImportIssue> issues;
    QStringList skipped;
    QStringList changed;
};

Plan MakePlan(TdmFAQData& dm, const MessageCollection& collection, ImportChoice choice)
{
    const QString fault = collection.treeFault();
    if (!fault.isEmpty())
        throw Error(fault);

    QSqlDatabase db = Database(dm);
    const HotwordKeys keys(dm.dialect().engine());
    QSet<QString> inDatabase;
    for (QSqlQuery query = Run(db, u"select Hotword from FAQ"_s); query.next();)
        inDatabase.insert(keys.key(query.value(0).toString()));
    QSet<QString> inFile;

    Plan plan;
    QHash<int, qsizetype> entryOfId; // -1: left out, placed where its parent is
    for (qsizetype index : collection.treeOrder()) {
        const CollectedMessage& message = collection.messages.at(index);
        const qsizetype parent = message.parentId == 0 ? -1 : entryOfId.value(message.parentId, -1);

        ImportIssue issue{message.origin, message.hotword, {}, false};
        const auto mendable = [&issue](const QString& reason) {
            issue.reason = reason;
            issue.mendable = true;
        };
        if (message.hotword.isEmpty())
            issue.reason = u"it has no Hotword"_s;
        else if (message.shortName.isEmpty())
            issue.reason = u"it has no short description"_s;
        else if (message.text.isEmpty())
            issue.reason = u"it has no text"_s;
        else if (inDatabase.contains(keys.key(message.hotword)))
            mendable(u"the Hotword already exists"_s);
        else if (inFile.contains(keys.key(message.hotword)))
            mendable(u"an earlier Message of the file has the same Hotword"_s);
        else if (message.hotword.size() > Column::HotwordLength)
            mendable(u"the Hotword is longer than %1 characters"_s.arg(Column::HotwordLength));
        else if (message.shortName.size() > Column::ShortNameLength)
            mendable(u"the short description is longer than %1 characters"_s.arg(Column::ShortNameLength));

        Plan::Entry entry{index, message.hotword, message.shortName, parent, {}, {}};
        if (!issue.reason.isEmpty()) {
            plan.issues.append(issue);
            if (!issue.mendable || choice == ImportChoice::Skip) {
                plan.skipped.append(Where(message) + u": left out, "_s + issue.reason + u'.');
                entryOfId.insert(message.id, parent);
                continue;
            }
            QSet<QString> taken = inDatabase;
            taken.unite(inFile);
            entry.hotword = FreeHotword(message.hotword, taken, keys);
            entry.shortName = message.shortName.left(Column::ShortNameLength);
            QString change = Where(message) + u": "_s + issue.reason;
            if (entry.hotword != message.hotword)
                change += u"; imported as "_s + Quoted(entry.hotword);
            if (entry.shortName != message.shortName)
                change += u"; short description cut to %1 characters"_s.arg(Column::ShortNameLength);
            plan.changed.append(change + u'.');
        }
        inFile.insert(keys.key(entry.hotword));

        for (const QString& keyword : message.keywords) {
            if (keyword.isEmpty() || keyword.size() > Column::KeywordLength)
                plan.skipped.append(Where(message) + u": keyword "_s + Quoted(keyword)
                                    + u" left out, it must have 1 to %1 characters."_s.arg(Column::KeywordLength));
            else
                entry.keywords.append(keyword);
        }
        for (const CollectedAttachment& attachment : message.attachments) {
            if (attachment.fileName.isEmpty() || attachment.fileName.size() > Column::FileNameLength)
                plan.skipped.append(
                    Where(message) + u": attachment "_s + Quoted(attachment.fileName)
                    + u" left out, its file name must have 1 to %1 characters."_s.arg(Column::FileNameLength));
            else
                entry.attachments.append(attachment);
        }
        entryOfId.insert(message.id, plan.entries.size());
        plan.entries.append(std::move(entry));
    }
    return plan;
}

// Prepared inserts of one import.
class Inserter {
public:
    explicit Inserter(QSqlDatabase& db)
        : m_db(db)
        , m_dialect(SqlDialect::forDatabase(db))
        , m_message(db)
        , m_keyword(db)
        , m_attachment(db)
    {
        QStringList columns{u"ShortName"_s, u"Hotword"_s, u"Text"_s, u"GroupID"_s, u"Notes"_s};
        if (m_dialect.engine() == SqlDialect::Engine::SQLite) {
            // Keys are handed out here, after the highest ever given, so that keywords go in
            // before their Message: the full-text row is then written once, not once per keyword.
            QSqlQuery last = Run(db,
                                 u"select max(coalesce((select seq from sqlite_sequence where name = 'FAQ'), 0), "
                                 "coalesce((select max(ID) from FAQ), 0))"_s);
            m_nextKey = last.next() ? last.value(0).toInt() + 1 : 1;
            last.finish();
            // A large import touches far more pages than the default cache holds.
            QSqlQuery cache = Run(db, u"pragma cache_size"_s);
            m_cacheSize = cache.next() ? cache.value(0).toInt() : 0;
            cache.finish();
            Run(db, u"pragma cache_size = -131072"_s);
            columns.prepend(u"ID"_s);
        } else {
            m_returning = m_dialect.insertReturningKey(u"FAQ"_s, columns, u"ID"_s);
        }
        const QStringList marks(columns.size(), u"?"_s);
        prepare(m_message,
                m_returning.isEmpty()
                    ? u"insert into FAQ ("_s + columns.join(u", "_s) + u") values ("_s + marks.join(u", "_s) + u")"_s
                    : m_returning);
        prepare(m_keyword, u"insert into FAQKeywords (FAQID, Keyword) values (?, ?)"_s);
        prepare(m_attachment, u"insert into FAQAttachments (FAQID, Filename, PromptToUse) values (?, ?, ?)"_s);
    }

    ~Inserter()
    {
        if (m_cacheSize != 0)
            QSqlQuery(m_db).exec(u"pragma cache_size = "_s + QString::number(m_cacheSize));
    }
    Inserter(const Inserter&) = delete;
    Inserter& operator=(const Inserter&) = delete;

    // Adds a Message with its keywords and attachments; gives its new ID.
    int add(const QString& shortName, const QString& hotword, const CollectedMessage& message, int groupId,
            const QStringList& keywords, const QList<CollectedAttachment>& attachments)
    {
        int id = 0;
        if (m_nextKey > 0) {
            id = m_nextKey++;
            for (const QString& word : keywords)
                keyword(id, word);
            this->message(id, shortName, hotword, message, groupId);
        } else {
            id = this->message(0, shortName, hotword, message, groupId);
            for (const QString& word : keywords)
                keyword(id, word);
        }
        for (const CollectedAttachment& file : attachments)
            attachment(id, file);
        return id;
    }

private:
    int message(int id, const QString& shortName, const QString& hotword, const CollectedMessage& message, int groupId)
    {
        int column = 0;
        if (id > 0)
            m_message.bindValue(column++, id);
        m_message.bindValue(column++, shortName);
        m_message.bindValue(column++, hotword);
        m_message.bindValue(column++, message.text);
        m_message.bindValue(column++, groupId);
        m_message.bindValue(column++, message.notes.isEmpty() ? QVariant() : QVariant(message.notes));
        exec(m_message);
        if (id > 0) {
            m_message.finish();
            return id;
        }
        const QVariant key = m_dialect.insertedKey(m_message, m_db, !m_returning.isEmpty());
        m_message.finish();
        if (key.isNull())
            throw StoreError(u"The database did not report the key of the new Message."_s);
        return key.toInt();
    }

    void keyword(int messageId, const QString& keyword)
    {
        m_keyword.bindValue(0, messageId);
        m_keyword.bindValue(1, keyword);
        exec(m_keyword);
    }

    void attachment(int messageId, const CollectedAttachment& attachment)
    {
        m_attachment.bindValue(0, messageId);
        m_attachment.bindValue(1, attachment.fileName);
        m_attachment.bindValue(2, attachment.askFirst);
        exec(m_attachment);
    }

    static void prepare(QSqlQuery& query, const QString& sql)
    {
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            throw StoreError(query.lastError().text());
    }
    static void exec(QSqlQuery& query)
    {
        if (!query.exec())
            throw StoreError(query.lastError().text());
    }

    QSqlDatabase& m_db;
    SqlDialect m_dialect;
    QString m_returning;
    // The key of the next Message where keys are handed out here, else 0.
    int m_nextKey = 0;
    // The connection's own page cache size, given back at the end; 0 when unchanged.
    int m_cacheSize = 0;
    QSqlQuery m_message;
    QSqlQuery m_keyword;
    QSqlQuery m_attachment;
};

} // namespace

MessageCollection ReadAllMessages(TdmFAQData& dm)
{
    QSqlDatabase db = Database(dm);
    MessageCollection collection;
    QHash<int, qsizetype> indexOf;
    for (QSqlQuery query = Run(db, u"select ID, GroupID, ShortName, Hotword, Text, Notes from FAQ order by ID"_s);
         query.next();) {
        CollectedMessage message;
        message.id = query.value(0).toInt();
        message.parentId = query.value(1).toInt();
        message.shortName = query.value(2).toString();
        message.hotword = query.value(3).toString();
        message.text = query.value(4).toString();
        message.notes = query.value(5).toString();
        indexOf.insert(message.id, collection.messages.size());
        collection.messages.append(std::move(message));
    }
    for (QSqlQuery query = Run(db, u"select FAQID, Keyword from FAQKeywords order by KeywordID"_s); query.next();) {
        if (const qsizetype index = indexOf.value(query.value(0).toInt(), -1); index >= 0)
            collection.messages[index].keywords.append(query.value(1).toString());
    }
    for (QSqlQuery query = Run(db, u"select FAQID, Filename, PromptToUse from FAQAttachments order by ID"_s);
         query.next();) {
        if (const qsizetype index = indexOf.value(query.value(0).toInt(), -1); index >= 0)
            collection.messages[index].attachments.append({query.value(1).toString(), query.value(2).toBool()});
    }

    // A parent that was deleted, or a loop of parents, would hide a Message: such Messages
    // move to the top level.
    for (CollectedMessage& message : collection.messages) {
        if (message.parentId != 0 && !indexOf.contains(message.parentId))
            message.parentId = 0;
    }
    for (QList<qsizetype> order = collection.treeOrder(); order.size() < collection.messages.size();
         order = collection.treeOrder()) {
        QList<bool> reached(collection.messages.size(), false);
        for (qsizetype i : order)
            reached[i] = true;
        collection.messages[reached.indexOf(false)].parentId = 0;
    }

    // Group ID 0 is the top level even where a Message has the ID 0, as older databases
    // may: that Message is a top-level Message like the others and never a group.
    MessageCollection numbered;
    numbered.messages.reserve(collection.messages.size());
    QHash<int, int> newId;
    for (qsizetype index : collection.treeOrder()) {
        CollectedMessage message = collection.messages.at(index);
        newId.insert(message.id, int(numbered.messages.size()) + 1);
        message.id = newId.value(message.id);
        message.parentId = message.parentId == 0 ? 0 : newId.value(message.parentId);
        numbered.messages.append(std::move(message));
    }
    return numbered;
}

QList<ImportIssue> FindImportIssues(TdmFAQData& dm, const MessageCollection& collection)
{
    return MakePlan(dm, collection, ImportChoice::Skip).issues;
}

ImportOutcome ImportMessages(TdmFAQData& dm, const MessageCollection& collection, ImportChoice choice,
                             const std::function<bool(qsizetype, qsizetype)>& progress)
{
    if (!dm.readOnlyReason().isEmpty())
        throw StoreError(dm.readOnlyReason());
    Plan plan = MakePlan(dm, collection, choice);
    QSqlDatabase db = Database(dm);
    BeginWriteTransaction(db);
    ImportOutcome outcome;
    try {
        Inserter insert(db);
        QList<int> newIds;
        newIds.reserve(plan.entries.size());
        QSet<qsizetype> parents;
        const qsizetype total = plan.entries.size();
        for (const Plan::Entry& entry : std::as_const(plan.entries)) {
            if (progress && newIds.size() % 250 == 0 && !progress(newIds.size(), total))
                throw Abort();
            const CollectedMessage& message = collection.messages.at(entry.index);
            const int groupId = entry.parent < 0 ? 0 : newIds.at(entry.parent);
            int id = 0;
            try {
                id = insert.add(entry.shortName, entry.hotword, message, groupId, entry.keywords, entry.attachments);
            } catch (const DatabaseBusy&) {
                throw;
            } catch (const StoreError& e) {
                throw StoreError(Where(message) + u": "_s + e.text());
            }
            newIds.append(id);
            if (entry.parent >= 0)
                parents.insert(entry.parent);
            outcome.keywords += int(entry.keywords.size());
            outcome.attachments += int(entry.attachments.size());
        }
        if (!db.commit())
            throw StoreError(db.lastError().text());
        if (progress)
            progress(total, total);
        outcome.messages = int(newIds.size());
        outcome.groups = int(parents.size());
    } catch (...) {
        db.rollback();
        throw;
    }
    outcome.skipped = std::move(plan.skipped);
    outcome.changed = std::move(plan.changed);
    return outcome;
}
