#include "platform/wayland/plasmawindowsystem.h"

#include "platform/wayland/ownwindow.h"
#include "platform/wayland/waylandconnection.h"

#include "util/errors.h"

#include "plasma-window-management-client.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>

#include <wayland-client.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The version whose events the listeners know.
constexpr std::uint32_t ManagementVersion = 16;
// From this version windows come with a uuid, and the stacking order names uuids.
constexpr std::uint32_t UuidVersion = 13;
// From this version a window has a destructor request.
constexpr std::uint32_t DestroyVersion = 4;

} // namespace

PlasmaWindowSystem::PlasmaWindowSystem(WaylandConnection& connection)
    : m_connection(connection)
{
    m_manager = m_connection.bind<org_kde_plasma_window_management>(&org_kde_plasma_window_management_interface,
                                                                    ManagementVersion);
    if (!m_manager)
        throw Error(u"The compositor does not let this program see the windows of other programs."_s);
    m_version = org_kde_plasma_window_management_get_version(m_manager);
    static const org_kde_plasma_window_management_listener listener = {
        .show_desktop_changed = [](void*, org_kde_plasma_window_management*, std::uint32_t) {},
        .window = &PlasmaWindowSystem::announced,
        .stacking_order_changed = &PlasmaWindowSystem::stackingChanged,
        .stacking_order_uuid_changed = &PlasmaWindowSystem::stackingUuidChanged,
        .window_with_uuid = &PlasmaWindowSystem::announcedWithUuid,
    };
    org_kde_plasma_window_management_add_listener(m_manager, &listener, this);
    // The existing windows are announced on binding; their details follow a round trip later.
    m_connection.roundtrip();
    m_connection.roundtrip();
}

PlasmaWindowSystem::~PlasmaWindowSystem()
{
    for (auto& [handle, window] : m_windows)
        release(window.proxy);
    org_kde_plasma_window_management_destroy(m_manager);
    try {
        m_connection.flush();
    } catch (const Error&) {
        // A lost connection has no windows left to let go of.
    }
}

void PlasmaWindowSystem::announced(void* data, org_kde_plasma_window_management* manager, std::uint32_t id)
{
    auto* self = static_cast<PlasmaWindowSystem*>(data);
    // Newer versions announce each window twice; the uuid form is the one to follow.
    if (self->m_version >= UuidVersion)
        return;
    self->track(org_kde_plasma_window_management_get_window(manager, id), id, {});
}

void PlasmaWindowSystem::announcedWithUuid(void* data, org_kde_plasma_window_management* manager, std::uint32_t id,
                                           const char* uuid)
{
    auto* self = static_cast<PlasmaWindowSystem*>(data);
    self->track(org_kde_plasma_window_management_get_window_by_uuid(manager, uuid), id, QByteArray(uuid));
}

void PlasmaWindowSystem::stackingChanged(void* data, org_kde_plasma_window_management*, wl_array* ids)
{
    auto* self = static_cast<PlasmaWindowSystem*>(data);
    if (self->m_version >= UuidVersion)
        return;
    self->m_stackingIds.clear();
    const auto* first = static_cast<const std::uint32_t*>(ids->data);
    self->m_stackingIds = QList<std::uint32_t>(first, first + ids->size / sizeof(std::uint32_t));
    self->m_stackingKnown = true;
}

void PlasmaWindowSystem::stackingUuidChanged(void* data, org_kde_plasma_window_management*, const char* uuids)
{
    auto* self = static_cast<PlasmaWindowSystem*>(data);
    self->m_stackingUuids = QByteArray(uuids).split(';');
    self->m_stackingUuids.removeAll(QByteArray());
    self->m_stackingKnown = true;
}

