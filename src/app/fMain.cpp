#include "app/fMain.h"

#include "app/activationhotkey.h"
#include "app/faqnodes.h"
#include "dialogs/fSelectFAQ.h"
#include "dialogs/fShowData.h"
#include "dialogs/keyevents.h"
#include "dialogs/textpreview.h"
#include "dialogs/widgetsupport.h"
#include "settings/filelocations.h"
#include "settings/settings.h"
#include "store/dmData.h"
#include "store/storeerror.h"
#include "util/errors.h"
#include "util/interaction.h"
#include "util/textutils.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSet>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTreeWidget>
#include <QWindow>

#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

TfrmMain* frmMain = nullptr;

namespace {

const QString Placeholder = u"Searching..."_s;

const QString FirstRunNotice
    = u"When you first run Tolvane QuillBay it does not know which email application you use.  "
      "When you are ready, please go to the Tools->Options menu and select your email program "
      "from the list provided.  If you do not see it there please contact us and let us know."_s;

const QString DatabaseNotFoundNotice
    = u"The Tolvane Quillbay database can not be found. Since it is a vital part of this program, "
      "it will now shut down.Please install the program again. You may wish to contact Tolvane "
      "QuillBay technical support if the problem persists."_s;

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

// A long destination name would widen the send button past the left panel.
QString ElidedTarget(const QString& target)
{
    constexpr qsizetype maxLength = 60;
    if (target.size() <= maxLength)
        return target;
    qsizetype keep = maxLength - 1;
    if (target[keep - 1].isHighSurrogate())
        --keep;
    return target.left(keep) + u'\u2026';
}

// Visits the nodes that exist, in tree order: a node, its children, then its next sibling.
void WalkTree(QTreeWidget* tree, const std::function<void(QTreeWidgetItem*)>& visit)
{
    // Parents before children, in tree order, without recursion: chains may be deep.
    std::vector<QTreeWidgetItem*> pending;
    for (int i = tree->topLevelItemCount() - 1; i >= 0; --i)
        pending.push_back(tree->topLevelItem(i));
    while (!pending.empty()) {
        QTreeWidgetItem* node = pending.back();
        pending.pop_back();
        visit(node);
        for (int i = node->childCount() - 1; i >= 0; --i)
            pending.push_back(node->child(i));
    }
}

// Stands for the children of a node until the node is expanded.
void AddPlaceholder(QTreeWidgetItem* node)
{
    auto* placeholder = new QTreeWidgetItem(node, QStringList{Placeholder});
    placeholder->setData(0, MessageIdRole, 0);
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
        if (watched == m_window->txtSearchTerm && enter && !key.modifiers().testFlag(Qt::ControlModifier)) {
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
    setupUi(this);
    setWindowTitle(ApplicationTitle());

    CreateCommands();
    CreateControls();
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
    // Commands work by their shortcuts also where no menu shows them.
    addActions({acRefreshFAQs, actSearch, actNew, actEdit, actDelete, actSendFAQ, actViewInternalNotes, actHotwordList,
                actUsageReport, actOptions, actSynchronize, actReconnect, actInstructions, actImport, actExport,
                actExit, actRestore, actHelpContents, actAbout});

    OnTriggered(acRefreshFAQs, &TfrmMain::acRefreshFAQsExecute);
    OnTriggered(actSearch, &TfrmMain::actSearchExecute);
    OnTriggered(actNew, &TfrmMain::actNewExecute);
    OnTriggered(actEdit, &TfrmMain::actEditExecute);
    OnTriggered(actDelete, &TfrmMain::actDeleteExecute);
    OnTriggered(actSendFAQ, &TfrmMain::actSendFAQExecute);
    OnTriggered(actViewInternalNotes, &TfrmMain::actViewInternalNotesExecute);
    OnTriggered(actHotwordList, &TfrmMain::actHotwordListExecute);
    OnTriggered(actUsageReport, &TfrmMain::actUsageReportExecute);
    OnTriggered(actSynchronize, &TfrmMain::actSynchronizeExecute);
    OnTriggered(actReconnect, &TfrmMain::actReconnectExecute);
    OnTriggered(actInstructions, &TfrmMain::actInstructionsExecute);
    OnTriggered(actImport, &TfrmMain::actImportExecute);
    OnTriggered(actExport, &TfrmMain::actExportExecute);
    OnTriggered(actOptions, &TfrmMain::actOptionsExecute);
    connect(actExit, &QAction::triggered, this, &QWidget::close);
    OnTriggered(actRestore, &TfrmMain::BringProgramToFront);
    OnTriggered(actHelpContents, &TfrmMain::actHelpContentsExecute);
    OnTriggered(actAbout, &TfrmMain::actAboutExecute);
}

void TfrmMain::CreateControls()
{
    KeepSelectionHighlighted(tvFAQs);
    // A drop changes the database, never the items: the tree is rebuilt afterwards.
    tvFAQs->viewport()->installEventFilter(this);
    // "*" expands the whole branch through the Message store, not item by item.
    tvFAQs->installEventFilter(this);
    BindButton(Button1, actNew);
    BindButton(Button2, actDelete);
    BindButton(btnGo, actSearch);
    BindButton(btnPasteToReceivingApp, actSendFAQ);
    BindButton(btnInternalComments, actViewInternalNotes, true);
    BindButton(btnEdit, actEdit);
    BindButton(btnExit, actExit);

    lblFAQTitle->setFixedHeight(2 * lblFAQTitle->fontMetrics().lineSpacing());
    lblAttachments->setBackgroundRole(QPalette::Button);
    lblAttachments->installEventFilter(this);

    spltMain->setStretchFactor(0, 0);
    spltMain->setStretchFactor(1, 1);
    spltMain->setSizes({222, 670 - 222 - 8});

    connect(txtSearchTerm, &QLineEdit::textChanged, this, [this] { m_singleMessageShown = false; });
    connect(tvFAQs, &QTreeWidget::itemSelectionChanged, this, [this] { Guarded([this] { tvFAQsChange(); }); });
    connect(tvFAQs, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* node) { Guarded([&] { tvFAQsExpanding(node); }); });
    connect(chkShowHotWord, &QCheckBox::toggled, this, [this] { Guarded([this] { chkShowHotWordClick(); }); });
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
        QString caption = u"Paste to "_s + ElidedTarget(target) + u" ("_s + hotKeyText + u')';
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
    default: break;
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
    QSet<int> expanded;
    WalkTree(tvFAQs, [&](QTreeWidgetItem* node) {
        if (node->isExpanded())
            expanded.insert(NodeID(node));
    });
    tvFAQs->clear();
    try {
        FillFAQNode(nullptr, 0);
    } catch (const StoreError&) {
        DatabaseNotFound();
    }
    const auto wasExpanded = [&](int id) { return expanded.contains(id); };
    for (int i = 0; i < tvFAQs->topLevelItemCount(); ++i) {
        QTreeWidgetItem* node = tvFAQs->topLevelItem(i);
        if (wasExpanded(NodeID(node)))
            ExpandBranch(node, wasExpanded);
    }
}

void TfrmMain::DatabaseNotFound()
{
    interaction().showMessage(DatabaseNotFoundNotice);
    m_terminationRequested = true;
    QCoreApplication::exit(1);
}

namespace {

// The Message IDs a node's children must not repeat: the node, its ancestors and the
// top level's group 0. A Message that is its own group would otherwise list itself.
QSet<int> PathIDs(const QTreeWidgetItem* node)
{
    QSet<int> ids{0};
    for (const QTreeWidgetItem* up = node; up; up = up->parent())
        ids.insert(NodeID(up));
    return ids;
}

} // namespace

QTreeWidgetItem* TfrmMain::NewFAQNode(const DataSet& rows, int row, bool showHotword) const
{
    QString label = rows.text(row, u"ShortName"_s);
    if (showHotword)
        label += u" / "_s + rows.text(row, u"Hotword"_s);
    auto* item = new QTreeWidgetItem(QStringList{label});
    item->setData(0, MessageIdRole, rows.integer(row, u"ID"_s));
    return item;
}

void TfrmMain::FillFAQNode(QTreeWidgetItem* node, int parentID)
{
    // A node of Message 0 stands for the top level again; it lists nothing.
    const DataSet rows = node && parentID == 0 ? DataSet() : dmFAQData->ChildrenOf(parentID);
    if (node)
        qDeleteAll(node->takeChildren());
    const QSet<int> path = node ? PathIDs(node) : QSet<int>();

    const bool showHotword = chkShowHotWord->isChecked();
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
            const int id = rows.integer(row, u"ID"_s);
            if (path.contains(id))
                continue;
            auto* item = NewFAQNode(rows, row, showHotword);
            created.append(item);
            if (id != 0 && CountChildFAQs(id) > 0)
                AddPlaceholder(item);
        }
    } catch (...) {
        append();
        throw;
    }
    append();
}

