#include "platform/x11/x11clipboard.h"

#include "platform/filelistformats.h"
#include "platform/x11/x11connection.h"
#include "util/errors.h"

#include <QCoreApplication>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Formats larger than this go out in pieces of this size.
constexpr qsizetype PieceBytes = 256 * 1024;
// A transfer in pieces that the requestor has not finished by then is dropped.
constexpr qint64 TransferLifetimeMs = 10000;
// How long the program, as it ends, lets a clipboard manager take what it owns.
constexpr int HandOverWaitMs = 2000;

// The marks that keep passing content out of clipboard managers' histories: KDE's (Klipper)
// and CopyQ's own.
struct TransientMark {
    const char* format;
    const char* value;
};
constexpr TransientMark TransientMarks[]
    = {{"x-kde-passwordManagerHint", "secret"}, {"application/x-copyq-hidden", "1"}};

// Formats that describe the selection rather than carry its data.
constexpr const char* MetaTargets[]
    = {"TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE", "INSERT_SELECTION", "INSERT_PROPERTY"};

} // namespace

X11Clipboard::X11Clipboard(X11Connection& x11)
    : m_x11(x11)
{
    m_window = m_x11.createPropertyWindow();
    m_selection = m_x11.atom("CLIPBOARD");
    m_clock.start();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Clipboard::~X11Clipboard()
{
    // Like any owner that goes away, leave the content to a clipboard manager if one runs.
    xcb_connection_t* c = m_x11.connection();
    if (m_owned && selectionOwner() == m_window) {
        const xcb_atom_t manager = m_x11.atom("CLIPBOARD_MANAGER");
        const auto owner = TakeReply(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, manager), nullptr));
        if (owner && owner->owner != XCB_NONE) {
            const xcb_atom_t save = m_x11.atom("SAVE_TARGETS");
            m_notifies.clear();
            xcb_convert_selection(c, m_window, manager, save, m_x11.atom("_QB_SELECTION_0"), XCB_CURRENT_TIME);
            xcb_flush(c);
            m_x11.waitFor([&] { return m_notifies.contains(save); }, HandOverWaitMs);
        }
    }
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    xcb_destroy_window(c, m_window);
    xcb_flush(c);
}

xcb_window_t X11Clipboard::selectionOwner()
{
    xcb_connection_t* c = m_x11.connection();
    const auto reply = TakeReply(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_selection), nullptr));
    return reply ? reply->owner : XCB_NONE;
}

xcb_timestamp_t X11Clipboard::serverTime()
{
    // A property change brings a PropertyNotify that carries the current server time.
    m_time.reset();
    xcb_change_property(m_x11.connection(), XCB_PROP_MODE_APPEND, m_window, m_x11.atom("_QB_TIMESTAMP"),
                        XCB_ATOM_INTEGER, 32, 0, nullptr);
    xcb_flush(m_x11.connection());
    if (!m_x11.waitFor([this] { return m_time.has_value(); }, ReadTimeoutMs))
        throw ClipboardBusy(u"Cannot open clipboard"_s);
    return *m_time;
}

void X11Clipboard::publish(QList<Offered> formats)
{
    if (m_transient) {
        for (const TransientMark& mark : TransientMarks) {
            const xcb_atom_t format = m_x11.atom(mark.format);
            if (std::none_of(formats.cbegin(), formats.cend(),
                             [format](const Offered& f) { return f.target == format; }))
                formats.append({format, format, 8, QByteArray(mark.value)});
        }
    }
    const xcb_timestamp_t time = serverTime();
    m_offered = std::move(formats);
    m_requests.clear();
    xcb_set_selection_owner(m_x11.connection(), m_window, m_selection, time);
    m_owned = selectionOwner() == m_window;
    m_ownedSince = time;
    if (!m_owned)
        throw ClipboardBusy(u"Cannot open clipboard"_s);
}

void X11Clipboard::setText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    const xcb_atom_t utf8String = m_x11.atom("UTF8_STRING");
    QList<Offered> formats{{utf8String, utf8String, 8, utf8},
                           {m_x11.atom("TEXT"), utf8String, 8, utf8},
                           {m_x11.atom("text/plain;charset=utf-8"), m_x11.atom("text/plain;charset=utf-8"), 8, utf8},
                           {m_x11.atom("text/plain"), m_x11.atom("text/plain"), 8, utf8}};
    // STRING is Latin-1 only.
    const QByteArray latin1 = text.toLatin1();
    if (QString::fromLatin1(latin1) == text)
        formats.append({XCB_ATOM_STRING, XCB_ATOM_STRING, 8, latin1});
    publish(std::move(formats));
}

