#include "compose/standardsources.h"

#include "store/dmData.h"
#include "util/interaction.h"

using namespace Qt::StringLiterals;

QDateTime SystemClock::now()
{
    return QDateTime::currentDateTime();
}

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

StandardTokenSources::StandardTokenSources(ClipboardTextSource& clipboard, DateFormats& dateFormats, TdmFAQData& data,
                                           Interaction& boxes)
    : m_prompt(boxes)
    , m_includes(data)
    , m_sources{clipboard, m_clock, dateFormats, m_prompt, m_includes}
{ }
