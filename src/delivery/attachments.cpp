#include "delivery/attachments.h"

#include "platform/platform.h"
#include "settings/settings.h"
#include "util/interaction.h"
#include "util/textutils.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

void CollectAttachmentsToSend(const QList<ShownAttachment>& shownAttachments, QStringList& attachmentsToSend)
{
    attachmentsToSend.clear();
    if (shownAttachments.isEmpty())
        return;
    const QString target = ReadSetting(Setting::Target);
    if (target.compare(u"Outlook"_s, Qt::CaseInsensitive) != 0
        && target.compare(u"Outlook Express"_s, Qt::CaseInsensitive) != 0) {
        interaction().showMessage(u"Attachments can only be sent to Outlook or Outlook Express"_s);
        return;
    }
    for (const ShownAttachment& attachment : shownAttachments) {
        if (!QFileInfo(attachment.fileName).isFile()) {
            interaction().showMessage(u"The attachment "_s + attachment.fileName
                                      + u" does not exist ! This file is being skipped."_s);
            continue;
        }
        if (!attachment.promptToUse
            || ConfirmYesNo(u"Is it OK to attach the following file to this email ?\r\n\r\n"_s + attachment.fileName))
            attachmentsToSend.append(attachment.fileName);
    }
}

void PutFilesOnClipboard(const QStringList& files)
{
    platform().clipboard.setFiles(files);
}
