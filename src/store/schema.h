#pragma once

#include "store/sqldialect.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The statements of an SQL script, each complete as SQLite reads it (trigger bodies stay
// whole); comments between statements are dropped.
QStringList SqlScriptStatements(const QString& script);

// The SQLite schema with the table of saved queries, and the example Messages.
QString EmbeddedSchemaScript();
QString ExampleMessagesScript();

// Makes sure the SQLite database has the schema: when it holds no tables yet, creates them,
// in one transaction, with the example Messages when asked for.
void EnsureEmbeddedSchema(QSqlDatabase& db, bool withExamples);

// Whether the Message table has the change-stamp column that every change of a Message
// advances.
bool HasChangeStamps(QSqlDatabase& db);
// Gives the Message table of an older database its change stamps (the column and what
// advances it), in one transaction, keeping every row. Another program upgrading the same
// database at the same moment is no failure; a refusal raises Error with the database's text.
void AddChangeStamps(QSqlDatabase& db, const SqlDialect& dialect);
