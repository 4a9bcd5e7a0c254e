#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

// What differs between the database engines behind the Message store.
class SqlDialect {
public:
    enum class Engine { SQLite, PostgreSQL, Other };

    explicit SqlDialect(Engine engine = Engine::Other, bool odbc = false)
        : m_engine(engine)
        , m_odbc(odbc)
    { }
    // The engine of an open connection: the driver's own answer, or for ODBC drivers that
    // Qt does not recognise, the engine name that the ODBC driver reports.
    static SqlDialect forDatabase(const QSqlDatabase& database);

    Engine engine() const { return m_engine; }
    // Reached through an ODBC driver rather than Qt's own driver for the engine.
    bool odbc() const { return m_odbc; }
    QString engineName() const;

    // A plain statement of the program in this engine's words: "select top N ..." reads N
    // rows, the column type Memo becomes a text type, and a double-quoted value compared
    // with "=" becomes a string literal. Engines not known here get the text unchanged.
    QString translate(const QString& statement) const;

    // An insert that gives back the new row's key as its only column, or an empty text
    // where the engine or its driver cannot do that.
    QString insertReturningKey(const QString& table, const QStringList& columns, const QString& keyColumn) const;
    // Where the driver does not report the last insert id: the query that reads it on the
    // same connection, or an empty text.
    QString lastKeyQuery() const;

    // The key of the row that query has just inserted: the column it returned when the
    // insert came from insertReturningKey, else the driver's last insert id or the value
    // of lastKeyQuery; null when none of these tells.
    QVariant insertedKey(QSqlQuery& query, QSqlDatabase& database, bool returning) const;

private:
    Engine m_engine;
    bool m_odbc;
};
