#include "app/fMain.h"

#include "app/activationhotkey.h"
#include "dialogs/keyevents.h"
#include "dialogs/fSelectFAQ.h"
#include "dialogs/fShowData.h"
#include "dialogs/widgetsupport.h"
#include "settings/settings.h"
#include "store/dmData.h"
#include "util/errors.h"
#include "util/interaction.h"
#include "util/textutils.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

#include <functional>

using namespace Qt::StringLiterals;

TfrmMain* frmMain = nullptr;

namespace {

// A tree node's Message ID; the placeholder carries 0.
constexpr int MessageIdRole = Qt::UserRole;

const QString Placeholder = u"Searching..."_s;

const QString FirstRunNotice
    = u"When you first run Tolvane QuillBay it does not know which email application you use.  "
      "When you are ready, please go to the Tools->Options menu and select your email program "
      "from the list provided.  If you do not see it there please contact us and let us know."_s;

const QString DatabaseNotFoundNotice
    = u"The Tolvane Quillbay database can not be found. Since it is a vital part of this program, "
      "it will now shut down.Please install the program again. You may wish to contact Tolvane "
      "QuillBay technical support if the problem persists."_s;

// A failure reported by the database while the tree is read, as opposed to a fault of the
// program such as a missing parameter.
class ProviderError : public Error {
public:
    using Error::Error;
};

void OpenFromProvider(SavedQuery& query)
{
    try {
        query.open();
    } catch (const Error& e) {
        throw ProviderError(e.text());
    }
}

// A button that runs a command and shows its state; ownCaption keeps the button's text.
void BindButton(QPushButton* button, QAction* action, bool ownCaption = false)
{
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    auto update = [button, action, ownCaption] {
        if (!ownCaption)
            button->setText(action->text());
        button->setEnabled(action->isEnabled());
        button->setHidden(!action->isVisible());
    };
    QObject::connect(action, &QAction::changed, button, update);
    update();
}

// Visits the nodes that exist, in tree order: a node, its children, then its next sibling.
void WalkTree(QTreeWidget* tree, const std::function<void(QTreeWidgetItem*)>& visit)
{
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* node) {
        visit(node);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i));
}

int NodeID(const QTreeWidgetItem* node)
{
    return node->data(0, MessageIdRole).toInt();
}

QTreeWidgetItem* ChildWithID(QTreeWidget* tree, QTreeWidgetItem* parent, int messageID)
{
    const int count = parent ? parent->childCount() : tree->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* node = parent ? parent->child(i) : tree->topLevelItem(i);
        if (NodeID(node) == messageID)
            return node;
    }
    return nullptr;
}

QLabel* PlainLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

QString TrimNotes(const QString& notes)
{
    qsizetype first = 0;
    qsizetype last = notes.size();
    while (first < last && notes[first].unicode() <= 32)
        ++first;
    while (last > first && notes[last - 1].unicode() <= 32)
        --last;
    return notes.mid(first, last - first);
}

// Application-wide filter that hands the window's key presses to FormKeyDown before the
// focused control sees them.
class TfrmMain::KeyPreview : public QObject {
public:
    explicit KeyPreview(TfrmMain* window)
        : QObject(window)
        , m_window(window)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        // A key press goes to the window's focus widget and then up to its parents;
        // only the first of these deliveries counts.
        QWidget* receiver = m_window->focusWidget() ? m_window->focusWidget() : m_window;
        if (watched != receiver)
            return false;
        const auto& key = *static_cast<QKeyEvent*>(event);
        Guarded([&] { m_window->FormKeyDown(key); });
        const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
        if (watched == m_window->txtSearchTerm && enter
            && !key.modifiers().testFlag(Qt::ControlModifier)) {
            Guarded([this] { m_window->txtSearchTermKeyPress(); });
            return true;
        }
        return false;
    }

