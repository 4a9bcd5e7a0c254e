#include "dialogs/datanavigator.h"

#include "dialogs/datatablemodel.h"
#include "store/datatable.h"
#include "util/connectguarded.h"
#include "util/interaction.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QTableView>
#include <QToolButton>

using namespace Qt::StringLiterals;

DataNavigator::DataNavigator(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto button = [&](const QString& name, const QString& glyph, const QString& hint) {
        auto* created = new QToolButton(this);
        created->setObjectName(name);
        created->setText(glyph);
        created->setToolTip(hint);
        created->setFocusPolicy(Qt::NoFocus);
        created->setAutoRaise(false);
        layout->addWidget(created);
        return created;
    };
    btnInsert = button(u"btnInsert"_s, u"+"_s, u"Insert record"_s);
    btnDelete = button(u"btnDelete"_s, u"\u2212"_s, u"Delete record"_s);
    btnEdit = button(u"btnEdit"_s, u"\u25B2"_s, u"Edit record"_s);
    btnPost = button(u"btnPost"_s, u"\u2714"_s, u"Post edit"_s);
    btnCancel = button(u"btnCancel"_s, u"\u2716"_s, u"Cancel edit"_s);
    btnRefresh = button(u"btnRefresh"_s, u"\u27F3"_s, u"Refresh data"_s);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateButtons();
}

void DataNavigator::bind(QTableView* grid, DataTableModel* model, Interaction& boxes)
{
    m_grid = grid;
    m_model = model;
    // The buttons are wired at the first binding; a later one changes only the grid.
    if (!m_boxes) {
        const std::pair<QToolButton*, void (DataNavigator::*)()> commands[]
            = {{btnInsert, &DataNavigator::insertRecord}, {btnDelete, &DataNavigator::deleteRecord},
               {btnEdit, &DataNavigator::editRecord},     {btnPost, &DataNavigator::post},
               {btnCancel, &DataNavigator::cancel},       {btnRefresh, &DataNavigator::refresh}};
        for (const auto& [button, slot] : commands)
            ConnectGuarded(boxes, button, &QToolButton::clicked, this, slot);
        ConnectGuarded(boxes, qApp, &QApplication::focusChanged, this, &DataNavigator::focusChanged);
    }
    m_boxes = &boxes;
    grid->setModel(model);
    grid->installEventFilter(this);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        showTableRow();
        updateButtons();
    });
    connect(model, &QAbstractItemModel::dataChanged, this, &DataNavigator::updateButtons);
    ConnectGuarded(boxes, grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                   &DataNavigator::gridRowChanged);
    showTableRow();
    updateButtons();
}

int DataNavigator::currentRow() const
{
    const int row = m_grid->currentIndex().row();
    return row >= 0 ? row : m_model->currentGridRow();
}

void DataNavigator::showTableRow()
{
    const int row = m_model->currentGridRow();
    if (row < 0 || m_grid->currentIndex().row() == row)
        return;
    const int column = qMax(0, m_grid->currentIndex().column());
    m_grid->selectionModel()->setCurrentIndex(m_model->index(row, column),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void DataNavigator::gridRowChanged(const QModelIndex& current, const QModelIndex&)
{
    m_model->moveTo(current.row());
    updateButtons();
}

void DataNavigator::focusChanged(QWidget* old, QWidget* now)
{
    const auto inGrid
        = [this](QWidget* widget) { return widget && (widget == m_grid || m_grid->isAncestorOf(widget)); };
    // Only a move within the grid's window leaves the row: a file picker or a box opened
    // from the row's cell comes back to it.
    const bool leftForThisWindow = now && now->window() == m_grid->window();
    if (inGrid(old) && !inGrid(now) && leftForThisWindow && m_model->table().isOpen())
        m_model->dropUntouchedInsert();
}

void DataNavigator::insertRecord()
{
    const int row = m_model->insertRecord();
    const QModelIndex cell = m_model->index(row, 0);
    m_grid->setFocus();
    m_grid->setCurrentIndex(cell);
    m_grid->edit(cell);
}

void DataNavigator::deleteRecord()
{
    const int row = currentRow();
    if (row < 0 || row >= m_model->rowCount())
        return;
    if (!m_boxes->confirmYesNo(u"Delete record?"_s))
        return;
    m_model->deleteRecord(row);
}

void DataNavigator::editRecord()
{
    const int row = currentRow();
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_model->editRecord(row);
    m_grid->setFocus();
}

void DataNavigator::post()
{
    m_grid->setFocus(); // ends an open cell editor, which hands its text to the row
    m_model->post();
}

void DataNavigator::cancel()
{
    m_model->cancel();
}

void DataNavigator::refresh()
{
    m_model->refresh();
}

void DataNavigator::updateButtons()
{
    const bool usable = isEnabled() && m_model && m_model->table().isOpen();
    const bool pending = usable && m_model->isPending();
    const bool rows = usable && m_model->rowCount() > 0;
    btnInsert->setEnabled(usable);
    btnDelete->setEnabled(rows);
    btnEdit->setEnabled(rows && !pending);
    btnPost->setEnabled(pending);
    btnCancel->setEnabled(pending);
    btnRefresh->setEnabled(usable && !pending);
}

void DataNavigator::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        updateButtons();
    QWidget::changeEvent(event);
}

bool DataNavigator::eventFilter(QObject* watched, QEvent* event)
{
    // Keys typed into an open cell editor go to the editor, not here.
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
            Guarded(*m_boxes, [this] { insertRecord(); });
            return true;
        }
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
            Guarded(*m_boxes, [this] { deleteRecord(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool DataGrid::leavesFromCurrentCell(bool next) const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !model())
        return true;
    if (next)
        return current.row() == model()->rowCount() - 1 && current.column() == model()->columnCount() - 1;
    return current.row() == 0 && current.column() == 0;
}

bool DataGrid::focusNextPrevChild(bool next)
{
    if (leavesFromCurrentCell(next))
        return QWidget::focusNextPrevChild(next);
    return QTableView::focusNextPrevChild(next);
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool tabbed = hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
    if (!tabbed || !leavesFromCurrentCell(hint == QAbstractItemDelegate::EditNextItem)) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    QWidget::focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
}
