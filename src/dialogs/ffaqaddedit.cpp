#include "dialogs/ffaqaddedit.h"

#include "ui_ffaqaddedit.h"

#include "dialogs/datatablemodel.h"
#include "dialogs/fprompttextentry.h"
#include "store/columns.h"
#include "store/dmData.h"
#include "store/storeerror.h"
#include "util/connectguarded.h"
#include "util/interaction.h"
#include "util/textutils.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QString AttachmentFilter = u"Documents|*.txt;*.doc;*.htm;*.html|All Files|*.*"_s;

const QString HelpText
    = u"These items will be replaced when the message is actually used. %DATE% will be replaced with "
      "today's date, %DATETIME% with the current date and time, and %CLIPBOARD% with the current "
      "contents of the Windows Clipboard (if it is text).  This will be very useful for data that "
      "changes each time the message is used, such as a software registration key."_s;

const QString ChangedMeanwhileText
    = u"Someone else has changed this message since you opened it, so your changes have not been saved.\n\n"
      "Reload shows the message as it is stored now; your changes here are dropped.\n"
      "Keep Editing keeps your changes here; saving them then replaces the other change."_s;

const QString DeletedMeanwhileText
    = u"Someone else has deleted this message since you opened it, so your changes have not been saved.\n\n"
      "Save as New Message stores it as you see it here, with its keywords and attachments, as a new "
      "message.\n"
      "Cancel goes back to editing without saving."_s;

const QString GroupDeletedMeanwhileText
    = u"Someone else has deleted the message that this new message was to be placed in, so it has not been "
      "saved.\n\n"
      "Save at Top Level stores it at the top level of the tree.\n"
      "Cancel goes back to editing without saving."_s;

// A file name cell: the name can be typed, or picked with the ellipsis button.
class FileNameEditor : public QWidget {
public:
    using Picker = std::function<std::optional<QString>(const QString&)>;

    FileNameEditor(QWidget* parent, Picker picker, std::function<void(FileNameEditor*)> picked)
        : QWidget(parent)
        , edit(new QLineEdit(this))
    {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        edit->setFrame(false);
        edit->setMaxLength(255);
        auto* ellipsis = new QToolButton(this);
        ellipsis->setObjectName(u"btnEllipsis"_s);
        ellipsis->setText(u"..."_s);
        ellipsis->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(edit, 1);
        layout->addWidget(ellipsis);
        setFocusProxy(edit);
        // The picker and the cell's store run through the dialog's and the model's guards.
        connect(ellipsis, &QToolButton::clicked, this, [this, picker, picked] {
            if (const auto file = picker(edit->text())) {
                edit->setText(*file);
                picked(this);
            }
        });
    }
    QLineEdit* edit;
};

class FileNameDelegate : public QStyledItemDelegate {
public:
    FileNameDelegate(FileNameEditor::Picker picker, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_picker(std::move(picker))
    { }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* self = const_cast<FileNameDelegate*>(this);
        return new FileNameEditor(parent, m_picker,
                                  [self](FileNameEditor* editor) { Q_EMIT self->commitData(editor); });
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        static_cast<FileNameEditor*>(editor)->edit->setText(index.data(Qt::EditRole).toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        model->setData(index, static_cast<FileNameEditor*>(editor)->edit->text());
    }

private:
    FileNameEditor::Picker m_picker;
};

// A keyword cell takes no more characters than its column holds.
class KeywordDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(int(Column::KeywordLength));
        return editor;
    }
};

// "Prompt Before Attaching": chosen from the list "False", "True".
class PromptDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* combo = new QComboBox(parent);
        combo->addItems({u"False"_s, u"True"_s});
        return combo;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        static_cast<QComboBox*>(editor)->setCurrentIndex(TextToBool(index.data(Qt::EditRole).toString()) ? 1 : 0);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText());
    }
};

QString PlainText(const QPlainTextEdit* edit)
{
    return edit->toPlainText();
}

} // namespace