void X11Clipboard::setFiles(const QStringList& paths)
{
    const FileListFormats files = EncodeFileList(paths);
    const xcb_atom_t uris = m_x11.atom("text/uri-list");
    const xcb_atom_t copied = m_x11.atom("x-special/gnome-copied-files");
    publish({{uris, uris, 8, files.uriList}, {copied, copied, 8, files.gnomeCopiedFiles}});
}

void X11Clipboard::setAllFormats(const ClipboardContent& content)
{
    if (content.isEmpty()) {
        // The clipboard was empty: give it up.
        if (selectionOwner() == m_window)
            xcb_set_selection_owner(m_x11.connection(), XCB_NONE, m_selection, serverTime());
        xcb_flush(m_x11.connection());
        m_owned = false;
        m_offered.clear();
        return;
    }
    QList<Offered> formats;
    for (const ClipboardFormat& format : content) {
        const xcb_atom_t target = m_x11.atom(format.name);
        const xcb_atom_t type = format.type.isEmpty() ? target : m_x11.atom(format.type);
        formats.append({target, type, std::uint8_t(format.unitBits), format.data});
    }
    publish(std::move(formats));
}

void X11Clipboard::setTransient(bool transient)
{
    m_transient = transient;
}

QList<xcb_atom_t> X11Clipboard::targets(xcb_window_t owner)
{
    if (owner == XCB_NONE)
        return {};
    if (owner == m_window && m_owned) {
        QList<xcb_atom_t> result;
        for (const Offered& format : m_offered)
            result.append(format.target);
        return result;
    }
    bool tooLarge = false;
    const std::optional<Received> list = convert({m_x11.atom("TARGETS")}, qsizetype(64) * 1024, tooLarge).value(0);
    if (!list || list->unitBits != 32)
        return {};
    QList<xcb_atom_t> result;
    for (const std::uint32_t atom : X11Connection::Property{list->type, 32, list->data}.words()) {
        if (!result.contains(atom))
            result.append(atom);
    }
    return result;
}

std::optional<xcb_atom_t> X11Clipboard::textTarget(const QList<xcb_atom_t>& offered)
{
    for (const char* name : {"UTF8_STRING", "text/plain;charset=utf-8", "STRING", "TEXT", "text/plain"}) {
        const xcb_atom_t atom = m_x11.atom(name);
        if (offered.contains(atom))
            return atom;
    }
    return std::nullopt;
}

bool X11Clipboard::hasText()
{
    return textTarget(targets(selectionOwner())).has_value();
}

QString X11Clipboard::text()
{
    const xcb_window_t owner = selectionOwner();
    const std::optional<xcb_atom_t> target = textTarget(targets(owner));
    if (!target)
        return {};
    std::optional<Received> received;
    if (owner == m_window && m_owned) {
        for (const Offered& format : m_offered) {
            if (format.target == *target)
                received = Received{format.type, format.unitBits, format.data};
        }
    } else {
        bool tooLarge = false;
        received = convert({*target}, std::numeric_limits<qsizetype>::max() / 2, tooLarge).value(0);
    }
    if (!received)
        return {};
    if (received->type == XCB_ATOM_STRING)
        return QString::fromLatin1(received->data);
    return QString::fromUtf8(received->data);
}

std::optional<ClipboardContent> X11Clipboard::allFormats(qsizetype maxBytes)
{
    ClipboardContent content;
    const xcb_window_t owner = selectionOwner();
    if (owner == XCB_NONE)
        return content;
    QList<xcb_atom_t> meta;
    for (const char* name : MetaTargets)
        meta.append(m_x11.atom(name));
    QList<xcb_atom_t> wanted;
    for (const xcb_atom_t target : targets(owner)) {
        if (!meta.contains(target))
            wanted.append(target);
    }
    QList<std::optional<Received>> received;
    if (owner == m_window && m_owned) {
        qsizetype total = 0;
        for (const Offered& format : std::as_const(m_offered)) {
            total += format.data.size();
            received.append(Received{format.type, format.unitBits, format.data});
        }
        if (total > maxBytes)
            return std::nullopt;
    } else {
        bool tooLarge = false;
        received = convert(wanted, maxBytes, tooLarge);
        if (tooLarge)
            return std::nullopt;
    }
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        if (received.value(i))
            content.append({m_x11.atomName(wanted[i]), received[i]->data, m_x11.atomName(received[i]->type),
                            received[i]->unitBits});
    }
    return content;
}

