#pragma once

#include "delivery/attachments.h"
#include "settings/hotkeytext.h"
#include "ui_fMain.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class ActivationHotKey;
class DataSet;
class QAction;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPoint;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QSystemTrayIcon;
class QTreeWidget;
class QTreeWidgetItem;
class QWindow;

// The main window: the Message tree, the search, the shown Message and the commands.
// Its creation never touches the database.
// The controls, menus and commands come from the form fMain.ui under their component names.
class TfrmMain : public QMainWindow, public Ui::TfrmMain {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Send caption, send key and activation key from options.ini, or the first-run notice.
    void ApplyOptions();
    // Shows the program again if hidden, makes the main window the foreground window and
    // puts the focus in the search box.
    void BringProgramToFront();
    // Hides the program to the tray: no task-bar entry, the tray icon alone shows it runs.
    // Without a notification area the window is minimised instead.
    void HideToTray();
    // The remembered layout of options.ini: applied as the last step of the first showing,
    // saved when the window is destroyed.
    void RestoreWindowState();
    void SaveWindowState();
    // True once the tray menu's Exit was chosen; closing then always ends the program.
    bool ExitRequested() const { return m_exitRequested; }

    // The tree, loaded one level at a time.
    void RefreshFAQTree();
    void FillFAQNode(QTreeWidgetItem* node, int parentID);
    int CountChildFAQs(int messageID);
    // Loads and expands every node below a node, as the "*" key does.
    void ExpandAllFAQNodes(QTreeWidgetItem* node);
    // Loads a node's branch and expands the node and each node below it whose Message ID
    // expand accepts; the others are left to load when expanded.
    void ExpandBranch(QTreeWidgetItem* node, const std::function<bool(int)>& expand);
    // The selected node's Message ID, or -1.
    int SelectedFAQID() const;

    // The search of the "Find A Message" group.
    void actSearchExecute();
    void SearchByHotword(const QString& term);

    // Every way of finding a Message ends here.
    void ShowFAQByID(int messageID);
    void LoadShownAttachments(int messageID);
    // Lists several rows (ID, ShortName, Text) in the select-a-message dialog.
    void ShowSearchResults(const DataSet& rows);

    // Editing: the add/edit dialog on the shown Message or a new one, delete and move.
    void actNewExecute();
    void actEditExecute();
    void actDeleteExecute();
    // Whether a drag from this source may drop on the tree.
    bool tvFAQsDragOver(const QObject* source) const;
    // A drop of the selected node at a point of the tree's viewport.
    void tvFAQsDragDrop(const QPoint& point);
    void MoveFAQ(int messageID, int newGroupID);
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

    // Tray icon and its menu, and the system-wide activation key, from the window's
    // creation to the end.
    QSystemTrayIcon* tiIcon;
    QMenu* mnuSystemTray;
    QAction* mnuSystemTrayExit;
    ActivationHotKey* jvActivateMe;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class KeyPreview;

    void CreateCommands();
    void CreateControls();
    void CreateTrayIcon();
    void PrepareWindowState();
    void OnTriggered(QAction* action, void (TfrmMain::*handler)());

    void FormShow();
    // Sees every key press of the window before the focused control; never swallows it.
    void FormKeyDown(const QKeyEvent& event);
    void txtSearchTermKeyPress();
    void tvFAQsChange();
    void tvFAQsExpanding(QTreeWidgetItem* node);
    QTreeWidgetItem* NewFAQNode(const DataSet& rows, int row, bool showHotword) const;
    void chkShowHotWordClick();
    void lblAttachmentsClick();
    void FocusWindowChanged(QWindow* window);
    // Whether a close may go on; with "Minimize On Close" it hides to the tray instead.
    bool FormClose();
    void SetPanelWidth(int width);
    bool spltMainCanResize(int newWidth) const;
    void spltMainMoved();
    void mnuSystemTrayExitClick();

    void acRefreshFAQsExecute();
    void actSendFAQExecute();
    void actViewInternalNotesExecute();
    void actHotwordListExecute();
    void actUsageReportExecute();
    void actSynchronizeExecute();
    void actReconnectExecute();
    void actInstructionsExecute();
    void actImportExecute();
    void actExportExecute();
    void actOptionsExecute();
    void actHelpContentsExecute();
    void actAboutExecute();

    // The tree viewport's side of a drag inside the tree.
    bool tvFAQsDragEvent(QEvent* event);
    void ActOnSearchRows(const DataSet& rows, const QString& noneMessage);
    void DatabaseNotFound();

    int m_shownMessageID = 0;
    bool m_singleMessageShown = false;
    QList<ShownAttachment> m_shownAttachments;
    QString m_shownNotes;
    QStringList m_attachmentsToSend;
    HotKey m_sendHotKey;
    HotKey m_activateHotKey;
    bool m_terminationRequested = false;
    QPointer<QWindow> m_focusWindow;
    bool m_exitRequested = false;
    bool m_shownOnce = false;
    bool m_layoutRestored = false;
    // The program's other windows that HideToTray took along, shown again with the main window.
    QList<QPointer<QWidget>> m_hiddenWithMain;
};

// The one instance, created at start-up.
extern TfrmMain* frmMain;

// Notes with leading and trailing blanks and control characters (codes up to 32) removed.
QString TrimNotes(const QString& notes);
