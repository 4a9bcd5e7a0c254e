#pragma once

#include "store/datatable.h"
#include "store/dataset.h"
#include "store/savedquery.h"
#include "store/sqldialect.h"

#include <QObject>
#include <QString>

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
    // Opens the connection (an open failure raises Error with the database layer's text)
    // and runs OpenDatabase; an error inside OpenDatabase is shown in the standard error
    // box and creation goes on.
    explicit TdmFAQData(const ConnectionSpec& spec, QObject* parent = nullptr);
    ~TdmFAQData() override;

    // The engine behind the connection.
    const SqlDialect& dialect() const;
    QString connectionName() const { return m_connectionName; }

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
    // Posts the pending insert or edit of atFAQ and returns the posted row's ID.
    int SaveFAQ();

    // True once CheckNotesColumn has upgraded the database and asked the program to end.
    bool terminationRequested() const { return m_terminationRequested; }

Q_SIGNALS:
    // State changes of atFAQ and of the detail tables, for the edit dialog's hidden labels.
    void dsFAQStateChange(int state);
    void dsKeywordsStateChange(int state);

private:
    void atFAQPostError(const QString& databaseText);
    void openConnection(const ConnectionSpec& spec);
    // Settings of a freshly opened connection; forgets prepared saved queries.
    void connectionOpened(QSqlDatabase& db);
    QList<SavedQuery*> savedQueries();

    QString m_connectionName;
    SqlDialect m_dialect;
    bool m_terminationRequested = false;
};

// The one instance, created at start-up: the first module created sets it, and its
// destructor clears it.
extern TdmFAQData* dmFAQData;
