#pragma once

#include <QByteArray>
#include <QStringList>

// A file list in the two clipboard formats that freedesktop programs paste files from:
// text/uri-list (each URL followed by CR LF) and x-special/gnome-copied-files ("copy",
// then one URL a line).
struct FileListFormats {
    QByteArray uriList;
    QByteArray gnomeCopiedFiles;
};

FileListFormats EncodeFileList(const QStringList& paths);
