#include "platform/wayland/waylandconnection.h"

#include "platform/eventwait.h"
#include "util/errors.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

Error ConnectionLost()
{
    return Error(u"The connection to the Wayland compositor was lost."_s);
}

} // namespace

WaylandConnection::WaylandConnection()
{
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        throw Error(u"This program could not connect to the Wayland compositor of this session."_s);
    m_registry = wl_display_get_registry(m_display);
    static const wl_registry_listener listener = {&WaylandConnection::announced, &WaylandConnection::removed};
    wl_registry_add_listener(m_registry, &listener, this);
    roundtrip();

    m_notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &WaylandConnection::dispatch);
    m_flushBeforeWaiting
        = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, [this] {
              wl_display_dispatch_pending(m_display);
              wl_display_flush(m_display);
          });
}

WaylandConnection::~WaylandConnection()
{
    disconnect(m_flushBeforeWaiting);
    m_notifier.reset();
    if (m_seat)
        wl_seat_destroy(m_seat);
    wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

void WaylandConnection::announced(void* data, wl_registry*, std::uint32_t name, const char* interface,
                                  std::uint32_t version)
{
    static_cast<WaylandConnection*>(data)->m_globals.append({name, QByteArray(interface), version});
}

void WaylandConnection::removed(void* data, wl_registry*, std::uint32_t name)
{
    auto& globals = static_cast<WaylandConnection*>(data)->m_globals;
    globals.removeIf([name](const Global& global) { return global.name == name; });
}

bool WaylandConnection::offers(const char* interfaceName) const
{
    return std::any_of(m_globals.cbegin(), m_globals.cend(),
                       [interfaceName](const Global& global) { return global.interface == interfaceName; });
}

void* WaylandConnection::bind(const wl_interface* interface, std::uint32_t version)
{
    for (const Global& global : std::as_const(m_globals)) {
        if (global.interface == interface->name)
            return wl_registry_bind(m_registry, global.name, interface, std::min(version, global.version));
    }
    return nullptr;
}

wl_seat* WaylandConnection::seat()
{
    if (!m_seat)
        m_seat = bind<wl_seat>(&wl_seat_interface, 1);
    return m_seat;
}

void WaylandConnection::checkError()
{
    if (wl_display_get_error(m_display) != 0)
        throw ConnectionLost();
}

void WaylandConnection::roundtrip()
{
    if (wl_display_roundtrip(m_display) < 0)
        throw ConnectionLost();
}

void WaylandConnection::flush()
{
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
        throw ConnectionLost();
    checkError();
}

void WaylandConnection::dispatch()
{
    // Readable: read what came and hand it to the listeners. A lost connection stops the
    // notifier; the next request reports it.
    if (wl_display_dispatch(m_display) < 0)
        m_notifier->setEnabled(false);
}

bool WaylandConnection::waitFor(const std::function<bool()>& done, int timeoutMs)
{
    flush();
    const bool result = WaitInEventLoop(done, timeoutMs);
    checkError();
    return result;
}
