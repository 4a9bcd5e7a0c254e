#include "app/fMain.h"

#include "app/activationhotkey.h"
#include "app/faqtree.h"
#include "app/importexport.h"
#include "app/searchcommand.h"
#include "app/traycontroller.h"
#include "dialogs/elidedlabel.h"
#include "dialogs/fSelectFAQ.h"
#include "dialogs/fShowData.h"
#include "dialogs/ffaqaddedit.h"
#include "dialogs/keyevents.h"
#include "dialogs/textpreview.h"
#include "dialogs/widgetsupport.h"
#include "settings/filelocations.h"
#include "settings/settings.h"
#include "store/dmData.h"
#include "store/storeerror.h"
#include "util/connectguarded.h"
#include "util/errors.h"
#include "util/interaction.h"
#include "util/textutils.h"

#include "ui_fMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QStringListModel>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

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

// Why a file could not be opened, by the shell-style result of Interaction::runFile.
QString RunFileFailure(int result)
{
    switch (result) {
    case 2: return u"the file does not exist."_s;
    case 3: return u"its folder does not exist."_s;
    case 5: return u"access to the file was denied."_s;
    case 8: return u"there is not enough memory."_s;
    case 26: return u"the file is in use by another program."_s;
    case 29: return u"the program set up to open it failed."_s;
    case 27:
    case 31: return u"no program is set up to open files of this kind."_s;
    default: return u"the desktop could not open it (error %1)."_s.arg(result);
    }
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
        // While the list of Hotwords is open, it gets the keys typed into the search box.
        QWidget* hotwords = m_window->m_hotwordCompleter->popup();
        const bool inHotwords = watched == hotwords && hotwords->isVisible();
        if (watched != receiver && !inHotwords)
            return false;
        const auto& key = *static_cast<QKeyEvent*>(event);
        Guarded(m_window->m_boxes, [&] { m_window->FormKeyDown(key); });
        const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
        if ((watched == m_window->ui->txtSearchTerm || inHotwords) && enter
            && !key.modifiers().testFlag(Qt::ControlModifier)) {
            // The search takes the box's text as it is: typed, or picked in the list with the arrow keys.
            hotwords->hide();
            Guarded(m_window->m_boxes, [this] { m_window->txtSearchTermKeyPress(); });
            return true;
        }
        return false;
    }

private:
    TfrmMain* m_window;
};

TfrmMain::TfrmMain(TdmFAQData& store, Platform& desktop, Interaction& boxes, Options& options, QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::TfrmMain>())
    , m_store(store)
    , m_desktop(desktop)
    , m_boxes(boxes)
    , m_options(options)
{
    ui->setupUi(this);
    setWindowTitle(ApplicationTitle());

    m_tree = new FAQTree(*ui->tvFAQs, m_store, m_boxes);
    m_search = std::make_unique<SearchCommand>(
        *ui->txtSearchTerm, *ui->cmbSearchType, m_store, m_boxes,
        SearchCommand::Results{[this](int id) { ShowFAQByID(id); },
                               [this](const DataSet& rows) { ShowSearchResults(rows); }});
    m_importExport = new ImportExport(m_store, m_boxes, m_desktop.dateFormats, *this);
    m_tray = new TrayController(*this, *ui->actRestore, m_desktop, m_boxes);
    m_select = new TfrmSelectFAQ(
        m_boxes, [this](int messageID) { ShowFAQByID(messageID); }, this);
    m_addEdit = new TfrmAddEditFAQ(
        m_store, m_boxes, [this](const QString& hotword) { MessageSaved(hotword); }, this);
    m_hotwordModel = new QStringListModel(this);
    m_hotwordCompleter = new QCompleter(m_hotwordModel, this);
    m_hotwordCompleter->setObjectName(u"cmpHotwords"_s);
    m_hotwordCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    m_hotwordCompleter->setCompletionMode(QCompleter::PopupCompletion);
    mnuFAQTree = new QMenu(this);
    mnuFAQTree->setObjectName(u"mnuFAQTree"_s);

    CreateCommands();
    CreateControls();
    PrepareWindowState();

    ui->cmbSearchType->setCurrentIndex(0);
    new KeyPreview(this);
    ConnectGuarded(m_boxes, qApp, &QGuiApplication::focusWindowChanged, this, &TfrmMain::FocusWindowChanged);
}

