#include "platform/wayland/datacontrolclipboard.h"

#include "platform/filelistformats.h"
#include "platform/wayland/waylandconnection.h"
#include "util/errors.h"

#include "wlr-data-control-unstable-v1-client.h"

#include <QScopeGuard>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <limits>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr std::uint32_t ManagerVersion = 2;
// A reader that has not taken all of a format by then is dropped.
constexpr qint64 TransferLifetimeMs = 10000;
constexpr std::size_t ReadPieceBytes = 64 * 1024;

// The marks that keep passing content out of clipboard managers' histories: KDE's (Klipper)
// and CopyQ's own.
struct TransientMark {
    const char* mimeType;
    const char* value;
};
constexpr TransientMark TransientMarks[]
    = {{"x-kde-passwordManagerHint", "secret"}, {"application/x-copyq-hidden", "1"}};

bool IsTransientMark(const QByteArray& mimeType)
{
    return std::any_of(std::begin(TransientMarks), std::end(TransientMarks),
                       [&mimeType](const TransientMark& mark) { return mimeType == mark.mimeType; });
}

// Text types in the order we take them; STRING is Latin-1, the others UTF-8.
constexpr const char* TextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING", "TEXT"};

std::optional<QByteArray> TextType(const QList<QByteArray>& offered)
{
    for (const char* type : TextTypes) {
        if (offered.contains(type))
            return QByteArray(type);
    }
    return std::nullopt;
}

ClipboardBusy Busy()
{
    return ClipboardBusy(u"Cannot open clipboard"_s);
}

// A write to a pipe whose reader has gone raises SIGPIPE, which would end the program: hold
// the signal back for this thread and take away the one the write raised.
ssize_t WriteWithoutSignal(int fd, const char* data, std::size_t size)
{
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool pendingBefore = sigismember(&pending, SIGPIPE) == 1;
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const ssize_t written = write(fd, data, size);
    const int error = errno;
    if (written < 0 && error == EPIPE && !pendingBefore) {
        const timespec none{};
        sigtimedwait(&pipeSignal, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

} // namespace

DataControlClipboard::DataControlClipboard(WaylandConnection& wayland)
    : m_wayland(wayland)
{
    m_clock.start();
    m_manager = m_wayland.bind<zwlr_data_control_manager_v1>(&zwlr_data_control_manager_v1_interface, ManagerVersion);
    if (!m_manager)
        throw Error(u"This desktop does not let a program use the clipboard while another program has the focus."_s);
    wl_seat* seat = m_wayland.seat();
    if (!seat) {
        zwlr_data_control_manager_v1_destroy(m_manager);
        throw Error(u"This desktop has no seat whose clipboard the program could use."_s);
    }
    m_device = zwlr_data_control_manager_v1_get_data_device(m_manager, seat);
    static const zwlr_data_control_device_v1_listener listener
        = {&DataControlClipboard::dataOffer, &DataControlClipboard::selection, &DataControlClipboard::finished,
           &DataControlClipboard::primarySelection};
    zwlr_data_control_device_v1_add_listener(m_device, &listener, this);
    // The current content is announced at once.
    m_wayland.roundtrip();
}

DataControlClipboard::~DataControlClipboard()
{
    for (Transfer& transfer : m_transfers) {
        delete transfer.notifier;
        close(transfer.fd);
    }
    destroySource();
    for (auto offer = m_offers.cbegin(); offer != m_offers.cend(); ++offer)
        zwlr_data_control_offer_v1_destroy(offer.key());
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    zwlr_data_control_manager_v1_destroy(m_manager);
    try {
        m_wayland.flush();
    } catch (const Error&) {
        // The compositor is gone, and everything with it.
    }
}

void DataControlClipboard::offered(void* data, zwlr_data_control_offer_v1* offer, const char* mimeType)
{
    auto* self = static_cast<DataControlClipboard*>(data);
    const auto found = self->m_offers.find(offer);
    if (found != self->m_offers.end() && !found->contains(mimeType))
        found->append(QByteArray(mimeType));
}

void DataControlClipboard::dataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    auto* self = static_cast<DataControlClipboard*>(data);
    static const zwlr_data_control_offer_v1_listener listener = {&DataControlClipboard::offered};
    self->m_offers.insert(offer, {});
    zwlr_data_control_offer_v1_add_listener(offer, &listener, self);
}

void DataControlClipboard::selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    auto* self = static_cast<DataControlClipboard*>(data);
    if (self->m_selection && self->m_selection != offer)
        self->dropOffer(self->m_selection);
    self->m_selection = offer;
}