private:
    TfrmMain* m_window;
};

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(u"frmMain"_s);
    setWindowTitle(ApplicationTitle());
    resize(678, 380);
    setMinimumSize(640, 380);

    CreateCommands();
    CreateControls();
    CreateMenus();
    CreateTrayIcon();
    PrepareWindowState();

    cmbSearchType->setCurrentIndex(0);
    new KeyPreview(this);
    connect(qApp, &QGuiApplication::focusWindowChanged, this,
            [this](QWindow* window) { Guarded([&] { FocusWindowChanged(window); }); });
}

TfrmMain::~TfrmMain()
{
    // A run that never showed the window leaves the remembered layout alone.
    if (m_layoutRestored)
        Guarded([this] { SaveWindowState(); });
}

void TfrmMain::OnTriggered(QAction* action, void (TfrmMain::*handler)())
{
    connect(action, &QAction::triggered, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
}

void TfrmMain::CreateCommands()
{
    auto command = [this](const QString& name, const QString& caption) {
        auto* action = new QAction(caption, this);
        action->setObjectName(name);
        addAction(action);
        return action;
    };
    acRefreshFAQs = command(u"acRefreshFAQs"_s, u"&Refresh FAQs"_s);
    acRefreshFAQs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    actSearch = command(u"actSearch"_s, u"&Go"_s);
    actNew = command(u"actNew"_s, u"&New"_s);
    actEdit = command(u"actEdit"_s, u"&Edit Current Message"_s);
    actDelete = command(u"actDelete"_s, u"&Delete Current Message"_s);
    actSendFAQ = command(u"actSendFAQ"_s, u"Send Message"_s);
    actViewInternalNotes = command(u"actViewInternalNotes"_s, u"View Internal Notes"_s);
    actViewInternalNotes->setToolTip(u"See an explanation about this message"_s);
    actViewInternalNotes->setEnabled(false);
    actHotwordList = command(u"actHotwordList"_s, u"View &HotWord list"_s);
    actUsageReport = command(u"actUsageReport"_s, u"&Usage Report"_s);
    actUsageReport->setVisible(false);
    actOptions = command(u"actOptions"_s, u"&Options"_s);
    actSynchronize = command(u"actSynchronize"_s, u"&Synchronize"_s);
    actSynchronize->setVisible(false);
    actReconnect = command(u"actReconnect"_s, u"Reconnect"_s);
    actInstructions = command(u"actInstructions"_s, u"Instructions"_s);
    actExit = command(u"actExit"_s, u"E&xit"_s);
    actRestore = command(u"actRestore"_s, u"Restore"_s);
    actHelpContents = command(u"actHelpContents"_s, u"Contents"_s);
    actHelpContents->setShortcut(QKeySequence(Qt::Key_F1));
    actAbout = command(u"actAbout"_s, u"&About"_s);

    OnTriggered(acRefreshFAQs, &TfrmMain::acRefreshFAQsExecute);
    OnTriggered(actSearch, &TfrmMain::actSearchExecute);
    OnTriggered(actSendFAQ, &TfrmMain::actSendFAQExecute);
    OnTriggered(actViewInternalNotes, &TfrmMain::actViewInternalNotesExecute);
    OnTriggered(actHotwordList, &TfrmMain::actHotwordListExecute);
    OnTriggered(actUsageReport, &TfrmMain::actUsageReportExecute);
    OnTriggered(actSynchronize, &TfrmMain::actSynchronizeExecute);
    OnTriggered(actReconnect, &TfrmMain::actReconnectExecute);
    OnTriggered(actInstructions, &TfrmMain::actInstructionsExecute);
    OnTriggered(actOptions, &TfrmMain::actOptionsExecute);
    connect(actExit, &QAction::triggered, this, &QWidget::close);
    OnTriggered(actRestore, &TfrmMain::BringProgramToFront);
    OnTriggered(actHelpContents, &TfrmMain::actHelpContentsExecute);
    OnTriggered(actAbout, &TfrmMain::actAboutExecute);
}

void TfrmMain::CreateControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(u"pnlMain"_s);
    setCentralWidget(central);

    // Left pane: the tree.
    pnlFAQs = new QWidget;
    pnlFAQs->setObjectName(u"pnlFAQs"_s);
    auto* label1 = new QLabel(u"&Messages"_s, pnlFAQs);
    label1->setObjectName(u"Label1"_s);
    chkShowHotWord = new QCheckBox(u"Show Hotword"_s, pnlFAQs);
    chkShowHotWord->setObjectName(u"chkShowHotWord"_s);
    chkShowHotWord->setToolTip(u"Messages are shown as\n<description> / <hotword>"_s);
    tvFAQs = new QTreeWidget(pnlFAQs);
    tvFAQs->setObjectName(u"tvFAQs"_s);
    tvFAQs->setHeaderHidden(true);
    tvFAQs->setColumnCount(1);
    tvFAQs->setIndentation(19);
    tvFAQs->setUniformRowHeights(true);
    tvFAQs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvFAQs->setSelectionMode(QAbstractItemView::SingleSelection);
    KeepSelectionHighlighted(tvFAQs);
    label1->setBuddy(tvFAQs);
    auto* button1 = new QPushButton(pnlFAQs);
    button1->setObjectName(u"Button1"_s);
    BindButton(button1, actNew);
    auto* button2 = new QPushButton(pnlFAQs);
    button2->setObjectName(u"Button2"_s);
    BindButton(button2, actDelete);
    auto* leftLayout = new QGridLayout(pnlFAQs);
    leftLayout->setContentsMargins(4, 4, 0, 4);
    leftLayout->addWidget(label1, 0, 0);
    leftLayout->addWidget(chkShowHotWord, 0, 1, Qt::AlignRight);
    leftLayout->addWidget(tvFAQs, 1, 0, 1, 2);
    // One above the other: the panel is too narrow for both captions side by side.
    leftLayout->addWidget(button1, 2, 0, 1, 2);
    leftLayout->addWidget(button2, 3, 0, 1, 2);
    leftLayout->setRowStretch(1, 1);

    // Right pane: the search and the shown Message.
    auto* pnlRight = new QWidget;
    pnlRight->setObjectName(u"pnlRight"_s);

    fraFindAnAnswer = new QGroupBox(u"Find A Message"_s, pnlRight);
    fraFindAnAnswer->setObjectName(u"fraFindAnAnswer"_s);
    auto* label3 = new QLabel(u"&Search"_s, fraFindAnAnswer);
    label3->setObjectName(u"Label3"_s);
    txtSearchTerm = new QLineEdit(fraFindAnAnswer);
    txtSearchTerm->setObjectName(u"txtSearchTerm"_s);
    label3->setBuddy(txtSearchTerm);
    btnGo = new QPushButton(fraFindAnAnswer);
    btnGo->setObjectName(u"btnGo"_s);
    BindButton(btnGo, actSearch);
    auto* label4 = new QLabel(u"Search &Type (F2..F4)"_s, fraFindAnAnswer);
    label4->setObjectName(u"Label4"_s);
    cmbSearchType = new QComboBox(fraFindAnAnswer);
    cmbSearchType->setObjectName(u"cmbSearchType"_s);
    cmbSearchType->addItems({u"Hotword"_s, u"Keyword"_s, u"Full Text"_s});
    label4->setBuddy(cmbSearchType);
    auto* findLayout = new QGridLayout(fraFindAnAnswer);
    findLayout->addWidget(label3, 0, 0);
    findLayout->addWidget(txtSearchTerm, 0, 1);
    findLayout->addWidget(btnGo, 0, 2);
    findLayout->addWidget(label4, 1, 0);
    findLayout->addWidget(cmbSearchType, 1, 1, Qt::AlignLeft);
    findLayout->setColumnStretch(1, 1);

    fraCurrentFAQ = new QGroupBox(u"Selected Message"_s, pnlRight);
    fraCurrentFAQ->setObjectName(u"fraCurrentFAQ"_s);
    auto* label5 = new QLabel(u"Title"_s, fraCurrentFAQ);
    label5->setObjectName(u"Label5"_s);
    lblFAQTitle = PlainLabel(u"lblFAQTitle"_s, fraCurrentFAQ);
    lblFAQTitle->setWordWrap(true);
    lblFAQTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblFAQTitle->setFixedHeight(2 * lblFAQTitle->fontMetrics().lineSpacing());
    lblFAQTitle->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* label2 = new QLabel(u"Te&xt"_s, fraCurrentFAQ);
    label2->setObjectName(u"Label2"_s);
    memText = new QPlainTextEdit(fraCurrentFAQ);
    memText->setObjectName(u"memText"_s);
    memText->setReadOnly(true);
    memText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    label2->setBuddy(memText);
    auto* label6 = new QLabel(u"Hotword: "_s, fraCurrentFAQ);
    label6->setObjectName(u"Label6"_s);
    lblFAQHotword = PlainLabel(u"lblFAQHotword"_s, fraCurrentFAQ);
    lblAttachments = PlainLabel(u"lblAttachments"_s, fraCurrentFAQ);
    lblAttachments->setText(u"Attachments"_s);
    lblAttachments->setAutoFillBackground(true);
    lblAttachments->setCursor(Qt::PointingHandCursor);
    lblAttachments->setBackgroundRole(QPalette::Button);
    lblAttachments->installEventFilter(this);
    btnPasteToReceivingApp = new QPushButton(fraCurrentFAQ);
    btnPasteToReceivingApp->setObjectName(u"btnPasteToReceivingApp"_s);
    BindButton(btnPasteToReceivingApp, actSendFAQ);
    btnInternalComments = new QPushButton(u"Notes"_s, fraCurrentFAQ);
    btnInternalComments->setObjectName(u"btnInternalComments"_s);
    btnInternalComments->setToolTip(u"See an explanation about this message"_s);
    BindButton(btnInternalComments, actViewInternalNotes, true);
    btnEdit = new QPushButton(fraCurrentFAQ);
    btnEdit->setObjectName(u"btnEdit"_s);
    BindButton(btnEdit, actEdit);

    auto* hotwordRow = new QHBoxLayout;
    hotwordRow->addWidget(label6);
    hotwordRow->addWidget(lblFAQHotword, 1);
    hotwordRow->addWidget(lblAttachments);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(btnPasteToReceivingApp);
    buttonRow->addWidget(btnInternalComments);
    buttonRow->addWidget(btnEdit);
    buttonRow->addStretch();
    auto* shownLayout = new QGridLayout(fraCurrentFAQ);
    shownLayout->addWidget(label5, 0, 0, Qt::AlignTop);
    shownLayout->addWidget(lblFAQTitle, 0, 1);
    shownLayout->addWidget(label2, 1, 0, Qt::AlignTop);
    shownLayout->addWidget(memText, 1, 1);
    shownLayout->addLayout(hotwordRow, 2, 1);
    shownLayout->addLayout(buttonRow, 3, 0, 1, 2);
    shownLayout->setRowStretch(1, 1);
    shownLayout->setColumnStretch(1, 1);

    btnExit = new QPushButton(pnlRight);
    btnExit->setObjectName(u"btnExit"_s);
    BindButton(btnExit, actExit);

    // Shows while the activation key is held system-wide; nothing shows it yet.
    auto* hooked = new QLabel(u"Hooked"_s, pnlRight);
    hooked->setObjectName(u"lblHooked"_s);
    hooked->setToolTip(u"While this is shown, F11 brings the program to the front from any program."_s);
    hooked->hide();

    auto* rightLayout = new QVBoxLayout(pnlRight);
    rightLayout->setContentsMargins(0, 4, 4, 4);
    rightLayout->addWidget(hooked, 0, Qt::AlignRight);
    rightLayout->addWidget(fraFindAnAnswer);
    rightLayout->addWidget(fraCurrentFAQ, 1);
    rightLayout->addWidget(btnExit, 0, Qt::AlignRight);

    spltMain = new QSplitter(Qt::Horizontal, central);
    spltMain->setObjectName(u"spltMain"_s);
    spltMain->setHandleWidth(8);
    spltMain->setChildrenCollapsible(false);
    spltMain->addWidget(pnlFAQs);
    spltMain->addWidget(pnlRight);
    spltMain->setStretchFactor(0, 0);
    spltMain->setStretchFactor(1, 1);
    spltMain->setSizes({222, 670 - 222 - 8});
    auto* centralLayout = new QHBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->addWidget(spltMain);

    const QList<QWidget*> tabOrder{chkShowHotWord, tvFAQs, button1, button2, txtSearchTerm, btnGo, cmbSearchType,
                                   memText, btnPasteToReceivingApp, btnInternalComments, btnEdit, btnExit};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(txtSearchTerm, &QLineEdit::textChanged, this, [this] { m_singleMessageShown = false; });
    connect(tvFAQs, &QTreeWidget::itemSelectionChanged, this, [this] { Guarded([this] { tvFAQsChange(); }); });
    connect(tvFAQs, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* node) { Guarded([&] { tvFAQsExpanding(node); }); });
    connect(chkShowHotWord, &QCheckBox::toggled, this, [this] { Guarded([this] { chkShowHotWordClick(); }); });
}

