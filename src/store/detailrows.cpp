#include "store/detailrows.h"

#include "util/errors.h"

using namespace Qt::StringLiterals;

DetailRows::DetailRows(DataTable& table, QObject* parent)
    : QObject(parent)
    , m_table(table)
{
    // While rows are kept in memory the table's own movements are not this object's.
    connect(&m_table, &DataTable::stateChanged, this, [this](DataSetState state) {
        if (!m_staged)
            Q_EMIT stateChanged(state);
    });
    connect(&m_table, &DataTable::currentRowChanged, this, [this] {
        if (!m_staged)
            Q_EMIT currentRowChanged();
    });
}

int DetailRows::stagedField(const QString& field) const
{
    const QStringList& fields = m_table.fields();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields.at(i).compare(field, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    throw Error(u"The table %1 has no field %2."_s.arg(m_table.tableName(), field));
}

void DetailRows::setStagedState(DataSetState state)
{
    m_stagedState = state;
    Q_EMIT stateChanged(state);
    Q_EMIT currentRowChanged();
}

int DetailRows::recordCount() const
{
    return m_staged ? int(m_rows.size()) : m_table.recordCount();
}

bool DetailRows::eof() const
{
    return m_staged ? m_current < 0 || m_current >= m_rows.size() : m_table.eof();
}

QVariant DetailRows::fieldValue(const QString& field) const
{
    if (!m_staged)
        return m_table.fieldValue(field);
    const int index = stagedField(field);
    if (isPending())
        return m_buffer.at(index);
    return eof() ? QVariant() : m_rows.at(m_current).at(index);
}

QVariant DetailRows::valueAt(int row, const QString& field) const
{
    if (!m_staged)
        return m_table.valueAt(row, field);
    const int index = stagedField(field);
    if (m_stagedState == DataSetState::Edit && row == m_current)
        return m_buffer.at(index);
    if (row < 0 || row >= m_rows.size())
        throw Error(u"The table %1 has no row %2."_s.arg(m_table.tableName()).arg(row + 1));
    return m_rows.at(row).at(index);
}

bool DetailRows::modified() const
{
    if (!m_staged)
        return m_table.modified();
    return isPending() && m_dirty.contains(true);
}

void DetailRows::setCurrentRow(int row)
{
    if (!m_staged) {
        m_table.setCurrentRow(row);
        return;
    }
    post();
    m_current = m_rows.isEmpty() ? -1 : qBound(0, row, int(m_rows.size()) - 1);
    Q_EMIT currentRowChanged();
}

void DetailRows::setFieldValue(const QString& field, const QVariant& value)
{
    if (!m_staged) {
        m_table.setFieldValue(field, value);
        return;
    }
    const int index = stagedField(field);
    if (!isPending())
        throw Error(u"The table %1 is not being edited."_s.arg(m_table.tableName()));
    if (field.compare(m_table.keyField(), Qt::CaseInsensitive) == 0)
        throw Error(u"The field %1 of %2 is read-only."_s.arg(field, m_table.tableName()));
    m_buffer[index] = value;
    m_dirty[index] = true;
}

void DetailRows::insert()
{
    if (!m_staged) {
        m_table.insert();
        return;
    }
    post();
    m_buffer = QVariantList(m_table.fields().size());
    m_dirty = QList<bool>(m_table.fields().size(), false);
    setStagedState(DataSetState::Insert);
}

void DetailRows::edit()
{
    if (!m_staged) {
        m_table.edit();
        return;
    }
    if (isPending())
        return;
    if (eof())
        throw Error(u"The table %1 has no current row to edit."_s.arg(m_table.tableName()));
    m_buffer = m_rows.at(m_current);
    m_dirty = QList<bool>(m_table.fields().size(), false);
    setStagedState(DataSetState::Edit);
}

void DetailRows::post()
{
    if (!m_staged) {
        m_table.post();
        return;
    }
    if (m_stagedState == DataSetState::Insert) {
        m_rows.append(m_buffer);
        m_current = int(m_rows.size()) - 1;
    } else if (m_stagedState == DataSetState::Edit) {
        m_rows[m_current] = m_buffer;
    } else {
        return;
    }
    m_buffer.clear();
    m_dirty.clear();
    setStagedState(DataSetState::Browse);
}

void DetailRows::cancel()
{
    if (!m_staged) {
        m_table.cancel();
        return;
    }
    if (!isPending())
        return;
    m_buffer.clear();
    m_dirty.clear();
    setStagedState(DataSetState::Browse);
}

void DetailRows::deleteRow()
{
    if (!m_staged) {
        m_table.deleteRow();
        return;
    }
    const bool inserting = m_stagedState == DataSetState::Insert;
    cancel();
    if (inserting)
        return;
    if (eof())
        throw Error(u"The table %1 has no current row to delete."_s.arg(m_table.tableName()));
    m_rows.removeAt(m_current);
    if (m_current >= m_rows.size())
        m_current = int(m_rows.size()) - 1;
    Q_EMIT currentRowChanged();
}

void DetailRows::refresh()
{
    if (!m_staged)
        m_table.refresh();
}

void DetailRows::stage()
{
    m_staged = true;
    m_rows.clear();
    m_buffer.clear();
    m_dirty.clear();
    m_current = -1;
    setStagedState(DataSetState::Browse);
}

void DetailRows::unstage()
{
    if (!m_staged)
        return;
    m_staged = false;
    m_rows.clear();
    m_buffer.clear();
    m_dirty.clear();
    m_current = -1;
    m_table.refresh();
    Q_EMIT stateChanged(m_table.state());
    Q_EMIT currentRowChanged();
}

void DetailRows::storeStaged()
{
    post();
    const QStringList& fields = m_table.fields();
    try {
        for (const QVariantList& row : std::as_const(m_rows)) {
            m_table.insert();
            for (qsizetype i = 0; i < fields.size(); ++i) {
                const bool ownField = fields.at(i).compare(m_table.keyField(), Qt::CaseInsensitive) != 0
                    && fields.at(i).compare(m_table.detailField(), Qt::CaseInsensitive) != 0;
                if (ownField && !row.at(i).isNull())
                    m_table.setFieldValue(fields.at(i), row.at(i));
            }
            m_table.post();
        }
    } catch (...) {
        m_table.cancel();
        throw;
    }
}
