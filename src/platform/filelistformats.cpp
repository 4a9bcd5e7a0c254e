#include "platform/filelistformats.h"

#include <QUrl>

FileListFormats EncodeFileList(const QStringList& paths)
{
    FileListFormats formats{{}, "copy"};
    for (const QString& path : paths) {
        const QByteArray url = QUrl::fromLocalFile(path).toEncoded();
        formats.uriList += url + "\r\n";
        formats.gnomeCopiedFiles += '\n' + url;
    }
    return formats;
}
