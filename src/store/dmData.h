#pragma once

#include "store/dataset.h"
#include "store/datatable.h"
#include "store/detailrows.h"
#include "store/savedquery.h"
#include "store/sqldialect.h"

#include <QObject>
#include <QString>

#include <QList>

#include <optional>

// Where the Message database lives.
struct ConnectionSpec {
    enum class Kind { Sqlite, Odbc };
    Kind kind = Kind::Sqlite;
    // Sqlite: path of the database file; Odbc: the data source name ("QuillBay").
    QString database;
    // Sqlite only: a missing file is created with schema and saved queries, and with the
    // example Messages when this is true.
    bool createWithExamples = true;
};

// The ODBC data source QuillBay when the driver manager knows one, else the embedded
// database file beside the executable.
ConnectionSpec DefaultConnectionSpec();

// Plain SQL through the data module's command object.
class SqlCommand {
public:
    QString commandText;
    void setConnection(const QString& connectionName) { m_connectionName = connectionName; }
    // Executes commandText; a statement that returns rows gives them, read whole.
    DataSet execute();

private:
    QString m_connectionName;
};

// The one object through which the program touches the database.
class TdmFAQData : public QObject {
    Q_OBJECT
public:
    // Opens the connection; the caller runs OpenDatabase next. A database that can not be
    // opened or read raises DatabaseUnusable naming the file or data source and what is wrong
    // with it (damaged, locked, unreadable, not this program's, a missing ODBC driver),
    // followed by the database layer's text.
    explicit TdmFAQData(const ConnectionSpec& spec, QObject* parent = nullptr);
    ~TdmFAQData() override;

    // The engine behind the connection.
    const SqlDialect& dialect() const;
    QString connectionName() const { return m_connectionName; }
    // For the user: the database file, or the ODBC data source with its name.
    QString databaseLocation() const;
    // Why changes can not be saved; empty when the database is writable. A database file
    // that the user may not write, or one in a folder the user may not write, opens for
    // reading only; saving, deleting, moving and importing then raise StoreError with this text.
    const QString& readOnlyReason() const { return m_readOnlyReason; }

    // Opens the connection again when it was closed, adds a missing Notes column and reads
    // the Message tables. After adding the column it raises SchemaUpgraded with the notice
    // for the user; the program is to end then.
    void OpenDatabase();
    bool HasNotesColumn();

    // The fields of a Message that the add/edit dialog shows.
    struct MessageFields {
        QString hotword, shortName, text, notes;
        bool operator==(const MessageFields&) const = default;
    };
    // Starts a new Message under a group (0: top level); SaveFAQ writes it.
    void NewMessage(int groupID);
    // Starts editing the Message as it is stored now (read afresh, with its change stamp).
    // False, changing nothing, when it does not exist (deleted meanwhile). While an edit or a
    // new Message is pending it only tells whether that is the Message.
    bool EditMessage(int messageID);
    // After ChangedMeanwhile: drops the pending edit and starts editing the Message as stored
    // now. False when it has been deleted meanwhile; nothing is pending then.
    bool ReloadMessage();
    // After ChangedMeanwhile: the pending edit keeps its values and takes the stored
    // Message's change stamp, so that the next SaveFAQ writes over the other change. False
    // when the Message has been deleted meanwhile.
    bool KeepEditingOverChange();
    // After DeletedMeanwhile: the pending edit becomes a new Message with the same fields,
    // keywords and attachments, under the same group while that exists, else at the top level.
    void RestartAsNewMessage();
    // After DeletedMeanwhile for a new Message, whose group is gone: places it at the top level.
    void PlaceNewMessageAtTopLevel();
    // The ID of the Message that PositionOn made current; nullopt when it does not exist.
    std::optional<int> CurrentMessageID() const;
    // Whether a new or edited Message waits for SaveFAQ or CancelMessage.
    bool MessagePending() const;
    DataSetState messageState() const;
    // The pending (or current) Message's fields.
    MessageFields PendingMessage() const;
    // Sets all four fields of the pending Message.
    void SetPendingMessage(const MessageFields& fields);
    // Posts the pending insert or edit and returns the posted row's ID (the current ID when
    // nothing is pending). An edit is written only when the Message is unchanged since
    // EditMessage read it: else ChangedMeanwhile, or DeletedMeanwhile when it is gone; a new
    // Message whose group is gone raises DeletedMeanwhile. All three leave the row pending. A new Message is stored
    // together with the keyword and attachment rows given to it meanwhile, in one transaction. A Hotword longer than
    // its column raises HotwordTooLong before the database sees it; a refusal for a Hotword that another Message has
    // raises HotwordTaken; both leave the row pending. Any other refusal raises StoreError with the database's reason,
    // and a new Message then stays pending with its rows.
    int SaveFAQ();
    // Drops the pending new or edited Message, and the rows given to a new one.
    void CancelMessage();
    // The keyword and attachment rows of the current Message, for the edit grids; while a
    // new Message is pending they are kept for it until SaveFAQ or CancelMessage.
    DetailRows& Keywords() { return m_keywords; }
    DetailRows& Attachments() { return m_attachments; }

