#include "settings/replacefile.h"

#include "util/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

void ReplaceFileContents(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // Unbuffered, a write the system refuses fails in write() itself; a buffered one would
    // fail in the flush inside commit(), which loses the error and renames an empty file.
    const auto refused = [&](const QString& reason) {
        file.cancelWriting();
        throw Error(WriteRefusedText(path, reason));
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        refused(file.errorString());
    // A short write is written on from where it stopped: the call that fails gives the reason.
    for (qsizetype written = 0; written < bytes.size();) {
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0)
            refused(file.errorString());
        written += count;
    }
#ifdef Q_OS_UNIX
    // commit() syncs too but ignores the result; a disk that takes the data only now says so here.
    if (::fsync(file.handle()) != 0)
        refused(QString::fromLocal8Bit(std::strerror(errno)));
#endif
    if (!file.commit())
        throw Error(WriteRefusedText(path, file.errorString()));
}

QString WriteRefusedText(const QString& path, const QString& reason)
{
    QString because = reason.trimmed();
    while (because.endsWith(u'.'))
        because.chop(1);
    return u"Unable to write to %1: %2. The file was left as it was."_s.arg(
        QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), because);
}
