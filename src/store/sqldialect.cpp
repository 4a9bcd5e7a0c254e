#include "store/sqldialect.h"

#include "store/odbcapi.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {

// SQL_DBMS_NAME of an open QODBC connection, or an empty text.
QString OdbcEngineName(const QSqlDatabase& database)
{
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "SQLHANDLE") != 0 && qstrcmp(handle.typeName(), "void*") != 0))
        return {};
    SQLHANDLE connection = *static_cast<const SQLHANDLE*>(handle.constData());
    if (!connection)
        return {};
    SQLCHAR name[128] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = Odbc::GetInfo(connection, SQL_DBMS_NAME, name, sizeof name, &length);
    if (!SQL_SUCCEEDED(rc))
        return {};
    return QString::fromLatin1(reinterpret_cast<const char*>(name));
}

} // namespace

SqlDialect SqlDialect::forDatabase(const QSqlDatabase& database)
{
    if (!database.isValid() || !database.driver())
        return SqlDialect(Engine::Other);
    const bool odbc = database.driverName() == u"QODBC"_s;
    switch (database.driver()->dbmsType()) {
    case QSqlDriver::SQLite: return SqlDialect(Engine::SQLite, odbc);
    case QSqlDriver::PostgreSQL: return SqlDialect(Engine::PostgreSQL, odbc);
    default: break;
    }
    if (odbc && database.isOpen()) {
        const QString name = OdbcEngineName(database);
        if (name.contains(u"sqlite"_s, Qt::CaseInsensitive))
            return SqlDialect(Engine::SQLite, odbc);
        if (name.contains(u"postgres"_s, Qt::CaseInsensitive))
            return SqlDialect(Engine::PostgreSQL, odbc);
    }
    return SqlDialect(Engine::Other, odbc);
}

QString SqlDialect::engineName() const
{
    switch (m_engine) {
    case Engine::SQLite: return u"SQLite"_s;
    case Engine::PostgreSQL: return u"PostgreSQL"_s;
    case Engine::Other: break;
    }
    return u"other"_s;
}

QString SqlDialect::translate(const QString& statement) const
{
    if (m_engine == Engine::Other)
        return statement;
    QString sql = statement;

    static const QRegularExpression top(u"^\\s*select\\s+top\\s+(\\d+)\\s+(.*?)\\s*;?\\s*$"_s,
                                        QRegularExpression::CaseInsensitiveOption
                                            | QRegularExpression::DotMatchesEverythingOption);
    if (const auto m = top.match(sql); m.hasMatch())
        sql = u"select "_s + m.captured(2) + u" limit "_s + m.captured(1);

    static const QRegularExpression memo(u"^(\\s*alter\\s+table\\s+\\S+\\s+add\\s+(?:column\\s+)?\\S+\\s+)memo\\b"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    sql.replace(memo, u"\\1text"_s);

    // Action="Used": a value, which these engines read as a column name.
    static const QRegularExpression quotedValue(u"=\\s*\"([^\"]*)\""_s);
    QString result;
    qsizetype last = 0;
    for (auto it = quotedValue.globalMatch(sql); it.hasNext();) {
        const auto m = it.next();
        result += QStringView(sql).mid(last, m.capturedStart() - last);
        QString value = m.captured(1);
        value.replace(u"'"_s, u"''"_s);
        result += u"= '"_s + value + u"'"_s;
        last = m.capturedEnd();
    }
    result += QStringView(sql).mid(last);
    return result;
}

QString SqlDialect::insertReturningKey(const QString& table, const QStringList& columns, const QString& keyColumn) const
{
    // The SQLite ODBC driver runs RETURNING but hands back no row.
    if (m_engine == Engine::Other || (m_engine == Engine::SQLite && m_odbc))
        return {};
    QString sql = u"insert into "_s + table;
    if (columns.isEmpty()) {
        sql += u" default values"_s;
    } else {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << u"?"_s;
        sql += u" ("_s + columns.join(u", "_s) + u") values ("_s + marks.join(u", "_s) + u")"_s;
    }
    return sql + u" returning "_s + keyColumn;
}

QString SqlDialect::lastKeyQuery() const
{
    switch (m_engine) {
    case Engine::SQLite: return u"select last_insert_rowid()"_s;
    case Engine::PostgreSQL: return u"select lastval()"_s;
    case Engine::Other: break;
    }
    return {};
}

QVariant SqlDialect::insertedKey(QSqlQuery& query, QSqlDatabase& database, bool returning) const
{
    if (returning)
        return query.next() ? query.value(0) : QVariant();
    QVariant key;
    if (database.driver()->hasFeature(QSqlDriver::LastInsertId))
        key = query.lastInsertId();
    if (!key.isValid() && !lastKeyQuery().isEmpty()) {
        QSqlQuery last(database);
        if (last.exec(lastKeyQuery()) && last.next())
            key = last.value(0);
    }
    return key;
}
