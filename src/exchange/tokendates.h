#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include <functional>

// How the %DATE% and %DATETIME% tokens write a moment on this desktop: the user's short
// date, and that date, a space and the user's long time. Null functions know no format.
struct TokenDates {
    std::function<QString(QDate)> shortDate;
    std::function<QString(QTime)> longTime;
};

// The token that writes the same as a date format for every moment (midnight aside, where
// %DATETIME% leaves the time out), or a null text when neither does. write gives the
// format's text for a moment, or a null text when it cannot write the format.
QString DateTokenFor(const std::function<QString(const QDateTime&)>& write, const TokenDates& dates);

// A chrono (strftime) format as Espanso writes it, in English; a null text for a format
// with a conversion it does not know.
QString WriteChronoFormat(const QString& format, const QDateTime& moment);
