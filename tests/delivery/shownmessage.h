#pragma once

#include "delivery/send.h"

// One Message shown on its own, as the send sees the main window.
class ShownMessage : public SendContext {
public:
    bool searchTermIsEmpty() override { return false; }
    QString shownText() override { return text; }
    bool singleMessageShown() override { return true; }
    void runSearch() override { }
    QList<ShownAttachment> shownAttachments() override { return attachments; }
    QStringList& attachmentsToSend() override { return toSend; }

    QString text;
    QList<ShownAttachment> attachments;
    QStringList toSend;
};