void TfrmMain::CreateMenus()
{
    auto menu = [this](const QString& name, const QString& caption) {
        QMenu* created = menuBar()->addMenu(caption);
        created->setObjectName(name);
        return created;
    };
    QMenu* file = menu(u"mnuFile"_s, u"&File"_s);
    file->addAction(actExit);
    QMenu* messages = menu(u"mnuMessages"_s, u"&Messages"_s);
    messages->addActions({actNew, actEdit, actDelete, actSendFAQ, actViewInternalNotes});
    messages->addSeparator();
    messages->addAction(acRefreshFAQs);
    QMenu* tools = menu(u"mnuTools"_s, u"T&ools"_s);
    tools->addActions({actHotwordList, actUsageReport, actOptions, actSynchronize});
    QMenu* help = menu(u"mnuHelp"_s, u"&Help"_s);
    help->addActions({actHelpContents, actInstructions, actAbout});
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Showing again after HideToTray is no new start.
    if (!event->spontaneous() && !m_shownOnce) {
        m_shownOnce = true;
        Guarded([this] { FormShow(); });
    }
}

void TfrmMain::FormShow()
{
    ApplyOptions();
    if (tvFAQs->topLevelItemCount() == 0)
        RefreshFAQTree();
    txtSearchTerm->setFocus();
    txtSearchTerm->selectAll();
    RestoreWindowState();
}