TfrmAddEditFAQ::TfrmAddEditFAQ(TdmFAQData& store, Interaction& boxes, std::function<void(const QString&)> messageSaved,
                               QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmAddEditFAQ>())
    , m_store(store)
    , m_boxes(boxes)
    , m_messageSaved(std::move(messageSaved))
{
    ui->setupUi(this);
    setObjectName(u"frmAddEditFAQ"_s);
    setModal(false);
    // The short description holds about three lines.
    ui->dbtxtShortDescription->setFixedHeight(ui->dbtxtShortDescription->fontMetrics().lineSpacing() * 3
                                              + 2 * ui->dbtxtShortDescription->frameWidth() + 8);
    // The new-Message headings wrap onto a second line, which is kept in both modes so the
    // grids do not move; the layout does not size the columns by the wrapped text.
    for (QLabel* heading : {ui->lblKeywordsHeading, ui->lblAttachmentsHeading}) {
        QSizePolicy policy = heading->sizePolicy();
        policy.setHeightForWidth(false);
        policy.setHorizontalPolicy(QSizePolicy::Ignored);
        policy.setVerticalPolicy(QSizePolicy::Fixed);
        heading->setSizePolicy(policy);
        heading->setFixedHeight(2 * heading->fontMetrics().lineSpacing());
        heading->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    }
    connect(ui->dbtxtShortDescription, &QPlainTextEdit::textChanged, this, &TfrmAddEditFAQ::LimitShortDescription);
    CreateTokenMenus();
    CreateEditCommands();
    ConnectGuarded(m_boxes, ui->btnSave, &QPushButton::clicked, this, &TfrmAddEditFAQ::btnSaveClick);
    ConnectGuarded(m_boxes, ui->btnCancel, &QPushButton::clicked, this, &TfrmAddEditFAQ::btnCancelClick);
    FormCreate();
}

