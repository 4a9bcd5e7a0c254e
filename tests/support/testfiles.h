#pragma once

#include <QByteArray>
#include <QString>

// The file's bytes, or "(missing)" when it cannot be read.
QByteArray ReadFileBytes(const QString& path);
// Writes the bytes as the whole file; false when it cannot be written.
bool WriteFileBytes(const QString& path, const QByteArray& bytes);
