#pragma once

#include "platform/platform.h"

#include <memory>

class QMimeData;

// The clipboard through Qt's own, on a desktop that offers no other way: the desktop lets a
// program read and set it only while one of the program's windows has the focus. Whether
// another program fetched what was put there cannot be learnt.
class FocusClipboard : public Clipboard {
public:
    bool hasText() override;
    QString text() override;
    void setText(const QString& text) override;
    void setFiles(const QStringList& paths) override;
    std::optional<ClipboardContent> allFormats(qsizetype maxBytes) override;
    void setAllFormats(const ClipboardContent& content) override;
    void setTransient(bool transient) override;
    // False at once: no program is ever seen fetching.
    bool waitUntilRead(WindowHandle reader, int timeoutMs) override;

private:
    // Puts the data on the clipboard, marked as passing content while transient.
    void publish(std::unique_ptr<QMimeData> data);

    bool m_transient = false;
};