TfrmMain::~TfrmMain()
{
    // A run that never showed the window leaves the remembered layout alone.
    if (m_layoutRestored)
        Guarded(m_boxes, [this] { SaveWindowState(); });
}

void TfrmMain::OnTriggered(QAction* action, void (TfrmMain::*handler)())
{
    ConnectGuarded(m_boxes, action, &QAction::triggered, this, handler);
}

void TfrmMain::CreateCommands()
{
    // Commands work by their shortcuts also where no menu shows them.
    addActions({ui->acRefreshFAQs, ui->actSearch, ui->actNew, ui->actEdit, ui->actDelete, ui->actSendFAQ,
                ui->actViewInternalNotes, ui->actHotwordList, ui->actUsageReport, ui->actOptions, ui->actSynchronize,
                ui->actReconnect, ui->actInstructions, ui->actImport, ui->actExport, ui->actExit, ui->actRestore,
                ui->actHelpContents, ui->actAbout});
    addActions({ui->actMoveTo, ui->actDuplicate, ui->actFocusSearch});
    addActions({ui->actRestoreBackup});
    // Delete is a key of the tree alone: elsewhere it edits text.
    ui->tvFAQs->addAction(ui->actDeleteNode);
    connect(ui->actDeleteNode, &QAction::triggered, ui->actDelete, &QAction::trigger);
    mnuFAQTree->addActions({ui->actNew, ui->actEdit, ui->actDeleteNode});
    mnuFAQTree->addSeparator();
    mnuFAQTree->addActions({ui->actMoveTo, ui->actDuplicate});

    OnTriggered(ui->acRefreshFAQs, &TfrmMain::acRefreshFAQsExecute);
    OnTriggered(ui->actSearch, &TfrmMain::actSearchExecute);
    OnTriggered(ui->actNew, &TfrmMain::actNewExecute);
    OnTriggered(ui->actEdit, &TfrmMain::actEditExecute);
    OnTriggered(ui->actDelete, &TfrmMain::actDeleteExecute);
    OnTriggered(ui->actMoveTo, &TfrmMain::actMoveToExecute);
    OnTriggered(ui->actDuplicate, &TfrmMain::actDuplicateExecute);
    OnTriggered(ui->actFocusSearch, &TfrmMain::actFocusSearchExecute);
    OnTriggered(ui->actSendFAQ, &TfrmMain::actSendFAQExecute);
    OnTriggered(ui->actViewInternalNotes, &TfrmMain::actViewInternalNotesExecute);
    OnTriggered(ui->actHotwordList, &TfrmMain::actHotwordListExecute);
    OnTriggered(ui->actUsageReport, &TfrmMain::actUsageReportExecute);
    OnTriggered(ui->actSynchronize, &TfrmMain::actSynchronizeExecute);
    OnTriggered(ui->actReconnect, &TfrmMain::actReconnectExecute);
    OnTriggered(ui->actInstructions, &TfrmMain::actInstructionsExecute);
    ConnectGuarded(m_boxes, ui->actImport, &QAction::triggered, m_importExport, &ImportExport::actImportExecute);
    ConnectGuarded(m_boxes, ui->actExport, &QAction::triggered, m_importExport, &ImportExport::actExportExecute);
    OnTriggered(ui->actRestoreBackup, &TfrmMain::actRestoreBackupExecute);
    OnTriggered(ui->actOptions, &TfrmMain::actOptionsExecute);
    connect(ui->actExit, &QAction::triggered, this, &QWidget::close);
    OnTriggered(ui->actRestore, &TfrmMain::BringProgramToFront);
    OnTriggered(ui->actHelpContents, &TfrmMain::actHelpContentsExecute);
    OnTriggered(ui->actAbout, &TfrmMain::actAboutExecute);
}

