#include "store/datatable.h"

#include "store/databaselock.h"
#include "store/sqldialect.h"
#include "store/storeerror.h"
#include "util/errors.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

struct ParsedFilter {
    QString field;
    qint64 value = 0;
};

std::optional<ParsedFilter> ParseFilter(const QString& filter)
{
    static const QRegularExpression pattern(u"^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*=\\s*(-?\\d{1,18})\\s*$"_s);
    const auto m = pattern.match(filter);
    if (!m.hasMatch())
        return std::nullopt;
    return ParsedFilter{m.captured(1), m.captured(2).toLongLong()};
}

bool SameKey(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a.toLongLong() == b.toLongLong();
}

} // namespace

DataTable::DataTable(QString objectName, QString tableName, QStringList fields, QObject* parent)
    : QObject(parent)
    , m_tableName(std::move(tableName))
    , m_fields(std::move(fields))
{
    setObjectName(objectName);
}

void DataTable::setConnection(const QString& connectionName)
{
    m_connectionName = connectionName;
}

void DataTable::setKeyField(const QString& field)
{
    m_keyField = m_fields.at(requireField(field));
}

void DataTable::setVersionField(const QString& field)
{
    if (isOpen())
        throw Error(u"The table %1 is open; its version field can not be set."_s.arg(m_tableName));
    if (fieldIndex(field) < 0)
        m_fields << field;
    m_versionField = m_fields.at(requireField(field));
}

void DataTable::setMaster(DataTable* master, const QString& detailField, const QString& masterField)
{
    if (m_master)
        m_master->m_details.removeAll(this);
    m_master = master;
    m_detailField = detailField;
    m_masterField = masterField;
    if (m_master)
        m_master->m_details << this;
}

int DataTable::fieldIndex(const QString& field) const
{
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).compare(field, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int DataTable::requireField(const QString& field) const
{
    const int index = fieldIndex(field);
    if (index < 0)
        throw Error(u"The table %1 has no field called %2."_s.arg(m_tableName, field));
    return index;
}

QSqlDatabase DataTable::database() const
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        throw StoreError(u"The database connection is not open."_s);
    return db;
}

