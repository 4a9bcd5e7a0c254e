#include "dialogs/fSelectFAQ.h"

#include "dialogs/textpreview.h"
#include "dialogs/widgetsupport.h"
#include "util/errors.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TfrmSelectFAQ* frmSelectFAQ = nullptr;

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

TfrmSelectFAQ::TfrmSelectFAQ(std::function<void(int)> showFAQByID, QWidget* parent)
    : QDialog(parent)
    , m_showFAQByID(std::move(showFAQByID))
{
    setObjectName(u"frmSelectFAQ"_s);
    setWindowTitle(u"Select a Message"_s);
    setModal(false);
    resize(473, 473);

    auto* panel1 = new QWidget;
    panel1->setObjectName(u"Panel1"_s);
    lvFAQs = new QTreeWidget(panel1);
    lvFAQs->setObjectName(u"lvFAQs"_s);
    lvFAQs->setColumnCount(3);
    lvFAQs->setHeaderLabels({u"ID"_s, u"Short Name"_s, u"Full Text"_s});
    lvFAQs->setRootIsDecorated(false);
    lvFAQs->setItemsExpandable(false);
    lvFAQs->setUniformRowHeights(true);
    lvFAQs->setSelectionMode(QAbstractItemView::SingleSelection);
    lvFAQs->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFAQs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvFAQs->header()->setStretchLastSection(false);
    lvFAQs->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    lvFAQs->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    lvFAQs->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    KeepSelectionHighlighted(lvFAQs);
    lvFAQs->viewport()->installEventFilter(this);
    auto* topLayout = new QVBoxLayout(panel1);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(lvFAQs);

    auto* panel2 = new QWidget;
    panel2->setObjectName(u"Panel2"_s);
    auto* label2 = new QLabel(u"Full Text"_s, panel2);
    label2->setObjectName(u"Label2"_s);
    memFullText = new TextPreview(panel2);
    memFullText->setObjectName(u"memFullText"_s);
    memFullText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette grey = memFullText->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    memFullText->setPalette(grey);
    label2->setBuddy(memFullText);
    btnSelect = new QPushButton(u"&Select"_s, panel2);
    btnSelect->setObjectName(u"btnSelect"_s);
    btnSelect->setDefault(true);
    btnCancel = new QPushButton(u"&Cancel"_s, panel2);
    btnCancel->setObjectName(u"btnCancel"_s);
    btnCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSelect);
    buttons->addWidget(btnCancel);
    auto* bottomLayout = new QVBoxLayout(panel2);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addWidget(label2);
    bottomLayout->addWidget(memFullText, 1);
    bottomLayout->addLayout(buttons);

    spSplitter = new QSplitter(Qt::Vertical, this);
    spSplitter->setObjectName(u"spSplitter"_s);
    spSplitter->setHandleWidth(8);
    spSplitter->setChildrenCollapsible(false);
    spSplitter->addWidget(panel1);
    spSplitter->addWidget(panel2);
    spSplitter->setStretchFactor(1, 1);
    spSplitter->setSizes({249, 473 - 249 - 8});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(spSplitter);

    connect(lvFAQs, &QTreeWidget::itemSelectionChanged, this, [this] { Guarded([this] { lvFAQsSelectItem(); }); });
    connect(btnSelect, &QPushButton::clicked, this, [this] { Guarded([this] { btnSelectClick(); }); });
    // Cancel and Esc only hide the dialog; the main window is left as it was.
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmSelectFAQ::ClearResults()
{
    lvFAQs->clear();
}

void TfrmSelectFAQ::AddResult(const QString& id, const QString& shortName, const QString& text)
{
    auto* item = new QTreeWidgetItem(lvFAQs, {id, shortName, FirstLineForCell(text)});
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
    if (QTreeWidgetItem* first = lvFAQs->topLevelItem(0)) {
        lvFAQs->setCurrentItem(first);
        first->setSelected(true);
    }
}

void TfrmSelectFAQ::lvFAQsSelectItem()
{
    const QList<QTreeWidgetItem*> selected = lvFAQs->selectedItems();
    if (!selected.isEmpty())
        memFullText->setPreviewText(selected.front()->data(2, FullTextRole).toString());
}

void TfrmSelectFAQ::btnSelectClick()
{
    const QList<QTreeWidgetItem*> selected = lvFAQs->selectedItems();
    if (selected.isEmpty())
        return;
    m_showFAQByID(selected.front()->text(0).toInt());
    close();
}

bool TfrmSelectFAQ::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lvFAQs->viewport() && event->type() == QEvent::MouseButtonDblClick)
        Guarded([this] { btnSelectClick(); });
    return QDialog::eventFilter(watched, event);
}