void TfrmMain::CreateControls()
{
    BindButton(ui->Button1, ui->actNew);
    BindButton(ui->Button2, ui->actDelete);
    BindButton(ui->btnGo, ui->actSearch);
    BindButton(ui->btnPasteToReceivingApp, ui->actSendFAQ);
    BindButton(ui->btnInternalComments, ui->actViewInternalNotes, true);
    BindButton(ui->btnEdit, ui->actEdit);
    BindButton(ui->btnExit, ui->actExit);

    ui->lblFAQTitle->setFixedHeight(2 * ui->lblFAQTitle->fontMetrics().lineSpacing());
    ui->lblAttachments->setBackgroundRole(QPalette::Button);
    ui->lblAttachments->installEventFilter(this);

    ui->spltMain->setStretchFactor(0, 0);
    ui->spltMain->setStretchFactor(1, 1);
    ui->spltMain->setSizes({222, 670 - 222 - 8});

    connect(ui->txtSearchTerm, &QLineEdit::textChanged, this, [this] { m_singleMessageShown = false; });
    ConnectGuarded(m_boxes, m_tree, &FAQTree::nodeSelected, this, &TfrmMain::ShowFAQByID);
    ConnectGuarded(m_boxes, m_tree, &FAQTree::messageMoved, this, &TfrmMain::RefreshFAQTree);
    ConnectGuarded(m_boxes, m_importExport, &ImportExport::messagesImported, this, &TfrmMain::RefreshFAQTree);
    ConnectGuarded(m_boxes, m_importExport, &ImportExport::databaseRestored, this, &TfrmMain::DatabaseRestored);
    // The tree's labels follow the box before the click refills it.
    connect(ui->chkShowHotWord, &QCheckBox::toggled, m_tree, &FAQTree::setShowHotword);
    ConnectGuarded(m_boxes, ui->chkShowHotWord, &QCheckBox::toggled, this, &TfrmMain::chkShowHotWordClick);
    ConnectGuarded(m_boxes, ui->tvFAQs, &QWidget::customContextMenuRequested, this, &TfrmMain::tvFAQsContextMenu);
    ConnectGuarded(m_boxes, ui->cmbSearchType, &QComboBox::currentIndexChanged, this, &TfrmMain::cmbSearchTypeChange);
    cmbSearchTypeChange();
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Showing again after HideToTray is no new start.
    if (!event->spontaneous() && !m_shownOnce) {
        m_shownOnce = true;
        Guarded(m_boxes, [this] { FormShow(); });
    }
}

void TfrmMain::FormShow()
{
    ApplyOptions();
    if (ui->tvFAQs->topLevelItemCount() == 0)
        RefreshFAQTree();
    ui->txtSearchTerm->setFocus();
    ui->txtSearchTerm->selectAll();
    RestoreWindowState();
}

void TfrmMain::FocusWindowChanged(QWindow* window)
{
    // Coming back from another of the program's windows selects the search term. Pop-ups,
    // such as the list of Hotwords shown while typing, are no such windows.
    if (window && window->type() == Qt::Popup)
        return;
    if (window && window == windowHandle() && m_focusWindow && m_focusWindow != window)
        ui->txtSearchTerm->selectAll();
    m_focusWindow = window;
}

void TfrmMain::ApplyOptions()
{
    Options options = m_options;
    options.load();
    const QString hotKeyText = options.value(Setting::HotKey);
    const QString target = options.value(Setting::Target);
    if (!target.isEmpty()) {
        QString caption = u"Paste to "_s + ElidedTarget(target) + u" ("_s + hotKeyText + u')';
        ui->actSendFAQ->setText(caption.replace(u'&', u"&&"_s));
    } else {
        m_boxes.showMessage(FirstRunNotice);
    }
    m_sendHotKey = TextToHotKey(hotKeyText);
    // A key that types text is no activation key: every program would lose it.
    const HotKey activate = TextToHotKey(options.value(Setting::ActivateKey));
    m_activateHotKey = TypesText(activate) ? HotKey{} : activate;
    m_tray->jvActivateMe->setKey(m_activateHotKey);
}

