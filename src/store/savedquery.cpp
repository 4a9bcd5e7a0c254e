#include "store/savedquery.h"

#include "store/databaselock.h"
#include "store/storeerror.h"
#include "util/errors.h"

#include <QSqlError>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace {

int IndexOfParameter(const QStringList& names, const QString& name)
{
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

// Index just past a quoted run that starts at start with quote (doubled quotes stay inside).
qsizetype SkipQuoted(const QString& text, qsizetype start, QChar quote)
{
    qsizetype i = start + 1;
    while (i < text.size()) {
        if (text.at(i) == quote) {
            if (i + 1 < text.size() && text.at(i + 1) == quote) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return text.size();
}

// "[ID:]" without its square brackets.
QString BareName(const QString& parameter)
{
    if (parameter.startsWith(u'[') && parameter.endsWith(u']'))
        return parameter.mid(1, parameter.size() - 2);
    return parameter;
}

} // namespace

PlaceholderText ToPlaceholders(const QString& body, const QStringList& parameterNames, const QString& componentName)
{
    PlaceholderText result;
    QString undeclared;
    qsizetype i = 0;
    while (i < body.size()) {
        const QChar c = body.at(i);
        qsizetype end = i + 1;
        if (c == u'\'' || c == u'"') {
            end = SkipQuoted(body, i, c);
        } else if (c == u'-' && body.mid(i, 2) == u"--"_s) {
            end = body.indexOf(u'\n', i);
            end = end < 0 ? body.size() : end;
        } else if (c == u'/' && body.mid(i, 2) == u"/*"_s) {
            end = body.indexOf(u"*/"_s, i + 2);
            end = end < 0 ? body.size() : end + 2;
        } else if (c == u'?') {
            // A bare "?" would take a bound value meant for a later parameter.
            throw Error(u"The saved query "_s + componentName
                        + u" holds a \"?\" outside quotes, so its parameters can not be bound safely."_s);
        } else if (c == u'[') {
            const qsizetype close = body.indexOf(u']', i + 1);
            if (close > i + 1 && body.at(close - 1) == u':') {
                const QString name = body.mid(i, close - i + 1);
                const int index = IndexOfParameter(parameterNames, name);
                if (index < 0) {
                    if (undeclared.isEmpty())
                        undeclared = name;
                } else {
                    result.sql += u'?';
                    result.placeholders << index;
                }
                i = close + 1;
                continue;
            }
        }
        result.sql += QStringView(body).mid(i, end - i);
        i = end;
    }
    // A declared parameter the body never takes would leave the query unfiltered.
    QStringList missing;
    for (qsizetype p = 0; p < parameterNames.size(); ++p) {
        if (!result.placeholders.contains(int(p)))
            missing << BareName(parameterNames.at(p));
    }
    if (!missing.isEmpty()) {
        missing.sort(Qt::CaseInsensitive);
        RaiseParameterNotFound(missing.join(u" or "_s), componentName);
    }
    if (!undeclared.isEmpty())
        RaiseParameterNotFound(undeclared, componentName);
    return result;
}

void RaiseParameterNotFound(const QString& parameter, const QString& component)
{
    throw Error(u"Could not find parameter called "_s + BareName(parameter) + u" in "_s + component);
}

SavedQuery::SavedQuery(QString componentName, QString procedureName, QStringList parameterNames, int maxRows)
    : m_componentName(std::move(componentName))
    , m_procedureName(std::move(procedureName))
    , m_parameterNames(std::move(parameterNames))
    , m_maxRows(maxRows)
{
    m_values.resize(m_parameterNames.size());
}

void SavedQuery::setConnection(const QString& connectionName)
{
    m_query.reset();
    m_placeholders.clear();
    m_connectionName = connectionName;
}

void SavedQuery::close()
{
    m_open = false;
    m_result = DataSet();
}

QString SavedQuery::findParameter(const QString& name) const
{
    const int index = IndexOfParameter(m_parameterNames, name);
    return index < 0 ? QString() : m_parameterNames.at(index);
}

void SavedQuery::setParameter(const QString& name, const QVariant& value)
{
    const int index = IndexOfParameter(m_parameterNames, name);
    if (index < 0)
        RaiseParameterNotFound(name, m_componentName);
    m_values[index] = value;
}

QSqlQuery& SavedQuery::prepared()
{
    if (m_query)
        return *m_query;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        throw StoreError(u"The database connection is not open."_s);

    QSqlQuery lookup(db);
    lookup.setForwardOnly(true);
    lookup.prepare(u"select Body from SavedQueries where lower(Name) = lower(?)"_s);
    lookup.addBindValue(m_procedureName);
    if (!lookup.exec())
        throw StoreError(lookup.lastError().text());
    if (!lookup.next())
        throw StoreError(u"The database has no saved query called "_s + m_procedureName + u"."_s);
    const QString body = lookup.value(0).toString();
    lookup.finish();

    PlaceholderText text = ToPlaceholders(body, m_parameterNames, m_componentName);
    auto query = std::make_unique<QSqlQuery>(db);
    query->setForwardOnly(true);
    if (!query->prepare(text.sql))
        throw StoreError(u"The saved query "_s + m_procedureName + u" cannot be prepared: "_s
                         + query->lastError().text());
    m_query = std::move(query);
    m_placeholders = std::move(text.placeholders);
    return *m_query;
}

void SavedQuery::run()
{
    QSqlQuery& query = prepared();
    for (qsizetype i = 0; i < m_placeholders.size(); ++i) {
        const QVariant& value = m_values.at(m_placeholders.at(i));
        query.bindValue(int(i), value.isValid() ? value : QVariant(QMetaType::fromType<QString>()));
    }
    if (!query.exec()) {
        const QSqlError error = query.lastError();
        // A failed statement may be unusable afterwards; prepare it afresh next time.
        m_query.reset();
        RaiseWhenBusy(QSqlDatabase::database(m_connectionName, false), error);
        throw StoreError(error.text());
    }
}

void SavedQuery::open()
{
    close();
    run();
    QSqlQuery& query = *m_query;
    const QSqlRecord record = query.record();
    QStringList names;
    names.reserve(record.count());
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    QList<QVariantList> rows;
    while ((m_maxRows < 0 || rows.size() < m_maxRows) && query.next()) {
        QVariantList row;
        row.reserve(record.count());
        for (int i = 0; i < record.count(); ++i)
            row << query.value(i);
        rows << std::move(row);
    }
    if (query.lastError().isValid()) {
        const QString text = query.lastError().text();
        m_query.reset();
        throw StoreError(text);
    }
    query.finish();
    m_result = DataSet(std::move(names), std::move(rows));
    m_open = true;
}

void SavedQuery::execute()
{
    close();
    m_rowsAffected = -1;
    run();
    m_rowsAffected = m_query->numRowsAffected();
    m_query->finish();
}

const DataSet& SavedQuery::openWith(const QString& parameter, const QVariant& value)
{
    close();
    setParameter(parameter, value);
    open();
    return m_result;
}
