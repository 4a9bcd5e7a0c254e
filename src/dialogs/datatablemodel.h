#pragma once

#include "store/detailrows.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

// The detail rows of the current Message as a grid model: one row per listed row, plus the pending
// new row while the table inserts. Editing a cell puts its row into edit; moving to
// another row stores the pending one first. Boolean columns read and take "True"/"False".
class Interaction;

class DataTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString field;
        QString title;
        bool boolean = false;
    };

    DataTableModel(DetailRows& table, QList<Column> columns, Interaction& boxes, QObject* parent = nullptr);

    DetailRows& table() const { return m_table; }
    QString fieldAt(int column) const { return m_columns.at(column).field; }
    // The grid row of the table's current or pending row; -1 when there is none.
    int currentGridRow() const;
    bool isPending() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Raises nothing: a refusal is shown through the guard and the cell is left alone.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The navigator's and the grid's operations; errors are raised to the caller.
    // Starts a new row and gives its grid row.
    int insertRecord();
    void deleteRecord(int row);
    void editRecord(int row);
    void post();
    void cancel();
    void refresh();
    // The grid moved to another row: the pending row is stored first.
    void moveTo(int row);
    // Drops a new row that was never typed in.
    void dropUntouchedInsert();

private:
    // Runs a change of the table and tells the views afterwards.
    template <typename Change> void changeTable(Change change);
    void tableChangedOutside();

    DetailRows& m_table;
    Interaction& m_boxes;
    QList<Column> m_columns;
    bool m_changing = false;
};
