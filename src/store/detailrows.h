#pragma once

#include "store/datatable.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

// The keyword or attachment rows of the current Message, as a grid edits them: rows by
// position, one pending insert or edit, and nothing else of the table object (no filter,
// no connection, no opening or closing). Changes follow the table object's rules.
//
// While the Message is new (staged), the rows are kept here in memory with the same rules,
// and the data module stores them with the Message when it is saved.
class DetailRows : public QObject {
    Q_OBJECT
public:
    explicit DetailRows(DataTable& table, QObject* parent = nullptr);

    bool isOpen() const { return m_staged || m_table.isOpen(); }
    DataSetState state() const { return m_staged ? m_stagedState : m_table.state(); }
    bool isPending() const { return state() == DataSetState::Edit || state() == DataSetState::Insert; }
    int recordCount() const;
    // 0-based; -1 when there is none.
    int currentRow() const { return m_staged ? m_current : m_table.currentRow(); }
    bool eof() const;
    // The current or pending row's field.
    QVariant fieldValue(const QString& field) const;
    QVariant valueAt(int row, const QString& field) const;
    bool modified() const;

    // Moving away from a pending row stores it first.
    void setCurrentRow(int row);
    void setFieldValue(const QString& field, const QVariant& value);
    void insert();
    void edit();
    void post();
    void cancel();
    void deleteRow();
    void refresh();

    // Starts keeping rows in memory, empty, for a Message that is not stored yet.
    void stage();
    // Drops the rows kept in memory and shows the table's rows again, read afresh.
    void unstage();
    bool staged() const { return m_staged; }
    // Inserts the rows kept in memory into the table for its master's current row, which
    // the caller has just stored. The pending row is posted first. On failure the table's
    // pending insert is cancelled and the rows stay kept.
    void storeStaged();

Q_SIGNALS:
    void stateChanged(DataSetState state);
    void currentRowChanged();

private:
    int stagedField(const QString& field) const;
    void setStagedState(DataSetState state);

    DataTable& m_table;
    bool m_staged = false;
    QList<QVariantList> m_rows;
    QVariantList m_buffer;
    QList<bool> m_dirty;
    int m_current = -1;
    DataSetState m_stagedState = DataSetState::Browse;
};
