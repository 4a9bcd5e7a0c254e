#pragma once

#include "store/dmData.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TfrmAddEditFAQ;
}

class DataTableModel;
class Interaction;
class QAction;
class QMenu;

// Adds or edits one Message, bound to the pending row of the data module's Message table.
// Not modal; created once and hidden when closed. The row it was opened on is the row its
// Save writes, whatever the main window shows meanwhile.
class TfrmAddEditFAQ : public QDialog {
    Q_OBJECT
public:
    enum class EditMode { NewMessage, ExistingMessage };

    // messageSaved runs after a successful Save with the Hotword as typed: the main
    // window rebuilds its tree and shows the Message through a Hotword search.
    TfrmAddEditFAQ(TdmFAQData& store, Interaction& boxes, std::function<void(const QString&)> messageSaved,
                   QWidget* parent = nullptr);
    ~TfrmAddEditFAQ() override;

    // Headings, grids and navigators of a mode.
    void SetEditMode(EditMode mode);
    // Shows the dialog on the Message table's pending row (New or Edit has started it).
    void ShowOnPendingRow();
    void FocusHotword();

    // Replaces the selection of the Message Text, or inserts at its caret, with the text,
    // wrapped in "%" when wrap is set.
    void InsertToken(const QString& text, bool wrap);
    bool FieldsComplete() const;
    // The start folder of the attachment picker for a file name: its folder when that
    // exists, else the application folder.
    static QString PickerFolder(const QString& fileName);
    // The ellipsis of a "File Name" cell: the picked file's full path, or nothing.
    std::optional<QString> dbgAttachmentsEditButtonClick(const QString& fileName);

    void btnSaveClick();
    void btnCancelClick();
    void actTokenOtherFAQExecute();
    void actPromptForTextEntryExecute();
    void Help1Click();

    QMenu* mnuTokens;
    QMenu* mnuInclude;
    QAction* actTokenOtherFAQ;
    QAction* actTokenClipboard;
    QAction* actTokenDate;
    QAction* actTokenDateTime;
    QAction* actPromptForTextEntry;
    QAction* actHelp;
    QAction* actCut;
    QAction* actCopy;
    QAction* actPaste;
    QAction* actSelectAll;

public Q_SLOTS:
    // Esc and the title bar: asks before discarding changes, with No as the default.
    void reject() override;

private:
    void FormCreate();
    void CreateTokenMenus();
    void CreateEditCommands();
    void ConfigureGrids();
    // The text field that has the focus, if any; the edit commands act on it.
    void OnFocusedText(const std::function<void(QWidget*)>& action);
    // Whether any field differs from the row as it was opened, or a new Message has rows.
    bool Modified() const;
    // The short description holds as many characters as its column.
    void LimitShortDescription();
    void EndDetailEdits(bool store);
    // Saves the pending row; false when it stays pending, after the user has been told why
    // and, when someone else changed or deleted the Message meanwhile, has chosen what to do.
    bool SavePending(const TdmFAQData::MessageFields& typed);

    const std::unique_ptr<Ui::TfrmAddEditFAQ> ui;
    TdmFAQData& m_store;
    Interaction& m_boxes;
    std::function<void(const QString&)> m_messageSaved;
    DataTableModel* m_keywords = nullptr;
    DataTableModel* m_attachments = nullptr;
    TdmFAQData::MessageFields CurrentFields() const;
    TdmFAQData::MessageFields m_opened;
};
