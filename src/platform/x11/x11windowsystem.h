#pragma once

#include "platform/platform.h"
#include "platform/x11/x11connection.h"

#include <QHash>

// Top-level windows as the window manager sees them (EWMH), with a fallback to the
// children of the root window where no EWMH window manager runs.
class X11WindowSystem : public WindowSystem {
public:
    explicit X11WindowSystem(X11Connection& x11);

    QList<WindowHandle> topLevelWindows() override;
    QString windowTitle(WindowHandle window) override;
    QString windowClass(WindowHandle window) override;
    QString windowRole(WindowHandle window) override;
    WindowHandle windowOwner(WindowHandle window) override;
    WindowHandle activeWindow() override;
    bool isMinimized(WindowHandle window) override;
    void restoreWindow(WindowHandle window) override;
    void requestActivation(WindowHandle window) override;
    void raiseWindow(WindowHandle window) override;
    bool waitUntilActive(WindowHandle window, int timeoutMs) override;
    bool isOwnWindow(WindowHandle window) override;
    bool hasNotificationArea() override;

private:
    // A client message to the window manager about the window.
    void sendToManager(xcb_window_t window, const char* message, std::uint32_t first, std::uint32_t second);
    struct Details {
        QString title;
        QString className;
        QString role;
        WindowHandle owner = 0;
    };
    // The window manager's check window when an EWMH window manager runs, else none.
    xcb_window_t ewmhManager();
    QList<xcb_window_t> clientsWithoutManager();
    xcb_window_t clientWindowBelow(xcb_window_t frame, int depth);
    QHash<WindowHandle, Details> readDetails(const QList<xcb_window_t>& windows);
    Details details(WindowHandle window);

    X11Connection& m_x11;
    xcb_window_t m_manager = XCB_NONE;
    // Title, class and owner of the windows of the last list, read in one batch.
    QHash<WindowHandle, Details> m_details;
};