void PlasmaWindowSystem::track(org_kde_plasma_window* created, std::uint32_t id, const QByteArray& uuid)
{
    static const org_kde_plasma_window_listener listener = {
        .title_changed =
            [](void* data, org_kde_plasma_window* proxy, const char* title) {
                if (Window* window = static_cast<PlasmaWindowSystem*>(data)->find(proxy))
                    window->title = QString::fromUtf8(title);
            },
        .app_id_changed =
            [](void* data, org_kde_plasma_window* proxy, const char* appId) {
                if (Window* window = static_cast<PlasmaWindowSystem*>(data)->find(proxy))
                    window->appId = QString::fromUtf8(appId);
            },
        .state_changed =
            [](void* data, org_kde_plasma_window* proxy, std::uint32_t flags) {
                if (Window* window = static_cast<PlasmaWindowSystem*>(data)->find(proxy))
                    window->state = flags;
            },
        .virtual_desktop_changed = [](void*, org_kde_plasma_window*, std::int32_t) {},
        .themed_icon_name_changed = [](void*, org_kde_plasma_window*, const char*) {},
        .unmapped
        = [](void* data, org_kde_plasma_window* proxy) { static_cast<PlasmaWindowSystem*>(data)->closed(proxy); },
        .initial_state =
            [](void* data, org_kde_plasma_window* proxy) {
                if (Window* window = static_cast<PlasmaWindowSystem*>(data)->find(proxy))
                    window->complete = true;
            },
        .parent_window =
            [](void* data, org_kde_plasma_window* proxy, org_kde_plasma_window* parent) {
                auto* self = static_cast<PlasmaWindowSystem*>(data);
                if (Window* window = self->find(proxy))
                    window->parent = parent ? self->handleOf(parent) : 0;
            },
        .geometry = [](void*, org_kde_plasma_window*, std::int32_t, std::int32_t, std::uint32_t, std::uint32_t) {},
        .icon_changed = [](void*, org_kde_plasma_window*) {},
        .pid_changed =
            [](void* data, org_kde_plasma_window* proxy, std::uint32_t pid) {
                if (Window* window = static_cast<PlasmaWindowSystem*>(data)->find(proxy))
                    window->pid = pid;
            },
        .virtual_desktop_entered = [](void*, org_kde_plasma_window*, const char*) {},
        .virtual_desktop_left = [](void*, org_kde_plasma_window*, const char*) {},
        .application_menu = [](void*, org_kde_plasma_window*, const char*, const char*) {},
        .activity_entered = [](void*, org_kde_plasma_window*, const char*) {},
        .activity_left = [](void*, org_kde_plasma_window*, const char*) {},
        .resource_name_changed = [](void*, org_kde_plasma_window*, const char*) {},
    };
    if (!created)
        return;
    org_kde_plasma_window_add_listener(created, &listener, this);
    Window window;
    window.proxy = created;
    window.id = id;
    window.uuid = uuid;
    m_windows.emplace(m_nextHandle++, std::move(window));
}

void PlasmaWindowSystem::closed(org_kde_plasma_window* proxy)
{
    const WindowHandle handle = handleOf(proxy);
    if (handle == 0)
        return;
    release(proxy);
    m_windows.erase(handle);
    for (auto& [other, window] : m_windows) {
        if (window.parent == handle)
            window.parent = 0;
    }
}

void PlasmaWindowSystem::release(org_kde_plasma_window* proxy)
{
    if (m_version >= DestroyVersion)
        org_kde_plasma_window_destroy(proxy);
    else
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(proxy));
}

PlasmaWindowSystem::Window* PlasmaWindowSystem::find(WindowHandle handle)
{
    const auto it = m_windows.find(handle);
    return it == m_windows.end() ? nullptr : &it->second;
}

PlasmaWindowSystem::Window* PlasmaWindowSystem::find(org_kde_plasma_window* proxy)
{
    return find(handleOf(proxy));
}

WindowHandle PlasmaWindowSystem::handleOf(org_kde_plasma_window* proxy) const
{
    for (const auto& [handle, window] : m_windows) {
        if (window.proxy == proxy)
            return handle;
    }
    return 0;
}

