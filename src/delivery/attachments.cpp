#include "delivery/attachments.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

SendQuestions::~SendQuestions() = default;

QStringList CollectAttachmentsToSend(const QList<ShownAttachment>& shownAttachments, const QString& target,
                                     SendQuestions& questions)
{
    QStringList attachmentsToSend;
    if (shownAttachments.isEmpty())
        return attachmentsToSend;
    if (target.compare(u"Outlook"_s, Qt::CaseInsensitive) != 0
        && target.compare(u"Outlook Express"_s, Qt::CaseInsensitive) != 0) {
        questions.attachmentsNotForTarget();
        return attachmentsToSend;
    }
    for (const ShownAttachment& attachment : shownAttachments) {
        if (!QFileInfo(attachment.fileName).isFile()) {
            questions.attachmentMissing(attachment.fileName);
            continue;
        }
        if (!attachment.promptToUse || questions.attachFile(attachment.fileName))
            attachmentsToSend.append(attachment.fileName);
    }
    return attachmentsToSend;
}

void PutFilesOnClipboard(Clipboard& clipboard, const QStringList& files)
{
    clipboard.setFiles(files);
}