void DataControlClipboard::primarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    if (offer)
        static_cast<DataControlClipboard*>(data)->dropOffer(offer);
}

void DataControlClipboard::finished(void* data, zwlr_data_control_device_v1* device)
{
    // The seat went away: no clipboard until the program starts again.
    auto* self = static_cast<DataControlClipboard*>(data);
    if (self->m_selection)
        self->dropOffer(self->m_selection);
    self->m_selection = nullptr;
    self->destroySource();
    zwlr_data_control_device_v1_destroy(device);
    self->m_device = nullptr;
}

void DataControlClipboard::dropOffer(zwlr_data_control_offer_v1* offer)
{
    m_offers.remove(offer);
    zwlr_data_control_offer_v1_destroy(offer);
}

void DataControlClipboard::refresh()
{
    m_wayland.roundtrip();
    if (!m_device)
        throw Busy();
}

QList<QByteArray> DataControlClipboard::currentTypes() const
{
    QList<QByteArray> types;
    if (m_source) {
        for (const Format& format : std::as_const(m_source->formats))
            types.append(format.mimeType);
    } else if (m_selection) {
        types = m_offers.value(m_selection);
    }
    return types;
}

bool DataControlClipboard::hasText()
{
    refresh();
    return TextType(currentTypes()).has_value();
}

QString DataControlClipboard::text()
{
    refresh();
    const std::optional<QByteArray> type = TextType(currentTypes());
    if (!type)
        return {};
    QByteArray data;
    if (m_source) {
        for (const Format& format : std::as_const(m_source->formats)) {
            if (format.mimeType == *type)
                data = format.data;
        }
    } else {
        data = receive({*type}, std::numeric_limits<qsizetype>::max())->value(0);
    }
    if (*type == "STRING")
        return QString::fromLatin1(data);
    return QString::fromUtf8(data);
}

std::optional<ClipboardContent> DataControlClipboard::allFormats(qsizetype maxBytes)
{
    // An owner that left a request unanswered gets one more, on the selection as it is then.
    try {
        return readAllFormats(maxBytes);
    } catch (const ClipboardBusy&) {
        return readAllFormats(maxBytes);
    }
}

std::optional<ClipboardContent> DataControlClipboard::readAllFormats(qsizetype maxBytes)
{
    refresh();
    ClipboardContent content;
    if (m_source) {
        qsizetype total = 0;
        for (const Format& format : std::as_const(m_source->formats)) {
            total += format.data.size();
            content.append({QString::fromUtf8(format.mimeType), format.data, QString(), 8});
        }
        if (total > maxBytes)
            return std::nullopt;
        return content;
    }
    if (!m_selection)
        return content;
    // One type after the other: wl-copy at times leaves one of several requests made at
    // once unanswered.
    qsizetype total = 0;
    for (const QByteArray& type : m_offers.value(m_selection)) {
        const std::optional<QList<QByteArray>> data = receive({type}, maxBytes - total);
        if (!data)
            return std::nullopt;
        total += data->front().size();
        content.append({QString::fromUtf8(type), data->front(), QString(), 8});
    }
    return content;
}

