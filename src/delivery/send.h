#pragma once

#include "delivery/attachments.h"

#include <QString>
#include <QStringList>

#include <functional>

// What the send needs of the main window.
class SendContext {
public:
    virtual ~SendContext();
    // Whether the search box is empty.
    virtual bool searchTermIsEmpty() = 0;
    // The shown Message's text exactly as the panel shows it, tokens unexpanded.
    virtual QString shownText() = 0;
    virtual bool singleMessageShown() = 0;
    // Runs the search command once with the search box's text and type as they stand.
    virtual void runSearch() = 0;
    virtual QList<ShownAttachment> shownAttachments() = 0;
    virtual QStringList& attachmentsToSend() = 0;
};

// Turns the shown text into the text to paste; raises Abort when the user cancels a prompt.
using TokenExpander = std::function<QString(const QString&)>;

// The send command: checks that one Message is shown and a destination is set, then sends.
void actSendFAQExecute(SendContext& context, const TokenExpander& expandTokens);

// Pastes the expanded text, and for Outlook the attachment files, into the destination
// window, then puts the clipboard's earlier content back. Without a destination, or when it
// does not come to the front or fetch the paste, no (further) key is pressed and what was
// to be pasted stays on the clipboard.
void SendShownMessage(SendContext& context, const TokenExpander& expandTokens);

// Bounds of the waits for the destination program.
inline constexpr int ActivationWaitMs = 1000;
inline constexpr int ModifierReleaseWaitMs = 1000;
inline constexpr int ClipboardReadWaitMs = 2000;
// A clipboard holding more than this is not saved whole; only its text is put back.
inline constexpr qsizetype MaxSavedClipboardBytes = qsizetype(64) * 1024 * 1024;
