#pragma once

#include "platform/platform.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>

#include <list>
#include <memory>

class QSocketNotifier;
class WaylandConnection;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

// The seat's clipboard through the compositor's data-control protocol, which lets a program
// read and set it without having the keyboard focus (sway and other wlroots compositors,
// KWin). What we put on it is offered exactly in the formats given and written to readers
// from the event loop, so a slow reader cannot hold us; other programs' content is read
// through pipes, every read bounded. The primary selection is left alone.
//
// Wayland does not tell an owner which client reads its content, so waitUntilRead() cannot
// single out the destination. It tells readers apart by what they read instead: a clipboard
// manager that honours the transient marks reads a mark right after the content it has read
// (CopyQ reads text/plain and text/plain;charset=utf-8, then its mark, in several rounds
// during the first second; Klipper looks at its mark), so each read of a mark takes the reads
// shortly before it, one of each type, out of the count, and only the reads left over count
// as fetched. A destination that reads a type the manager has just read counts; one whose
// only read falls into a manager's round among types it did not read is not seen. A manager
// that ignores the marks and records everything counts as a reader.
class DataControlClipboard : public Clipboard {
public:
    // Raises Error when the compositor offers no data-control manager or no seat.
    explicit DataControlClipboard(WaylandConnection& wayland);
    ~DataControlClipboard() override;
    DataControlClipboard(const DataControlClipboard&) = delete;
    DataControlClipboard& operator=(const DataControlClipboard&) = delete;

    bool hasText() override;
    QString text() override;
    void setText(const QString& text) override;
    void setFiles(const QStringList& paths) override;
    std::optional<ClipboardContent> allFormats(qsizetype maxBytes) override;
    void setAllFormats(const ClipboardContent& content) override;
    void setTransient(bool transient) override;
    // The reader cannot narrow the wait on Wayland (see above); it is accepted and unused.
    bool waitUntilRead(WindowHandle reader, int timeoutMs) override;

    // How long a reader must have asked nothing more to count as done with a paste; also how
    // soon after its read of content a manager reads the mark (CopyQ: up to 45 ms).
    static constexpr int QuietMs = 100;
    // How long an owner may leave a read without progress. Longer than ReadTimeoutMs: owners
    // here are other processes that may start a process of their own for each read (wl-copy
    // does), which takes more than half a second on a busy machine.
    static constexpr int OwnerAnswerMs = 2000;

private:
    struct Format {
        QByteArray mimeType;
        QByteArray data;
    };
    // What we offer, and the source that offers it.
    struct Source {
        DataControlClipboard* owner = nullptr;
        zwlr_data_control_source_v1* proxy = nullptr;
        QList<Format> formats;
        quint64 generation = 0;
    };
    // One format going out to a reader.
    struct Transfer {
        int fd = -1;
        QByteArray data;
        qsizetype written = 0;
        qint64 started = 0;
        quint64 generation = 0;
        qsizetype read = 0; // in m_reads, while the generation is current
        QSocketNotifier* notifier = nullptr;
    };
    // A reader's request for a format of the current content.
    struct Read {
        QByteArray mimeType;
        qint64 at = 0;
        qint64 end = -1; // while it is being written
        bool mark = false;
    };

    static void offered(void* data, zwlr_data_control_offer_v1* offer, const char* mimeType);
    static void dataOffer(void* data, zwlr_data_control_device_v1* device, zwlr_data_control_offer_v1* offer);
    static void selection(void* data, zwlr_data_control_device_v1* device, zwlr_data_control_offer_v1* offer);
    static void finished(void* data, zwlr_data_control_device_v1* device);
    static void primarySelection(void* data, zwlr_data_control_device_v1* device, zwlr_data_control_offer_v1* offer);
    static void send(void* data, zwlr_data_control_source_v1* source, const char* mimeType, std::int32_t fd);
    static void cancelled(void* data, zwlr_data_control_source_v1* source);

    void dropOffer(zwlr_data_control_offer_v1* offer);
    // Brings what the compositor has told us up to date; raises ClipboardBusy without a device.
    void refresh();
    // The mime types of the current content, ours or another program's.
    QList<QByteArray> currentTypes() const;
    void publish(QList<Format> formats);
    void destroySource();
    void startTransfer(Source& source, const QByteArray& mimeType, int fd);
    // Writes what the reader takes now; false when the transfer is over.
    bool continueTransfer(Transfer& transfer);
    void endTransfer(std::list<Transfer>::iterator transfer);
    void dropStaleTransfers();
    // Whether a reader other than a clipboard manager has taken the current content.
    bool fetched() const;
    std::optional<ClipboardContent> readAllFormats(qsizetype maxBytes);
    // The data of those types of another program's content, read all at once; raises
    // "Cannot open clipboard" when the owner leaves a read without progress for
    // OwnerAnswerMs; no value when they hold more than maxBytes together.
    std::optional<QList<QByteArray>> receive(const QList<QByteArray>& mimeTypes, qsizetype maxBytes);

    WaylandConnection& m_wayland;
    zwlr_data_control_manager_v1* m_manager = nullptr;
    zwlr_data_control_device_v1* m_device = nullptr;
    // Offers announced and not yet destroyed, with their mime types.
    QHash<zwlr_data_control_offer_v1*, QList<QByteArray>> m_offers;
    zwlr_data_control_offer_v1* m_selection = nullptr;
    std::unique_ptr<Source> m_source;
    quint64 m_generation = 0;
    bool m_transient = false;
    std::list<Transfer> m_transfers;
    QList<Read> m_reads; // of the current content, in order
    QElapsedTimer m_clock;
};
