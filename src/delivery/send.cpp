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

// What the send puts on the clipboard is passing content: clipboard managers leave it out.
class TransientClipboard {
public:
    explicit TransientClipboard(Clipboard& clipboard)
        : m_clipboard(clipboard)
    {
        m_clipboard.setTransient(true);
    }
    ~TransientClipboard() { m_clipboard.setTransient(false); }
    TransientClipboard(const TransientClipboard&) = delete;
    TransientClipboard& operator=(const TransientClipboard&) = delete;

private:
    Clipboard& m_clipboard;
};

// The clipboard as it was: every format when it fits the bound, else its text alone.
struct SavedClipboard {
    std::optional<ClipboardContent> formats;
    QString text;
};

SavedClipboard SaveClipboard(Clipboard& clipboard)
{
    SavedClipboard saved;
    saved.formats = clipboard.allFormats(MaxSavedClipboardBytes);
    if (!saved.formats && clipboard.hasText())
        saved.text = UpToZero(clipboard.text());
    return saved;
}

void RestoreClipboard(Clipboard& clipboard, const SavedClipboard& saved)
{
    if (saved.formats)
        clipboard.setAllFormats(*saved.formats);
    else
        clipboard.setText(saved.text);
}

QString NotPastedMessage(const QString& title, const QString& reason)
{
    return u"The text was not pasted: the window \""_s + title + u"\" "_s + reason
        + u". The text is on the clipboard; paste it there by hand."_s;
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
    // What follows a zero character is never pasted, so its tokens are not expanded either.
    const QString text = expandTokens(UpToZero(context.shownText()));
    const WindowHandle window = FindDestinationWindow();

    Platform& desktop = platform();
    Clipboard& clipboard = desktop.clipboard;
    const TransientClipboard transient(clipboard);
    // Without a destination no key is pressed: it would go to whatever has the input. The
    // text is left on the clipboard for the user to paste.
    if (window == 0) {
        clipboard.setText(UpToZero(text));
        return;
    }
    const QString title = desktop.windows.windowTitle(window);
    const bool restore = ReadBoolSetting(Setting::RestoreClipboard);
    const SavedClipboard saved = restore ? SaveClipboard(clipboard) : SavedClipboard{};

    // The keys go out at once, but the destination acts on them later. Wait (bounded) until
    // it has the input and the user has let go of the send key's modifiers, and after each
    // paste until it has fetched the clipboard before changing it. A destination that does
    // not come to the front, or does not fetch, gets no further key and the clipboard is
    // left as it is, so that nothing lands anywhere else.
    clipboard.setText(UpToZero(text));
    if (!desktop.windows.waitUntilActive(window, ActivationWaitMs)) {
        interaction().showMessage(NotPastedMessage(title, u"did not come to the front"_s));
        return;
    }
    desktop.keyboard.waitUntilModifiersReleased(ModifierReleaseWaitMs);
    PressPaste();
    if (!clipboard.waitUntilRead(window, ClipboardReadWaitMs)) {
        interaction().showMessage(NotPastedMessage(title, u"did not take it from the clipboard"_s));
        return;
    }
    if (attach && !attachments.isEmpty()) {
        PutFilesOnClipboard(attachments);
        PressPaste();
        if (!clipboard.waitUntilRead(window, ClipboardReadWaitMs)) {
            interaction().showMessage(u"The attachments were not pasted: the window \""_s + title
                                      + u"\" did not take them from the clipboard. They are on the clipboard; "
                                        "paste them there by hand."_s);
            return;
        }
    }
    if (restore)
        RestoreClipboard(clipboard, saved);
}
