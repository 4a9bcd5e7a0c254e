#include "platform/wayland/wlrwindowsystem.h"

#include "platform/wayland/ownwindow.h"
#include "platform/wayland/waylandconnection.h"
#include "util/errors.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFileInfo>
#include <QGuiApplication>

#include <wayland-client.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The version that tells a pop-up window's owner.
constexpr std::uint32_t ManagerVersion = 3;
// How long the tray's watcher may take to answer.
constexpr int TrayAnswerTimeoutMs = 500;

} // namespace

struct WlrWindowSystem::Toplevel {
    struct State {
        QString title;
        QString appId;
        WindowHandle parent = 0;
        bool minimized = false;
        bool activated = false;
    };
    WlrWindowSystem* system = nullptr;
    WindowHandle handle = 0;
    zwlr_foreign_toplevel_handle_v1* proxy = nullptr;
    // What the compositor has sent since its last done event, and what that event made true.
    State pending;
    State current;
    bool complete = false;
    // When the window last became active, counted in activations; 0 never.
    std::uint64_t activatedAt = 0;
};

// The compositor's events, which arrive while its connection is dispatched.
struct ToplevelEvents {
    using Toplevel = WlrWindowSystem::Toplevel;

    static Toplevel* of(zwlr_foreign_toplevel_handle_v1* proxy)
    {
        return static_cast<Toplevel*>(zwlr_foreign_toplevel_handle_v1_get_user_data(proxy));
    }
    static void title(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title)
    {
        static_cast<Toplevel*>(data)->pending.title = QString::fromUtf8(title);
    }
    static void appId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId)
    {
        static_cast<Toplevel*>(data)->pending.appId = QString::fromUtf8(appId);
    }
    static void outputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) { }
    static void outputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) { }
    static void state(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states)
    {
        auto* toplevel = static_cast<Toplevel*>(data);
        toplevel->pending.minimized = false;
        toplevel->pending.activated = false;
        const auto* entry = static_cast<const std::uint32_t*>(states->data);
        for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i) {
            if (entry[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED)
                toplevel->pending.minimized = true;
            else if (entry[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                toplevel->pending.activated = true;
        }
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1*)
    {
        auto* toplevel = static_cast<Toplevel*>(data);
        if (toplevel->pending.activated && !toplevel->current.activated)
            toplevel->activatedAt = ++toplevel->system->m_activations;
        toplevel->current = toplevel->pending;
        toplevel->complete = true;
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1*)
    {
        auto* toplevel = static_cast<Toplevel*>(data);
        zwlr_foreign_toplevel_handle_v1_destroy(toplevel->proxy);
        // Erasing the entry ends the toplevel; nothing of it may be used after this.
        toplevel->system->m_toplevels.erase(toplevel->handle);
    }
    static void parent(void* data, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1* parent)
    {
        static_cast<Toplevel*>(data)->pending.parent = parent ? of(parent)->handle : 0;
    }

    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* proxy)
    {
        static const zwlr_foreign_toplevel_handle_v1_listener listener
            = {&title, &appId, &outputEnter, &outputLeave, &state, &done, &closed, &parent};
        auto* system = static_cast<WlrWindowSystem*>(data);
        auto entry = std::make_unique<Toplevel>();
        entry->system = system;
        entry->handle = system->m_nextHandle++;
        entry->proxy = proxy;
        zwlr_foreign_toplevel_handle_v1_add_listener(proxy, &listener, entry.get());
        system->m_toplevels.emplace(entry->handle, std::move(entry));
    }
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1* manager)
    {
        auto* system = static_cast<WlrWindowSystem*>(data);
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        system->m_manager = nullptr;
    }
};

WlrWindowSystem::WlrWindowSystem(WaylandConnection& wayland)
    : m_wayland(wayland)
{
    m_manager
        = wayland.bind<zwlr_foreign_toplevel_manager_v1>(&zwlr_foreign_toplevel_manager_v1_interface, ManagerVersion);
    if (!m_manager)
        throw Error(u"This desktop does not let the program list the windows of other programs."_s);
    static const zwlr_foreign_toplevel_manager_v1_listener listener
        = {&ToplevelEvents::toplevel, &ToplevelEvents::finished};
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &listener, this);
    // The windows that are there, and then their details.
    m_wayland.roundtrip();
    m_wayland.roundtrip();
}

WlrWindowSystem::~WlrWindowSystem()
{
    for (const auto& [handle, toplevel] : m_toplevels)
        zwlr_foreign_toplevel_handle_v1_destroy(toplevel->proxy);
    m_toplevels.clear();
    if (m_manager) {
        zwlr_foreign_toplevel_manager_v1_stop(m_manager);
        zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
    }
    try {
        m_wayland.flush();
    } catch (const Error&) {
        // The compositor is gone, and our objects with it.
    }
}

void WlrWindowSystem::update()
{
    m_wayland.roundtrip();
}

WlrWindowSystem::Toplevel* WlrWindowSystem::find(WindowHandle window) const
{
    const auto entry = m_toplevels.find(window);
    return entry == m_toplevels.end() ? nullptr : entry->second.get();
}

