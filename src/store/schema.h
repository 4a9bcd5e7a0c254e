#pragma once

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