void TfrmMain::ExpandAllFAQNodes(QTreeWidgetItem* node)
{
    ExpandBranch(node, [](int) { return true; });
}

void TfrmMain::ExpandBranch(QTreeWidgetItem* node, const std::function<bool(int)>& expand)
{
    // The branch is read into detached items first, each Message once on its path, and
    // put into the tree in one step; one expansion each then needs no further reading.
    const bool showHotword = chkShowHotWord->isChecked();
    QSet<int> path = PathIDs(node);
    QList<QTreeWidgetItem*> branch;
    QList<QTreeWidgetItem*> parents;
    struct Step {
        QTreeWidgetItem* item;
        bool leaving;
    };
    std::vector<Step> steps;
    auto readChildren = [&](QTreeWidgetItem* parent, QList<QTreeWidgetItem*>& into) {
        const int parentID = NodeID(parent);
        if (parentID == 0)
            return;
        const DataSet rows = dmFAQData->ChildrenOf(parentID);
        for (int row = 0; row < rows.recordCount(); ++row) {
            if (path.contains(rows.integer(row, u"ID"_s)))
                continue;
            into.append(NewFAQNode(rows, row, showHotword));
        }
    };
    try {
        readChildren(node, branch);
        for (auto it = branch.crbegin(); it != branch.crend(); ++it)
            steps.push_back({*it, false});
        while (!steps.empty()) {
            const Step step = steps.back();
            steps.pop_back();
            const int id = NodeID(step.item);
            if (step.leaving) {
                path.remove(id);
                continue;
            }
            if (!expand(id)) {
                // Loaded when the user expands it, as a node of a plain fill.
                if (id != 0 && CountChildFAQs(id) > 0)
                    AddPlaceholder(step.item);
                continue;
            }
            path.insert(id);
            steps.push_back({step.item, true});
            QList<QTreeWidgetItem*> children;
            readChildren(step.item, children);
            if (children.isEmpty())
                continue;
            step.item->addChildren(children);
            parents.append(step.item);
            for (auto it = children.crbegin(); it != children.crend(); ++it)
                steps.push_back({*it, false});
        }
    } catch (...) {
        qDeleteAll(branch);
        throw;
    }

    const QSignalBlocker quiet(tvFAQs);
    node->setExpanded(false);
    qDeleteAll(node->takeChildren());
    node->addChildren(branch);
    // Deepest first, so only the last expansion lays the branch out.
    for (auto it = parents.crbegin(); it != parents.crend(); ++it)
        (*it)->setExpanded(true);
    node->setExpanded(true);
}

