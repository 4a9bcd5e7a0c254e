#pragma once

#include "delivery/attachments.h"
#include "settings/hotkeytext.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class DataSet;
class FAQTree;
class ImportExport;
class Interaction;
class Options;
struct Platform;
class QCompleter;
class QKeyEvent;
class QMenu;
class QStringListModel;
class QWindow;
class SearchCommand;
class TdmFAQData;
class TfrmAddEditFAQ;
class TfrmSelectFAQ;
class TrayController;

namespace Ui {
class TfrmMain;
}

// The main window: the Message tree, the search, the shown Message and the commands.
// Its creation never touches the database. The controls, menus and commands come from the
// form fMain.ui under their component names; the window wires them to the tree, the search,
// import/export and the tray, which are classes of their own, and owns the state of the
// shown Message and the send.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    TfrmMain(TdmFAQData& store, Platform& desktop, Interaction& boxes, Options& options, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Send caption, send key and activation key from options.ini, or the first-run notice.
    void ApplyOptions();
    // Shows the program again if hidden, makes the main window the foreground window and
    // puts the focus in the search box.
    void BringProgramToFront();
    // The remembered layout of options.ini: applied as the last step of the first showing,
    // saved when the window is destroyed.
    void RestoreWindowState();
    void SaveWindowState();

    // Refills the tree; when the store can not be read, says so and ends the program.
    void RefreshFAQTree();
    void actSearchExecute();
    // The send key's work, called from outside the window: sends the shown Message as the
    // send key does; with a Hotword, a Hotword search for it comes first.
    void SendMessage(const QString& hotword = {});
    // Takes the window that has the input now as the one the user came from (a send to
    // "The window I came from" pastes there), unless it is one of the program's own.
    void RememberActiveWindow();
    // Every way of finding a Message ends here.
    void ShowFAQByID(int messageID);
    void LoadShownAttachments(int messageID);
    // Lists several rows (ID, ShortName, Text) in the select-a-message dialog.
    void ShowSearchResults(const DataSet& rows);

    // Editing: the add/edit dialog on the shown Message or a new one, and delete.
    void actNewExecute();
    void actEditExecute();
    void actDeleteExecute();
    // The selected node's Message: placed under a group picked in a dialog, or copied
    // with its keywords and attachments under its own group.
    void actMoveToExecute();
    void actDuplicateExecute();
    // After the add/edit dialog saved a Message: the tree is rebuilt and the Message shown.
    void MessageSaved(const QString& hotword);

    int ShownMessageID() const { return m_shownMessageID; }
    bool SingleMessageShown() const { return m_singleMessageShown; }
    const QList<ShownAttachment>& ShownAttachments() const { return m_shownAttachments; }
    const QString& ShownNotes() const { return m_shownNotes; }
    const QStringList& AttachmentsToSend() const { return m_attachmentsToSend; }
    HotKey SendHotKey() const { return m_sendHotKey; }
    HotKey ActivateHotKey() const { return m_activateHotKey; }
    // True once the database could not be found and the program was asked to end.
    bool terminationRequested() const { return m_terminationRequested; }

    FAQTree& faqTree() { return *m_tree; }
    TrayController& tray() { return *m_tray; }
    TfrmAddEditFAQ& addEditDialog() { return *m_addEdit; }
    TfrmSelectFAQ& selectDialog() { return *m_select; }

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class KeyPreview;

    void CreateCommands();
    void CreateControls();
    void PrepareWindowState();
    void OnTriggered(QAction* action, void (TfrmMain::*handler)());

    void FormShow();
    // Sees every key press of the window before the focused control; never swallows it.
    void FormKeyDown(const QKeyEvent& event);
    void txtSearchTermKeyPress();
    void actFocusSearchExecute();
    // The Hotwords offered while typing a Hotword search; read again whenever Messages change.
    void RefreshHotwordCompletion();
    void cmbSearchTypeChange();
    void tvFAQsContextMenu(const QPoint& position);
    // The Message of the selected node, or nothing after saying that one must be selected.
    std::optional<int> SelectedForCommand(const QString& refusal);
    void MoveFAQTo(int messageID, int groupID);
    void chkShowHotWordClick();
    void lblAttachmentsClick();
    void FocusWindowChanged(QWindow* window);
    // Whether a close may go on; with "Minimize On Close" it hides to the tray instead.
    bool FormClose();
    void SetPanelWidth(int width);
    bool spltMainCanResize(int newWidth) const;
    void spltMainMoved();

    void acRefreshFAQsExecute();
    void actSendFAQExecute();
    void actViewInternalNotesExecute();
    void actHotwordListExecute();
    void actUsageReportExecute();
    void actSynchronizeExecute();
    void actReconnectExecute();
    // File > Restore a backup...; afterwards the tree is read again and nothing is shown.
    void actRestoreBackupExecute();
    void DatabaseRestored();
    void actInstructionsExecute();
    void actOptionsExecute();
    void actHelpContentsExecute();
    void actAboutExecute();

    void DatabaseNotFound();

    const std::unique_ptr<Ui::TfrmMain> ui;
    TdmFAQData& m_store;
    Platform& m_desktop;
    Interaction& m_boxes;
    Options& m_options;
    FAQTree* m_tree;
    std::unique_ptr<SearchCommand> m_search;
    ImportExport* m_importExport;
    TrayController* m_tray;
    TfrmSelectFAQ* m_select;
    TfrmAddEditFAQ* m_addEdit;
    QStringListModel* m_hotwordModel;
    QCompleter* m_hotwordCompleter;
    QMenu* mnuFAQTree;

    int m_shownMessageID = 0;
    bool m_singleMessageShown = false;
    QList<ShownAttachment> m_shownAttachments;
    QString m_shownNotes;
    QStringList m_attachmentsToSend;
    HotKey m_sendHotKey;
    HotKey m_activateHotKey;
    bool m_terminationRequested = false;
    QPointer<QWindow> m_focusWindow;
    bool m_shownOnce = false;
    bool m_layoutRestored = false;
};

// Notes with leading and trailing blanks and control characters (codes up to 32) removed.
QString TrimNotes(const QString& notes);