void TfrmMain::FocusWindowChanged(QWindow* window)
{
    // Coming back from another of the program's windows selects the search term.
    if (window && window == windowHandle() && m_focusWindow && m_focusWindow != window)
        txtSearchTerm->selectAll();
    m_focusWindow = window;
}

void TfrmMain::ApplyOptions()
{
    const QString hotKeyText = ReadSetting(Setting::HotKey);
    const QString target = ReadSetting(Setting::Target);
    if (!target.isEmpty()) {
        QString caption = u"Paste to "_s + target + u" ("_s + hotKeyText + u')';
        actSendFAQ->setText(caption.replace(u'&', u"&&"_s));
    } else {
        interaction().showMessage(FirstRunNotice);
    }
    m_sendHotKey = TextToHotKey(hotKeyText);
    m_activateHotKey = TextToHotKey(ReadSetting(Setting::ActivateKey));
    jvActivateMe->setKey(m_activateHotKey);
}

void TfrmMain::FormKeyDown(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_F2:
    case Qt::Key_F3:
    case Qt::Key_F4:
        cmbSearchType->setCurrentIndex(event.key() - Qt::Key_F2);
        txtSearchTerm->setFocus();
        return;
    default:
        break;
    }
    const HotKey pressed = HotKeyFromKeyEvent(event);
    if (pressed.key == 0)
        return;
    if (pressed == m_activateHotKey) {
        BringProgramToFront();
    } else if (pressed == m_sendHotKey) {
        actSendFAQ->trigger();
        txtSearchTerm->selectAll();
    }
}

