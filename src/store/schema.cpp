#include "store/schema.h"

#include "util/errors.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

QString ReadResource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(u"The database script %1 is missing from the program."_s.arg(path));
    return QString::fromUtf8(file.readAll());
}

void Exec(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw Error(query.lastError().text());
}

bool OnlyComments(const QString& text)
{
    const QStringList lines = text.split(u'\n');
    for (const QString& line : lines) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(u"--"_s))
            return false;
    }
    return true;
}

} // namespace

QStringList SqlScriptStatements(const QString& script)
{
    QStringList statements;
    QString pending;
    const QStringList lines = script.split(u'\n');
    for (const QString& line : lines) {
        if (pending.isEmpty() && (line.trimmed().isEmpty() || line.trimmed().startsWith(u"--"_s)))
            continue;
        pending += line + u'\n';
        if (sqlite3_complete(pending.toUtf8().constData())) {
            statements << pending.trimmed();
            pending.clear();
        }
    }
    if (!OnlyComments(pending))
        throw Error(u"The database script ends in the middle of a statement."_s);
    return statements;
}

QString EmbeddedSchemaScript()
{
    return ReadResource(u":/store/quillbay-sqlite.sql"_s);
}

QString ExampleMessagesScript()
{
    return ReadResource(u":/store/examples.sql"_s);
}

void EnsureEmbeddedSchema(QSqlDatabase& db, bool withExamples)
{
    QStringList statements = SqlScriptStatements(EmbeddedSchemaScript());
    if (withExamples)
        statements << SqlScriptStatements(ExampleMessagesScript());

    // A second program starting at the same moment waits here and then finds the tables.
    Exec(db, u"begin immediate"_s);
    try {
        QSqlQuery count(db);
        if (!count.exec(u"select count(*) from sqlite_master"_s) || !count.next())
            throw Error(count.lastError().text());
        const bool empty = count.value(0).toInt() == 0;
        count.finish();
        if (empty) {
            for (const QString& statement : std::as_const(statements))
                Exec(db, statement);
        }
        Exec(db, u"commit"_s);
    } catch (...) {
        QSqlQuery(db).exec(u"rollback"_s);
        throw;
    }
}

bool HasChangeStamps(QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.exec(u"select * from FAQ where 1 = 0"_s))
        throw Error(query.lastError().text());
    return query.record().indexOf(u"Stamp"_s) >= 0;
}

void AddChangeStamps(QSqlDatabase& db, const SqlDialect& dialect)
{
    QStringList statements{u"alter table FAQ add column Stamp integer not null default 0"_s};
    switch (dialect.engine()) {
    case SqlDialect::Engine::SQLite:
        statements << u"create trigger FAQStamped after update on FAQ when new.Stamp = old.Stamp begin "
                      "update FAQ set Stamp = old.Stamp + 1 where ID = new.ID; end"_s;
        break;
    case SqlDialect::Engine::PostgreSQL:
        statements << u"create or replace function FAQStamped() returns trigger language plpgsql as $$ "
                      "begin NEW.Stamp := OLD.Stamp + 1; return NEW; end $$"_s
                   << u"create trigger FAQStamped before update on FAQ for each row execute function FAQStamped()"_s;
        break;
    case SqlDialect::Engine::Other:
        throw Error(u"The database engine is not known to this program, so it can not be upgraded."_s);
    }
    if (!db.transaction())
        throw Error(db.lastError().text());
    try {
        for (const QString& statement : std::as_const(statements))
            Exec(db, statement);
        if (!db.commit())
            throw Error(db.lastError().text());
    } catch (const Error&) {
        db.rollback();
        // Another program may have added them first.
        if (HasChangeStamps(db))
            return;
        throw;
    }
}