QList<WindowHandle> WlrWindowSystem::topLevelWindows()
{
    update();
    QList<const Toplevel*> listed;
    for (const auto& [handle, toplevel] : m_toplevels) {
        if (toplevel->complete)
            listed.append(toplevel.get());
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Toplevel* a, const Toplevel* b) {
        if (a->current.activated != b->current.activated)
            return a->current.activated;
        if (a->activatedAt != b->activatedAt)
            return a->activatedAt > b->activatedAt;
        return a->handle > b->handle;
    });
    QList<WindowHandle> result;
    result.reserve(listed.size());
    for (const Toplevel* toplevel : std::as_const(listed))
        result.append(toplevel->handle);
    return result;
}

QString WlrWindowSystem::windowTitle(WindowHandle window)
{
    const Toplevel* toplevel = find(window);
    return toplevel ? toplevel->current.title : QString();
}

QString WlrWindowSystem::windowClass(WindowHandle window)
{
    const Toplevel* toplevel = find(window);
    return toplevel ? toplevel->current.appId : QString();
}

QString WlrWindowSystem::windowRole(WindowHandle)
{
    return {};
}

WindowHandle WlrWindowSystem::windowOwner(WindowHandle window)
{
    const Toplevel* toplevel = find(window);
    return toplevel ? toplevel->current.parent : 0;
}

WindowHandle WlrWindowSystem::activeWindow()
{
    update();
    for (const auto& [handle, toplevel] : m_toplevels) {
        if (toplevel->complete && toplevel->current.activated)
            return handle;
    }
    return 0;
}

bool WlrWindowSystem::isMinimized(WindowHandle window)
{
    update();
    const Toplevel* toplevel = find(window);
    return toplevel && toplevel->current.minimized;
}

void WlrWindowSystem::restoreWindow(WindowHandle window)
{
    if (const Toplevel* toplevel = find(window)) {
        zwlr_foreign_toplevel_handle_v1_unset_minimized(toplevel->proxy);
        m_wayland.flush();
    }
}

void WlrWindowSystem::requestActivation(WindowHandle window)
{
    // A window closed meanwhile gets nothing; the caller's wait tells that it did not come.
    const Toplevel* toplevel = find(window);
    wl_seat* seat = m_wayland.seat();
    if (toplevel && seat) {
        zwlr_foreign_toplevel_handle_v1_activate(toplevel->proxy, seat);
        m_wayland.flush();
    }
}

void WlrWindowSystem::raiseWindow(WindowHandle window)
{
    // Activation is the only way to raise a window that these compositors offer.
    requestActivation(window);
}

bool WlrWindowSystem::waitUntilActive(WindowHandle window, int timeoutMs)
{
    return m_wayland.waitFor(
        [this, window] {
            const Toplevel* toplevel = find(window);
            return toplevel && toplevel->complete && toplevel->current.activated;
        },
        timeoutMs);
}

QStringList WlrWindowSystem::OwnAppIds()
{
    QStringList ids;
    QString desktopFile = QGuiApplication::desktopFileName();
    if (desktopFile.endsWith(u".desktop"_s))
        desktopFile.chop(8);
    if (!desktopFile.isEmpty())
        ids.append(desktopFile);
    // Natively, without a desktop file name: the executable's name after the organization's
    // domain reversed.
    QStringList domain = QCoreApplication::organizationDomain().split(u'.', Qt::SkipEmptyParts);
    std::reverse(domain.begin(), domain.end());
    domain.append(QFileInfo(QCoreApplication::applicationFilePath()).baseName());
    ids.append(domain.join(u'.'));
    // Through Xwayland: the class of WM_CLASS, the application's name, or else the
    // executable's name with a capital.
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty()) {
        name = QFileInfo(QCoreApplication::applicationFilePath()).baseName();
        if (!name.isEmpty())
            name[0] = name[0].toUpper();
    }
    ids.append(name);
    ids.removeDuplicates();
    return ids;
}

bool WlrWindowSystem::isOwnWindow(WindowHandle window)
{
    const Toplevel* toplevel = find(window);
    return toplevel && !toplevel->current.appId.isEmpty() && OwnAppIds().contains(toplevel->current.appId);
}

WindowHandle WlrWindowSystem::ownWindow(std::uint64_t, const QString& title)
{
    return ListedOwnWindow(*this, m_wayland, title);
}

bool WlrWindowSystem::hasNotificationArea()
{
    // The tray of wlroots desktops (swaybar, Waybar) and of KDE is a StatusNotifier host;
    // the watcher on the session bus tells whether one runs, as Qt's tray icon asks it.
    const QString watcher = u"org.kde.StatusNotifierWatcher"_s;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusConnectionInterface* daemon = bus.interface();
    if (!daemon || !daemon->isServiceRegistered(watcher))
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(watcher, u"/StatusNotifierWatcher"_s,
                                                      u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get << watcher << u"IsStatusNotifierHostRegistered"_s;
    const QDBusMessage reply = bus.call(get, QDBus::Block, TrayAnswerTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}
