#include "settings/inifile.h"

#include "settings/replacefile.h"
#include "util/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <optional>

#ifndef _WIN32
#include <langinfo.h>
#endif

using namespace Qt::StringLiterals;

namespace {

#ifndef _WIN32
// 0x80..0x9F of Windows-1252; the five unassigned bytes map to the C1 controls, as Windows does.
constexpr char16_t Windows1252High[32]
    = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
       0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
       0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The 8-bit code page of a file that is not UTF-8: the ANSI code page on Windows; elsewhere
// Latin-1 when the locale uses it, and Windows-1252 otherwise.
bool localIsLatin1()
{
    const QByteArray codeset = QByteArray(nl_langinfo(CODESET)).toUpper();
    return codeset == "ISO-8859-1" || codeset == "ISO8859-1";
}
#endif

QString decode8Bit(const QByteArray& bytes)
{
#ifdef _WIN32
    return QStringDecoder(QStringConverter::System).decode(bytes);
#else
    if (localIsLatin1())
        return QString::fromLatin1(bytes);
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        const auto unit = static_cast<unsigned char>(byte);
        *out++ = QChar(unit >= 0x80 && unit < 0xA0 ? Windows1252High[unit - 0x80] : char16_t(unit));
    }
    return text;
#endif
}

// The line in the 8-bit code page, or no value when a character has no byte there.
std::optional<QByteArray> encode8Bit(const QString& line)
{
#ifdef _WIN32
    QStringEncoder encoder(QStringConverter::System);
    QByteArray bytes = encoder.encode(line);
    if (encoder.hasError() || QStringDecoder(QStringConverter::System).decode(bytes) != line)
        return std::nullopt;
    return bytes;
#else
    const bool latin1 = localIsLatin1();
    QByteArray bytes;
    bytes.reserve(line.size());
    for (const QChar c : line) {
        const char16_t unit = c.unicode();
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF) || (latin1 && unit < 0x100)) {
            bytes += char(unit);
            continue;
        }
        const auto* found = std::find(std::begin(Windows1252High), std::end(Windows1252High), unit);
        if (latin1 || found == std::end(Windows1252High))
            return std::nullopt;
        bytes += char(0x80 + (found - std::begin(Windows1252High)));
    }
    return bytes;
#endif
}

bool isUtf8(const QByteArray& bytes)
{
    // Invalid or cut-off sequences decode to U+FFFD and so do not come back as they were.
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

struct Content {
    bool bom = false;
    bool eightBit = false; // not UTF-8: read in the local 8-bit code page
    QString newline = u"\n"_s;
    QStringList lines;
    // The lines as read, and their bytes, so that unchanged lines are written back as they were.
    QStringList readLines;
    QByteArrayList raw;
};

Content load(const QString& path)
{
    Content content;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return content;
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        content.bom = true;
        bytes.remove(0, 3);
    }
    content.eightBit = !isUtf8(bytes);
    if (bytes.contains("\r\n"))
        content.newline = u"\r\n"_s;
    // Line breaks are the same bytes in both encodings, so lines split before decoding.
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        const QByteArray line = bytes.mid(start, end - start);
        const QString text = content.eightBit ? decode8Bit(line) : QString::fromUtf8(line);
        content.lines.append(text);
        content.raw.append(line);
        start = end + (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
    }
    content.readLines = content.lines;
    return content;
}

// The file's bytes: lines read unchanged as they were, the others in the file's encoding. An
// 8-bit file that must take a character its code page lacks becomes UTF-8 as a whole, and
// so does one that would pass as UTF-8 once written and so read differently.
QByteArray save(const Content& content)
{
    // An edit changes one run of lines: those before and after it are the lines read.
    const QStringList& lines = content.lines;
    const QStringList& read = content.readLines;
    qsizetype same = 0;
    while (same < lines.size() && same < read.size() && lines[same] == read[same])
        ++same;
    qsizetype sameEnd = 0;
    while (sameEnd < lines.size() - same && sameEnd < read.size() - same
           && lines[lines.size() - 1 - sameEnd] == read[read.size() - 1 - sameEnd])
        ++sameEnd;
    const auto rawOf = [&](qsizetype i) -> const QByteArray* {
        if (i < same)
            return &content.raw[i];
        if (i >= lines.size() - sameEnd)
            return &content.raw[i - lines.size() + read.size()];
        return nullptr;
    };

    bool eightBit = content.eightBit;
    for (qsizetype i = 0; eightBit && i < lines.size(); ++i) {
        if (!rawOf(i) && !encode8Bit(lines[i]))
            eightBit = false;
    }
    const auto linesIn = [&](bool asEightBit) {
        const QByteArray newline = content.newline.toLatin1();
        QByteArray bytes;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray* kept = rawOf(i);
            if (kept && asEightBit == content.eightBit)
                bytes += *kept;
            else
                bytes += asEightBit ? *encode8Bit(lines[i]) : lines[i].toUtf8();
            bytes += newline;
        }
        return bytes;
    };
    QByteArray bytes = linesIn(eightBit);
    if (eightBit && isUtf8(bytes) && std::any_of(bytes.cbegin(), bytes.cend(), [](char byte) {
            return static_cast<unsigned char>(byte) >= 0x80;
        }))
        bytes = linesIn(false);
    return content.bom ? "\xEF\xBB\xBF" + bytes : bytes;
}

