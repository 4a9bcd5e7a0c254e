// The send command of the main window: the window's state as the send command's view,
// and the token sources of a send.
#include "app/fMain.h"

#include "app/activationhotkey.h"
#include "app/sendcommand.h"
#include "app/traycontroller.h"
#include "compose/expandtokens.h"
#include "compose/standardsources.h"
#include "dialogs/textpreview.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "store/dmData.h"
#include "util/interaction.h"

#include "ui_fMain.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

class MainWindowSendView : public SendCommandView {
public:
    MainWindowSendView(TfrmMain& window, const QLineEdit& searchTerm, const TextPreview& shownText,
                       const ActivationHotKey& activation)
        : m_window(window)
        , m_searchTerm(searchTerm)
        , m_shownText(shownText)
        , m_activation(activation)
    { }

    bool searchTermIsEmpty() override { return m_searchTerm.text().isEmpty(); }
    QString shownText() override { return m_shownText.previewText(); }
    bool singleMessageShown() override { return m_window.SingleMessageShown(); }
    void runSearch() override { m_window.actSearchExecute(); }
    QList<ShownAttachment> shownAttachments() override { return m_window.ShownAttachments(); }
    WindowHandle cameFromWindow() override { return m_activation.cameFrom(); }

private:
    TfrmMain& m_window;
    const QLineEdit& m_searchTerm;
    const TextPreview& m_shownText;
    const ActivationHotKey& m_activation;
};

class PlatformClipboardText : public ClipboardTextSource {
public:
    explicit PlatformClipboardText(Clipboard& clipboard)
        : m_clipboard(clipboard)
    { }
    std::optional<QString> clipboardText() override
    {
        if (!m_clipboard.hasText())
            return std::nullopt;
        return m_clipboard.text();
    }

private:
    Clipboard& m_clipboard;
};

} // namespace

void TfrmMain::actSendFAQExecute()
{
    MainWindowSendView view(*this, *ui->txtSearchTerm, *ui->memText, *m_tray->jvActivateMe);
    PlatformClipboardText clipboard(m_desktop.clipboard);
    StandardTokenSources sources(clipboard, m_desktop.dateFormats, m_store, m_boxes);
    m_sendCommand.run(
        view, m_desktop, m_boxes, m_options,
        [&sources](const QString& text) { return ExpandTokens(text, sources.sources()); }, m_attachmentsToSend);
}

void TfrmMain::SendMessage(const QString& hotword)
{
    // A send that runs keeps the search box as it is; this one is ignored like the send key.
    if (m_sendCommand.running())
        return;
    if (!hotword.isEmpty()) {
        ui->cmbSearchType->setCurrentIndex(0);
        ui->txtSearchTerm->setText(hotword);
        // The send searches once, also when the box held this text already.
        m_singleMessageShown = false;
    }
    ui->actSendFAQ->trigger();
    ui->txtSearchTerm->selectAll();
}

void TfrmMain::RememberActiveWindow()
{
    m_tray->jvActivateMe->rememberActiveWindow();
}
