#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file's contents with bytes, or leaves the file as it was. The bytes go to a
// temporary file in the same folder, which is flushed to the disk and checked before it
// takes the file's place. Raises Error("Unable to write to <path>: <the system's reason>.
// The file was left as it was.") on any failure.
void ReplaceFileContents(const QString& path, const QByteArray& bytes);

// The error a refused write of the file raises.
QString WriteRefusedText(const QString& path, const QString& reason);