void DataTable::setState(DataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

QVariant DataTable::effectiveKey() const
{
    switch (m_state) {
    case DataSetState::Inactive:
    case DataSetState::Insert: return {};
    case DataSetState::Edit: return m_editKey;
    case DataSetState::Browse: break;
    }
    if (m_current < 0 || m_current >= m_keys.size())
        return {};
    return m_keys.at(m_current);
}

void DataTable::notifyRowChange(const QVariant& keyBefore)
{
    const QVariant keyAfter = effectiveKey();
    Q_EMIT currentRowChanged();
    if (SameKey(keyBefore, keyAfter))
        return;
    for (DataTable* detail : std::as_const(m_details)) {
        if (detail->isOpen())
            detail->reload(false);
    }
}

QVariant DataTable::masterValue() const
{
    if (!m_master || !m_master->isOpen())
        return {};
    if (m_master->m_state == DataSetState::Insert)
        return {};
    if (m_master->m_state == DataSetState::Edit || (m_master->m_current >= 0 && !m_master->eof()))
        return m_master->fieldValue(m_masterField);
    return {};
}

void DataTable::open()
{
    if (isOpen())
        return;
    m_state = DataSetState::Browse;
    try {
        reload(false);
    } catch (...) {
        m_state = DataSetState::Inactive;
        m_rows.clear();
        m_keys.clear();
        m_current = -1;
        throw;
    }
    Q_EMIT stateChanged(m_state);
}

void DataTable::close()
{
    if (!isOpen())
        return;
    const QVariant before = effectiveKey();
    m_rows.clear();
    m_keys.clear();
    m_buffer.clear();
    m_dirty.clear();
    m_current = -1;
    setState(DataSetState::Inactive);
    notifyRowChange(before);
}

void DataTable::setFilter(const QString& filter)
{
    if (!filter.trimmed().isEmpty()) {
        const auto parsed = ParseFilter(filter);
        if (!parsed)
            throw Error(u"The filter \"%1\" is not understood: only \"field = number\" is."_s.arg(filter));
        requireField(parsed->field);
    }
    m_filter = filter;
    if (m_filtered && isOpen())
        reload(false);
}

void DataTable::setFiltered(bool on)
{
    if (m_filtered == on)
        return;
    m_filtered = on;
    if (isOpen())
        reload(false);
}

void DataTable::refresh()
{
    if (isOpen())
        reload(true);
}

void DataTable::reload(bool keepPosition)
{
    const QVariant before = effectiveKey();
    const QVariant currentKey = (m_current >= 0 && m_current < m_keys.size()) ? m_keys.at(m_current) : QVariant();

    QStringList conditions;
    QVariantList values;
    if (m_filtered && !m_filter.trimmed().isEmpty()) {
        const auto parsed = ParseFilter(m_filter);
        conditions << m_fields.at(requireField(parsed->field)) + u" = ?"_s;
        values << parsed->value;
    }
    bool noRows = false;
    if (m_master) {
        const QVariant master = masterValue();
        if (master.isNull() || (master.typeId() == QMetaType::QString && master.toString().isEmpty()))
            noRows = true;
        conditions << m_fields.at(requireField(m_detailField)) + u" = ?"_s;
        values << master;
    }
    const bool byKeyOnly = conditions.isEmpty() && !m_keyField.isEmpty();

    QList<QVariantList> rows;
    QVariantList keys;
    if (!noRows) {
        QString sql = u"select "_s + (byKeyOnly ? m_keyField : m_fields.join(u", "_s)) + u" from "_s + m_tableName;
        if (!conditions.isEmpty())
            sql += u" where "_s + conditions.join(u" and "_s);
        if (!m_keyField.isEmpty())
            sql += u" order by "_s + m_keyField;
        QSqlQuery query(database());
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            throw StoreError(query.lastError().text());
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), values.at(i));
        if (!query.exec())
            throw StoreError(query.lastError().text());
        const int keyColumn = m_keyField.isEmpty() ? -1 : fieldIndex(m_keyField);
        while (query.next()) {
            if (byKeyOnly) {
                keys << query.value(0);
                rows << QVariantList();
            } else {
                QVariantList row;
                row.reserve(m_fields.size());
                for (qsizetype i = 0; i < m_fields.size(); ++i)
                    row << query.value(int(i));
                keys << (keyColumn >= 0 ? row.at(keyColumn) : QVariant(qlonglong(keys.size())));
                rows << std::move(row);
            }
        }
        if (query.lastError().isValid())
            throw StoreError(query.lastError().text());
    }
    m_rows = std::move(rows);
    m_keys = std::move(keys);

    m_current = m_keys.isEmpty() ? -1 : 0;
    if (keepPosition && !currentKey.isNull()) {
        for (qsizetype i = 0; i < m_keys.size(); ++i) {
            if (SameKey(m_keys.at(i), currentKey)) {
                m_current = int(i);
                break;
            }
        }
    }
    notifyRowChange(before);
}

QVariantList DataTable::readRow(const QVariant& key) const
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(u"select "_s + m_fields.join(u", "_s) + u" from "_s + m_tableName + u" where "_s + m_keyField
                  + u" = ?"_s);
    query.addBindValue(key);
    if (!query.exec())
        throw StoreError(query.lastError().text());
    QVariantList row;
    if (query.next()) {
        for (qsizetype i = 0; i < m_fields.size(); ++i)
            row << query.value(int(i));
    }
    return row;
}

const QVariantList& DataTable::rowAt(int row) const
{
    QVariantList& cached = m_rows[row];
    if (cached.isEmpty()) {
        cached = readRow(m_keys.at(row));
        if (cached.isEmpty())
            throw StoreError(u"The row %1 of %2 no longer exists; another user may have deleted it."_s.arg(
                m_keys.at(row).toString(), m_tableName));
    }
    return cached;
}

int DataTable::recordCount() const
{
    return int(m_keys.size());
}

void DataTable::setCurrentRow(int row)
{
    if (!isOpen())
        throw Error(u"The table %1 is not open."_s.arg(m_tableName));
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        post();
    const QVariant before = effectiveKey();
    m_current = (row >= 0 && row < recordCount()) ? row : -1;
    notifyRowChange(before);
}

void DataTable::first()
{
    setCurrentRow(0);
}

void DataTable::next()
{
    if (m_current >= 0)
        setCurrentRow(m_current + 1);
}

bool DataTable::eof() const
{
    return m_current < 0 || m_current >= recordCount();
}

