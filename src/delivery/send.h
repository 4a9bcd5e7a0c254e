#pragma once

#include "delivery/attachments.h"
#include "platform/platform.h"

#include <QString>
#include <QStringList>

#include <functional>

// The options of one send, read once when it starts.
struct SendOptions {
    // The destination program's section in targets.ini; empty when none is set.
    QString target;
    bool doAttachments = true;
    bool restoreClipboard = true;
    // For the destination CameFromDestination: the window the user called the program up
    // from, or 0 when there is none.
    WindowHandle cameFrom = 0;
};

// The Message to send as it is shown: its text, tokens unexpanded, and its attachments.
struct OutgoingMessage {
    QString text;
    QList<ShownAttachment> attachments;
};

// How a send ended. Every result but Pasted stops the send at that point; from
// NotActivated on, the text to paste is left on the clipboard.
struct SendOutcome {
    enum Result {
        Pasted,
        NoDestinationSet,
        NoWindowFound,
        // The destination is the window the user came from, but there was none, or it is
        // gone since.
        NoCameFromWindow,
        CameFromWindowGone,
        NotActivated,
        ModifiersHeld,
        NotFetched,
        AttachmentsNotFetched,
        // Another program kept the clipboard; what was done before stays done.
        ClipboardBusy,
    };
    Result result = Pasted;
    // The destination's section name, and the title of the window found.
    QString target;
    QString windowTitle;
    // The attachment files that went with the send (or were to go, when it stopped).
    QStringList attachments;
};

// Turns the shown text into the text to paste; raises Abort when the user cancels a prompt.
using TokenExpander = std::function<QString(const QString&)>;

// Pastes the expanded text, and for Outlook the attachment files, into the destination
// window, then puts the clipboard's earlier content back. The window is looked for first:
// without one the send stops before any question, so that no answer is asked in vain. The
// attachment questions come before the expansion's prompts. When the window does not come
// to the front, the user still holds a modifier, or it does not fetch the paste, no
// (further) key is pressed and what was to be pasted stays on the clipboard.
[[nodiscard]] SendOutcome SendShownMessage(Platform& desktop, const SendOptions& options,
                                           const OutgoingMessage& message, SendQuestions& questions,
                                           const TokenExpander& expandTokens);

// Bounds of the waits for the destination program.
inline constexpr int ActivationWaitMs = 1000;
inline constexpr int ModifierReleaseWaitMs = 1000;
inline constexpr int ClipboardReadWaitMs = 2000;
// A clipboard holding more than this is not saved whole; only its text is put back.
inline constexpr qsizetype MaxSavedClipboardBytes = qsizetype(64) * 1024 * 1024;