void TfrmMain::FormKeyDown(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_F2:
    case Qt::Key_F3:
    case Qt::Key_F4:
        ui->cmbSearchType->setCurrentIndex(event.key() - Qt::Key_F2);
        ui->txtSearchTerm->setFocus();
        return;
    default: break;
    }
    const HotKey pressed = HotKeyFromKeyEvent(event);
    if (pressed.key == 0)
        return;
    if (pressed == m_activateHotKey) {
        BringProgramToFront();
    } else if (pressed == m_sendHotKey) {
        ui->actSendFAQ->trigger();
        ui->txtSearchTerm->selectAll();
    }
}

void TfrmMain::txtSearchTermKeyPress()
{
    ui->actSearch->trigger();
}

void TfrmMain::actFocusSearchExecute()
{
    ui->txtSearchTerm->setFocus(Qt::ShortcutFocusReason);
    ui->txtSearchTerm->selectAll();
}

void TfrmMain::cmbSearchTypeChange()
{
    // Hotwords are offered for the Hotword search only.
    constexpr int HotwordSearch = 0;
    ui->txtSearchTerm->setCompleter(ui->cmbSearchType->currentIndex() == HotwordSearch ? m_hotwordCompleter : nullptr);
}

void TfrmMain::RefreshHotwordCompletion()
{
    QStringList hotwords;
    const QList<TdmFAQData::HotwordEntry> entries = m_store.HotwordList();
    hotwords.reserve(entries.size());
    for (const TdmFAQData::HotwordEntry& entry : entries)
        hotwords.append(entry.hotword);
    m_hotwordModel->setStringList(hotwords);
}

// --- Message tree and search ---

void TfrmMain::RefreshFAQTree()
{
    try {
        m_tree->RefreshFAQTree();
    } catch (const StoreError&) {
        DatabaseNotFound();
        return;
    }
    RefreshHotwordCompletion();
}

void TfrmMain::DatabaseNotFound()
{
    m_boxes.showMessage(DatabaseNotFoundNotice);
    m_terminationRequested = true;
    QCoreApplication::exit(1);
}

void TfrmMain::chkShowHotWordClick()
{
    Options options = m_options;
    options.load();
    options.setValue(Setting::ShowHotword, ui->chkShowHotWord->isChecked());
    options.save();
    RefreshFAQTree();
}

void TfrmMain::acRefreshFAQsExecute()
{
    RefreshFAQTree();
    ApplyOptions();
}

void TfrmMain::actSynchronizeExecute()
{
    m_tree->Synchronize(m_shownMessageID);
}

void TfrmMain::actReconnectExecute()
{
    try {
        m_store.OpenDatabase();
    } catch (const SchemaUpgraded& notice) {
        m_boxes.showMessage(notice.text());
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    }
}

void TfrmMain::actRestoreBackupExecute()
{
    // The restore would pull the Message being edited from under the dialog.
    if (m_addEdit->isVisible()) {
        m_boxes.showMessage(u"Please save or cancel the message being edited before restoring a backup."_s);
        return;
    }
    m_importExport->actRestoreBackupExecute();
}

void TfrmMain::DatabaseRestored()
{
    // The shown Message may no longer exist, or differ: nothing is shown until it is found again.
    m_shownMessageID = 0;
    m_singleMessageShown = false;
    m_shownAttachments.clear();
    m_shownNotes.clear();
    ui->memText->setPreviewText({});
    ui->lblFAQTitle->clear();
    ui->lblFAQHotword->setFullText({});
    ui->lblAttachments->setText(u"Attachments"_s);
    ui->actViewInternalNotes->setEnabled(false);
    m_store.PositionOn(0);
    RefreshFAQTree();
}

void TfrmMain::actSearchExecute()
{
    m_search->actSearchExecute();
}

// --- Selected Message ---

void TfrmMain::ShowFAQByID(int messageID)
{
    const DataSet rows = m_store.MessageByID(messageID);
    m_shownMessageID = messageID;
    m_store.PositionOn(messageID);
    if (rows.recordCount() > 1) {
        ShowSearchResults(rows);
        return;
    }
    if (rows.recordCount() == 0) {
        m_boxes.showMessage(u"No matching records found"_s);
        return;
    }
    m_singleMessageShown = true;
    LoadShownAttachments(messageID);
    ui->lblAttachments->setText(u"Attachments: "_s + QString::number(m_shownAttachments.size()));
    ui->memText->setPreviewText(rows.text(0, u"Text"_s));
    ui->lblFAQTitle->setText(rows.text(0, u"ShortName"_s));
    ui->lblFAQHotword->setFullText(rows.text(0, u"Hotword"_s));

    m_shownNotes = TrimNotes(m_store.NotesOf(messageID));
    ui->actViewInternalNotes->setEnabled(!m_shownNotes.isEmpty());
}

