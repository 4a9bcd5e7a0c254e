#include "exchange/exchangeformats.h"
#include "exchange/jsonsupport.h"
#include "exchange/tokenconversion.h"
#include "exchange/tokendates.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

// The token for a #{...} variable, or a null text when the program has none.
QString VariableToken(const QRegularExpressionMatch& m, const TokenDates& dates)
{
    const QString name = m.captured(1);
    const QString argument = m.captured(2);
    const bool hasArgument = m.capturedLength(2) > 0 || m.captured(0).contains(u':');
    if (name == u"clipboard"_s && !hasArgument)
        return u"%CLIPBOARD%"_s;
    // Beeftext writes these in the system's short formats, as the tokens do.
    if (name == u"date"_s && !hasArgument)
        return u"%DATE%"_s;
    if (name == u"dateTime"_s && !hasArgument)
        return u"%DATETIME%"_s;
    if (name == u"dateTime"_s) {
        const QLocale system = QLocale::system();
        return DateTokenFor([&](const QDateTime& moment) { return system.toString(moment, argument); }, dates);
    }
    if (name == u"combo"_s && !argument.isEmpty() && !argument.contains(u'%'))
        return u"%INCLUDE:"_s + argument + u'%';
    if (name == u"input"_s && !argument.contains(u"||"_s) && !argument.contains(u"^^"_s))
        return u"^^INPUT:"_s + (argument.isEmpty() ? u"Text"_s : argument) + u"||^^"_s;
    return {};
}

} // namespace

MessageCollection ReadBeeftext(const QByteArray& data, const TokenDates& dates)
{
    const QJsonDocument document = ParseJson(data);
    const QJsonObject root = document.object();
    if (!document.isObject() || !root.value(u"combos"_s).isArray())
        throw FormatError(u"combos: expected the array of combos of a Beeftext combo list."_s);

    MessageCollection collection;
    QHash<QString, int> groupIds;
    const QJsonArray groups = JsonArray(root, {}, u"groups"_s);
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const QString path = u"groups[%1]"_s.arg(i);
        const QJsonObject group = JsonObjectAt(groups, u"groups"_s, i);
        CollectedMessage message;
        message.origin = path;
        message.id = int(collection.messages.size()) + 1;
        message.shortName = JsonText(group, path, u"name"_s);
        message.hotword = message.shortName;
        message.text = JsonText(group, path, u"description"_s);
        if (message.text.isEmpty())
            message.text = message.shortName;
        groupIds.insert(JsonText(group, path, u"uuid"_s), message.id);
        collection.messages.append(std::move(message));
    }
    const QJsonArray combos = root.value(u"combos"_s).toArray();
    for (qsizetype i = 0; i < combos.size(); ++i) {
        const QString path = u"combos[%1]"_s.arg(i);
        const QJsonObject combo = JsonObjectAt(combos, u"combos"_s, i);
        CollectedMessage message;
        message.origin = path;
        message.id = int(collection.messages.size()) + 1;
        // Files before format version 2 name the keyword and the snippet differently.
        message.hotword = JsonText(combo, path, u"keyword"_s, JsonText(combo, path, u"comboText"_s));
        message.shortName = JsonText(combo, path, u"name"_s);
        if (message.shortName.isEmpty())
            message.shortName = message.hotword;
        static const QRegularExpression variable(u"#\\{([^}:]*)(?::([^}]*))?\\}"_s);
        const QString subject = u"Combo \"%1\""_s.arg(message.hotword);
        const auto tokenFor = [&](const QRegularExpressionMatch& m) {
            const QString token = VariableToken(m, dates);
            if (m.captured(1) == u"dateTime"_s && m.capturedLength(2) > 0 && !token.isNull())
                collection.converted.append(u"%1: %2 became %3."_s.arg(subject, m.captured(0), token));
            return token;
        };
        const auto keptWhy = [](const QRegularExpressionMatch& m) {
            return m.captured(1) == u"dateTime"_s
                ? u"its date format \"%1\" writes the date otherwise than %DATE% and %DATETIME%"_s.arg(m.captured(2))
                : QString();
        };
        message.text
            = ConvertReferences(JsonText(combo, path, u"snippet"_s, JsonText(combo, path, u"substitutionText"_s)),
                                variable, tokenFor, path, subject, collection.remarks, keptWhy);
        message.notes = JsonText(combo, path, u"description"_s);
        message.parentId = groupIds.value(JsonText(combo, path, u"group"_s), 0);
        collection.messages.append(std::move(message));
    }
    return collection;
}
