// The send command of the main window: the window's state as the delivery layer's send
// context, and the token sources of a send.
#include "app/fMain.h"

#include "compose/expandtokens.h"
#include "compose/standardsources.h"
#include "delivery/send.h"
#include "dialogs/textpreview.h"
#include "platform/platform.h"
#include "store/dmData.h"

#include "ui_fMain.h"

#include <QLineEdit>

namespace {

class MainWindowSendContext : public SendContext {
public:
    MainWindowSendContext(TfrmMain& window, const QLineEdit& searchTerm, const TextPreview& shownText,
                          QStringList& attachmentsToSend)
        : m_window(window)
        , m_searchTerm(searchTerm)
        , m_shownText(shownText)
        , m_attachmentsToSend(attachmentsToSend)
    { }

    bool searchTermIsEmpty() override { return m_searchTerm.text().isEmpty(); }
    QString shownText() override { return m_shownText.previewText(); }
    bool singleMessageShown() override { return m_window.SingleMessageShown(); }
    void runSearch() override { m_window.actSearchExecute(); }
    QList<ShownAttachment> shownAttachments() override { return m_window.ShownAttachments(); }
    QStringList& attachmentsToSend() override { return m_attachmentsToSend; }

private:
    TfrmMain& m_window;
    const QLineEdit& m_searchTerm;
    const TextPreview& m_shownText;
    QStringList& m_attachmentsToSend;
};

class PlatformClipboardText : public ClipboardTextSource {
public:
    std::optional<QString> clipboardText() override
    {
        Clipboard& clipboard = platform().clipboard;
        if (!clipboard.hasText())
            return std::nullopt;
        return clipboard.text();
    }
};

} // namespace

void TfrmMain::actSendFAQExecute()
{
    MainWindowSendContext context(*this, *ui->txtSearchTerm, *ui->memText, m_attachmentsToSend);
    PlatformClipboardText clipboard;
    StandardTokenSources sources(clipboard, m_store);
    ::actSendFAQExecute(context, [&sources](const QString& text) { return ExpandTokens(text, sources.sources()); });
}
