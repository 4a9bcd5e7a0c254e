#pragma once

#include "platform/platform.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>

#include <xcb/xcb.h>

#include <optional>

class X11Connection;

// The CLIPBOARD selection, owned and read through a hidden window of our own: what we put
// on it is offered exactly in the formats given, and answered from the event loop; other
// programs' content is read with a bound on every wait.
class X11Clipboard : public Clipboard, public QAbstractNativeEventFilter {
public:
    explicit X11Clipboard(X11Connection& x11);
    // Hands what we own to a running clipboard manager first.
    ~X11Clipboard() override;
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    bool hasText() override;
    QString text() override;
    void setText(const QString& text) override;
    void setFiles(const QStringList& paths) override;
    std::optional<ClipboardContent> allFormats(qsizetype maxBytes) override;
    void setAllFormats(const ClipboardContent& content) override;
    void setTransient(bool transient) override;
    bool waitUntilRead(WindowHandle reader, int timeoutMs) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // How long a reader must have asked nothing more to count as done with a paste.
    static constexpr int QuietMs = 50;

private:
    struct Offered {
        xcb_atom_t target = XCB_NONE;
        xcb_atom_t type = XCB_NONE;
        std::uint8_t unitBits = 8;
        QByteArray data;
    };
    // A request by another program for what we own.
    struct Request {
        xcb_window_t requestor = XCB_NONE;
        qint64 at = 0;
        bool forData = false; // not just the list of formats or the time
    };
    // A format too large for one request, going out in pieces (INCR).
    struct Transfer {
        xcb_window_t requestor = XCB_NONE;
        xcb_atom_t property = XCB_NONE;
        Offered format;
        qsizetype sent = 0;
        qint64 started = 0;
    };
    struct Received {
        xcb_atom_t type = XCB_NONE;
        std::uint8_t unitBits = 8;
        QByteArray data;
    };

    void publish(QList<Offered> formats);
    xcb_timestamp_t serverTime();
    xcb_window_t selectionOwner();
    void answer(const xcb_selection_request_event_t& request);
    bool writeTarget(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target);
    bool continueTransfer(const xcb_property_notify_event_t& event);

    // The formats of the current owner; ours are answered without asking the server.
    QList<xcb_atom_t> targets(xcb_window_t owner);
    // Formats of another program's content, each without value when refused. Raises "Cannot
    // open clipboard" when the owner does not answer in time; sets tooLarge (and gives
    // nothing) when they hold more than maxBytes together.
    QList<std::optional<Received>> convert(const QList<xcb_atom_t>& targets, qsizetype maxBytes, bool& tooLarge);
    // The data in one of our properties, also when it comes in pieces.
    std::optional<Received> takeWhole(xcb_atom_t property, qsizetype maxBytes, bool& tooLarge);
    std::optional<Received> takeProperty(xcb_atom_t property, qsizetype maxBytes, bool& tooLarge);
    std::optional<xcb_atom_t> textTarget(const QList<xcb_atom_t>& offered);

    X11Connection& m_x11;
    xcb_window_t m_window = XCB_NONE;
    xcb_atom_t m_selection = XCB_NONE;
    QList<Offered> m_offered;
    bool m_owned = false;
    xcb_timestamp_t m_ownedSince = XCB_CURRENT_TIME;
    bool m_transient = false;
    QList<Request> m_requests;
    QList<Transfer> m_transfers;
    QElapsedTimer m_clock;
    // What the event filter saw for the waits: answers by target, properties given new values.
    QHash<xcb_atom_t, xcb_selection_notify_event_t> m_notifies;
    QSet<xcb_atom_t> m_newValues;
    std::optional<xcb_timestamp_t> m_time;
};
