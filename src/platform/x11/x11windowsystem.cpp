#include "platform/x11/x11windowsystem.h"

#include <cstdlib>

namespace {

constexpr std::uint32_t IconicState = 3;
// _NET_ACTIVE_WINDOW source indication of a pager or other direct user action.
constexpr std::uint32_t SourcePager = 2;
// _NET_WM_DESKTOP of a window shown on every desktop.
constexpr std::uint32_t AllDesktops = 0xFFFFFFFF;

xcb_window_t toWindow(WindowHandle handle)
{
    return static_cast<xcb_window_t>(handle);
}

QString decodeText(const X11Connection::Property& property, xcb_atom_t utf8)
{
    if (property.format != 8)
        return {};
    QByteArray bytes = property.data;
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    // STRING is Latin-1; COMPOUND_TEXT is read the same way, which is right for its ASCII part.
    return property.type == utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

} // namespace

X11WindowSystem::X11WindowSystem(X11Connection& x11)
    : m_x11(x11)
{ }

xcb_window_t X11WindowSystem::ewmhManager()
{
    // The manager's window names itself; a manager that has gone leaves the root's
    // property behind, pointing at a window that no longer has it. The manager seen last
    // time is asked in the same round trip.
    const xcb_atom_t check = m_x11.atom("_NET_SUPPORTING_WM_CHECK");
    const xcb_get_property_cookie_t rootCookie = m_x11.requestProperty(m_x11.root(), check);
    const xcb_window_t known = m_manager;
    const bool askKnown = known != XCB_NONE;
    xcb_get_property_cookie_t knownCookie{};
    if (askKnown)
        knownCookie = m_x11.requestProperty(known, check);
    const QList<std::uint32_t> onRoot = m_x11.property(rootCookie).words();
    const QList<std::uint32_t> onKnown = askKnown ? m_x11.property(knownCookie).words() : QList<std::uint32_t>();
    m_manager = XCB_NONE;
    if (onRoot.isEmpty())
        return XCB_NONE;
    const xcb_window_t named = onRoot.first();
    const QList<std::uint32_t> onNamed = named == known ? onKnown : m_x11.property(named, check).words();
    if (!onNamed.isEmpty() && onNamed.first() == named)
        m_manager = named;
    return m_manager;
}

QList<WindowHandle> X11WindowSystem::topLevelWindows()
{
    // Asked before the manager check so that both travel in one round trip.
    const xcb_get_property_cookie_t stackingCookie
        = m_x11.requestProperty(m_x11.root(), m_x11.atom("_NET_CLIENT_LIST_STACKING"));
    const bool managed = ewmhManager() != XCB_NONE;
    const X11Connection::Property stacking = m_x11.property(stackingCookie);
    QList<xcb_window_t> windows;
    if (managed && stacking.type == XCB_ATOM_WINDOW) {
        const QList<std::uint32_t> bottomToTop = stacking.words();
        windows = QList<xcb_window_t>(bottomToTop.rbegin(), bottomToTop.rend());
    } else {
        windows = clientsWithoutManager();
    }
    m_details = readDetails(windows);
    QList<WindowHandle> handles;
    handles.reserve(windows.size());
    for (const xcb_window_t window : windows)
        handles.append(window);
    return handles;
}

QList<xcb_window_t> X11WindowSystem::clientsWithoutManager()
{
    xcb_connection_t* c = m_x11.connection();
    const auto tree = TakeReply(xcb_query_tree_reply(c, xcb_query_tree(c, m_x11.root()), nullptr));
    if (!tree)
        return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    QList<xcb_window_t> result;
    // Children of the root come bottom to top.
    for (int i = count - 1; i >= 0; --i) {
        const xcb_window_t client = clientWindowBelow(children[i], 0);
        if (client != XCB_NONE) {
            result.append(client);
            continue;
        }
        const auto attributes
            = TakeReply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr));
        if (attributes && !attributes->override_redirect && attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT)
            result.append(children[i]);
    }
    return result;
}

