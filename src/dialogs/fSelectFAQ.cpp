#include "dialogs/fSelectFAQ.h"
#include "ui_fSelectFAQ.h"

#include "dialogs/textpreview.h"
#include "dialogs/widgetsupport.h"
#include "util/connectguarded.h"
#include "util/errors.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {
// The full text of a row, kept beside its one-line display.
constexpr int FullTextRole = Qt::UserRole;
// Laying out a whole long text in a one-line cell would take seconds per row.
constexpr qsizetype MaxCellLength = 300;

QString FirstLineForCell(const QString& text)
{
    qsizetype end = 0;
    while (end < text.size() && end < MaxCellLength && text[end] != u'\n' && text[end] != u'\r')
        ++end;
    const bool cut = end == MaxCellLength && end < text.size() && text[end] != u'\n' && text[end] != u'\r';
    if (cut && text[end - 1].isHighSurrogate())
        --end;
    return cut ? text.left(end) + u'\u2026' : text.left(end);
}
} // namespace

TfrmSelectFAQ::TfrmSelectFAQ(Interaction& boxes, std::function<void(int)> showFAQByID, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmSelectFAQ>())
    , m_boxes(boxes)
    , m_showFAQByID(std::move(showFAQByID))
{
    // The form's own name would shadow the global instance in the generated code.
    setObjectName(u"frmSelectFAQ"_s);
    ui->setupUi(this);
    QHeaderView* header = ui->lvFAQs->header();
    header->setSectionResizeMode(0, QHeaderView::Interactive);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    KeepSelectionHighlighted(ui->lvFAQs);
    ui->lvFAQs->viewport()->installEventFilter(this);

    QPalette grey = ui->memFullText->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    ui->memFullText->setPalette(grey);

    ui->spSplitter->setStretchFactor(1, 1);
    ui->spSplitter->setSizes({249, 473 - 249 - 8});

    ConnectGuarded(m_boxes, ui->lvFAQs, &QTreeWidget::itemSelectionChanged, this, &TfrmSelectFAQ::lvFAQsSelectItem);
    ConnectGuarded(m_boxes, ui->btnSelect, &QPushButton::clicked, this, &TfrmSelectFAQ::btnSelectClick);
    // Cancel (connected in the form) and Esc only hide the dialog; the main window is left as it was.
}

TfrmSelectFAQ::~TfrmSelectFAQ() = default;

void TfrmSelectFAQ::ClearResults()
{
    ui->lvFAQs->clear();
}

void TfrmSelectFAQ::AddResult(const QString& id, const QString& shortName, const QString& text)
{
    auto* item = new QTreeWidgetItem(ui->lvFAQs, {id, shortName, FirstLineForCell(text)});
    item->setData(2, FullTextRole, text);
}

void TfrmSelectFAQ::ShowNonModal()
{
    if (!m_placed) {
        m_placed = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect bounds = frameGeometry();
            bounds.moveCenter(screen->availableGeometry().center());
            move(bounds.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}

void TfrmSelectFAQ::SelectFirstResult()
{
    if (QTreeWidgetItem* first = ui->lvFAQs->topLevelItem(0)) {
        ui->lvFAQs->setCurrentItem(first);
        first->setSelected(true);
    }
}

void TfrmSelectFAQ::lvFAQsSelectItem()
{
    const QList<QTreeWidgetItem*> selected = ui->lvFAQs->selectedItems();
    if (!selected.isEmpty())
        ui->memFullText->setPreviewText(selected.front()->data(2, FullTextRole).toString());
}

void TfrmSelectFAQ::btnSelectClick()
{
    const QList<QTreeWidgetItem*> selected = ui->lvFAQs->selectedItems();
    if (selected.isEmpty())
        return;
    m_showFAQByID(selected.front()->text(0).toInt());
    close();
}

bool TfrmSelectFAQ::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->lvFAQs->viewport() && event->type() == QEvent::MouseButtonDblClick)
        Guarded(m_boxes, [this] { btnSelectClick(); });
    return QDialog::eventFilter(watched, event);
}
