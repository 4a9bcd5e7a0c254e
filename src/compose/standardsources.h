#pragma once

#include "compose/tokensources.h"

#include <QByteArray>

#ifndef _WIN32
#include <locale.h>
#endif

class Interaction;
class TdmFAQData;

class SystemClock : public Clock {
public:
    QDateTime now() override;
};

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

#ifndef _WIN32
private:
    QString format(const wchar_t* pattern, const struct tm& moment) const;

    locale_t m_locale;
#endif
};

// The program's input box: caption "Free Text Entry", at most 255 characters.
class InteractionFreeTextPrompt : public FreeTextPrompt {
public:
    explicit InteractionFreeTextPrompt(Interaction& boxes)
        : m_boxes(boxes)
    { }
    std::optional<QString> askFreeText(const QString& prompt, const QString& defaultValue) override;

private:
    Interaction& m_boxes;
};

// The data module's saved query "TextByHotWord" with its parameter "[Hotword:]".
class DataModuleIncludeLookup : public IncludeLookup {
public:
    explicit DataModuleIncludeLookup(TdmFAQData& data)
        : m_data(data)
    { }
    HotwordText textByHotword(const QString& hotword) override;

private:
    TdmFAQData& m_data;
};

// The sources of a send: the caller's clipboard, the system clock, the user's locale, the
// program's prompt and the data module's Hotword query.
class StandardTokenSources {
public:
    StandardTokenSources(ClipboardTextSource& clipboard, TdmFAQData& data, Interaction& boxes);
    StandardTokenSources(const StandardTokenSources&) = delete;
    StandardTokenSources& operator=(const StandardTokenSources&) = delete;

    const TokenSources& sources() const { return m_sources; }

private:
    SystemClock m_clock;
    LocaleDateFormats m_dateFormats;
    InteractionFreeTextPrompt m_prompt;
    DataModuleIncludeLookup m_includes;
    TokenSources m_sources;
};
