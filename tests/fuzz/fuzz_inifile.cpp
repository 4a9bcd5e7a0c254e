// Reads arbitrary bytes as an INI file, writes one value into it and reads that back. The
// sections must read as before; every line the write does not change must come back byte
// for byte, unless the whole file had to become UTF-8; writing the same value again must
// leave the file as it is.
//
// Input: the file's bytes. Its first byte picks the section written to among those the file
// holds.

#include "settings/inifile.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    return file.readAll();
}

// The lines of a file's bytes, split at CR LF, CR or LF, without a byte-order mark.
QByteArrayList Lines(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (bytes.isEmpty())
        return {};
    bytes.replace("\r\n", "\n").replace('\r', '\n');
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    return bytes.split('\n');
}

// Whether the bytes after any byte-order mark are UTF-8 (a decoder drops the mark).
bool IsUtf8(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // In memory where there is such a file system: every write is synced to disk.
    static QTemporaryDir folder(QDir(u"/dev/shm"_s).exists() ? u"/dev/shm/qb-fuzz-XXXXXX"_s
                                                             : QDir::tempPath() + u"/qb-fuzz-XXXXXX"_s);
    const QString path = folder.filePath(u"options.ini"_s);
    const QByteArray before(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(before) != before.size())
            std::abort();
    }
    const IniFile ini(path);
    const QStringList sections = ini.sectionNames();
    const QString section = sections.isEmpty() || size == 0 ? u"Options"_s : sections.at(data[0] % sections.size());
    const QString value = u"Fuzz value"_s;

    ini.writeText(section, u"Target"_s, value);
    if (ini.readText(section, u"Target"_s, QString()) != value)
        std::abort();
    const QByteArray written = ReadAll(path);
    if (ini.sectionNames().mid(0, sections.size()) != sections)
        std::abort();

    // One run of lines differs: at most one line read, for at most two written (the key,
    // after a new section line).
    const QByteArrayList old = Lines(before);
    const QByteArrayList now = Lines(written);
    qsizetype same = 0;
    while (same < old.size() && same < now.size() && old.at(same) == now.at(same))
        ++same;
    qsizetype sameEnd = 0;
    while (sameEnd < old.size() - same && sameEnd < now.size() - same
           && old.at(old.size() - 1 - sameEnd) == now.at(now.size() - 1 - sameEnd))
        ++sameEnd;
    const bool oneRun = old.size() - same - sameEnd <= 1 && now.size() - same - sameEnd <= 2;
    const bool bom = before.startsWith("\xEF\xBB\xBF");
    const bool madeUtf8 = !IsUtf8(before) && IsUtf8(written)
        && std::any_of(written.cbegin(), written.cend(), [](char c) { return c & 0x80; });
    if ((!madeUtf8 && !oneRun) || written.startsWith("\xEF\xBB\xBF") != bom) {
        qWarning("written: %s", written.toPercentEncoding(" =[];").constData());
        std::abort();
    }

    ini.writeText(section, u"Target"_s, value);
    if (ReadAll(path) != written)
        std::abort();
    return 0;
}
