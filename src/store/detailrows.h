#pragma once

#include "store/datatable.h"

#include <QObject>
#include <QString>
#include <QVariant>

// The keyword or attachment rows of the current Message, as a grid edits them: rows by
// position, one pending insert or edit, and nothing else of the table object (no filter,
// no connection, no opening or closing). Changes follow the table object's rules.
class DetailRows : public QObject {
    Q_OBJECT
public:
    explicit DetailRows(DataTable& table, QObject* parent = nullptr);

    bool isOpen() const { return m_table.isOpen(); }
    DataSetState state() const { return m_table.state(); }
    bool isPending() const { return state() == DataSetState::Edit || state() == DataSetState::Insert; }
    int recordCount() const { return m_table.recordCount(); }
    // 0-based; -1 when there is none.
    int currentRow() const { return m_table.currentRow(); }
    bool eof() const { return m_table.eof(); }
    // The current or pending row's field.
    QVariant fieldValue(const QString& field) const { return m_table.fieldValue(field); }
    QVariant valueAt(int row, const QString& field) const { return m_table.valueAt(row, field); }
    bool modified() const { return m_table.modified(); }

    // Moving away from a pending row stores it first.
    void setCurrentRow(int row) { m_table.setCurrentRow(row); }
    void setFieldValue(const QString& field, const QVariant& value) { m_table.setFieldValue(field, value); }
    void insert() { m_table.insert(); }
    void edit() { m_table.edit(); }
    void post() { m_table.post(); }
    void cancel() { m_table.cancel(); }
    void deleteRow() { m_table.deleteRow(); }
    void refresh() { m_table.refresh(); }

Q_SIGNALS:
    void stateChanged(DataSetState state);
    void currentRowChanged();

private:
    DataTable& m_table;
};
