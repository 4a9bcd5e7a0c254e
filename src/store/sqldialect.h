#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// What differs between the database engines behind the Message store.
class SqlDialect {
public:
    enum class Engine { SQLite, PostgreSQL, Other };

    explicit SqlDialect(Engine engine = Engine::Other)
        : m_engine(engine)
    {
    }
    // The engine of an open connection: the driver's own answer, or for ODBC drivers that
    // Qt does not recognise, the engine name that the ODBC driver reports.
    static SqlDialect forDatabase(const QSqlDatabase& database);

    Engine engine() const { return m_engine; }
    QString engineName() const;

    // A plain statement of the program in this engine's words: "select top N ..." reads N
    // rows, the column type Memo becomes a text type, and a double-quoted value compared
    // with "=" becomes a string literal. Engines not known here get the text unchanged.
    QString translate(const QString& statement) const;

    // An insert that gives back the new row's key as its only column, or an empty text
    // where the engine cannot do that (the driver's last insert id is used then).
    QString insertReturningKey(const QString& table, const QStringList& columns,
                               const QString& keyColumn) const;

private:
    Engine m_engine;
};
