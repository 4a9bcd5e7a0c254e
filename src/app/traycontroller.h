#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class ActivationHotKey;
class Interaction;
struct Platform;
class QAction;
class QMainWindow;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The main window's tray icon with its menu, the system-wide activation key, and hiding the
// program to the tray and bringing it back. Lives as long as the window.
class TrayController : public QObject {
    Q_OBJECT
public:
    // restore is the window's command that brings the program to the front.
    TrayController(QMainWindow& window, QAction& restore, Platform& desktop, Interaction& boxes);

    // Hides the program to the tray: no task-bar entry, the tray icon alone shows it runs.
    // Without a notification area the window is minimised instead.
    void HideToTray();
    // Shows the window again, in the state it had, with the windows HideToTray took along.
    void ShowFromTray();
    // After the window was minimised: hides it once the window system has finished.
    void WindowMinimized();
    // Whether hiding keeps the program reachable: the desktop has a notification area.
    bool HasNotificationArea() const;
    // True once the tray menu's Exit was chosen; closing then always ends the program.
    bool ExitRequested() const { return m_exitRequested; }

    QSystemTrayIcon* tiIcon;
    QMenu* mnuSystemTray;
    QAction* mnuSystemTrayExit;
    ActivationHotKey* jvActivateMe;

private:
    void mnuSystemTrayExitClick();

    QMainWindow& m_window;
    Platform& m_desktop;
    Interaction& m_boxes;
    bool m_exitRequested = false;
    // Runs out when a click on the icon stayed single.
    QTimer m_singleClick;
    // The program's other windows that HideToTray took along, shown again with the main window.
    QList<QPointer<QWidget>> m_hiddenWithMain;
};
