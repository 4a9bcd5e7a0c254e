#pragma once

#include "platform/platform.h"
#include "platform/wayland/waylandconnection.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <map>

struct org_kde_plasma_window;
struct wl_array;
struct org_kde_plasma_window_management;

// The windows of KDE Plasma (KWin) through org_kde_plasma_window_management, which KWin offers
// only to a program whose desktop file asks for it. Handles are small numbers given to each
// window as KWin announces it, never given again; a window that has closed answers empty and
// ignores requests.
class PlasmaWindowSystem : public WindowSystem {
public:
    // Raises Error when the compositor does not offer the window management.
    explicit PlasmaWindowSystem(WaylandConnection& connection);
    ~PlasmaWindowSystem() override;
    PlasmaWindowSystem(const PlasmaWindowSystem&) = delete;
    PlasmaWindowSystem& operator=(const PlasmaWindowSystem&) = delete;

    QList<WindowHandle> topLevelWindows() override;
    QString windowTitle(WindowHandle window) override;
    QString windowClass(WindowHandle window) override;
    // Wayland windows carry no role: always empty.
    QString windowRole(WindowHandle window) override;
    WindowHandle windowOwner(WindowHandle window) override;
    WindowHandle activeWindow() override;
    bool isMinimized(WindowHandle window) override;
    void restoreWindow(WindowHandle window) override;
    void requestActivation(WindowHandle window) override;
    // KWin puts a window on top only by activating it.
    void raiseWindow(WindowHandle window) override;
    bool waitUntilActive(WindowHandle window, int timeoutMs) override;
    bool isOwnWindow(WindowHandle window) override;
    WindowHandle ownWindow(std::uint64_t nativeId, const QString& title) override;
    // Whether a status notifier host (Plasma's system tray) is on the session bus.
    bool hasNotificationArea() override;

private:
    struct Window {
        org_kde_plasma_window* proxy = nullptr;
        std::uint32_t id = 0;
        QByteArray uuid;
        QString title;
        QString appId;
        std::uint32_t pid = 0;
        std::uint32_t state = 0;
        WindowHandle parent = 0;
        // Set once KWin has sent everything it knows of the window.
        bool complete = false;
    };

    static void announced(void* data, org_kde_plasma_window_management* manager, std::uint32_t id);
    static void announcedWithUuid(void* data, org_kde_plasma_window_management* manager, std::uint32_t id,
                                  const char* uuid);
    static void stackingChanged(void* data, org_kde_plasma_window_management* manager, wl_array* ids);
    static void stackingUuidChanged(void* data, org_kde_plasma_window_management* manager, const char* uuids);
    void track(org_kde_plasma_window* created, std::uint32_t id, const QByteArray& uuid);
    void closed(org_kde_plasma_window* proxy);
    void release(org_kde_plasma_window* proxy);
    Window* find(WindowHandle handle);
    Window* find(org_kde_plasma_window* proxy);
    WindowHandle handleOf(org_kde_plasma_window* proxy) const;
    void setState(WindowHandle handle, std::uint32_t flags, std::uint32_t state);

    WaylandConnection& m_connection;
    org_kde_plasma_window_management* m_manager = nullptr;
    std::uint32_t m_version = 0;
    WindowHandle m_nextHandle = 1;
    std::map<WindowHandle, Window> m_windows;
    // The stacking order as KWin last sent it, bottom first: uuids, or ids for older versions.
    QList<QByteArray> m_stackingUuids;
    QList<std::uint32_t> m_stackingIds;
    bool m_stackingKnown = false;
};
