#include "app/traycontroller.h"

#include "app/activationhotkey.h"
#include "app/appicon.h"
#include "platform/platform.h"
#include "util/connectguarded.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

TrayController::TrayController(QMainWindow& window, QAction& restore, Platform& desktop, Interaction& boxes)
    : QObject(&window)
    , m_window(window)
    , m_desktop(desktop)
    , m_boxes(boxes)
{
    m_window.setWindowIcon(QuillbayIcon());

    mnuSystemTray = new QMenu(&m_window);
    mnuSystemTray->setObjectName(u"mnuSystemTray"_s);
    mnuSystemTray->addAction(&restore);
    mnuSystemTrayExit = mnuSystemTray->addAction(u"E&xit"_s);
    mnuSystemTrayExit->setObjectName(u"mnuSystemTrayExit"_s);
    ConnectGuarded(m_boxes, mnuSystemTrayExit, &QAction::triggered, this, &TrayController::mnuSystemTrayExitClick);

    tiIcon = new QSystemTrayIcon(m_window.windowIcon(), &m_window);
    tiIcon->setObjectName(u"tiIcon"_s);
    tiIcon->setToolTip(u"Tolvane QuillBay"_s);
    tiIcon->setContextMenu(mnuSystemTray);
    // A double-click restores. A single click shows or hides the window once it is clear
    // that no second click follows: a double-click begins with a single one.
    m_singleClick.setSingleShot(true);
    m_singleClick.setInterval(QApplication::doubleClickInterval());
    connect(&m_singleClick, &QTimer::timeout, this, [this, &restore] {
        if (m_window.isVisible() && !m_window.isMinimized())
            Guarded(m_boxes, [this] { HideToTray(); });
        else
            restore.trigger();
    });
    connect(tiIcon, &QSystemTrayIcon::activated, this, [this, &restore](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            m_singleClick.start();
        } else if (reason == QSystemTrayIcon::DoubleClick) {
            m_singleClick.stop();
            restore.trigger();
        }
    });
    tiIcon->show();

    jvActivateMe = new ActivationHotKey(m_desktop.activationKey, m_desktop.windows, &m_window);
    jvActivateMe->setObjectName(u"jvActivateMe"_s);
    connect(jvActivateMe, &ActivationHotKey::pressed, &restore, &QAction::trigger);
}

bool TrayController::HasNotificationArea() const
{
    // Without a notification area a hidden program could neither be seen nor ended. Without
    // a desktop of ours, Qt's view of the tray decides.
    try {
        return m_desktop.windows.hasNotificationArea();
    } catch (const Error&) {
        return QSystemTrayIcon::isSystemTrayAvailable();
    }
}

void TrayController::ShowFromTray()
{
    if (!m_window.isHidden() && !m_window.isMinimized())
        return;
    m_window.show();
    // Hidden while minimised, the window comes back minimised; then it is restored to the
    // state it had before.
    if (m_window.isMinimized())
        m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    for (const QPointer<QWidget>& companion : std::as_const(m_hiddenWithMain)) {
        if (companion)
            companion->show();
    }
    m_hiddenWithMain.clear();
}

void TrayController::HideToTray()
{
    if (!HasNotificationArea()) {
        m_window.showMinimized();
        return;
    }
    // A window that is not mapped has no task-bar entry. The windows that the main window
    // owns go along, except modal ones, whose hiding would end them, and pop-ups.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        const QWidget* owner = window->parentWidget();
        if (owner && owner->window() == &m_window && window->isVisible() && !window->isModal()
            && window->windowType() != Qt::Popup && window->windowType() != Qt::ToolTip) {
            m_hiddenWithMain.append(window);
            window->hide();
        }
    }
    // A minimised window keeps that state while hidden: changing it would show the window.
    m_window.hide();
}

void TrayController::WindowMinimized()
{
    // Hidden once the window system has finished minimising.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_window.isMinimized() && m_window.isVisible() && HasNotificationArea())
                Guarded(m_boxes, [this] { HideToTray(); });
        },
        Qt::QueuedConnection);
}

void TrayController::mnuSystemTrayExitClick()
{
    m_exitRequested = true;
    m_window.close();
}
