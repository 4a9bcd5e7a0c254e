#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>

// The X connection shared by the X11 implementations: the one of the running Qt
// application, so that events reach Qt's event loop and its native event filters.
class X11Connection {
public:
    X11Connection();

    xcb_connection_t* connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    xcb_atom_t atom(const char* name);
    xcb_atom_t atom(const QString& name) { return atom(name.toLatin1().constData()); }
    // The process ID of the program whose connection made the window: from the X Resource
    // extension (local clients, any window), else the window's _NET_WM_PID; 0 when neither
    // tells it.
    std::uint32_t windowProcess(xcb_window_t window);
    QString atomName(xcb_atom_t atom);
    // A hidden input-only window whose property changes reach our event filters.
    xcb_window_t createPropertyWindow();

    // A window property, or an empty reply when it is missing; wordSize 8, 16 or 32.
    struct Property {
        xcb_atom_t type = XCB_NONE;
        std::uint8_t format = 0;
        QByteArray data;
        QList<std::uint32_t> words() const;
    };
    xcb_get_property_cookie_t requestProperty(xcb_window_t window, xcb_atom_t property);
    Property property(xcb_get_property_cookie_t cookie);
    Property property(xcb_window_t window, xcb_atom_t property);

    // Keeps Qt's events (not the user's input) flowing until done() is true or the time
    // is up; done() is asked every few milliseconds. Returns the last answer of done().
    bool waitFor(const std::function<bool()>& done, int timeoutMs);

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    QList<std::pair<QByteArray, xcb_atom_t>> m_atoms;
};

template <typename Reply> using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> XcbReply<Reply> TakeReply(Reply* reply)
{
    return XcbReply<Reply>(reply, &std::free);
}
