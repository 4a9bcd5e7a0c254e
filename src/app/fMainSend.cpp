// The send command of the main window: the window's state as the send command's view,
// and the token sources of a send.
#include "app/fMain.h"

#include "app/sendcommand.h"
#include "compose/expandtokens.h"
#include "compose/standardsources.h"
#include "dialogs/textpreview.h"
#include "platform/platform.h"
#include "settings/filelocations.h"
#include "settings/settings.h"
#include "store/dmData.h"
#include "util/interaction.h"

#include <QLineEdit>

namespace {

class MainWindowSendView : public SendCommandView {
public:
    explicit MainWindowSendView(TfrmMain& window)
        : m_window(window)
    { }

    bool searchTermIsEmpty() override { return m_window.txtSearchTerm->text().isEmpty(); }
    QString shownText() override { return m_window.memText->previewText(); }
    bool singleMessageShown() override { return m_window.SingleMessageShown(); }
    void runSearch() override { m_window.actSearchExecute(); }
    QList<ShownAttachment> shownAttachments() override { return m_window.ShownAttachments(); }

private:
    TfrmMain& m_window;
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
    MainWindowSendView view(*this);
    PlatformClipboardText clipboard;
    StandardTokenSources sources(clipboard, *dmFAQData);
    Options options(OptionsFilePath());
    RunSendCommand(
        view, platform(), interaction(), options,
        [&sources](const QString& text) { return ExpandTokens(text, sources.sources()); }, m_attachmentsToSend);
}
