#include "testfiles.h"

#include <QFile>
#include <QString>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#endif

QByteArray ReadFileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

bool WriteFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

#ifdef Q_OS_UNIX
FullDisk::FullDisk()
{
    // The write past the limit then fails with EFBIG instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_limit = limit.rlim_cur;
    limit.rlim_cur = 16;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        qFatal("cannot limit the file size");
}

FullDisk::~FullDisk()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = m_limit;
    setrlimit(RLIMIT_FSIZE, &limit);
}

bool FullDisk::available()
{
    return true;
}

QString FullDisk::reason()
{
    return QString::fromLocal8Bit(std::strerror(EFBIG));
}
#else
FullDisk::FullDisk() = default;
FullDisk::~FullDisk() = default;

bool FullDisk::available()
{
    return false;
}

QString FullDisk::reason()
{
    return {};
}
#endif
