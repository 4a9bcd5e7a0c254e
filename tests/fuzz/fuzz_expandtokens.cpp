// Expands a text whose clipboard, prompt answers and included bodies all come from the input,
// and compares the result with the literal steps wherever those end.
//
// Input: NUL-separated fields in UTF-8: the text, the clipboard text (empty: none), then the
// answers and bodies in the order they are asked for. A body field starting with '0' finds no
// Message, one starting with '2' several. A prompt without a field left is cancelled.

#include "compose/expandtokens.h"
#include "literalexpansion.h"
#include "util/errors.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

struct Script : ClipboardTextSource, Clock, DateFormats, FreeTextPrompt, IncludeLookup {
    std::optional<QString> clipboard;
    QStringList fields;
    qsizetype next = 0;
    QStringList asked;

    std::optional<QString> clipboardText() override { return clipboard; }
    QDateTime now() override { return QDateTime(QDate(2024, 3, 7), QTime(13, 4, 5)); }
    QString shortDate(QDate) override { return u"07.03.2024"_s; }
    QString longTime(QTime) override { return u"13:04:05"_s; }
    std::optional<QString> askFreeText(const QString& prompt, const QString& value) override
    {
        asked << u"?"_s + prompt + u'|' + value;
        if (next >= fields.size())
            return std::nullopt;
        return fields.at(next++);
    }
    HotwordText textByHotword(const QString& hotword) override
    {
        asked << u"="_s + hotword;
        if (next >= fields.size())
            return {};
        const QString field = fields.at(next++);
        if (field.startsWith(u'0'))
            return {0, {}};
        if (field.startsWith(u'2'))
            return {2, {}};
        return {1, field};
    }
};

// Notes that stand where the literal steps would not end.
bool HasOwnNote(const QString& text)
{
    return text.contains(u"Circular include of hotword"_s) || text.contains(u"Includes nested too deeply"_s)
        || text.contains(u"Included text too long"_s);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList fields = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(QChar(0));
    const QString text = fields.at(0);
    std::optional<QString> clipboard;
    if (fields.size() > 1 && !fields.at(1).isEmpty())
        clipboard = fields.at(1);

    Script fast;
    fast.clipboard = clipboard;
    fast.fields = fields.mid(2);
    std::optional<QString> result;
    try {
        result = ExpandTokens(text, {fast, fast, fast, fast, fast});
    } catch (const Abort&) { }

    // The literal steps are slow, and cannot take the character that stands in for data.
    const bool comparable = !(result && (HasOwnNote(*result) || result->size() > 65536)) && fast.asked.size() < 100
        && !fields.join(QString()).contains(QChar(1));
    if (!comparable)
        return 0;
    Script literal;
    literal.clipboard = clipboard;
    literal.fields = fields.mid(2);
    std::optional<QString> expected;
    bool aborted = false;
    try {
        expected = LiteralExpansion(text, clipboard, u"07.03.2024"_s, u"07.03.2024 13:04:05"_s, literal, literal, 200);
        if (!expected)
            return 0;
    } catch (const Abort&) {
        aborted = true;
    }
    if (result.has_value() == aborted || (result && *result != *expected) || fast.asked != literal.asked) {
        qWarning("text: %s\nfast: %s\nliteral: %s\nfast asked: %s\nliteral asked: %s", qPrintable(text),
                 qPrintable(result.value_or(u"<cancelled>"_s)), qPrintable(expected.value_or(u"<cancelled>"_s)),
                 qPrintable(fast.asked.join(u" / "_s)), qPrintable(literal.asked.join(u" / "_s)));
        std::abort();
    }
    return 0;
}
