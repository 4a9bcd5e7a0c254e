#pragma once

#include "platform/platform.h"

#include <QStringList>

#include <map>
#include <memory>

struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;
class WaylandConnection;

// Top-level windows as a wlroots compositor (sway and others) lists them to task bars.
// Handles are numbers given in the order the windows appear, never given twice. The list
// has no stacking order: the active window comes first, then the others by their last
// activation, most recent first, then those never active, newest first. The class of a
// window is its app id; a window has no role. Our own windows are those with the app id
// that Qt gives this program's windows, natively or through Xwayland (the protocol tells
// no process, so another running copy of the program counts as ours too). sway 1.7 sends
// no owners: there every window's owner is 0.
class WlrWindowSystem : public WindowSystem {
public:
    // Raises Error when the compositor does not list its windows.
    explicit WlrWindowSystem(WaylandConnection& wayland);
    ~WlrWindowSystem() override;
    WlrWindowSystem(const WlrWindowSystem&) = delete;
    WlrWindowSystem& operator=(const WlrWindowSystem&) = delete;

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
    WindowHandle ownWindow(std::uint64_t nativeId, const QString& title) override;
    bool hasNotificationArea() override;

    // The app ids that Qt gives this program's windows: from the desktop file name, or the
    // executable's name (natively), or the application's name (the X11 class, Xwayland).
    static QStringList OwnAppIds();

private:
    struct Toplevel;
    // Dispatches what the compositor has sent, so that the answers are current.
    void update();
    Toplevel* find(WindowHandle window) const;

    WaylandConnection& m_wayland;
    zwlr_foreign_toplevel_manager_v1* m_manager = nullptr;
    std::map<WindowHandle, std::unique_ptr<Toplevel>> m_toplevels;
    WindowHandle m_nextHandle = 1;
    std::uint64_t m_activations = 0;

    friend struct ToplevelEvents;
};
