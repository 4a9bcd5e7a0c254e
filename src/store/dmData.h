#pragma once

#include "store/dataset.h"
#include "store/datatable.h"
#include "store/savedquery.h"
#include "store/sqldialect.h"

#include <QObject>
#include <QString>

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
    // Opens the connection and runs OpenDatabase. A database that can not be opened or
    // read raises StoreError naming the file or data source and what is wrong with it
    // (damaged, locked, unreadable, not this program's, a missing ODBC driver), followed by
    // the database layer's text; an error inside OpenDatabase is shown in the standard error
    // box and creation goes on.
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

    void OpenDatabase();
    bool HasNotesColumn();
    void CheckNotesColumn();
    // Posts the pending insert or edit of atFAQ and returns the posted row's ID. A Hotword
    // longer than its column is refused with a message before the database sees it; a
    // refusal for a Hotword that another Message has gives the uniqueness warning; both
    // end the operation silently (Abort) and leave the row pending. Any other refusal
    // raises StoreError with the database's reason.
    int SaveFAQ();

    // Typed calls with bound parameters; database failures raise StoreError.
    // Messages placed directly under a group (ID, ShortName, Hotword, GroupID), by short name.
    DataSet ChildrenOf(int groupID);
    // Number of Messages directly under a Message; -1 when the database gives no count.
    int CountChildren(int messageID);
    // Rows with ID, ShortName, Hotword, Text, GroupID.
    DataSet MessageByID(int messageID);
    DataSet MessagesByHotword(const QString& hotword);
    DataSet MessagesByKeyword(const QString& keyword);
    DataSet MessagesByFullText(const QString& term);
    // Rows with ID, FAQID, Filename, PromptToUse in the order they were added.
    DataSet AttachmentsOf(int messageID);
    // Empty for a Message without notes or one that does not exist.
    QString NotesOf(int messageID);
    // The Group ID, or nullopt when the Message does not exist.
    std::optional<int> GroupIDOf(int messageID);
    // Makes the Message the current row of atFAQ through its "id = N" filter.
    void PositionOn(int messageID);
    // Deletes the Message; the database removes its keyword, attachment and usage rows in
    // the same statement.
    void DeleteFAQ(int messageID);
    // Places a Message under another (0: top level) through aspUpdateParentID.
    void UpdateParentID(int messageID, int newGroupID);

    // True once CheckNotesColumn has upgraded the database and asked the program to end.
    bool terminationRequested() const { return m_terminationRequested; }

Q_SIGNALS:
    // State changes of atFAQ and of the detail tables, for the edit dialog's hidden labels.
    void dsFAQStateChange(int state);
    void dsKeywordsStateChange(int state);

private:
    void atFAQPostError(const QString& databaseText);
    // Whether a Message other than the one being saved has this Hotword.
    bool HotwordTakenByAnother(const QString& hotword);
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
    bool m_terminationRequested = false;
};

// The one instance, created at start-up: the first module created sets it, and its
// destructor clears it.
extern TdmFAQData* dmFAQData;
