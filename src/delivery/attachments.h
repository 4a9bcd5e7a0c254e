#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// An attachment file of the shown Message and whether to ask before sending it.
struct ShownAttachment {
    QString fileName;
    bool promptToUse = false;
    friend bool operator==(const ShownAttachment&, const ShownAttachment&) = default;
};

// Fills attachmentsToSend with the shown attachment files that go with this send: only
// for Outlook and Outlook Express, only files that still exist, asking where marked.
void CollectAttachmentsToSend(const QList<ShownAttachment>& shownAttachments, QStringList& attachmentsToSend);

// Replaces the clipboard's content by the file list, as a file manager's copy does.
void PutFilesOnClipboard(const QStringList& files);