bool isSectionLine(const QString& line, QString* name)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return false;
    qsizetype close = trimmed.indexOf(u']');
    if (close < 0)
        close = trimmed.size();
    *name = trimmed.mid(1, close - 1).trimmed();
    return true;
}

bool isComment(const QString& line)
{
    return line.trimmed().startsWith(u';');
}

// The key of an entry line, or no value for anything else.
std::optional<QString> entryKey(const QString& line)
{
    if (isComment(line))
        return std::nullopt;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    return line.left(eq).trimmed();
}

QString entryValue(const QString& line)
{
    QString value = line.mid(line.indexOf(u'=') + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(IniFile::MaxValueLength);
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Line index range [begin, end) of the body of the first matching section, or no value.
std::optional<std::pair<qsizetype, qsizetype>> findSection(const QStringList& lines, const QString& section)
{
    QString name;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isSectionLine(lines[i], &name) || !sameName(name, section))
            continue;
        qsizetype end = i + 1;
        while (end < lines.size() && !isSectionLine(lines[end], &name))
            ++end;
        return std::make_pair(i + 1, end);
    }
    return std::nullopt;
}

std::optional<qsizetype> findKey(const QStringList& lines, qsizetype begin, qsizetype end, const QString& key)
{
    for (qsizetype i = begin; i < end; ++i) {
        const auto found = entryKey(lines[i]);
        if (found && sameName(*found, key))
            return i;
    }
    return std::nullopt;
}

// Sets the first matching key, creating section and key as needed.
void setEntry(QStringList& lines, const QString& section, const QString& key, const QString& value)
{
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');
    if (const auto range = findSection(lines, section)) {
        if (const auto line = findKey(lines, range->first, range->second, key)) {
            QString& existing = lines[*line];
            existing = existing.left(existing.indexOf(u'=')) + u'=' + clean;
        } else {
            // After the section's last entry, ahead of trailing blank lines and comments.
            qsizetype insertAt = range->first;
            for (qsizetype i = range->first; i < range->second; ++i) {
                if (entryKey(lines[i]))
                    insertAt = i + 1;
            }
            lines.insert(insertAt, key + u'=' + clean);
        }
    } else {
        lines.append(u'[' + section + u']');
        lines.append(key + u'=' + clean);
    }
}

} // namespace

struct IniFile::Parsed {
    // Section names in file order, each once; the values of the first section of each name,
    // and in it of the first entry of each key, under ValueId.
    QStringList sections;
    QHash<QString, QString> values;

    explicit Parsed(const QStringList& lines)
    {
        QSet<QString> seen;
        bool inFirst = false;
        QString sectionId = ValueId({}, {}); // as ValueId gives it, up to the key
        for (const QString& line : lines) {
            QString name;
            if (isSectionLine(line, &name)) {
                const QString folded = name.toCaseFolded();
                inFirst = !seen.contains(folded);
                if (inFirst) {
                    seen.insert(folded);
                    sections.append(name);
                }
                sectionId = ValueId(name, {});
                continue;
            }
            if (!inFirst)
                continue;
            if (const auto key = entryKey(line)) {
                const QString id = sectionId + key->toCaseFolded();
                if (!values.contains(id))
                    values.insert(id, entryValue(line));
            }
        }
    }
};

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{ }

IniFile IniFile::snapshot() const
{
    IniFile read(m_path);
    read.m_snapshot = std::make_shared<const Parsed>(load(m_path).lines);
    return read;
}

