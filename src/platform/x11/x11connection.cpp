#include "platform/x11/x11connection.h"

#include "platform/eventwait.h"
#include "util/errors.h"

#include <QGuiApplication>

#include <xcb/res.h>

#include <cstring>

using namespace Qt::StringLiterals;

X11Connection::X11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        throw Error(u"This program needs an X11 desktop session."_s);
    m_connection = x11->connection();
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

xcb_window_t X11Connection::createPropertyWindow()
{
    xcb_connection_t* c = connection();
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, m_root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    xcb_flush(c);
    return window;
}

xcb_atom_t X11Connection::atom(const char* name)
{
    for (const auto& [known, value] : m_atoms) {
        if (known == name)
            return value;
    }
    const auto reply = TakeReply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    const xcb_atom_t value = reply ? reply->atom : XCB_NONE;
    if (value != XCB_NONE)
        m_atoms.append({QByteArray(name), value});
    return value;
}

QString X11Connection::atomName(xcb_atom_t atom)
{
    for (const auto& [known, value] : m_atoms) {
        if (value == atom)
            return QString::fromLatin1(known);
    }
    const auto reply = TakeReply(xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atom), nullptr));
    if (!reply)
        return {};
    const QByteArray name(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    m_atoms.append({name, atom});
    return QString::fromLatin1(name);
}

std::uint32_t X11Connection::windowProcess(xcb_window_t window)
{
    const xcb_query_extension_reply_t* resource = xcb_get_extension_data(m_connection, &xcb_res_id);
    if (resource && resource->present) {
        const xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        const auto reply = TakeReply(
            xcb_res_query_client_ids_reply(m_connection, xcb_res_query_client_ids(m_connection, 1, &spec), nullptr));
        if (reply) {
            for (auto ids = xcb_res_query_client_ids_ids_iterator(reply.get()); ids.rem > 0;
                 xcb_res_client_id_value_next(&ids)) {
                if ((ids.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0
                    && xcb_res_client_id_value_value_length(ids.data) == 1)
                    return *xcb_res_client_id_value_value(ids.data);
            }
        }
    }
    return property(window, atom("_NET_WM_PID")).words().value(0);
}

QList<std::uint32_t> X11Connection::Property::words() const
{
    QList<std::uint32_t> result;
    if (format != 32)
        return result;
    result.resize(data.size() / 4);
    if (!result.isEmpty()) // data() of an empty list is null, which memcpy must not get
        std::memcpy(result.data(), data.constData(), static_cast<std::size_t>(result.size()) * 4);
    return result;
}

xcb_get_property_cookie_t X11Connection::requestProperty(xcb_window_t window, xcb_atom_t name)
{
    // 64 K words is far more than any title, class or window list holds.
    return xcb_get_property(m_connection, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 65536);
}

X11Connection::Property X11Connection::property(xcb_get_property_cookie_t cookie)
{
    Property result;
    const auto reply = TakeReply(xcb_get_property_reply(m_connection, cookie, nullptr));
    if (!reply || reply->type == XCB_NONE)
        return result;
    result.type = reply->type;
    result.format = reply->format;
    result.data = QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                             xcb_get_property_value_length(reply.get()));
    return result;
}

X11Connection::Property X11Connection::property(xcb_window_t window, xcb_atom_t name)
{
    return property(requestProperty(window, name));
}

bool X11Connection::waitFor(const std::function<bool()>& done, int timeoutMs)
{
    return WaitInEventLoop(done, timeoutMs);
}