QList<std::optional<X11Clipboard::Received>> X11Clipboard::convert(const QList<xcb_atom_t>& targets, qsizetype maxBytes,
                                                                   bool& tooLarge)
{
    // All requests at once, each into a property of its own: one wait for the owner.
    xcb_connection_t* c = m_x11.connection();
    QList<xcb_atom_t> properties;
    m_notifies.clear();
    m_newValues.clear();
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const xcb_atom_t property = m_x11.atom(QByteArray("_QB_SELECTION_" + QByteArray::number(i)).constData());
        properties.append(property);
        xcb_delete_property(c, m_window, property);
        xcb_convert_selection(c, m_window, m_selection, targets[i], property, XCB_CURRENT_TIME);
    }
    xcb_flush(c);
    // Bounded for each answer, so a slow owner that keeps answering is waited for.
    for (qsizetype answered = 0; answered < targets.size(); answered = m_notifies.size()) {
        if (!m_x11.waitFor([&] { return m_notifies.size() > answered; }, ReadTimeoutMs))
            throw ClipboardBusy(u"Cannot open clipboard"_s);
    }
    QList<std::optional<Received>> result;
    qsizetype total = 0;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        if (m_notifies.value(targets[i]).property == XCB_NONE) {
            result.append(std::nullopt);
            continue;
        }
        std::optional<Received> received = takeWhole(properties[i], maxBytes - total, tooLarge);
        if (tooLarge)
            return {};
        if (received)
            total += received->data.size();
        result.append(std::move(received));
    }
    return result;
}

std::optional<X11Clipboard::Received> X11Clipboard::takeWhole(xcb_atom_t property, qsizetype maxBytes, bool& tooLarge)
{
    m_newValues.remove(property);
    std::optional<Received> first = takeProperty(property, maxBytes, tooLarge);
    if (!first || tooLarge || first->type != m_x11.atom("INCR"))
        return first;
    // Large data comes in pieces: each new value of the property is the next piece, an
    // empty one ends it.
    Received whole;
    for (;;) {
        if (!m_x11.waitFor([&] { return m_newValues.contains(property); }, ReadTimeoutMs))
            throw ClipboardBusy(u"Cannot open clipboard"_s);
        m_newValues.remove(property);
        std::optional<Received> piece = takeProperty(property, maxBytes - whole.data.size(), tooLarge);
        if (tooLarge || !piece)
            return piece;
        if (piece->data.isEmpty())
            return whole;
        whole.type = piece->type;
        whole.unitBits = piece->unitBits;
        whole.data += piece->data;
    }
}

std::optional<X11Clipboard::Received> X11Clipboard::takeProperty(xcb_atom_t property, qsizetype maxBytes,
                                                                 bool& tooLarge)
{
    xcb_connection_t* c = m_x11.connection();
    const std::uint32_t words = std::uint32_t(std::min<qsizetype>(maxBytes / 4 + 1, 0x3FFFFFFF));
    const auto reply = TakeReply(xcb_get_property_reply(
        c, xcb_get_property(c, 1, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, words), nullptr));
    if (!reply || reply->type == XCB_NONE)
        return std::nullopt;
    const int length = xcb_get_property_value_length(reply.get());
    if (reply->bytes_after > 0 || length > maxBytes) {
        tooLarge = true;
        return std::nullopt;
    }
    return Received{reply->type, reply->format,
                    QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length)};
}

bool X11Clipboard::writeTarget(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target)
{
    xcb_connection_t* c = m_x11.connection();
    if (target == m_x11.atom("TARGETS")) {
        QList<xcb_atom_t> atoms{target, m_x11.atom("TIMESTAMP"), m_x11.atom("MULTIPLE")};
        for (const Offered& format : m_offered)
            atoms.append(format.target);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                            std::uint32_t(atoms.size()), atoms.constData());
        return true;
    }
    if (target == m_x11.atom("TIMESTAMP")) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1, &m_ownedSince);
        return true;
    }
    if (target == m_x11.atom("MULTIPLE")) {
        // Pairs of target and property; a pair that cannot be answered gets no property.
        QList<std::uint32_t> pairs = m_x11.property(requestor, property).words();
        for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
            if (pairs[i] == target || !writeTarget(requestor, pairs[i + 1], pairs[i]))
                pairs[i + 1] = XCB_NONE;
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, m_x11.atom("ATOM_PAIR"), 32,
                            std::uint32_t(pairs.size()), pairs.constData());
        return true;
    }
    const auto found
        = std::find_if(m_offered.cbegin(), m_offered.cend(), [target](const Offered& f) { return f.target == target; });
    if (found == m_offered.cend())
        return false;
    if (found->data.size() > PieceBytes) {
        const qint64 now = m_clock.elapsed();
        m_transfers.removeIf([now](const Transfer& t) { return now - t.started > TransferLifetimeMs; });
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c, requestor, XCB_CW_EVENT_MASK, &events);
        const std::uint32_t size = std::uint32_t(found->data.size());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, m_x11.atom("INCR"), 32, 1, &size);
        m_transfers.append({requestor, property, *found, 0, now});
        return true;
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, found->type, found->unitBits,
                        std::uint32_t(found->data.size() / (found->unitBits / 8)), found->data.constData());
    return true;
}