void TfrmMain::txtSearchTermKeyPress()
{
    actSearch->trigger();
}

// --- Message tree ---

void TfrmMain::RefreshFAQTree()
{
    QList<int> expanded;
    WalkTree(tvFAQs, [&](QTreeWidgetItem* node) {
        if (node->isExpanded())
            expanded.append(NodeID(node));
    });
    tvFAQs->clear();
    try {
        FillFAQNode(nullptr, 0);
    } catch (const ProviderError&) {
        DatabaseNotFound();
    }
    // Expanding loads a node's children, and the walk then goes on into them.
    std::function<void(QTreeWidgetItem*)> restore = [&](QTreeWidgetItem* node) {
        if (expanded.contains(NodeID(node)))
            node->setExpanded(true);
        for (int i = 0; i < node->childCount(); ++i)
            restore(node->child(i));
    };
    for (int i = 0; i < tvFAQs->topLevelItemCount(); ++i)
        restore(tvFAQs->topLevelItem(i));
}

void TfrmMain::DatabaseNotFound()
{
    interaction().showMessage(DatabaseNotFoundNotice);
    m_terminationRequested = true;
    QCoreApplication::quit();
}

void TfrmMain::FillFAQNode(QTreeWidgetItem* node, int parentID)
{
    SavedQuery& query = dmFAQData->aspFAQsByParentID;
    query.close();
    query.setParameter(u"[parentid:]"_s, parentID);
    OpenFromProvider(query);
    if (node)
        qDeleteAll(node->takeChildren());

    const bool showHotword = chkShowHotWord->isChecked();
    const DataSet rows = query.result();
    QList<QTreeWidgetItem*> created;
    // Nodes read before a failure stay in the tree.
    auto append = [&] {
        if (node)
            node->addChildren(created);
        else
            tvFAQs->addTopLevelItems(created);
    };
    try {
        for (int row = 0; row < rows.recordCount(); ++row) {
            QString label = rows.text(row, u"ShortName"_s);
            if (showHotword)
                label += u" / "_s + rows.text(row, u"Hotword"_s);
            const int id = rows.integer(row, u"ID"_s);
            auto* item = new QTreeWidgetItem(QStringList{label});
            item->setData(0, MessageIdRole, id);
            created.append(item);
            if (CountChildFAQs(id) > 0) {
                auto* placeholder = new QTreeWidgetItem(item, QStringList{Placeholder});
                placeholder->setData(0, MessageIdRole, 0);
            }
        }
    } catch (...) {
        append();
        throw;
    }
    append();
}