QVariant DataTable::fieldValue(const QString& field) const
{
    const int index = requireField(field);
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return m_buffer.at(index);
    if (!isOpen())
        throw Error(u"The table %1 is not open."_s.arg(m_tableName));
    if (eof())
        throw Error(u"The table %1 has no current row."_s.arg(m_tableName));
    return rowAt(m_current).at(index);
}

QVariant DataTable::valueAt(int row, const QString& field) const
{
    const int index = requireField(field);
    if (row < 0 || row >= recordCount())
        throw Error(u"The table %1 has no row %2."_s.arg(m_tableName).arg(row));
    if (m_state == DataSetState::Edit && SameKey(m_keys.at(row), m_editKey))
        return m_buffer.at(index);
    return rowAt(row).at(index);
}

bool DataTable::modified() const
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return false;
    const int link = m_master ? fieldIndex(m_detailField) : -1;
    for (qsizetype i = 0; i < m_dirty.size(); ++i) {
        if (m_dirty.at(i) && i != link)
            return true;
    }
    return false;
}

QString DataTable::fieldText(const QString& field) const
{
    const QVariant value = fieldValue(field);
    return value.isNull() ? QString() : value.toString();
}

void DataTable::setFieldValue(const QString& field, const QVariant& value)
{
    const int index = requireField(field);
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw Error(u"The table %1 is not being edited."_s.arg(m_tableName));
    if (m_fields.at(index).compare(m_keyField, Qt::CaseInsensitive) == 0
        || m_fields.at(index).compare(m_versionField, Qt::CaseInsensitive) == 0)
        throw Error(u"The field %1 of %2 is read-only."_s.arg(m_fields.at(index), m_tableName));
    m_buffer[index] = value;
    m_dirty[index] = true;
}

void DataTable::refuseWhenReadOnly() const
{
    if (!m_readOnlyReason.isEmpty())
        throw StoreError(m_readOnlyReason);
}

void DataTable::insert()
{
    refuseWhenReadOnly();
    if (!isOpen())
        throw Error(u"The table %1 is not open."_s.arg(m_tableName));
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        post();
    QVariant master;
    if (m_master) {
        master = masterValue();
        if (master.isNull())
            throw Error(u"Save the new Message first; its keywords and attachments can be added after that."_s);
    }
    const QVariant before = effectiveKey();
    m_buffer = QVariantList(m_fields.size());
    m_dirty = QList<bool>(m_fields.size(), false);
    if (m_master) {
        const int index = requireField(m_detailField);
        m_buffer[index] = master;
        m_dirty[index] = true;
    }
    setState(DataSetState::Insert);
    notifyRowChange(before);
}

void DataTable::edit()
{
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    refuseWhenReadOnly();
    if (!isOpen())
        throw Error(u"The table %1 is not open."_s.arg(m_tableName));
    if (eof())
        throw Error(u"The table %1 has no current row to edit."_s.arg(m_tableName));
    if (m_keyField.isEmpty())
        throw Error(u"The table %1 cannot be edited."_s.arg(m_tableName));
    m_buffer = rowAt(m_current);
    m_dirty = QList<bool>(m_fields.size(), false);
    m_editKey = m_keys.at(m_current);
    setState(DataSetState::Edit);
}

void DataTable::refused(const QString& databaseText)
{
    if (m_postError)
        m_postError(databaseText);
    throw StoreError(databaseText);
}

void DataTable::postEdit()
{
    QStringList assignments;
    QVariantList values;
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (m_dirty.at(i)) {
            assignments << m_fields.at(i) + u" = ?"_s;
            values << m_buffer.at(i);
        }
    }
    if (!assignments.isEmpty()) {
        QString condition = m_keyField + u" = ?"_s;
        values << m_editKey;
        // Compared and written in one statement: a change made meanwhile is never overwritten.
        if (!m_versionField.isEmpty()) {
            condition += u" and "_s + m_versionField + u" = ?"_s;
            values << m_buffer.at(fieldIndex(m_versionField));
        }
        QSqlQuery query(database());
        if (!query.prepare(u"update "_s + m_tableName + u" set "_s + assignments.join(u", "_s) + u" where "_s
                           + condition))
            throw StoreError(query.lastError().text());
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), values.at(i));
        if (!query.exec()) {
            RaiseWhenBusy(database(), query.lastError());
            refused(query.lastError().text());
        }
        if (query.numRowsAffected() == 0) {
            if (!m_versionField.isEmpty() && !readRow(m_editKey).isEmpty())
                throw ChangedMeanwhile(u"The row %1 of %2 was changed by another user since it was read."_s.arg(
                    m_editKey.toString(), m_tableName));
            throw DeletedMeanwhile(u"The row %1 of %2 no longer exists; another user may have deleted it."_s.arg(
                m_editKey.toString(), m_tableName));
        }
    }
    // The row as stored now, with the version the database gave it.
    QVariantList stored = m_versionField.isEmpty() ? m_buffer : readRow(m_editKey);
    if (stored.isEmpty())
        stored = m_buffer;
    for (qsizetype i = 0; i < m_keys.size(); ++i) {
        if (SameKey(m_keys.at(i), m_editKey) && !m_rows.at(i).isEmpty())
            m_rows[i] = stored;
    }
    m_postedKey = m_editKey;
}

