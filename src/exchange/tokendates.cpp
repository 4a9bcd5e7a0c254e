#include "exchange/tokendates.h"

#include <QDateTime>
#include <QLocale>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Moments that tell apart day and month, padded and unpadded numbers, two- and four-digit
// years, 12- and 24-hour clocks and every field of the time.
const QList<QDateTime> probes{
    {QDate(2026, 1, 5), QTime(9, 5, 7)},     {QDate(2009, 11, 23), QTime(13, 45, 59)},
    {QDate(1999, 12, 31), QTime(23, 1, 30)}, {QDate(2030, 7, 9), QTime(0, 30, 2)},
    {QDate(2024, 2, 29), QTime(12, 0, 41)},
};

QString Padded(int value, int width, QChar pad)
{
    return QString::number(value).rightJustified(width, pad);
}

} // namespace

QString DateTokenFor(const std::function<QString(const QDateTime&)>& write, const TokenDates& dates)
{
    if (!dates.shortDate || !dates.longTime)
        return {};
    bool sameDate = true;
    bool sameDateTime = true;
    for (const QDateTime& moment : probes) {
        const QString written = write(moment);
        if (written.isNull())
            return {};
        const QString date = dates.shortDate(moment.date());
        sameDate = sameDate && written == date;
        sameDateTime = sameDateTime && written == date + u' ' + dates.longTime(moment.time());
    }
    if (sameDate)
        return u"%DATE%"_s;
    return sameDateTime ? u"%DATETIME%"_s : QString();
}

QString WriteChronoFormat(const QString& format, const QDateTime& moment)
{
    const QLocale english = QLocale::c();
    const QDate date = moment.date();
    const QTime time = moment.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    QString out;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format.at(i) != u'%') {
            out += format.at(i);
            continue;
        }
        if (++i >= format.size())
            return {};
        // Padding: '-' none, '_' spaces, '0' zeros.
        std::optional<QChar> pad;
        if (format.at(i) == u'-' || format.at(i) == u'_' || format.at(i) == u'0') {
            pad = format.at(i) == u'-' ? QChar() : format.at(i) == u'_' ? QChar(u' ') : QChar(u'0');
            if (++i >= format.size())
                return {};
        }
        const auto number = [&](int value, int width, QChar usual) {
            const QChar with = pad.value_or(usual);
            return with.isNull() ? QString::number(value) : Padded(value, width, with);
        };
        switch (format.at(i).unicode()) {
        case 'Y': out += QString::number(date.year()); break;
        case 'C': out += number(date.year() / 100, 2, u'0'); break;
        case 'y': out += number(date.year() % 100, 2, u'0'); break;
        case 'm': out += number(date.month(), 2, u'0'); break;
        case 'b':
        case 'h': out += english.monthName(date.month(), QLocale::ShortFormat); break;
        case 'B': out += english.monthName(date.month(), QLocale::LongFormat); break;
        case 'd': out += number(date.day(), 2, u'0'); break;
        case 'e': out += number(date.day(), 2, u' '); break;
        case 'a': out += english.dayName(date.dayOfWeek(), QLocale::ShortFormat); break;
        case 'A': out += english.dayName(date.dayOfWeek(), QLocale::LongFormat); break;
        case 'w': out += QString::number(date.dayOfWeek() % 7); break;
        case 'u': out += QString::number(date.dayOfWeek()); break;
        case 'j': out += number(date.dayOfYear(), 3, u'0'); break;
        case 'D':
        case 'x': out += WriteChronoFormat(u"%m/%d/%y"_s, moment); break;
        case 'F': out += WriteChronoFormat(u"%Y-%m-%d"_s, moment); break;
        case 'H': out += number(time.hour(), 2, u'0'); break;
        case 'k': out += number(time.hour(), 2, u' '); break;
        case 'I': out += number(hour12, 2, u'0'); break;
        case 'l': out += number(hour12, 2, u' '); break;
        case 'P': out += time.hour() < 12 ? u"am"_s : u"pm"_s; break;
        case 'p': out += time.hour() < 12 ? u"AM"_s : u"PM"_s; break;
        case 'M': out += number(time.minute(), 2, u'0'); break;
        case 'S': out += number(time.second(), 2, u'0'); break;
        case 'R': out += WriteChronoFormat(u"%H:%M"_s, moment); break;
        case 'T':
        case 'X': out += WriteChronoFormat(u"%H:%M:%S"_s, moment); break;
        case 'r': out += WriteChronoFormat(u"%I:%M:%S %p"_s, moment); break;
        case 'c': out += WriteChronoFormat(u"%a %b %e %H:%M:%S %Y"_s, moment); break;
        case 'n': out += u'\n'; break;
        case 't': out += u'\t'; break;
        case '%': out += u'%'; break;
        default: return {};
        }
    }
    return out;
}