int TfrmMain::CountChildFAQs(int messageID)
{
    int result = 1;
    SavedQuery& query = dmFAQData->aspCountByParentID;
    query.close();
    query.setParameter(u"[groupid:]"_s, messageID);
    OpenFromProvider(query);
    if (query.recordCount() == 1)
        result = query.result().integer(0, u"count"_s);
    return result;
}

int TfrmMain::SelectedFAQID() const
{
    const QList<QTreeWidgetItem*> selected = tvFAQs->selectedItems();
    return selected.isEmpty() ? -1 : NodeID(selected.front());
}

void TfrmMain::tvFAQsChange()
{
    if (!tvFAQs->selectedItems().isEmpty())
        ShowFAQByID(SelectedFAQID());
}

void TfrmMain::tvFAQsExpanding(QTreeWidgetItem* node)
{
    FillFAQNode(node, NodeID(node));
}

void TfrmMain::chkShowHotWordClick()
{
    WriteBoolSetting(Setting::ShowHotword, chkShowHotWord->isChecked());
    RefreshFAQTree();
}

void TfrmMain::acRefreshFAQsExecute()
{
    RefreshFAQTree();
    ApplyOptions();
}

void TfrmMain::actSynchronizeExecute()
{
    // The first loaded node of the shown Message, by its path of Message IDs.
    QList<int> path;
    WalkTree(tvFAQs, [&](QTreeWidgetItem* node) {
        if (!path.isEmpty() || NodeID(node) != m_shownMessageID)
            return;
        for (QTreeWidgetItem* up = node; up; up = up->parent())
            path.prepend(NodeID(up));
    });
    if (path.isEmpty())
        return;
    // Expanding a parent reloads its children, so each level is found again by ID.
    QTreeWidgetItem* node = nullptr;
    for (const int id : path) {
        if (node && !node->isExpanded())
            node->setExpanded(true);
        node = ChildWithID(tvFAQs, node, id);
        if (!node)
            return;
    }
    tvFAQs->scrollToItem(node);
    tvFAQs->setCurrentItem(node);
}

