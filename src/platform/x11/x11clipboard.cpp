#include "platform/x11/x11clipboard.h"

#include "platform/x11/x11connection.h"
#include "util/errors.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Notes who fetches its data; Qt asks for the data only when a program requests one of
// its formats, not when it merely lists them.
class WatchedMimeData : public QMimeData {
public:
    WatchedMimeData(std::shared_ptr<X11Clipboard::ReadState> state, const xcb_window_t& requestor)
        : m_state(std::move(state))
        , m_requestor(requestor)
    {
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (!m_state->ownRead)
            m_state->readers.append(m_requestor);
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    std::shared_ptr<X11Clipboard::ReadState> m_state;
    // The requestor of the request being answered, as the event filter last saw it.
    const xcb_window_t& m_requestor;
};

QClipboard* clipboard()
{
    return QGuiApplication::clipboard();
}

} // namespace

X11Clipboard::X11Clipboard(X11Connection& x11)
    : m_x11(x11)
    , m_state(std::make_shared<ReadState>())
{
    m_timeWindow = m_x11.createPropertyWindow();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Clipboard::~X11Clipboard()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    xcb_destroy_window(m_x11.connection(), m_timeWindow);
    xcb_flush(m_x11.connection());
}

bool X11Clipboard::hasText()
{
    // Qt counts a file list as text too; the clipboard's text is plain text alone.
    const QMimeData* data = clipboard()->mimeData(QClipboard::Clipboard);
    return data && data->hasFormat(u"text/plain"_s);
}

QString X11Clipboard::text()
{
    if (!hasText())
        return {};
    // Our own data read back must not count as a fetch by another program.
    m_state->ownRead = true;
    const QString result = clipboard()->text(QClipboard::Clipboard);
    m_state->ownRead = false;
    return result;
}

void X11Clipboard::setText(const QString& text)
{
    publish([&text](QMimeData& data) { data.setText(text); });
}

void X11Clipboard::setFiles(const QStringList& paths)
{
    QList<QUrl> urls;
    QByteArray gnome = "copy";
    for (const QString& path : paths) {
        const QUrl url = QUrl::fromLocalFile(path);
        urls.append(url);
        gnome += '\n' + url.toEncoded();
    }
    publish([&](QMimeData& data) {
        data.setUrls(urls);
        data.setData(u"x-special/gnome-copied-files"_s, gnome);
    });
}

void X11Clipboard::publish(const std::function<void(QMimeData&)>& fill)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        m_state = std::make_shared<ReadState>();
        auto* data = new WatchedMimeData(m_state, m_requestor);
        fill(*data);
        clipboard()->setMimeData(data, QClipboard::Clipboard);
        if (ownsSelection())
            return;
        // Qt stamps the request with the time of the last event it saw, and the server
        // ignores it when another program took the clipboard later than that.
        refreshEventTime();
    }
    throw Error(u"Cannot open clipboard"_s);
}

bool X11Clipboard::ownsSelection()
{
    xcb_connection_t* c = m_x11.connection();
    const auto reply = TakeReply(xcb_get_selection_owner_reply(
        c, xcb_get_selection_owner(c, m_x11.atom("CLIPBOARD")), nullptr));
    if (!reply || reply->owner == XCB_NONE)
        return false;
    // Our windows carry the resource id base of our connection.
    const xcb_setup_t* setup = xcb_get_setup(c);
    return (reply->owner & ~setup->resource_id_mask) == setup->resource_id_base;
}

void X11Clipboard::refreshEventTime()
{
    // A property change brings a PropertyNotify with the current server time, from which
    // Qt takes its time once it has handled the event.
    m_timeSeen = false;
    xcb_change_property(m_x11.connection(), XCB_PROP_MODE_APPEND, m_timeWindow, m_x11.atom("_QB_TIMESTAMP"),
                        XCB_ATOM_INTEGER, 32, 0, nullptr);
    xcb_flush(m_x11.connection());
    m_x11.waitFor([this] { return m_timeSeen; }, 1000);
}

bool X11Clipboard::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    // Filters see an event before Qt handles it; Qt answers a request within its handling.
    if ((event->response_type & 0x7F) == XCB_SELECTION_REQUEST)
        m_requestor = reinterpret_cast<xcb_selection_request_event_t*>(event)->requestor;
    if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY
        && reinterpret_cast<xcb_property_notify_event_t*>(event)->window == m_timeWindow)
        m_timeSeen = true;
    return false;
}

bool X11Clipboard::waitUntilRead(WindowHandle reader, int timeoutMs)
{
    // Windows of one program carry the resource id base of its connection.
    const std::uint32_t mask = xcb_get_setup(m_x11.connection())->resource_id_mask;
    const auto sameProgram = [mask, reader](xcb_window_t requestor) {
        return (requestor & ~mask) == (std::uint32_t(reader) & ~mask);
    };
    const std::shared_ptr<ReadState> state = m_state;
    return m_x11.waitFor(
        [&] {
            return reader == 0 ? !state->readers.isEmpty()
                               : std::any_of(state->readers.cbegin(), state->readers.cend(), sameProgram);
        },
        timeoutMs);
}