std::optional<QList<QByteArray>> DataControlClipboard::receive(const QList<QByteArray>& mimeTypes, qsizetype maxBytes)
{
    // Every type at once, each through a pipe of its own, read as the owner writes: an owner
    // that answers one request after the other does not wait for us.
    struct Incoming {
        int fd = -1;
        QByteArray data;
        bool done = false;
    };
    QList<Incoming> incoming;
    const auto closeAll = qScopeGuard([&incoming] {
        for (const Incoming& in : std::as_const(incoming))
            close(in.fd);
    });
    for (const QByteArray& type : mimeTypes) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            throw Busy();
        incoming.append({ends[0], {}, false});
        // The request takes its own copy of the descriptor.
        zwlr_data_control_offer_v1_receive(m_selection, type.constData(), ends[1]);
        close(ends[1]);
    }
    qsizetype total = 0;
    bool tooLarge = false;
    // Takes what the owner has written so far; true when something came or a pipe ended.
    const auto take = [&] {
        bool progress = false;
        char piece[ReadPieceBytes];
        for (Incoming& in : incoming) {
            while (!in.done && !tooLarge) {
                const ssize_t got = read(in.fd, piece, sizeof piece);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0 && errno == EAGAIN)
                    break;
                progress = true;
                if (got <= 0) {
                    in.done = true;
                    break;
                }
                in.data.append(piece, got);
                total += got;
                tooLarge = total > maxBytes;
            }
        }
        return progress;
    };
    const auto allDone = [&incoming] {
        return std::all_of(incoming.cbegin(), incoming.cend(), [](const Incoming& in) { return in.done; });
    };
    while (!allDone()) {
        // Bounded for each step, so an owner that keeps writing is waited for.
        if (!m_wayland.waitFor(take, OwnerAnswerMs))
            throw Busy();
        if (tooLarge)
            return std::nullopt;
    }
    QList<QByteArray> result;
    for (const Incoming& in : std::as_const(incoming))
        result.append(in.data);
    return result;
}

void DataControlClipboard::publish(QList<Format> formats)
{
    if (!m_device)
        throw Busy();
    if (m_transient) {
        for (const TransientMark& mark : TransientMarks)
            formats.append({QByteArray(mark.mimeType), QByteArray(mark.value)});
    }
    auto source = std::make_unique<Source>();
    source->owner = this;
    source->generation = ++m_generation;
    source->proxy = zwlr_data_control_manager_v1_create_data_source(m_manager);
    for (Format& format : formats) {
        const bool known = std::any_of(source->formats.cbegin(), source->formats.cend(),
                                       [&format](const Format& f) { return f.mimeType == format.mimeType; });
        if (known)
            continue;
        zwlr_data_control_source_v1_offer(source->proxy, format.mimeType.constData());
        source->formats.append(std::move(format));
    }
    static const zwlr_data_control_source_v1_listener listener
        = {&DataControlClipboard::send, &DataControlClipboard::cancelled};
    zwlr_data_control_source_v1_add_listener(source->proxy, &listener, source.get());
    zwlr_data_control_device_v1_set_selection(m_device, source->proxy);
    destroySource();
    m_source = std::move(source);
    m_reads.clear();
    m_wayland.flush();
}

void DataControlClipboard::destroySource()
{
    if (!m_source)
        return;
    zwlr_data_control_source_v1_destroy(m_source->proxy);
    m_source.reset();
}

void DataControlClipboard::setText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QList<Format> formats{
        {"text/plain;charset=utf-8", utf8}, {"text/plain", utf8}, {"UTF8_STRING", utf8}, {"TEXT", utf8}};
    // STRING is Latin-1 only.
    const QByteArray latin1 = text.toLatin1();
    if (QString::fromLatin1(latin1) == text)
        formats.append({"STRING", latin1});
    publish(std::move(formats));
}

void DataControlClipboard::setFiles(const QStringList& paths)
{
    const FileListFormats files = EncodeFileList(paths);
    publish({{"text/uri-list", files.uriList}, {"x-special/gnome-copied-files", files.gnomeCopiedFiles}});
}

void DataControlClipboard::setAllFormats(const ClipboardContent& content)
{
    if (content.isEmpty()) {
        // The clipboard was empty: empty it, unless another program has put something newer there.
        refresh();
        if (m_source) {
            zwlr_data_control_device_v1_set_selection(m_device, nullptr);
            destroySource();
            m_wayland.flush();
        }
        return;
    }
    QList<Format> formats;
    for (const ClipboardFormat& format : content)
        formats.append({format.name.toUtf8(), format.data});
    publish(std::move(formats));
}

void DataControlClipboard::setTransient(bool transient)
{
    m_transient = transient;
}