void TfrmMain::actReconnectExecute()
{
    dmFAQData->OpenDatabase();
}

// --- Search ---

void TfrmMain::actSearchExecute()
{
    if (txtSearchTerm->text().isEmpty()) {
        interaction().showMessage(u"Please enter a search term and try again."_s);
        txtSearchTerm->setFocus();
        return;
    }
    ShowHourglass();
    try {
        const QString term = txtSearchTerm->text();
        switch (cmbSearchType->currentIndex()) {
        case 0:
            SearchByHotword(term);
            break;
        case 1:
            ActOnSearchRows(dmFAQData->aspTextbyKeyword.openWith(u"[keyword:]"_s, term),
                            u"No matching records found using keyword search"_s);
            break;
        case 2:
            ActOnSearchRows(dmFAQData->aspFullText.openWith(u"[search term:]"_s, term),
                            u"No matching records found using full text search"_s);
            break;
        default:
            interaction().showMessage(u"Unrecognized search option"_s);
            break;
        }
    } catch (...) {
        // The cursor must not stay busy after a failed search.
        ShowNormalCursor();
        throw;
    }
    txtSearchTerm->selectAll();
    ShowNormalCursor();
}

void TfrmMain::SearchByHotword(const QString& term)
{
    ActOnSearchRows(dmFAQData->aspTextByHotword.openWith(u"[hotword:]"_s, term),
                    u"No matching records found using HotWord search"_s);
}

void TfrmMain::ActOnSearchRows(const DataSet& rows, const QString& noneMessage)
{
    if (rows.recordCount() == 1)
        ShowFAQByID(rows.integer(0, u"ID"_s));
    else if (rows.recordCount() > 1)
        ShowSearchResults(rows);
    else
        interaction().showMessage(noneMessage);
}

// --- Selected Message ---

void TfrmMain::ShowFAQByID(int messageID)
{
    SavedQuery& query = dmFAQData->aspTextByID;
    query.close();
    query.setParameter(u"[ID:]"_s, messageID);
    m_shownMessageID = messageID;
    dmFAQData->atFAQ.setFilter(u"id = "_s + QString::number(messageID));
    dmFAQData->atFAQ.setFiltered(true);
    query.open();
    const DataSet& rows = query.result();
    if (rows.recordCount() > 1) {
        ShowSearchResults(rows);
        return;
    }
    if (rows.recordCount() == 0) {
        interaction().showMessage(u"No matching records found"_s);
        return;
    }
    m_singleMessageShown = true;
    LoadShownAttachments(messageID);
    lblAttachments->setText(u"Attachments: "_s + QString::number(m_shownAttachments.size()));
    memText->setPlainText(rows.text(0, u"Text"_s));
    lblFAQTitle->setText(rows.text(0, u"ShortName"_s));
    lblFAQHotword->setText(rows.text(0, u"Hotword"_s));

    dmFAQData->adoCommand.commandText = u"select Notes from FAQ where ID = "_s + QString::number(messageID);
    const DataSet notes = dmFAQData->adoCommand.execute();
    m_shownNotes = notes.isEmpty() ? QString() : TrimNotes(notes.text(0, u"Notes"_s));
    actViewInternalNotes->setEnabled(!m_shownNotes.isEmpty());
}