int TfrmMain::CountChildFAQs(int messageID)
{
    // Without a count the node is taken to have children, so it can still be expanded.
    const int count = dmFAQData->CountChildren(messageID);
    return count < 0 ? 1 : count;
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
    try {
        dmFAQData->OpenDatabase();
    } catch (const SchemaUpgraded& notice) {
        interaction().showMessage(notice.text());
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    }
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
        case 0: SearchByHotword(term); break;
        case 1:
            ActOnSearchRows(dmFAQData->MessagesByKeyword(term), u"No matching records found using keyword search"_s);
            break;
        case 2:
            ActOnSearchRows(dmFAQData->MessagesByFullText(term), u"No matching records found using full text search"_s);
            break;
        default: interaction().showMessage(u"Unrecognized search option"_s); break;
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
    ActOnSearchRows(dmFAQData->MessagesByHotword(term), u"No matching records found using HotWord search"_s);
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
    const DataSet rows = dmFAQData->MessageByID(messageID);
    m_shownMessageID = messageID;
    dmFAQData->PositionOn(messageID);
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
    memText->setPreviewText(rows.text(0, u"Text"_s));
    lblFAQTitle->setText(rows.text(0, u"ShortName"_s));
    lblFAQHotword->setText(rows.text(0, u"Hotword"_s));

    m_shownNotes = TrimNotes(dmFAQData->NotesOf(messageID));
    actViewInternalNotes->setEnabled(!m_shownNotes.isEmpty());
}

void TfrmMain::LoadShownAttachments(int messageID)
{
    m_shownAttachments.clear();
    const DataSet rows = dmFAQData->AttachmentsOf(messageID);
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
        frmSelectFAQ->AddResult(rows.text(row, u"ID"_s), rows.text(row, u"ShortName"_s), rows.text(row, u"Text"_s));
    }
    frmSelectFAQ->setWindowIcon(windowIcon());
    frmSelectFAQ->ShowNonModal();
    frmSelectFAQ->SelectFirstResult();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tvFAQs->viewport())
        return tvFAQsDragEvent(event) || QMainWindow::eventFilter(watched, event);
    if (watched == tvFAQs && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Asterisk) {
        if (QTreeWidgetItem* current = tvFAQs->currentItem())
            Guarded([&] { ExpandAllFAQNodes(current); });
        return true;
    }
    if (watched == lblAttachments) {
        switch (event->type()) {
        case QEvent::Enter: lblAttachments->setBackgroundRole(QPalette::Base); break;
        case QEvent::Leave: lblAttachments->setBackgroundRole(QPalette::Button); break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && lblAttachments->rect().contains(mouse->position().toPoint()))
                Guarded([this] { lblAttachmentsClick(); });
            break;
        }
        default: break;
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
    RunFile(HelpFilePath(), {}, ShowNormal, {});
}

void TfrmMain::actAboutExecute()
{
    interaction().showMessage(ApplicationTitle()
                              + u" v1.1\r\n\r\nhttps://www.tolvane.example/quillbay\r\n\r\n"_s
                                u"Copyright (C) Tolvane. All rights reserved.\r\n\r\nSettings: "_s
                              + QDir::toNativeSeparators(ProgramFileLocations().configFolder) + u"\r\nMessages: "_s
                              + dmFAQData->databaseLocation());
}
