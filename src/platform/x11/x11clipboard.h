#pragma once

#include "platform/platform.h"

#include <QAbstractNativeEventFilter>
#include <QList>

#include <xcb/xcb.h>

#include <functional>
#include <memory>

class QMimeData;
class X11Connection;

// The CLIPBOARD selection through Qt's clipboard, which answers other programs' requests
// from the event loop. What we put on it notes when another program fetches it.
class X11Clipboard : public Clipboard, public QAbstractNativeEventFilter {
public:
    explicit X11Clipboard(X11Connection& x11);
    ~X11Clipboard() override;

    bool hasText() override;
    QString text() override;
    void setText(const QString& text) override;
    void setFiles(const QStringList& paths) override;
    bool waitUntilRead(WindowHandle reader, int timeoutMs) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // Shared with the data last put on the clipboard.
    struct ReadState {
        // The requestor windows of the fetches by other programs.
        QList<xcb_window_t> readers;
        bool ownRead = false;
    };

private:
    void publish(const std::function<void(QMimeData&)>& fill);
    bool ownsSelection();
    void refreshEventTime();

    X11Connection& m_x11;
    std::shared_ptr<ReadState> m_state;
    // A window of ours whose property changes bring Qt a current server time.
    xcb_window_t m_timeWindow = XCB_NONE;
    bool m_timeSeen = false;
    // The requestor of the selection request that Qt is about to answer.
    xcb_window_t m_requestor = XCB_NONE;
};