void TfrmMain::LoadShownAttachments(int messageID)
{
    m_shownAttachments.clear();
    const DataSet& rows = dmFAQData->aspAttachmentsByID.openWith(u"[FAQID:]"_s, messageID);
    for (int row = 0; row < rows.recordCount(); ++row) {
        const QString fileName = rows.text(row, u"Filename"_s);
        const bool promptToUse = rows.boolean(row, u"PromptToUse"_s);
        if (QFileInfo(fileName).isFile())
            m_shownAttachments.append({fileName, promptToUse});
    }
}

void TfrmMain::ShowSearchResults(const DataSet& rows)
{
    frmSelectFAQ->ClearResults();
    for (int row = 0; row < rows.recordCount(); ++row) {
        frmSelectFAQ->AddResult(rows.text(row, u"ID"_s), rows.text(row, u"ShortName"_s),
                                rows.text(row, u"Text"_s));
    }
    frmSelectFAQ->setWindowIcon(windowIcon());
    frmSelectFAQ->ShowNonModal();
    frmSelectFAQ->SelectFirstResult();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblAttachments) {
        switch (event->type()) {
        case QEvent::Enter:
            lblAttachments->setBackgroundRole(QPalette::Base);
            break;
        case QEvent::Leave:
            lblAttachments->setBackgroundRole(QPalette::Button);
            break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && lblAttachments->rect().contains(mouse->position().toPoint()))
                Guarded([this] { lblAttachmentsClick(); });
            break;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::lblAttachmentsClick()
{
    if (m_shownAttachments.isEmpty()) {
        interaction().showMessage(
            u"There are no attachments for this message. Click the \"Edit Current Message\" button to add some."_s);
        return;
    }
    QStringList files;
    QString list;
    for (const ShownAttachment& attachment : std::as_const(m_shownAttachments)) {
        files.append(attachment.fileName);
        list += attachment.fileName + (attachment.promptToUse ? u" (Ask first)"_s : QString()) + u"\r\n"_s;
    }
    PutFilesOnClipboard(files);
    interaction().showMessage(list);
}

// --- Viewers and help ---

void TfrmMain::actViewInternalNotesExecute()
{
    ShowInternalNotes(m_shownNotes, this);
}

void TfrmMain::actHotwordListExecute()
{
    ShowHotwordList(this);
}

void TfrmMain::actUsageReportExecute()
{
    ShowUsageReport(this);
}

void TfrmMain::actInstructionsExecute()
{
    interaction().showMessage(
        u"Press F11 at any time to activate this program.  Use the search engine to find your message."_s
        u"\r\nPress F12 to send the current message back to your selected email program, "_s
        u"\r\nwhere it will be pasted into the current message."_s);
}

void TfrmMain::actHelpContentsExecute()
{
    constexpr int ShowNormal = 1;
    RunFile(JoinPath(AppDir(), u"quillbay.chm"_s), {}, ShowNormal, {});
}

void TfrmMain::actAboutExecute()
{
    interaction().showMessage(ApplicationTitle() + u" v1.1\r\n\r\nhttps://www.tolvane.example/quillbay\r\n\r\n"_s
                              u"Copyright (C) Tolvane. All rights reserved."_s);
}
