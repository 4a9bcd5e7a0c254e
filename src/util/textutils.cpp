#include "util/textutils.h"

#include <QCoreApplication>

#include <array>

using namespace Qt::StringLiterals;

QString TextMid(const QString& text, qsizetype start, qsizetype count)
{
    const qsizetype length = text.size();
    if (count == -1)
        count = length - start + 1;
    if (start < 1)
        start = 1;
    if (start > length || count < 0)
        return {};
    return text.mid(start - 1, qMin(count, length - start + 1));
}

QString TextLeft(const QString& text, qsizetype count)
{
    return TextMid(text, 1, count);
}

QString TextRight(const QString& text, qsizetype count)
{
    if (count <= 0)
        return {};
    return TextMid(text, text.size() - count + 1, count);
}

QString TextDropRight(const QString& text, qsizetype count)
{
    if (count < text.size())
        return TextLeft(text, text.size() - count);
    return {};
}

namespace {

QString lowered(const QString& text)
{
    QString result = text;
    for (QChar& c : result)
        c = c.toLower();
    return result;
}

} // namespace

qsizetype TextPosScan(const QString& needle, const QString& haystack)
{
    const qsizetype m = needle.size();
    const qsizetype n = haystack.size();
    if (m == 0)
        return 0;
    for (qsizetype i = 0; i + m <= n; ++i) {
        qsizetype j = 0;
        while (j < m && haystack[i + j] == needle[j])
            ++j;
        if (j == m)
            return i + 1;
    }
    return 0;
}

qsizetype TextPosSkipTable(const QString& needle, const QString& haystack)
{
    const qsizetype m = needle.size();
    const qsizetype n = haystack.size();
    if (m == 0)
        return 1;
    if (m > n)
        return 0;
    // Indexed by the low byte of a unit: units that share it share an entry, and since
    // later needle positions overwrite earlier ones a collision can only shorten a shift.
    std::array<qsizetype, 256> shift;
    shift.fill(m);
    for (qsizetype i = 1; i <= m - 1; ++i)
        shift[needle[i - 1].unicode() & 0xFF] = m - i;

    qsizetype e = m;
    while (e <= n) {
        qsizetype h = e;
        qsizetype k = m;
        while (k > 0 && haystack[h - 1] == needle[k - 1]) {
            --h;
            --k;
        }
        if (k == 0)
            return e - m + 1;
        e += shift[haystack[e - 1].unicode() & 0xFF];
    }
    return 0;
}

qsizetype TextPosNoCase(const QString& needle, const QString& haystack)
{
    const QString lowNeedle = lowered(needle);
    const QString lowHaystack = lowered(haystack);
    if (lowNeedle.size() <= 8)
        return TextPosScan(lowNeedle, lowHaystack);
    return TextPosSkipTable(lowNeedle, lowHaystack);
}

QString TextBefore(const QString& text, const QString& delimiter)
{
    const qsizetype pos = TextPosNoCase(delimiter, text);
    if (pos <= 1)
        return {};
    return TextLeft(text, pos - 1);
}

QString TextAfter(const QString& text, const QString& delimiter)
{
    const qsizetype pos = TextPosNoCase(delimiter, text);
    if (pos == 0)
        return {};
    return TextMid(text, pos + delimiter.size(), -1);
}

QString TextBetween(const QString& text, const QString& startDelimiter, const QString& endDelimiter)
{
    return TextBefore(TextAfter(text, startDelimiter), endDelimiter);
}

QString JoinPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    const QChar separator = folder.contains(u'\\') ? u'\\' : u'/';
    QString left = folder;
    if (left.endsWith(separator))
        left.chop(1);
    QString right = name;
    if (right.startsWith(separator))
        right.remove(0, 1);
    return left + separator + right;
}

namespace {
QString& appDirOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QString AppDir()
{
    if (!appDirOverride().isEmpty())
        return appDirOverride();
    return QCoreApplication::applicationDirPath();
}

void OverrideAppDir(const QString& folder)
{
    appDirOverride() = folder;
}

bool TextToBool(const QString& text)
{
    // Only A to Z fold; anything else must match exactly.
    QString folded = text;
    for (QChar& c : folded) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return folded == u"yes"_s || folded == u"true"_s || folded == u"y"_s || folded == u"t"_s || folded == u"1"_s;
}

QString BoolToText(bool value)
{
    return value ? u"True"_s : u"False"_s;
}
