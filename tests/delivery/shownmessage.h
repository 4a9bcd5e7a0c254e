#pragma once

#include "delivery/send.h"
#include "util/interaction.h"

// One Message shown on its own, sent with the given options; attachment notices and every
// outcome but Pasted are shown as message boxes, so that a test sees them as the user would.
class ShownMessage : public SendQuestions {
public:
    QString text;
    QList<ShownAttachment> attachments;
    SendOptions options;

    SendOutcome send(Platform& desktop, Interaction& boxes, const TokenExpander& expandTokens)
    {
        m_boxes = &boxes;
        const SendOutcome outcome = SendShownMessage(desktop, options, {text, attachments}, *this, expandTokens);
        if (outcome.result != SendOutcome::Pasted)
            m_boxes->showMessage(QStringLiteral("The send stopped with outcome %1 at the window \"%2\"")
                                     .arg(int(outcome.result))
                                     .arg(outcome.windowTitle));
        return outcome;
    }

    bool attachFile(const QString&) override { return true; }
    void attachmentMissing(const QString& fileName) override
    {
        m_boxes->showMessage(QStringLiteral("missing ") + fileName);
    }
    void attachmentsNotForTarget() override { m_boxes->showMessage(QStringLiteral("attachments not for target")); }

private:
    Interaction* m_boxes = nullptr;
};
