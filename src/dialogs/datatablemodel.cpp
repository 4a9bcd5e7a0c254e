#include "dialogs/datatablemodel.h"

#include "store/detailrows.h"
#include "util/errors.h"
#include "util/textutils.h"

using namespace Qt::StringLiterals;

DataTableModel::DataTableModel(DetailRows& table, QList<Column> columns, Interaction& boxes, QObject* parent)
    : QAbstractTableModel(parent)
    , m_table(table)
    , m_boxes(boxes)
    , m_columns(std::move(columns))
{
    connect(&m_table, &DetailRows::currentRowChanged, this, &DataTableModel::tableChangedOutside);
    connect(&m_table, &DetailRows::stateChanged, this, &DataTableModel::tableChangedOutside);
}

void DataTableModel::tableChangedOutside()
{
    if (m_changing)
        return;
    beginResetModel();
    endResetModel();
}

template <typename Change> void DataTableModel::changeTable(Change change)
{
    // Views are told once, after the table has settled, also when the change fails.
    beginResetModel();
    m_changing = true;
    try {
        change();
    } catch (...) {
        m_changing = false;
        endResetModel();
        throw;
    }
    m_changing = false;
    endResetModel();
}

bool DataTableModel::isPending() const
{
    return m_table.isPending();
}

int DataTableModel::currentGridRow() const
{
    if (m_table.state() == DataSetState::Insert)
        return m_table.recordCount();
    return m_table.eof() ? -1 : m_table.currentRow();
}

int DataTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_table.isOpen())
        return 0;
    return m_table.recordCount() + (m_table.state() == DataSetState::Insert ? 1 : 0);
}

int DataTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const Column& column = m_columns.at(index.column());
    QVariant value;
    // A row that another user deleted meanwhile shows empty: painting shows no boxes.
    try {
        value = index.row() == m_table.recordCount() ? m_table.fieldValue(column.field)
                                                     : m_table.valueAt(index.row(), column.field);
    } catch (const Error&) {
        return {};
    }
    if (column.boolean)
        return BoolToText(!value.isNull() && value.toBool());
    return value.isNull() ? QString() : value.toString();
}

QVariant DataTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns.at(section).title;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags DataTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool DataTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const Column& column = m_columns.at(index.column());
    const QVariant stored = column.boolean ? QVariant(TextToBool(value.toString())) : value;
    const QString shown = column.boolean ? BoolToText(stored.toBool()) : value.toString();
    // An unchanged cell (a cell editor closed without typing) changes nothing.
    if (data(index, Qt::EditRole).toString() == shown)
        return true;
    const int before = rowCount();
    m_changing = true;
    const bool done = Guarded(m_boxes, [&] {
        const bool pendingHere = isPending() && currentGridRow() == index.row();
        if (!pendingHere) {
            m_table.setCurrentRow(index.row());
            m_table.edit();
        }
        m_table.setFieldValue(column.field, stored);
    });
    m_changing = false;
    if (rowCount() != before) {
        beginResetModel();
        endResetModel();
    } else if (rowCount() > 0) {
        Q_EMIT dataChanged(this->index(0, 0), this->index(rowCount() - 1, columnCount() - 1));
    }
    return done;
}

int DataTableModel::insertRecord()
{
    changeTable([this] { m_table.insert(); });
    return currentGridRow();
}

void DataTableModel::deleteRecord(int row)
{
    changeTable([&] {
        if (m_table.state() == DataSetState::Insert && row == m_table.recordCount()) {
            m_table.cancel();
            return;
        }
        // Another row's pending change is stored before this row goes.
        if (row != m_table.currentRow() || m_table.state() != DataSetState::Browse)
            m_table.setCurrentRow(row);
        m_table.deleteRow();
    });
}

void DataTableModel::editRecord(int row)
{
    changeTable([&] {
        if (row != currentGridRow())
            m_table.setCurrentRow(row);
        m_table.edit();
    });
}

void DataTableModel::post()
{
    changeTable([this] { m_table.post(); });
}

void DataTableModel::cancel()
{
    changeTable([this] { m_table.cancel(); });
}

void DataTableModel::refresh()
{
    changeTable([this] { m_table.refresh(); });
}

void DataTableModel::moveTo(int row)
{
    if (row < 0 || row == currentGridRow())
        return;
    if (!isPending() && row < m_table.recordCount()) {
        // Only the position changes; the views show the same rows.
        m_changing = true;
        try {
            m_table.setCurrentRow(row);
        } catch (...) {
            m_changing = false;
            throw;
        }
        m_changing = false;
        return;
    }
    changeTable([&] { m_table.setCurrentRow(row); });
}

void DataTableModel::dropUntouchedInsert()
{
    if (m_table.state() == DataSetState::Insert && !m_table.modified())
        changeTable([this] { m_table.cancel(); });
}