void TfrmMain::LoadShownAttachments(int messageID)
{
    m_shownAttachments.clear();
    const DataSet rows = m_store.AttachmentsOf(messageID);
    for (int row = 0; row < rows.recordCount(); ++row) {
        const QString fileName = rows.text(row, u"Filename"_s);
        const bool promptToUse = rows.boolean(row, u"PromptToUse"_s);
        if (QFileInfo(fileName).isFile())
            m_shownAttachments.append({fileName, promptToUse});
    }
}

void TfrmMain::ShowSearchResults(const DataSet& rows)
{
    m_select->ClearResults();
    for (int row = 0; row < rows.recordCount(); ++row) {
        m_select->AddResult(rows.text(row, u"ID"_s), rows.text(row, u"ShortName"_s), rows.text(row, u"Text"_s));
    }
    m_select->setWindowIcon(windowIcon());
    m_select->ShowNonModal();
    m_select->SelectFirstResult();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->lblAttachments) {
        switch (event->type()) {
        case QEvent::Enter: ui->lblAttachments->setBackgroundRole(QPalette::Base); break;
        case QEvent::Leave: ui->lblAttachments->setBackgroundRole(QPalette::Button); break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && ui->lblAttachments->rect().contains(mouse->position().toPoint()))
                Guarded(m_boxes, [this] { lblAttachmentsClick(); });
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
        m_boxes.showMessage(
            u"There are no attachments for this message. Click the \"Edit Current Message\" button to add some."_s);
        return;
    }
    QStringList files;
    QString list;
    for (const ShownAttachment& attachment : std::as_const(m_shownAttachments)) {
        files.append(attachment.fileName);
        list += attachment.fileName + (attachment.promptToUse ? u" (Ask first)"_s : QString()) + u"\r\n"_s;
    }
    PutFilesOnClipboard(m_desktop.clipboard, files);
    m_boxes.showMessage(list);
}

// --- Viewers and help ---

void TfrmMain::actViewInternalNotesExecute()
{
    ShowInternalNotes(m_shownNotes, m_options, this);
}

void TfrmMain::actHotwordListExecute()
{
    ShowHotwordList(m_store, this);
}

void TfrmMain::actUsageReportExecute()
{
    ShowUsageReport(m_store, this);
}

void TfrmMain::actInstructionsExecute()
{
    m_boxes.showMessage(
        u"Press F11 at any time to activate this program.  Use the search engine to find your message."_s
        u"\r\nPress F12 to send the current message back to your selected email program, "_s
        u"\r\nwhere it will be pasted into the current message."_s);
}

void TfrmMain::actHelpContentsExecute()
{
    constexpr int ShowNormal = 1;
    const QString file = HelpFilePath();
    int result = 0;
    try {
        result = m_boxes.runFile(file, {}, ShowNormal, {});
    } catch (...) {
        m_boxes.showMessage(u"An error occurred while trying to run "_s + file);
        throw;
    }
    if (result <= 32) {
        m_boxes.showMessage(u"The help could not be opened.\r\n\r\nFile: "_s + QDir::toNativeSeparators(file)
                            + u"\r\nReason: "_s + RunFileFailure(result));
    }
}

void TfrmMain::actAboutExecute()
{
    m_boxes.showMessage(ApplicationTitle()
                        + u" v1.1\r\n\r\nhttps://www.tolvane.example/quillbay\r\n\r\n"_s
                          u"Copyright (C) Tolvane. All rights reserved.\r\n\r\nSettings: "_s
                        + QDir::toNativeSeparators(QFileInfo(m_options.path()).absolutePath()) + u"\r\nMessages: "_s
                        + m_store.databaseLocation());
}
