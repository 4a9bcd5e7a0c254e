#pragma once

#include "delivery/send.h"

#include <QList>
#include <QString>
#include <QStringList>

class Interaction;
class Options;

// What the send command needs of the main window.
class SendCommandView {
public:
    virtual ~SendCommandView();
    virtual bool searchTermIsEmpty() = 0;
    // The shown Message's text exactly as the panel shows it, tokens unexpanded.
    virtual QString shownText() = 0;
    virtual bool singleMessageShown() = 0;
    // Runs the search command once with the search box's text and type as they stand.
    virtual void runSearch() = 0;
    virtual QList<ShownAttachment> shownAttachments() = 0;
    // The window the user last called the program up from, or 0.
    virtual WindowHandle cameFromWindow() = 0;
};

// The attachment questions and notices of a send, as boxes.
class InteractionSendQuestions : public SendQuestions {
public:
    explicit InteractionSendQuestions(Interaction& ui)
        : m_ui(ui)
    { }
    bool attachFile(const QString& fileName) override;
    void attachmentMissing(const QString& fileName) override;
    void attachmentsNotForTarget() override;

private:
    Interaction& m_ui;
};

// The options of a send as options.ini holds them now (loads them afresh).
SendOptions ReadSendOptions(Options& options);

// What the user is told of a send's outcome; empty when there is nothing to tell.
QString SendOutcomeText(const SendOutcome& outcome);

// The send command: with nothing shown and the search box empty it does nothing; without
// exactly one Message shown it runs the search once, and if that does not show exactly
// one it says so. Then it reads the options, sends the shown Message, tells the outcome
// and gives the attachment files that went with it.
void RunSendCommand(SendCommandView& view, Platform& desktop, Interaction& ui, Options& options,
                    const TokenExpander& expandTokens, QStringList& attachmentsToSend);

// The send command, one send at a time: a send asked for while another one runs (waiting
// for an answer, for the destination window or for its read of the clipboard, or showing
// its outcome) is ignored, since it would paste in the middle of the first one.
class SendCommand {
public:
    bool running() const { return m_running; }
    // RunSendCommand, unless a send runs already; whether it ran.
    bool run(SendCommandView& view, Platform& desktop, Interaction& ui, Options& options,
             const TokenExpander& expandTokens, QStringList& attachmentsToSend);

private:
    bool m_running = false;
};
