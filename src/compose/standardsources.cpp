#include "compose/standardsources.h"

#include "store/dmData.h"
#include "util/interaction.h"

#include <QLocale>

#include <ctime>
#include <cwchar>

using namespace Qt::StringLiterals;

QDateTime SystemClock::now()
{
    return QDateTime::currentDateTime();
}

#ifdef _WIN32
// Until the desktop layer offers the user's formats: Qt's reading of the system locale.
LocaleDateFormats::LocaleDateFormats(const QByteArray&) { }

LocaleDateFormats::~LocaleDateFormats() = default;

QString LocaleDateFormats::shortDate(QDate date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString LocaleDateFormats::longTime(QTime time)
{
    return QLocale::system().toString(time, QLocale::LongFormat);
}
#else
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

#endif

std::optional<QString> InteractionFreeTextPrompt::askFreeText(const QString& prompt, const QString& defaultValue)
{
    return m_boxes.inputText(u"Free Text Entry"_s, prompt, defaultValue, 255);
}

HotwordText DataModuleIncludeLookup::textByHotword(const QString& hotword)
{
    // An empty Hotword is still a text value, never NULL.
    const QString value = hotword.isNull() ? QString(u""_s) : hotword;
    const DataSet rows = m_data.MessagesByHotword(value);
    HotwordText found{rows.recordCount(), {}};
    if (found.rowCount == 1)
        found.text = rows.text(0, u"Text"_s);
    return found;
}

StandardTokenSources::StandardTokenSources(ClipboardTextSource& clipboard, TdmFAQData& data, Interaction& boxes)
    : m_prompt(boxes)
    , m_includes(data)
    , m_sources{clipboard, m_clock, m_dateFormats, m_prompt, m_includes}
{ }
