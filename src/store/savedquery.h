#pragma once

#include "store/dataset.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class SqlDialect;

// One saved query of the database, called like a stored procedure: its SQL body is read
// from the database's table of saved queries, its bracketed parameters are bound by
// name, and its result is read whole.
class SavedQuery {
public:
    // componentName: "aspTextByHotword"; procedureName: "TextByHotWord";
    // parameterNames with brackets and colon: {"[Hotword:]"}. maxRows < 0: no limit.
    SavedQuery(QString componentName, QString procedureName, QStringList parameterNames, int maxRows = -1);

    const QString& componentName() const { return m_componentName; }
    const QString& procedureName() const { return m_procedureName; }
    const QStringList& parameterNames() const { return m_parameterNames; }

    // Also forgets the prepared statement, so the body is read again on the next open.
    void setConnection(const QString& connectionName);

    // Forgets the last result.
    void close();
    bool isOpen() const { return m_open; }
    // The declared parameter of that name (case-insensitive), or an empty text.
    QString findParameter(const QString& name) const;
    // Raises "Could not find parameter called <name> in <component>" for a missing name.
    void setParameter(const QString& name, const QVariant& value);
    // Runs the query and reads its rows (at most maxRows).
    void open();
    // Runs a query that returns no rows.
    void execute();
    // The number of rows the last execute changed; -1 when the driver does not tell.
    int rowsAffected() const { return m_rowsAffected; }
    const DataSet& result() const { return m_result; }
    int recordCount() const { return m_result.recordCount(); }

    // Steps of one call: close, look up, set, open.
    const DataSet& openWith(const QString& parameter, const QVariant& value);

private:
    // Reads the body from the table of saved queries and prepares it, once per connection.
    QSqlQuery& prepared();
    void run();

    QString m_componentName;
    QString m_procedureName;
    QStringList m_parameterNames;
    QVariantList m_values;
    int m_maxRows;
    QString m_connectionName;
    bool m_open = false;
    int m_rowsAffected = -1;
    DataSet m_result;
    std::unique_ptr<QSqlQuery> m_query;
    // For each "?" of the prepared text, the index of the parameter it stands for.
    QList<int> m_placeholders;
};

// A saved query's body with each bracketed parameter ("[Hotword:]", any case) turned into a
// "?" placeholder; text inside quotes and comments is left alone. placeholders gives, for
// each "?", the index of its parameter in parameterNames. A declared parameter that the body
// never takes raises RaiseParameterNotFound with the declared name (several: sorted, joined by
// " or "); otherwise a bracketed name ending in a colon that is not declared raises it. A "?"
// outside quotes and comments is refused.
struct PlaceholderText {
    QString sql;
    QList<int> placeholders;
};
PlaceholderText ToPlaceholders(const QString& body, const QStringList& parameterNames, const QString& componentName);

// The error for a parameter that a saved-query component does not declare.
[[noreturn]] void RaiseParameterNotFound(const QString& parameter, const QString& component);
