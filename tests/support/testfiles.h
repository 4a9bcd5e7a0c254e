#pragma once

#include <QByteArray>
#include <QString>

// The file's bytes, or "(missing)" when it cannot be read.
QByteArray ReadFileBytes(const QString& path);
// Writes the bytes as the whole file; false when it cannot be written.
bool WriteFileBytes(const QString& path, const QByteArray& bytes);

// While alive, a write that takes any file of this process past a few bytes fails as on a
// full disk, with the system's reason (a file size limit, so no privileges are needed).
// Only on POSIX systems: available() is false elsewhere, and the guard changes nothing.
class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    static bool available();
    // The system's reason for the refused writes, as errors quote it.
    static QString reason();

private:
    unsigned long long m_limit = 0;
};
