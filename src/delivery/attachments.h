#pragma once

#include "platform/platform.h"

#include <QList>
#include <QString>
#include <QStringList>

// An attachment file of the shown Message and whether to ask before sending it.
struct ShownAttachment {
    QString fileName;
    bool promptToUse = false;
    friend bool operator==(const ShownAttachment&, const ShownAttachment&) = default;
};

// What a send asks and tells the user about the attachments while it runs.
class SendQuestions {
public:
    virtual ~SendQuestions();
    // Whether to attach a file marked to ask first.
    virtual bool attachFile(const QString& fileName) = 0;
    // The file is gone (or is no file) and is left out.
    virtual void attachmentMissing(const QString& fileName) = 0;
    // The destination takes no attachments, so none is sent.
    virtual void attachmentsNotForTarget() = 0;
};

// The shown attachment files that go with a send to the target: only for Outlook and
// Outlook Express, only files that still exist, asking where marked.
[[nodiscard]] QStringList CollectAttachmentsToSend(const QList<ShownAttachment>& shownAttachments,
                                                   const QString& target, SendQuestions& questions);

// Replaces the clipboard's content by the file list, as a file manager's copy does.
void PutFilesOnClipboard(Clipboard& clipboard, const QStringList& files);