QString IniFile::readText(const QString& section, const QString& key, const QString& defaultValue) const
{
    if (m_snapshot) {
        const auto found = m_snapshot->values.constFind(ValueId(section, key));
        return found == m_snapshot->values.cend() ? defaultValue : *found;
    }
    const Content content = load(m_path);
    const auto range = findSection(content.lines, section);
    if (!range)
        return defaultValue;
    const auto line = findKey(content.lines, range->first, range->second, key);
    if (!line)
        return defaultValue;
    return entryValue(content.lines[*line]);
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    return IntegerSetting(readText(section, key, QString::number(defaultValue)), m_path, section, key);
}

void IniFile::writeText(const QString& section, const QString& key, const QString& value) const
{
    writeTexts({{section, key, value}});
}

void IniFile::writeTexts(const QList<Entry>& entries) const
{
    Edits edits;
    for (const Entry& entry : entries)
        edits.writeText(entry.section, entry.key, entry.value);
    apply(edits);
}

QString IniFile::ValueId(const QString& section, const QString& key)
{
    return section.toCaseFolded() + u'\n' + key.toCaseFolded();
}

QHash<QString, QString> IniFile::readValues() const
{
    return m_snapshot ? m_snapshot->values : Parsed(load(m_path).lines).values;
}

void IniFile::removeKey(const QString& section, const QString& key) const
{
    Edits edits;
    edits.removeKey(section, key);
    apply(edits);
}

void IniFile::removeSection(const QString& section) const
{
    Edits edits;
    edits.removeSection(section);
    apply(edits);
}

void IniFile::renameSection(const QString& section, const QString& newName) const
{
    Edits edits;
    edits.renameSection(section, newName);
    apply(edits);
}

void IniFile::Edits::writeText(const QString& section, const QString& key, const QString& value)
{
    m_steps.append([=](QStringList& lines) {
        setEntry(lines, section, key, value);
        return true;
    });
}

void IniFile::Edits::removeKey(const QString& section, const QString& key)
{
    m_steps.append([=](QStringList& lines) {
        const auto range = findSection(lines, section);
        const auto line = range ? findKey(lines, range->first, range->second, key) : std::nullopt;
        if (line)
            lines.removeAt(*line);
        return line.has_value();
    });
}

void IniFile::Edits::removeSection(const QString& section)
{
    m_steps.append([=](QStringList& lines) {
        const auto range = findSection(lines, section);
        if (range)
            lines.remove(range->first - 1, range->second - range->first + 1);
        return range.has_value();
    });
}

void IniFile::Edits::renameSection(const QString& section, const QString& newName)
{
    m_steps.append([=](QStringList& lines) {
        const auto range = findSection(lines, section);
        if (range)
            lines[range->first - 1] = u'[' + newName + u']';
        return range.has_value();
    });
}

void IniFile::apply(const Edits& edits) const
{
    // A file that exists but cannot be read must not be replaced by one built from nothing.
    const QFileInfo info(m_path);
    if (info.exists() && !info.isReadable())
        throw Error(WriteRefusedText(m_path, u"it can not be read"_s));
    if (info.exists() && !info.isWritable())
        throw Error(WriteRefusedText(m_path, u"it is write-protected"_s));
    Content content = load(m_path);
    bool changed = false;
    for (const auto& step : edits.m_steps)
        changed = step(content.lines) || changed;
    if (!changed)
        return;
    ReplaceFileContents(m_path, save(content));
    if (m_snapshot)
        m_snapshot = std::make_shared<const Parsed>(content.lines);
}

QStringList IniFile::sectionNames() const
{
    return m_snapshot ? m_snapshot->sections : Parsed(load(m_path).lines).sections;
}

void IniFile::requireReadable() const
{
    const QFileInfo info(m_path);
    if (!info.exists())
        return;
    const QString file = u"The settings file "_s + QDir::toNativeSeparators(info.absoluteFilePath());
    if (info.isDir())
        throw Error(file + u" can not be read: it is a folder."_s);
    QFile reader(m_path);
    if (!reader.open(QIODevice::ReadOnly))
        throw Error(file + u" can not be read: "_s + reader.errorString() + u'.');
}

int TextToInteger(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    // QString::toInt accepts surrounding blanks; a stored integer may not have them.
    if (!ok || text.trimmed().size() != text.size())
        throw Error(u"'"_s + text + u"' is not a valid integer value"_s);
    return value;
}

int IntegerSetting(const QString& text, const QString& path, const QString& section, const QString& key)
{
    try {
        return TextToInteger(text);
    } catch (const Error& e) {
        throw Error(u"%1: key \"%2\" in section [%3] of %4."_s.arg(
            e.text(), key, section, QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
    }
}
