#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

struct wl_display;
struct wl_interface;
struct wl_registry;
struct wl_seat;
class QSocketNotifier;

// The program's own connection to the Wayland compositor, apart from Qt's, so that it works
// whether Qt shows the windows natively or through Xwayland. Its events are read and
// dispatched from Qt's event loop; every request is flushed before the loop waits.
class WaylandConnection : public QObject {
public:
    // Connects to the compositor of WAYLAND_DISPLAY and learns its globals; raises Error
    // when there is none.
    WaylandConnection();
    ~WaylandConnection() override;

    wl_display* display() const { return m_display; }
    // Whether the compositor offers a global of that interface (its protocol name).
    bool offers(const char* interfaceName) const;
    // Binds the global of that interface at the lower of the offered and the given version;
    // null when it is not offered. The caller destroys the proxy.
    void* bind(const wl_interface* interface, std::uint32_t version);
    template <typename Proxy> Proxy* bind(const wl_interface* interface, std::uint32_t version)
    {
        return static_cast<Proxy*>(bind(interface, version));
    }
    // The compositor's first seat, bound once; null when it offers none.
    wl_seat* seat();

    // Sends what is queued and dispatches everything the compositor answers to it; raises
    // Error when the connection is lost.
    void roundtrip();
    // Sends what is queued; raises Error when the connection is lost.
    void flush();
    // Keeps Qt's events (not the user's input) and the compositor's flowing until done() is
    // true or the time is up; done() is asked every few milliseconds. Returns its last answer.
    bool waitFor(const std::function<bool()>& done, int timeoutMs);

private:
    struct Global {
        std::uint32_t name;
        QByteArray interface;
        std::uint32_t version;
    };
    static void announced(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                          std::uint32_t version);
    static void removed(void* data, wl_registry* registry, std::uint32_t name);
    void dispatch();
    void checkError();

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    QList<Global> m_globals;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QMetaObject::Connection m_flushBeforeWaiting;
};