void TfrmAddEditFAQ::LimitShortDescription()
{
    QPlainTextEdit* field = ui->dbtxtShortDescription;
    const QString text = field->toPlainText();
    if (text.size() <= Column::ShortNameLength)
        return;
    // What went past the limit is dropped where it was typed or pasted; the caret stays there.
    QTextCursor cursor = field->textCursor();
    const int caret = cursor.position();
    const int excess = int(text.size()) - int(Column::ShortNameLength);
    const int from = qBound(0, caret - excess, int(Column::ShortNameLength));
    cursor.setPosition(from);
    cursor.setPosition(from + excess, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    field->setTextCursor(cursor);
}

void TfrmAddEditFAQ::FocusHotword()
{
    ui->dbtxtHotWord->setFocus();
}

TfrmAddEditFAQ::~TfrmAddEditFAQ() = default;

void TfrmAddEditFAQ::FormCreate()
{
    ui->pcNotes->setCurrentWidget(ui->tsMessage);
    ui->btnInclude->setText(u"Replaceable Field"_s);
}

void TfrmAddEditFAQ::CreateTokenMenus()
{
    auto command = [this](const QString& name, const QString& caption) {
        auto* action = new QAction(caption, this);
        action->setObjectName(name);
        return action;
    };
    actTokenOtherFAQ = command(u"actTokenOtherFAQ"_s, u"Other Message"_s);
    actTokenClipboard = command(u"actTokenClipboard"_s, u"Clipboard"_s);
    actTokenDate = command(u"actTokenDate"_s, u"Date"_s);
    actTokenDateTime = command(u"actTokenDateTime"_s, u"Date && Time"_s);
    actPromptForTextEntry = command(u"actPromptForTextEntry"_s, u"Prompt For Text Entry"_s);
    actHelp = command(u"Help1"_s, u"Help"_s);
    ConnectGuarded(m_boxes, actTokenOtherFAQ, &QAction::triggered, this, &TfrmAddEditFAQ::actTokenOtherFAQExecute);
    connect(actTokenClipboard, &QAction::triggered, this, [this] { InsertToken(u"CLIPBOARD"_s, true); });
    connect(actTokenDate, &QAction::triggered, this, [this] { InsertToken(u"DATE"_s, true); });
    connect(actTokenDateTime, &QAction::triggered, this, [this] { InsertToken(u"DATETIME"_s, true); });
    ConnectGuarded(m_boxes, actPromptForTextEntry, &QAction::triggered, this,
                   &TfrmAddEditFAQ::actPromptForTextEntryExecute);
    ConnectGuarded(m_boxes, actHelp, &QAction::triggered, this, &TfrmAddEditFAQ::Help1Click);

    mnuTokens = new QMenu(this);
    mnuTokens->setObjectName(u"mnuTokens"_s);
    mnuTokens->addActions({actTokenOtherFAQ, actTokenClipboard, actTokenDate, actTokenDateTime, actPromptForTextEntry});
    mnuTokens->addSeparator();
    mnuTokens->addAction(actHelp);
    ui->btnInclude->setMenu(mnuTokens);
}

void TfrmAddEditFAQ::CreateEditCommands()
{
    // Each acts on the focused text field, a line or a multi-line one.
    auto command
        = [this](const QString& name, const QString& caption, QKeySequence::StandardKey key, auto onLine, auto onText) {
              auto* action = new QAction(caption, this);
              action->setObjectName(name);
              action->setShortcut(key);
              action->setShortcutContext(Qt::WindowShortcut);
              addAction(action);
              connect(action, &QAction::triggered, this, [this, onLine, onText] {
                  Guarded(m_boxes, [&] {
                      OnFocusedText([&](QWidget* focused) {
                          if (auto* line = qobject_cast<QLineEdit*>(focused))
                              (line->*onLine)();
                          else
                              (static_cast<QPlainTextEdit*>(focused)->*onText)();
                      });
                  });
              });
              return action;
          };
    actCopy = command(u"actCopy"_s, u"&Copy"_s, QKeySequence::Copy, &QLineEdit::copy, &QPlainTextEdit::copy);
    actCut = command(u"actCut"_s, u"Cu&t"_s, QKeySequence::Cut, &QLineEdit::cut, &QPlainTextEdit::cut);
    actPaste = command(u"actPaste"_s, u"&Paste"_s, QKeySequence::Paste, &QLineEdit::paste, &QPlainTextEdit::paste);
    actSelectAll = command(u"actSelectAll"_s, u"Select &All"_s, QKeySequence::SelectAll, &QLineEdit::selectAll,
                           &QPlainTextEdit::selectAll);

    // The Message Text's own menu: the edit commands, then the tokens.
    mnuInclude = new QMenu(this);
    mnuInclude->setObjectName(u"mnuInclude"_s);
    mnuInclude->addActions({actCopy, actCut, actPaste, actSelectAll});
    mnuInclude->addSeparator();
    auto* otherFAQ = new QAction(u"Other FAQ"_s, mnuInclude);
    otherFAQ->setObjectName(u"mnuIncludeOtherFAQ"_s);
    ConnectGuarded(m_boxes, otherFAQ, &QAction::triggered, this, &TfrmAddEditFAQ::actTokenOtherFAQExecute);
    mnuInclude->addActions({otherFAQ, actTokenClipboard, actTokenDate, actTokenDateTime, actPromptForTextEntry});
    mnuInclude->addSeparator();
    mnuInclude->addAction(actHelp);
    connect(ui->dbmemText, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { mnuInclude->popup(ui->dbmemText->viewport()->mapToGlobal(at)); });
}

void TfrmAddEditFAQ::OnFocusedText(const std::function<void(QWidget*)>& action)
{
    QWidget* focused = focusWidget();
    if (qobject_cast<QLineEdit*>(focused) || qobject_cast<QPlainTextEdit*>(focused))
        action(focused);
}

void TfrmAddEditFAQ::ConfigureGrids()
{
    if (m_keywords && &m_keywords->table() == &m_store.Keywords())
        return;
    delete m_keywords;
    delete m_attachments;
    m_keywords = new DataTableModel(m_store.Keywords(), {{u"Keyword"_s, u"Keyword"_s}}, m_boxes, this);
    m_attachments = new DataTableModel(
        m_store.Attachments(),
        {{u"Filename"_s, u"File Name"_s}, {u"PromptToUse"_s, u"Prompt Before Attaching"_s, true}}, m_boxes, this);
    ui->dbnKeywords->bind(ui->dbgKeywords, m_keywords, m_boxes);
    ui->dbNavAttachments->bind(ui->dbgAttachments, m_attachments, m_boxes);
    // The picker runs from inside the cell editor, through the dialog's guard.
    auto picker = [this](const QString& file) {
        std::optional<QString> picked;
        Guarded(m_boxes, [&] { picked = dbgAttachmentsEditButtonClick(file); });
        return picked;
    };
    ui->dbgKeywords->setItemDelegateForColumn(0, new KeywordDelegate(ui->dbgKeywords));
    ui->dbgAttachments->setItemDelegateForColumn(0, new FileNameDelegate(picker, ui->dbgAttachments));
    ui->dbgAttachments->setItemDelegateForColumn(1, new PromptDelegate(ui->dbgAttachments));
    ui->dbgAttachments->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    ui->dbgAttachments->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    connect(&m_store, &TdmFAQData::dsFAQStateChange, ui->lblFAQState,
            [this](int state) { ui->lblFAQState->setText(QString::number(state)); });
    connect(&m_store, &TdmFAQData::dsKeywordsStateChange, ui->lblKeywordsState,
            [this](int state) { ui->lblKeywordsState->setText(QString::number(state)); });
}

void TfrmAddEditFAQ::SetEditMode(EditMode mode)
{
    ConfigureGrids();
    const bool existing = mode == EditMode::ExistingMessage;
    // A new Message's keywords and attachments are stored with it by Save.
    ui->lblKeywordsHeading->setText(existing ? u"Keywords"_s : u"&Keywords (optional)"_s);
    ui->lblAttachmentsHeading->setText(existing ? u"&Attachments"_s : u"&Attachments (optional)"_s);
}

TdmFAQData::MessageFields TfrmAddEditFAQ::CurrentFields() const
{
    return {ui->dbtxtHotWord->text(), PlainText(ui->dbtxtShortDescription), PlainText(ui->dbmemText),
            PlainText(ui->dbmemInternalNotes)};
}

void TfrmAddEditFAQ::ShowOnPendingRow()
{
    ConfigureGrids();
    m_opened = m_store.PendingMessage();
    ui->dbtxtHotWord->setText(m_opened.hotword);
    ui->dbtxtShortDescription->setPlainText(m_opened.shortName);
    ui->dbmemText->setPlainText(m_opened.text);
    ui->dbmemInternalNotes->setPlainText(m_opened.notes);
    if (!isVisible()) {
        const QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
}

bool TfrmAddEditFAQ::Modified() const
{
    const auto kept
        = [](const DetailRows& rows) { return rows.staged() && (rows.recordCount() > 0 || rows.modified()); };
    return !(CurrentFields() == m_opened) || kept(m_store.Keywords()) || kept(m_store.Attachments());
}

bool TfrmAddEditFAQ::FieldsComplete() const
{
    return !ui->dbtxtHotWord->text().isEmpty() && !PlainText(ui->dbtxtShortDescription).isEmpty()
        && !PlainText(ui->dbmemText).isEmpty();
}

void TfrmAddEditFAQ::EndDetailEdits(bool store)
{
    for (DataTableModel* model : {m_keywords, m_attachments}) {
        if (!model || !model->isPending())
            continue;
        if (store && model->table().modified())
            model->post();
        else
            model->cancel();
    }
}

void TfrmAddEditFAQ::btnSaveClick()
{
    if (!FieldsComplete()) {
        m_boxes.showMessage(u"You must enter a hotword, short description and some text."_s);
        return;
    }
    const TdmFAQData::MessageFields typed = CurrentFields();
    // A keyword or attachment being typed is kept, as if its grid had been left.
    setFocus();
    EndDetailEdits(true);
    m_store.SetPendingMessage(typed);
    if (!SavePending(typed))
        return;
    m_opened = typed;
    QDialog::accept();
    m_messageSaved(typed.hotword);
}

bool TfrmAddEditFAQ::SavePending(const TdmFAQData::MessageFields& typed)
{
    // A refused row stays pending, so the user can correct it and save again.
    try {
        m_store.SaveFAQ();
        return true;
    } catch (const HotwordTooLong& refusal) {
        m_boxes.showMessage(refusal.text());
    } catch (const HotwordTaken& refusal) {
        const QString owner = refusal.ownerShortName().isEmpty()
            ? u"another message"_s
            : u"the message \""_s + refusal.ownerShortName() + u'"';
        m_boxes.showWarning(refusal.text() + u"\n\n"_s
                            + u"The HotWord \"%1\" already belongs to %2."_s.arg(typed.hotword, owner));
    } catch (const ChangedMeanwhile&) {
        if (m_boxes.choose(ChangedMeanwhileText, {u"&Reload"_s, u"&Keep Editing"_s}) != 0) {
            // Gone by now: the next Save offers to store it as a new Message.
            m_store.KeepEditingOverChange();
        } else if (m_store.ReloadMessage()) {
            ShowOnPendingRow();
        } else {
            m_boxes.showMessage(u"This Message has been deleted by someone else meanwhile."_s);
            m_opened = CurrentFields();
            QDialog::reject();
        }
    } catch (const DeletedMeanwhile&) {
        // A new Message: the one it was to be placed in is gone.
        if (m_store.messageState() == DataSetState::Insert) {
            if (m_boxes.choose(GroupDeletedMeanwhileText, {u"Save at &Top Level"_s, u"Cancel"_s}) != 0)
                return false;
            m_store.PlaceNewMessageAtTopLevel();
            return SavePending(typed);
        }
        if (m_boxes.choose(DeletedMeanwhileText, {u"&Save as New Message"_s, u"Cancel"_s}) != 0)
            return false;
        m_store.RestartAsNewMessage();
        SetEditMode(EditMode::NewMessage);
        return SavePending(typed);
    }
    return false;
}

void TfrmAddEditFAQ::btnCancelClick()
{
    EndDetailEdits(false);
    m_store.CancelMessage();
    m_opened = CurrentFields();
    QDialog::reject();
}

void TfrmAddEditFAQ::reject()
{
    Guarded(m_boxes, [&] {
        if (Modified() && !m_boxes.confirmYesNoDefaultNo(u"Discard the changes made to this message?"_s))
            return;
        btnCancelClick();
    });
}

void TfrmAddEditFAQ::InsertToken(const QString& text, bool wrap)
{
    ui->dbmemText->textCursor().insertText(wrap ? u'%' + text + u'%' : text);
    // Typing goes on after the token.
    ui->pcNotes->setCurrentWidget(ui->tsMessage);
    ui->dbmemText->setFocus(Qt::OtherFocusReason);
}

void TfrmAddEditFAQ::actTokenOtherFAQExecute()
{
    const auto hotword
        = m_boxes.inputText(u"HotWord for Other message to Include"_s,
                            u"Please enter the HotWord for the message to include in this one"_s, QString(), 255);
    if (hotword && !hotword->isEmpty())
        InsertToken(u"INCLUDE:"_s + *hotword, true);
}

void TfrmAddEditFAQ::actPromptForTextEntryExecute()
{
    TfrmPromptForTextEntry prompt(this);
    if (prompt.exec() == QDialog::Accepted)
        InsertToken(u"^^INPUT:"_s + prompt.PromptText() + u"||"_s + prompt.DefaultValue() + u"^^"_s, false);
}

void TfrmAddEditFAQ::Help1Click()
{
    m_boxes.showMessage(HelpText);
}

QString TfrmAddEditFAQ::PickerFolder(const QString& fileName)
{
    const qsizetype separator = qMax(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\'));
    const QString folder = fileName.left(separator + 1);
    if (!folder.isEmpty() && QDir(folder).exists())
        return folder;
    return AppDir();
}

std::optional<QString> TfrmAddEditFAQ::dbgAttachmentsEditButtonClick(const QString& fileName)
{
    const int column = ui->dbgAttachments->currentIndex().column();
    if (!m_attachments || column < 0 || m_attachments->fieldAt(column).compare(u"Filename"_s, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return m_boxes.openFileName(PickerFolder(fileName), AttachmentFilter);
}
