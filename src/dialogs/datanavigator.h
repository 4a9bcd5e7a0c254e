#pragma once

#include <QTableView>
#include <QWidget>

class DataTableModel;
class QModelIndex;
class QTableView;
class QToolButton;

// The navigator of a grid over a table object: Insert, Delete, Edit, Post, Cancel and
// Refresh, enabled by the table's state. It also gives the grid its keys (Insert, Ctrl+Delete)
// and stores the pending row when the grid moves to another row; a new row that was never
// typed in is dropped when the focus moves from the grid to another control of its window.
class Interaction;

class DataNavigator : public QWidget {
    Q_OBJECT
public:
    explicit DataNavigator(QWidget* parent = nullptr);

    // Errors of its commands are shown through boxes.
    void bind(QTableView* grid, DataTableModel* model, Interaction& boxes);

    // Each acts on the grid's current row; Delete asks "Delete record?" first.
    void insertRecord();
    void deleteRecord();
    void editRecord();
    void post();
    void cancel();
    void refresh();

    QToolButton* btnInsert;
    QToolButton* btnDelete;
    QToolButton* btnEdit;
    QToolButton* btnPost;
    QToolButton* btnCancel;
    QToolButton* btnRefresh;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateButtons();
    void showTableRow();
    int currentRow() const;
    void gridRowChanged(const QModelIndex& current, const QModelIndex& previous);
    void focusChanged(QWidget* old, QWidget* now);

    QTableView* m_grid = nullptr;
    DataTableModel* m_model = nullptr;
    Interaction* m_boxes = nullptr;
};

// A grid over a table object in which Tab moves from cell to cell and, from the last cell
// (Shift+Tab: the first), on to the next control of the window instead of round again.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;

protected:
    bool focusNextPrevChild(bool next) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    // Whether Tab (next) or Shift+Tab leaves the grid from the current cell.
    bool leavesFromCurrentCell(bool next) const;
};