void X11Clipboard::answer(const xcb_selection_request_event_t& request)
{
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = XCB_NONE;
    const bool current = request.time == XCB_CURRENT_TIME || request.time >= m_ownedSince;
    if (m_owned && request.selection == m_selection && current) {
        // Clients older than the conventions give no property: the target names it.
        const xcb_atom_t property = request.property == XCB_NONE ? request.target : request.property;
        if (writeTarget(request.requestor, property, request.target))
            notify.property = property;
    }
    xcb_send_event(m_x11.connection(), 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(m_x11.connection());
    const bool forData = request.target != m_x11.atom("TARGETS") && request.target != m_x11.atom("TIMESTAMP");
    m_requests.append({request.requestor, m_clock.elapsed(), forData && notify.property != XCB_NONE});
}

bool X11Clipboard::continueTransfer(const xcb_property_notify_event_t& event)
{
    const auto transfer = std::find_if(m_transfers.begin(), m_transfers.end(), [&event](const Transfer& t) {
        return t.requestor == event.window && t.property == event.atom;
    });
    if (transfer == m_transfers.end())
        return false;
    // The requestor deleted the last piece: the next one, or an empty one at the end.
    const qsizetype size = std::min(PieceBytes, transfer->format.data.size() - transfer->sent);
    const int unit = transfer->format.unitBits / 8;
    xcb_change_property(m_x11.connection(), XCB_PROP_MODE_REPLACE, event.window, event.atom, transfer->format.type,
                        transfer->format.unitBits, std::uint32_t(size / unit),
                        transfer->format.data.constData() + transfer->sent);
    xcb_flush(m_x11.connection());
    transfer->sent += size;
    if (size == 0) {
        m_requests.append({transfer->requestor, m_clock.elapsed(), true});
        m_transfers.erase(transfer);
    }
    return true;
}

bool X11Clipboard::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7F) {
    case XCB_SELECTION_REQUEST: {
        const auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
        if (request->owner != m_window)
            return false;
        answer(*request);
        return true;
    }
    case XCB_SELECTION_CLEAR: {
        const auto* clear = reinterpret_cast<xcb_selection_clear_event_t*>(event);
        if (clear->owner != m_window || clear->selection != m_selection)
            return false;
        m_owned = false;
        m_offered.clear();
        return true;
    }
    case XCB_SELECTION_NOTIFY: {
        const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event);
        if (notify->requestor != m_window)
            return false;
        m_notifies.insert(notify->target, *notify);
        return true;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if (change->window == m_window) {
            if (change->state == XCB_PROPERTY_NEW_VALUE)
                m_newValues.insert(change->atom);
            if (change->atom == m_x11.atom("_QB_TIMESTAMP"))
                m_time = change->time;
            return true;
        }
        return change->state == XCB_PROPERTY_DELETE && continueTransfer(*change);
    }
    default: return false;
    }
}

bool X11Clipboard::waitUntilRead(WindowHandle reader, int timeoutMs)
{
    // Windows made through one connection carry its resource id base. A program may read
    // through another connection of its own (LibreOffice does): a requestor whose process
    // is the reader's counts too. A clipboard manager is another process and never counts.
    const std::uint32_t mask = xcb_get_setup(m_x11.connection())->resource_id_mask;
    const auto client = [mask](std::uint32_t window) { return window & ~mask; };
    const std::uint32_t readerProcess = reader == 0 ? 0 : m_x11.windowProcess(xcb_window_t(reader));
    QHash<std::uint32_t, bool> clients; // by resource id base: whether it is the reader's
    const auto fromReader = [&](xcb_window_t requestor) {
        if (reader == 0 || client(requestor) == client(std::uint32_t(reader)))
            return true;
        if (readerProcess == 0)
            return false;
        const auto known = clients.constFind(client(requestor));
        if (known != clients.cend())
            return *known;
        return *clients.insert(client(requestor), m_x11.windowProcess(requestor) == readerProcess);
    };
    return m_x11.waitFor(
        [&] {
            bool fetched = false;
            qint64 last = 0;
            for (const Request& request : std::as_const(m_requests)) {
                if (fromReader(request.requestor)) {
                    fetched = fetched || request.forData;
                    last = std::max(last, request.at);
                }
            }
            const bool pending = std::any_of(m_transfers.cbegin(), m_transfers.cend(),
                                             [&](const Transfer& t) { return fromReader(t.requestor); });
            return fetched && !pending && m_clock.elapsed() - last >= QuietMs;
        },
        timeoutMs);
}