QList<WindowHandle> PlasmaWindowSystem::topLevelWindows()
{
    m_connection.roundtrip();
    QList<WindowHandle> result;
    // Topmost first: the stacking order from its top down, then windows it does not name yet.
    if (m_stackingKnown) {
        for (const auto& [handle, window] : m_windows) {
            const qsizetype place
                = m_version >= UuidVersion ? m_stackingUuids.indexOf(window.uuid) : m_stackingIds.indexOf(window.id);
            if (place >= 0)
                result.append(handle);
        }
        std::sort(result.begin(), result.end(), [this](WindowHandle a, WindowHandle b) {
            const Window& first = *find(a);
            const Window& second = *find(b);
            if (m_version >= UuidVersion)
                return m_stackingUuids.indexOf(first.uuid) > m_stackingUuids.indexOf(second.uuid);
            return m_stackingIds.indexOf(first.id) > m_stackingIds.indexOf(second.id);
        });
    }
    for (auto it = m_windows.crbegin(); it != m_windows.crend(); ++it) {
        if (!result.contains(it->first))
            result.append(it->first);
    }
    result.removeIf([this](WindowHandle handle) { return !find(handle)->complete; });
    return result;
}

QString PlasmaWindowSystem::windowTitle(WindowHandle handle)
{
    const Window* window = find(handle);
    return window ? window->title : QString();
}

QString PlasmaWindowSystem::windowClass(WindowHandle handle)
{
    const Window* window = find(handle);
    return window ? window->appId : QString();
}

QString PlasmaWindowSystem::windowRole(WindowHandle)
{
    return {};
}

WindowHandle PlasmaWindowSystem::windowOwner(WindowHandle handle)
{
    const Window* window = find(handle);
    return window ? window->parent : 0;
}

WindowHandle PlasmaWindowSystem::activeWindow()
{
    m_connection.roundtrip();
    for (const auto& [handle, window] : m_windows) {
        if (window.complete && (window.state & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE))
            return handle;
    }
    return 0;
}

bool PlasmaWindowSystem::isMinimized(WindowHandle handle)
{
    m_connection.roundtrip();
    const Window* window = find(handle);
    return window && (window->state & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED);
}

void PlasmaWindowSystem::setState(WindowHandle handle, std::uint32_t flags, std::uint32_t state)
{
    const Window* window = find(handle);
    if (!window)
        return;
    org_kde_plasma_window_set_state(window->proxy, flags, state);
    m_connection.flush();
}

void PlasmaWindowSystem::restoreWindow(WindowHandle handle)
{
    setState(handle, ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED, 0);
}

void PlasmaWindowSystem::requestActivation(WindowHandle handle)
{
    // A minimised window is shown as it becomes active.
    setState(handle, ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE | ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED,
             ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
}

void PlasmaWindowSystem::raiseWindow(WindowHandle handle)
{
    requestActivation(handle);
}

bool PlasmaWindowSystem::waitUntilActive(WindowHandle handle, int timeoutMs)
{
    return m_connection.waitFor(
        [this, handle] {
            const Window* window = find(handle);
            return window && (window->state & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
        },
        timeoutMs);
}

bool PlasmaWindowSystem::isOwnWindow(WindowHandle handle)
{
    const Window* window = find(handle);
    return window && window->pid == QCoreApplication::applicationPid();
}

WindowHandle PlasmaWindowSystem::ownWindow(std::uint64_t, const QString& title)
{
    return ListedOwnWindow(*this, m_connection, title);
}

bool PlasmaWindowSystem::hasNotificationArea()
{
    QDBusInterface watcher(u"org.kde.StatusNotifierWatcher"_s, u"/StatusNotifierWatcher"_s,
                           u"org.kde.StatusNotifierWatcher"_s, QDBusConnection::sessionBus());
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}