void DataControlClipboard::send(void* data, zwlr_data_control_source_v1*, const char* mimeType, std::int32_t fd)
{
    auto* source = static_cast<Source*>(data);
    source->owner->startTransfer(*source, QByteArray(mimeType), fd);
}

void DataControlClipboard::cancelled(void* data, zwlr_data_control_source_v1*)
{
    // Another program has put its content on the clipboard.
    auto* source = static_cast<Source*>(data);
    source->owner->destroySource();
}

void DataControlClipboard::startTransfer(Source& source, const QByteArray& mimeType, int fd)
{
    dropStaleTransfers();
    const auto format = std::find_if(source.formats.cbegin(), source.formats.cend(),
                                     [&mimeType](const Format& f) { return f.mimeType == mimeType; });
    if (format == source.formats.cend()) {
        close(fd);
        return;
    }
    const qint64 now = m_clock.elapsed();
    if (source.generation == m_generation)
        m_reads.append({mimeType, now, -1, IsTransientMark(mimeType)});
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_transfers.push_back({fd, format->data, 0, now, source.generation, m_reads.size() - 1, nullptr});
    const auto transfer = std::prev(m_transfers.end());
    if (!continueTransfer(*transfer)) {
        endTransfer(transfer);
        return;
    }
    // The reader takes the rest as it reads: written from the event loop.
    transfer->notifier = new QSocketNotifier(fd, QSocketNotifier::Write);
    QObject::connect(transfer->notifier, &QSocketNotifier::activated, transfer->notifier, [this, transfer] {
        if (!continueTransfer(*transfer))
            endTransfer(transfer);
    });
}

bool DataControlClipboard::continueTransfer(Transfer& transfer)
{
    while (transfer.written < transfer.data.size()) {
        const ssize_t written = WriteWithoutSignal(transfer.fd, transfer.data.constData() + transfer.written,
                                                   std::size_t(transfer.data.size() - transfer.written));
        if (written >= 0)
            transfer.written += written;
        else if (errno == EAGAIN)
            return true;
        else if (errno != EINTR)
            return false; // the reader has gone
    }
    return false;
}

void DataControlClipboard::endTransfer(std::list<Transfer>::iterator transfer)
{
    if (transfer->notifier) {
        transfer->notifier->setEnabled(false);
        transfer->notifier->deleteLater();
    }
    close(transfer->fd);
    if (transfer->generation == m_generation)
        m_reads[transfer->read].end = m_clock.elapsed();
    m_transfers.erase(transfer);
}

void DataControlClipboard::dropStaleTransfers()
{
    const qint64 now = m_clock.elapsed();
    for (auto transfer = m_transfers.begin(); transfer != m_transfers.end();) {
        const auto next = std::next(transfer);
        if (now - transfer->started > TransferLifetimeMs)
            endTransfer(transfer);
        transfer = next;
    }
}

bool DataControlClipboard::fetched() const
{
    // Each read of a mark is a manager's look at the content it has just read: it takes away
    // the reads shortly before it, one of each type, the earliest first. What is left is a
    // destination's, done when it has ended and nothing of it came for the quiet time.
    QList<bool> managers(m_reads.size(), false);
    for (qsizetype mark = 0; mark < m_reads.size(); ++mark) {
        if (!m_reads[mark].mark)
            continue;
        QList<QByteArray> types;
        for (qsizetype read = 0; read < mark; ++read) {
            const Read& r = m_reads[read];
            if (!r.mark && !managers[read] && !types.contains(r.mimeType) && m_reads[mark].at - r.at <= QuietMs) {
                managers[read] = true;
                types.append(r.mimeType);
            }
        }
    }
    bool found = false;
    qint64 lastEnd = 0;
    for (qsizetype read = 0; read < m_reads.size(); ++read) {
        if (m_reads[read].mark || managers[read])
            continue;
        if (m_reads[read].end < 0)
            return false;
        found = true;
        lastEnd = std::max(lastEnd, m_reads[read].end);
    }
    return found && m_clock.elapsed() - lastEnd >= QuietMs;
}

bool DataControlClipboard::waitUntilRead(WindowHandle, int timeoutMs)
{
    return m_wayland.waitFor(
        [this] {
            dropStaleTransfers();
            return fetched();
        },
        timeoutMs);
}
