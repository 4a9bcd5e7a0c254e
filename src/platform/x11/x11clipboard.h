#pragma once

#include "platform/platform.h"

#include <memory>

class X11Connection;

// The CLIPBOARD selection through Qt's clipboard, which answers other programs' requests
// from the event loop. What we put on it notes when another program fetches it.
class X11Clipboard : public Clipboard {
public:
    explicit X11Clipboard(X11Connection& x11);

    bool hasText() override;
    QString text() override;
    void setText(const QString& text) override;
    void setFiles(const QStringList& paths) override;
    bool waitUntilRead(int timeoutMs) override;

    // Shared with the data last put on the clipboard.
    struct ReadState {
        int reads = 0;
        bool ownRead = false;
    };

private:
    X11Connection& m_x11;
    std::shared_ptr<ReadState> m_state;
};
