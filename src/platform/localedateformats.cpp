#include "platform/localedateformats.h"

#include <ctime>
#include <cwchar>
#include <iterator>

LocaleDateFormats::LocaleDateFormats(const QByteArray& localeName)
    : m_locale(newlocale(LC_TIME_MASK, localeName.constData(), locale_t(nullptr)))
{
    if (m_locale == locale_t(nullptr))
        m_locale = newlocale(LC_TIME_MASK, "C", locale_t(nullptr));
}

LocaleDateFormats::~LocaleDateFormats()
{
    if (m_locale != locale_t(nullptr))
        freelocale(m_locale);
}

QString LocaleDateFormats::shortDate(QDate date)
{
    struct tm moment = {};
    moment.tm_year = date.year() - 1900;
    moment.tm_mon = date.month() - 1;
    moment.tm_mday = date.day();
    moment.tm_wday = date.dayOfWeek() % 7;
    moment.tm_yday = date.dayOfYear() - 1;
    moment.tm_isdst = -1;
    return format(L"%x", moment);
}

QString LocaleDateFormats::longTime(QTime time)
{
    struct tm moment = {};
    moment.tm_mday = 1;
    moment.tm_year = 70;
    moment.tm_hour = time.hour();
    moment.tm_min = time.minute();
    moment.tm_sec = time.second();
    moment.tm_isdst = -1;
    return format(L"%X", moment);
}

QString LocaleDateFormats::format(const wchar_t* pattern, const struct tm& moment) const
{
    // The wide form needs no knowledge of the locale's character set.
    wchar_t buffer[256];
    const size_t length = wcsftime_l(buffer, std::size(buffer), pattern, &moment, m_locale);
    return QString::fromWCharArray(buffer, qsizetype(length));
}