xcb_window_t X11WindowSystem::clientWindowBelow(xcb_window_t frame, int depth)
{
    // A client window carries WM_STATE once a window manager has managed it.
    if (m_x11.property(frame, m_x11.atom("WM_STATE")).type != XCB_NONE)
        return frame;
    if (depth >= 3)
        return XCB_NONE;
    xcb_connection_t* c = m_x11.connection();
    const auto tree = TakeReply(xcb_query_tree_reply(c, xcb_query_tree(c, frame), nullptr));
    if (!tree)
        return XCB_NONE;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
        const xcb_window_t client = clientWindowBelow(children[i], depth + 1);
        if (client != XCB_NONE)
            return client;
    }
    return XCB_NONE;
}

QHash<WindowHandle, X11WindowSystem::Details> X11WindowSystem::readDetails(const QList<xcb_window_t>& windows)
{
    const xcb_atom_t netName = m_x11.atom("_NET_WM_NAME");
    const xcb_atom_t utf8 = m_x11.atom("UTF8_STRING");
    const xcb_atom_t role = m_x11.atom("WM_WINDOW_ROLE");
    struct Pending {
        xcb_get_property_cookie_t netName, name, wmClass, transientFor, role;
    };
    // All requests first, then all replies: one round trip for the whole list.
    QList<Pending> pending;
    pending.reserve(windows.size());
    for (const xcb_window_t window : windows) {
        pending.append({m_x11.requestProperty(window, netName), m_x11.requestProperty(window, XCB_ATOM_WM_NAME),
                        m_x11.requestProperty(window, XCB_ATOM_WM_CLASS),
                        m_x11.requestProperty(window, XCB_ATOM_WM_TRANSIENT_FOR), m_x11.requestProperty(window, role)});
    }
    QHash<WindowHandle, Details> result;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        Details details;
        const X11Connection::Property utf8Name = m_x11.property(pending[i].netName);
        const X11Connection::Property name = m_x11.property(pending[i].name);
        details.title = utf8Name.type == utf8 ? decodeText(utf8Name, utf8) : decodeText(name, utf8);
        // WM_CLASS holds the instance name and then the class name, each ended by a zero.
        const X11Connection::Property wmClass = m_x11.property(pending[i].wmClass);
        if (wmClass.format == 8) {
            const QList<QByteArray> parts = wmClass.data.split('\0');
            if (parts.size() > 1)
                details.className = QString::fromLatin1(parts[1]);
        }
        const QList<std::uint32_t> owner = m_x11.property(pending[i].transientFor).words();
        if (!owner.isEmpty())
            details.owner = owner.first();
        details.role = decodeText(m_x11.property(pending[i].role), utf8);
        result.insert(windows[i], details);
    }
    return result;
}

X11WindowSystem::Details X11WindowSystem::details(WindowHandle window)
{
    if (m_details.contains(window))
        return m_details.value(window);
    return readDetails({toWindow(window)}).value(window);
}

QString X11WindowSystem::windowTitle(WindowHandle window)
{
    return details(window).title;
}

QString X11WindowSystem::windowClass(WindowHandle window)
{
    return details(window).className;
}

QString X11WindowSystem::windowRole(WindowHandle window)
{
    return details(window).role;
}

WindowHandle X11WindowSystem::windowOwner(WindowHandle window)
{
    return details(window).owner;
}

WindowHandle X11WindowSystem::activeWindow()
{
    const xcb_get_property_cookie_t activeCookie
        = m_x11.requestProperty(m_x11.root(), m_x11.atom("_NET_ACTIVE_WINDOW"));
    const bool managed = ewmhManager() != XCB_NONE;
    const QList<std::uint32_t> active = m_x11.property(activeCookie).words();
    if (managed)
        return active.isEmpty() ? 0 : active.first();
    // Without a window manager: the listed window that holds the input focus or an ancestor of it.
    xcb_connection_t* c = m_x11.connection();
    const auto focus = TakeReply(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focus)
        return 0;
    const QList<xcb_window_t> clients = clientsWithoutManager();
    xcb_window_t window = focus->focus;
    while (window != XCB_NONE && window != XCB_INPUT_FOCUS_POINTER_ROOT && window != m_x11.root()) {
        if (clients.contains(window))
            return window;
        const auto tree = TakeReply(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree)
            return 0;
        window = tree->parent;
    }
    return 0;
}

