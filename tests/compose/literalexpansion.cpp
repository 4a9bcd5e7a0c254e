#include "literalexpansion.h"

#include "util/errors.h"
#include "util/textutils.h"

using namespace Qt::StringLiterals;

namespace {

// Stands in for clipboard text: a character no marker holds, at which a closer search stops.
constexpr char16_t DataStandIn = u'\u0001';

} // namespace

QString ReplaceEveryNoCase(const QString& text, const QString& token, const QString& replacement)
{
    // Lower-cased unit by unit, as TextPosNoCase compares, once for the whole text.
    const auto lowered = [](QString lower) {
        for (QChar& c : lower)
            c = c.toLower();
        return lower;
    };
    const QString low = lowered(text);
    const QString lowToken = lowered(token);
    QString result;
    qsizetype from = 0;
    for (qsizetype at; !token.isEmpty() && (at = low.indexOf(lowToken, from)) >= 0;) {
        result += QStringView(text).mid(from, at - from) + replacement;
        from = at + token.size();
    }
    return result + QStringView(text).mid(from);
}

std::optional<QString> LiteralLoop(QString text, const QString& marker, const QString& closer, const Fill& fill,
                                   int maxPasses)
{
    qsizetype from = 0; // the text after the last token left as written
    for (int pass = 0;; ++pass) {
        QString rest = text.mid(from);
        if (!rest.contains(marker))
            return text;
        if (pass > maxPasses)
            return std::nullopt;
        const qsizetype start = rest.indexOf(marker, 0, Qt::CaseInsensitive);
        const qsizetype barrier = rest.indexOf(DataStandIn, start);
        const qsizetype close = rest.indexOf(closer, start + marker.size());
        if (close < 0 || (barrier >= 0 && barrier < close)) {
            if (barrier < 0)
                return text;
            from += barrier;
            continue;
        }
        const QString inner = rest.mid(start + marker.size(), close - start - marker.size());
        const std::optional<QString> replacement = fill(inner);
        if (!replacement) {
            from += close + closer.size();
            continue;
        }
        text = text.left(from) + ReplaceEveryNoCase(rest, marker + inner + closer, *replacement);
    }
}

std::optional<QString> LiteralExpansion(const QString& text, const std::optional<QString>& clipboard,
                                        const QString& date, const QString& dateTime, FreeTextPrompt& prompt,
                                        IncludeLookup& includes, int maxPasses)
{
    const QString standIn(1, QChar(DataStandIn));
    QString simple = clipboard ? ReplaceEveryNoCase(text, u"%CLIPBOARD%"_s, standIn) : text;
    simple = ReplaceEveryNoCase(simple, u"%DATE%"_s, date);
    simple = ReplaceEveryNoCase(simple, u"%DATETIME%"_s, dateTime);

    const Fill ask = [&prompt](const QString& body) -> Fill::result_type {
        const QString label = TextBefore(body, u"||"_s);
        if (label.isEmpty())
            return std::nullopt;
        const auto answer = prompt.askFreeText(label, TextAfter(body, u"||"_s));
        if (!answer)
            throw Abort();
        return answer;
    };
    const Fill lookUp = [&includes](const QString& hotword) -> Fill::result_type {
        const HotwordText found = includes.textByHotword(hotword);
        if (found.rowCount == 0)
            return u"HotWord \""_s + hotword + u"\" not found."_s;
        if (found.rowCount > 1)
            return u"Multiple entries found for hotword \""_s + hotword + u"\". Please check."_s;
        return found.text;
    };
    std::optional<QString> result = LiteralLoop(simple, u"^^INPUT:"_s, u"^^"_s, ask, maxPasses);
    if (result)
        result = LiteralLoop(*result, u"%INCLUDE:"_s, u"%"_s, lookUp, maxPasses);
    if (result && clipboard)
        result->replace(standIn, *clipboard);
    return result;
}