void DataTable::postInsert()
{
    QStringList columns;
    QVariantList values;
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (m_dirty.at(i)) {
            columns << m_fields.at(i);
            values << m_buffer.at(i);
        }
    }
    QSqlDatabase db = database();
    const SqlDialect dialect = SqlDialect::forDatabase(db);
    QString sql = m_keyField.isEmpty() ? QString() : dialect.insertReturningKey(m_tableName, columns, m_keyField);
    const bool returning = !sql.isEmpty();
    if (!returning) {
        QStringList marks(columns.size(), u"?"_s);
        sql = u"insert into "_s + m_tableName + u" ("_s + columns.join(u", "_s) + u") values ("_s + marks.join(u", "_s)
            + u")"_s;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        refused(query.lastError().text());
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values.at(i));
    if (!query.exec()) {
        RaiseWhenBusy(db, query.lastError());
        refused(query.lastError().text());
    }
    const QVariant key = dialect.insertedKey(query, db, returning);
    query.finish();
    if (!m_keyField.isEmpty() && key.isNull())
        throw StoreError(u"The database did not report the key of the new row in %1."_s.arg(m_tableName));
    if (m_keyField.isEmpty()) {
        m_postedKey = {};
        return;
    }
    m_postedKey = key;
    QVariantList row = readRow(key);
    if (row.isEmpty())
        row = m_buffer;
    m_rows << row;
    m_keys << key;
    m_current = int(m_keys.size() - 1);
}

void DataTable::post()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    if (m_keyField.isEmpty() && m_state == DataSetState::Edit)
        throw Error(u"The table %1 cannot be edited."_s.arg(m_tableName));
    const QVariant before = effectiveKey();
    if (m_state == DataSetState::Edit)
        postEdit();
    else
        postInsert();
    m_buffer.clear();
    m_dirty.clear();
    m_editKey = {};
    setState(DataSetState::Browse);
    notifyRowChange(before);
}

void DataTable::cancel()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    const QVariant before = effectiveKey();
    m_buffer.clear();
    m_dirty.clear();
    m_editKey = {};
    setState(DataSetState::Browse);
    notifyRowChange(before);
}

bool DataTable::adoptStoredVersion()
{
    if (m_state != DataSetState::Edit || m_versionField.isEmpty())
        return false;
    const QVariantList stored = readRow(m_editKey);
    if (stored.isEmpty())
        return false;
    const int index = fieldIndex(m_versionField);
    m_buffer[index] = stored.at(index);
    return true;
}

void DataTable::deleteRow()
{
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    refuseWhenReadOnly();
    cancel();
    if (!isOpen() || eof())
        throw Error(u"The table %1 has no current row to delete."_s.arg(m_tableName));
    if (m_keyField.isEmpty())
        throw Error(u"Rows of %1 cannot be deleted."_s.arg(m_tableName));
    const QVariant key = m_keys.at(m_current);
    QSqlQuery query(database());
    query.prepare(u"delete from "_s + m_tableName + u" where "_s + m_keyField + u" = ?"_s);
    query.addBindValue(key);
    if (!query.exec()) {
        RaiseWhenBusy(database(), query.lastError());
        throw StoreError(query.lastError().text());
    }
    const QVariant before = effectiveKey();
    m_rows.removeAt(m_current);
    m_keys.removeAt(m_current);
    if (m_current >= recordCount())
        m_current = recordCount() - 1;
    notifyRowChange(before);
}

void DataTable::setPostErrorHandler(PostErrorHandler handler)
{
    m_postError = std::move(handler);
}