bool X11WindowSystem::isMinimized(WindowHandle window)
{
    const xcb_atom_t hidden = m_x11.atom("_NET_WM_STATE_HIDDEN");
    const QList<std::uint32_t> netState = m_x11.property(toWindow(window), m_x11.atom("_NET_WM_STATE")).words();
    if (netState.contains(hidden))
        return true;
    const QList<std::uint32_t> wmState = m_x11.property(toWindow(window), m_x11.atom("WM_STATE")).words();
    return !wmState.isEmpty() && wmState.first() == IconicState;
}

void X11WindowSystem::restoreWindow(WindowHandle window)
{
    // Mapping an iconic window asks the window manager to show it again.
    xcb_map_window(m_x11.connection(), toWindow(window));
    xcb_flush(m_x11.connection());
}

void X11WindowSystem::sendToManager(xcb_window_t window, const char* message, std::uint32_t first, std::uint32_t second)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = m_x11.atom(message);
    event.data.data32[0] = first;
    event.data.data32[1] = second;
    xcb_send_event(m_x11.connection(), 0, m_x11.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

void X11WindowSystem::requestActivation(WindowHandle window)
{
    xcb_connection_t* c = m_x11.connection();
    if (ewmhManager() != XCB_NONE) {
        // A window on another virtual desktop is reached by switching to that desktop first.
        const xcb_get_property_cookie_t currentCookie
            = m_x11.requestProperty(m_x11.root(), m_x11.atom("_NET_CURRENT_DESKTOP"));
        const QList<std::uint32_t> onDesktop = m_x11.property(toWindow(window), m_x11.atom("_NET_WM_DESKTOP")).words();
        const QList<std::uint32_t> current = m_x11.property(currentCookie).words();
        if (!onDesktop.isEmpty() && onDesktop.first() != AllDesktops && !current.isEmpty()
            && onDesktop.first() != current.first())
            sendToManager(m_x11.root(), "_NET_CURRENT_DESKTOP", onDesktop.first(), XCB_CURRENT_TIME);
        sendToManager(toWindow(window), "_NET_ACTIVE_WINDOW", SourcePager, XCB_CURRENT_TIME);
    } else {
        // Refused for a window that is not shown; the caller sees that it did not become active.
        std::free(xcb_request_check(
            c, xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_PARENT, toWindow(window), XCB_CURRENT_TIME)));
    }
    xcb_flush(c);
}

void X11WindowSystem::raiseWindow(WindowHandle window)
{
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(m_x11.connection(), toWindow(window), XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(m_x11.connection());
}

bool X11WindowSystem::waitUntilActive(WindowHandle window, int timeoutMs)
{
    return m_x11.waitFor([&] { return activeWindow() == window; }, timeoutMs);
}

bool X11WindowSystem::isOwnWindow(WindowHandle window)
{
    // Windows of one connection carry its resource id base.
    const xcb_setup_t* setup = xcb_get_setup(m_x11.connection());
    return (toWindow(window) & ~setup->resource_id_mask) == setup->resource_id_base;
}

bool X11WindowSystem::hasNotificationArea()
{
    // A tray owns the selection _NET_SYSTEM_TRAY_S<screen> for as long as it runs; the
    // connection works on the first screen.
    xcb_connection_t* c = m_x11.connection();
    const auto owner = TakeReply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_x11.atom("_NET_SYSTEM_TRAY_S0")), nullptr));
    return owner && owner->owner != XCB_NONE;
}
