#include "app/sendcommand.h"

#include "settings/settings.h"
#include "util/interaction.h"

#include <QScopedValueRollback>

using namespace Qt::StringLiterals;

SendCommandView::~SendCommandView() = default;

bool InteractionSendQuestions::attachFile(const QString& fileName)
{
    return m_ui.confirmYesNo(u"Is it OK to attach the following file to this email ?\r\n\r\n"_s + fileName);
}

void InteractionSendQuestions::attachmentMissing(const QString& fileName)
{
    m_ui.showMessage(u"The attachment "_s + fileName + u" does not exist ! This file is being skipped."_s);
}

void InteractionSendQuestions::attachmentsNotForTarget()
{
    m_ui.showMessage(u"Attachments can only be sent to Outlook or Outlook Express"_s);
}

SendOptions ReadSendOptions(Options& options)
{
    options.load();
    return {options.value(Setting::Target), options.value(Setting::DoAttachments),
            options.value(Setting::RestoreClipboard)};
}

namespace {

QString NotPastedMessage(const QString& title, const QString& reason)
{
    return u"The text was not pasted: the window \""_s + title + u"\" "_s + reason
        + u". The text is on the clipboard; paste it there by hand."_s;
}

} // namespace

QString SendOutcomeText(const SendOutcome& outcome)
{
    switch (outcome.result) {
    case SendOutcome::Pasted: return {};
    case SendOutcome::NoDestinationSet:
        return u"Please use the Tools->Options menu to identify which email program you are using before using "
               "this command."_s;
    case SendOutcome::NoWindowFound: return u"Could not find a message window owned by \""_s + outcome.target + u"\""_s;
    case SendOutcome::NoCameFromWindow:
        return u"There is no window to paste into yet. Call "_s + ApplicationTitle()
            + u" up with its hot key from the window the Message is for, then send again."_s;
    case SendOutcome::CameFromWindowGone:
        return u"The window you came from is gone. Call "_s + ApplicationTitle()
            + u" up with its hot key from the window the Message is for, then send again."_s;
    case SendOutcome::NotActivated: return NotPastedMessage(outcome.windowTitle, u"did not come to the front"_s);
    case SendOutcome::ModifiersHeld:
        return u"The text was not pasted: a Shift, Ctrl, Alt or Windows key was still held down. The text is on "
               "the clipboard; paste it there by hand."_s;
    case SendOutcome::NotFetched: return NotPastedMessage(outcome.windowTitle, u"did not take it from the clipboard"_s);
    case SendOutcome::AttachmentsNotFetched:
        return u"The attachments were not pasted: the window \""_s + outcome.windowTitle
            + u"\" did not take them from the clipboard. They are on the clipboard; paste them there by hand."_s;
    case SendOutcome::ClipboardBusy: return u"Cannot open clipboard"_s;
    }
    return {};
}

void RunSendCommand(SendCommandView& view, Platform& desktop, Interaction& ui, Options& options,
                    const TokenExpander& expandTokens, QStringList& attachmentsToSend)
{
    if (view.searchTermIsEmpty() && view.shownText().isEmpty())
        return;
    if (!view.singleMessageShown()) {
        view.runSearch();
        if (!view.singleMessageShown()) {
            ui.showMessage(u"That search did not result in exactly one result, so the send will be cancelled. "
                           "Please use a search term that matches exactly one result; a HotWord is recommended "
                           "for maximum speed and efficiency."_s);
            return;
        }
    }
    SendOptions sendOptions = ReadSendOptions(options);
    sendOptions.cameFrom = view.cameFromWindow();
    if (!sendOptions.target.isEmpty())
        attachmentsToSend.clear();
    InteractionSendQuestions questions(ui);
    const SendOutcome outcome
        = SendShownMessage(desktop, sendOptions, {view.shownText(), view.shownAttachments()}, questions, expandTokens);
    if (outcome.result != SendOutcome::NoDestinationSet)
        attachmentsToSend = outcome.attachments;
    const QString text = SendOutcomeText(outcome);
    // A clipboard that another program keeps ends the send as an error does.
    if (outcome.result == SendOutcome::ClipboardBusy)
        ui.showError(text);
    else if (!text.isEmpty())
        ui.showMessage(text);
}

bool SendCommand::run(SendCommandView& view, Platform& desktop, Interaction& ui, Options& options,
                      const TokenExpander& expandTokens, QStringList& attachmentsToSend)
{
    if (m_running)
        return false;
    const QScopedValueRollback running(m_running, true);
    RunSendCommand(view, desktop, ui, options, expandTokens, attachmentsToSend);
    return true;
}
