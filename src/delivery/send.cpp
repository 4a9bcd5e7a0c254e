#include "delivery/send.h"

#include "delivery/globals.h"
#include "delivery/keyinput.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "util/interaction.h"
#include "util/virtualkeys.h"

using namespace Qt::StringLiterals;

SendContext::~SendContext() = default;

namespace {

// Clipboard text ends at its first zero character.
QString UpToZero(const QString& text)
{
    const qsizetype zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.left(zero);
}

void PressPaste()
{
    SendKeyPress(Vk::KeyV, ShiftState::Ctrl, false);
}

} // namespace

void actSendFAQExecute(SendContext& context, const TokenExpander& expandTokens)
{
    if (context.searchTermIsEmpty() && context.shownText().isEmpty())
        return;
    if (!context.singleMessageShown()) {
        context.runSearch();
        if (!context.singleMessageShown()) {
            interaction().showMessage(
                u"That search did not result in exactly one result, so the send will be cancelled. Please use a "
                "search term that matches exactly one result; a HotWord is recommended for maximum speed and "
                "efficiency."_s);
            return;
        }
    }
    if (ReadSetting(Setting::Target).isEmpty()) {
        interaction().showMessage(u"Please use the Tools->Options menu to identify which email program you are "
                                  "using before using this command."_s);
        return;
    }
    SendShownMessage(context, expandTokens);
}

void SendShownMessage(SendContext& context, const TokenExpander& expandTokens)
{
    QStringList& attachments = context.attachmentsToSend();
    attachments.clear();
    const bool attach = ReadBoolSetting(Setting::DoAttachments);
    if (attach)
        CollectAttachmentsToSend(context.shownAttachments(), attachments);
    const QString text = expandTokens(context.shownText());
    const WindowHandle window = FindDestinationWindow();

    Platform& desktop = platform();
    const bool restore = window != 0 && ReadBoolSetting(Setting::RestoreClipboard);
    QString saved;
    if (restore && desktop.clipboard.hasText())
        saved = UpToZero(desktop.clipboard.text());

    // The keys go out at once, but the destination acts on them later. With a destination,
    // wait (bounded) until it has the input and the user has let go of the send key's
    // modifiers, and after each paste until it has fetched the clipboard before changing it.
    if (window != 0) {
        desktop.windows.waitUntilActive(window, ActivationWaitMs);
        desktop.keyboard.waitUntilModifiersReleased(ModifierReleaseWaitMs);
    }
    const auto beforeClipboardChange = [&] {
        if (window != 0)
            desktop.clipboard.waitUntilRead(window, ClipboardReadWaitMs);
    };

    desktop.clipboard.setText(UpToZero(text));
    PressPaste();
    if (attach && !attachments.isEmpty()) {
        beforeClipboardChange();
        PutFilesOnClipboard(attachments);
        PressPaste();
    }
    if (restore) {
        beforeClipboardChange();
        desktop.clipboard.setText(saved);
    }
}
