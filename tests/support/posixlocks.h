#pragma once

// The POSIX record locks (fcntl) that a process holds on some files, as the kernel lists
// them for every process in /proc/locks; empty on systems without that list.

#include <QByteArray>
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

// "inode READ|WRITE start end" per lock, sorted.
inline QStringList PosixLocksOf(qint64 pid, const QStringList& files)
{
    QStringList found;
#ifdef Q_OS_LINUX
    QSet<QString> inodes;
    for (const QString& file : files) {
        struct stat info = {};
        if (::stat(QFile::encodeName(file).constData(), &info) == 0)
            inodes.insert(QString::number(info.st_ino));
    }
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        qFatal("cannot read /proc/locks");
    // "1: POSIX  ADVISORY  READ 1234 08:01:5678 128 128"
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QStringList fields = QString::fromLatin1(line).split(u' ', Qt::SkipEmptyParts);
        if (fields.size() < 8 || fields.at(1) != QStringLiteral("POSIX") || fields.at(4).toLongLong() != pid)
            continue;
        const QString inode = fields.at(5).section(u':', 2);
        if (inodes.contains(inode))
            found << inode + u' ' + fields.at(3) + u' ' + fields.at(6) + u' ' + fields.at(7);
    }
#else
    Q_UNUSED(pid);
    Q_UNUSED(files);
#endif
    found.sort();
    return found;
}

// The embedded database file with the log and shared-memory files SQLite keeps beside it.
inline QStringList SqliteFiles(const QString& databaseFile)
{
    return {databaseFile, databaseFile + QStringLiteral("-wal"), databaseFile + QStringLiteral("-shm")};
}