    // One line of the HotWord list, by Hotword.
    struct HotwordEntry {
        QString hotword, shortName;
    };
    QList<HotwordEntry> HotwordList();
    // How often the Messages were used, most used first; Messages sharing a short name
    // count together.
    struct UsageCount {
        QString shortName;
        int count = 0;
    };
    QList<UsageCount> UsageReport();

    // Typed calls with bound parameters; database failures raise StoreError.
    // Messages placed directly under a group (ID, ShortName, Hotword, GroupID), by short name.
    DataSet ChildrenOf(int groupID);
    // Number of Messages directly under a Message; -1 when the database gives no count.
    int CountChildren(int messageID);
    // Rows with ID, ShortName, Hotword, Text, GroupID.
    DataSet MessageByID(int messageID);
    // Through the saved query TextByHotWord; also the source of %INCLUDE:...% texts.
    DataSet MessagesByHotword(const QString& hotword);
    DataSet MessagesByKeyword(const QString& keyword);
    DataSet MessagesByFullText(const QString& term);
    // Rows with ID, FAQID, Filename, PromptToUse in the order they were added.
    DataSet AttachmentsOf(int messageID);
    // Empty for a Message without notes or one that does not exist.
    QString NotesOf(int messageID);
    // The Group ID, or nullopt when the Message does not exist.
    std::optional<int> GroupIDOf(int messageID);
    // Makes the Message the current row of the Message table through its "id = N" filter;
    // the detail rows follow it.
    void PositionOn(int messageID);
    // Deletes the Message; the database removes its keyword, attachment and usage rows in
    // the same statement. The statement deletes only a Message without children, as stored at
    // that moment: one with children raises HasChildMessages, one that is gone DeletedMeanwhile.
    void DeleteFAQ(int messageID);
    // Places a Message under another (0: top level) through the saved query updateparentid.
    // Either Message gone raises DeletedMeanwhile.
    void UpdateParentID(int messageID, int newGroupID);

    // One line of the outline of all Messages, for pickers that show the whole tree.
    struct OutlineEntry {
        int id = 0;
        int groupID = 0;
        QString shortName, hotword;
    };
    // Every Message, by short name.
    QList<OutlineEntry> MessageOutline();
    // The Hotword a copy of a Message gets: the Hotword followed by "-copy", or "-copy2",
    // "-copy3", ... when that is taken, cut to fit the column.
    QString CopyHotword(const QString& hotword);
    // Copies a Message with its keywords and attachments under the same group, with the
    // Hotword of CopyHotword; gives the copy's ID.
    int DuplicateMessage(int messageID);

Q_SIGNALS:
    // State changes of the Message table and of the detail tables, for the edit dialog's
    // hidden labels.
    void dsFAQStateChange(int state);
    void dsKeywordsStateChange(int state);

private:
    // The contract suite checks the table objects and saved queries on every engine.
    friend class TestStoreContract;

    DataTable atFAQ;
    DataTable atKeywords;
    DataTable atFAQAction;
    DataTable atAttachments;

    SavedQuery aspFullText;
    SavedQuery aspTextByHotword;
    SavedQuery aspTextByID;
    SavedQuery aspTextbyKeyword;
    SavedQuery aspCountByParentID;
    SavedQuery aspFAQsByParentID;
    SavedQuery aspAttachmentsByID;
    SavedQuery aspUpdateParentID;

    SqlCommand adoCommand;

    DetailRows m_keywords{atKeywords};
    DetailRows m_attachments{atAttachments};

    void CheckNotesColumn();
    // Gives an older database its change stamps; where it can not be upgraded, it opens for
    // reading only.
    void CheckChangeStamps();
    void atFAQPostError(const QString& databaseText);
    struct HotwordOwner {
        int id = 0;
        QString shortName;
    };
    // The Message other than the one being saved that has this Hotword.
    std::optional<HotwordOwner> OtherOwnerOfHotword(const QString& hotword);
    // Stores the pending new Message with its keyword and attachment rows.
    int SaveNewMessage();
    bool m_saveTransactionOpen = false;
    void openConnection(const ConnectionSpec& spec);
    void openSqlite(const ConnectionSpec& spec);
    void openOdbc(const ConnectionSpec& spec);
    void refuseWhenReadOnly() const;
    // Settings of a freshly opened connection; forgets prepared saved queries.
    void connectionOpened(QSqlDatabase& db);
    QList<SavedQuery*> savedQueries();

    QString m_connectionName;
    QString m_databaseFile;
    QString m_readOnlyReason;
    SqlDialect m_dialect;
};
