#include "settings/inifile.h"

#include "util/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

struct Content {
    bool bom = false;
    QString newline = u"\n"_s;
    QStringList lines;
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
    QString text = QString::fromUtf8(bytes);
    if (text.contains(u"\r\n"_s))
        content.newline = u"\r\n"_s;
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    content.lines = text.split(u'\n');
    // A final line break leaves one empty element that is no line of its own.
    if (!content.lines.isEmpty() && content.lines.constLast().isEmpty())
        content.lines.removeLast();
    return content;
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
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(IniFile::MaxValueLength);
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Line index range [begin, end) of the body of the first matching section, or no value.
std::optional<std::pair<qsizetype, qsizetype>> findSection(const QStringList& lines,
                                                           const QString& section)
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

std::optional<qsizetype> findKey(const QStringList& lines, qsizetype begin, qsizetype end,
                                 const QString& key)
{
    for (qsizetype i = begin; i < end; ++i) {
        const auto found = entryKey(lines[i]);
        if (found && sameName(*found, key))
            return i;
    }
    return std::nullopt;
}

[[noreturn]] void refuseWrite(const QString& path)
{
    throw Error(u"Unable to write to "_s + QFileInfo(path).absoluteFilePath());
}

} // namespace

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
}

QString IniFile::readText(const QString& section, const QString& key, const QString& defaultValue) const
{
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
    return TextToInteger(readText(section, key, QString::number(defaultValue)));
}

void IniFile::writeText(const QString& section, const QString& key, const QString& value) const
{
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');
    change([&](QStringList& lines) {
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
        return true;
    });
}

void IniFile::removeKey(const QString& section, const QString& key) const
{
    change([&](QStringList& lines) {
        const auto range = findSection(lines, section);
        const auto line = range ? findKey(lines, range->first, range->second, key) : std::nullopt;
        if (line)
            lines.removeAt(*line);
        return line.has_value();
    });
}

void IniFile::removeSection(const QString& section) const
{
    change([&](QStringList& lines) {
        const auto range = findSection(lines, section);
        if (range)
            lines.remove(range->first - 1, range->second - range->first + 1);
        return range.has_value();
    });
}

void IniFile::renameSection(const QString& section, const QString& newName) const
{
    change([&](QStringList& lines) {
        const auto range = findSection(lines, section);
        if (range)
            lines[range->first - 1] = u'[' + newName + u']';
        return range.has_value();
    });
}

void IniFile::change(const std::function<bool(QStringList&)>& edit) const
{
    // A file that exists but cannot be read must not be replaced by one built from nothing.
    const QFileInfo info(m_path);
    if (info.exists() && (!info.isReadable() || !info.isWritable()))
        refuseWrite(m_path);
    Content content = load(m_path);
    if (!edit(content.lines))
        return;

    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        refuseWrite(m_path);
    QByteArray bytes;
    if (content.bom)
        bytes = "\xEF\xBB\xBF";
    bytes += (content.lines.join(content.newline) + content.newline).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        refuseWrite(m_path);
}

QStringList IniFile::sectionNames() const
{
    QStringList names;
    QString name;
    for (const QString& line : load(m_path).lines) {
        if (!isSectionLine(line, &name))
            continue;
        const bool known = std::any_of(names.cbegin(), names.cend(),
                                       [&](const QString& n) { return sameName(n, name); });
        if (!known)
            names.append(name);
    }
    return names;
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
