#include "delivery/send.h"

#include "delivery/globals.h"
#include "delivery/keyinput.h"
#include "platform/platform.h"
#include "util/virtualkeys.h"

namespace {

// Clipboard text ends at its first zero character.
QString UpToZero(const QString& text)
{
    const qsizetype zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.left(zero);
}

void PressPaste(KeyboardSynth& keyboard)
{
    SendKeyPress(keyboard, Vk::KeyV, ShiftState::Ctrl, false);
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

// The destination's window, not yet brought forward; 0 with the reason in the outcome.
WindowHandle LookUpDestination(WindowSystem& windows, const SendOptions& options, SendOutcome& outcome)
{
    if (options.target.compare(CameFromDestination, Qt::CaseInsensitive) != 0) {
        const WindowHandle window = LookUpDestinationWindow(windows, options.target);
        if (window == 0)
            outcome.result = SendOutcome::NoWindowFound;
        return window;
    }
    if (options.cameFrom == 0) {
        outcome.result = SendOutcome::NoCameFromWindow;
        return 0;
    }
    if (!windows.topLevelWindows().contains(options.cameFrom)) {
        outcome.result = SendOutcome::CameFromWindowGone;
        return 0;
    }
    return options.cameFrom;
}

// Pastes the text (and the files) into the window, which has been brought forward, all of
// it marked as passing content for clipboard managers; false with the reason in the outcome.
bool Paste(Platform& desktop, WindowHandle window, const QString& text, SendOutcome& outcome)
{
    Clipboard& clipboard = desktop.clipboard;
    const TransientClipboard transient(clipboard);
    // The keys go out at once, but the destination acts on them later. Wait (bounded) until
    // it has the input and the user has let go of the send key's modifiers, and after each
    // paste until it has fetched the clipboard before changing it. A destination that does
    // not come to the front, or does not fetch, gets no further key and the clipboard is
    // left as it is, so that nothing lands anywhere else. A modifier still held would turn
    // Ctrl+V into another command of the destination.
    clipboard.setText(UpToZero(text));
    if (!desktop.windows.waitUntilActive(window, ActivationWaitMs)) {
        outcome.result = SendOutcome::NotActivated;
        return false;
    }
    if (!desktop.keyboard.waitUntilModifiersReleased(ModifierReleaseWaitMs)) {
        outcome.result = SendOutcome::ModifiersHeld;
        return false;
    }
    PressPaste(desktop.keyboard);
    if (!clipboard.waitUntilRead(window, ClipboardReadWaitMs)) {
        outcome.result = SendOutcome::NotFetched;
        return false;
    }
    if (!outcome.attachments.isEmpty()) {
        PutFilesOnClipboard(clipboard, outcome.attachments);
        PressPaste(desktop.keyboard);
        if (!clipboard.waitUntilRead(window, ClipboardReadWaitMs)) {
            outcome.result = SendOutcome::AttachmentsNotFetched;
            return false;
        }
    }
    return true;
}

// Brings the window forward, pastes, puts the clipboard back; sets how it ended.
void Deliver(Platform& desktop, const SendOptions& options, WindowHandle window, const QString& text,
             SendOutcome& outcome)
{
    BringWindowForward(desktop.windows, window);
    outcome.windowTitle = desktop.windows.windowTitle(window);
    const SavedClipboard saved = options.restoreClipboard ? SaveClipboard(desktop.clipboard) : SavedClipboard{};
    if (!Paste(desktop, window, text, outcome))
        return;
    // The user's own content comes back as it was, without the passing-content mark.
    if (options.restoreClipboard)
        RestoreClipboard(desktop.clipboard, saved);
}

} // namespace

SendOutcome SendShownMessage(Platform& desktop, const SendOptions& options, const OutgoingMessage& message,
                             SendQuestions& questions, const TokenExpander& expandTokens)
{
    SendOutcome outcome;
    outcome.target = options.target;
    if (options.target.isEmpty()) {
        outcome.result = SendOutcome::NoDestinationSet;
        return outcome;
    }
    try {
        const WindowHandle window = LookUpDestination(desktop.windows, options, outcome);
        if (window == 0)
            return outcome;
        if (options.doAttachments)
            outcome.attachments = CollectAttachmentsToSend(message.attachments, options.target, questions);
        // What follows a zero character is never pasted, so its tokens are not expanded either.
        const QString text = expandTokens(UpToZero(message.text));
        Deliver(desktop, options, window, text, outcome);
    } catch (const ClipboardBusy&) {
        outcome.result = SendOutcome::ClipboardBusy;
    }
    return outcome;
}
