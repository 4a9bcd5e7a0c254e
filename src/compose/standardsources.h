#pragma once

#include "compose/tokensources.h"

class Interaction;
class TdmFAQData;

class SystemClock : public Clock {
public:
    QDateTime now() override;
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

// The sources of a send: the caller's clipboard and date formats, the system clock, the
// program's prompt and the data module's Hotword query.
class StandardTokenSources {
public:
    StandardTokenSources(ClipboardTextSource& clipboard, DateFormats& dateFormats, TdmFAQData& data,
                         Interaction& boxes);
    StandardTokenSources(const StandardTokenSources&) = delete;
    StandardTokenSources& operator=(const StandardTokenSources&) = delete;

    const TokenSources& sources() const { return m_sources; }

private:
    SystemClock m_clock;
    InteractionFreeTextPrompt m_prompt;
    DataModuleIncludeLookup m_includes;
    TokenSources m_sources;
};
