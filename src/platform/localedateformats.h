#pragma once

#include "platform/platform.h"

#include <QByteArray>

#include <locale.h>

// strftime's "%x" (short date) and "%X" (long time) of a C library locale's LC_TIME.
// The default, an empty name, is the user's locale as the environment names it (LC_ALL,
// LC_TIME, LANG): the one setlocale(LC_ALL, "") at start selects. The locale is opened
// here with newlocale, so nothing depends on the process's current locale; a name the C
// library does not know gives the "C" locale's formats.
class LocaleDateFormats : public DateFormats {
public:
    explicit LocaleDateFormats(const QByteArray& localeName = QByteArray(""));
    ~LocaleDateFormats() override;
    LocaleDateFormats(const LocaleDateFormats&) = delete;
    LocaleDateFormats& operator=(const LocaleDateFormats&) = delete;

    QString shortDate(QDate date) override;
    QString longTime(QTime time) override;

private:
    QString format(const wchar_t* pattern, const struct tm& moment) const;

    locale_t m_locale;
};
