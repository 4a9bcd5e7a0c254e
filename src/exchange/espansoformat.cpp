#include "exchange/exchangeformats.h"
#include "exchange/tokenconversion.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <yaml-cpp/yaml.h>

using namespace Qt::StringLiterals;

namespace {

QString Text(const YAML::Node& node)
{
    return QString::fromStdString(node.as<std::string>());
}

QString LineOf(const YAML::Node& node)
{
    return u"line %1"_s.arg(node.Mark().line + 1);
}

[[noreturn]] void Fail(const YAML::Node& node, const QString& reason)
{
    throw FormatError(u"Line %1: %2."_s.arg(node.Mark().line + 1).arg(reason));
}

QString ScalarText(const YAML::Node& node, const QString& key)
{
    const YAML::Node value = node[key.toStdString()];
    if (!value || value.IsNull())
        return {};
    if (!value.IsScalar())
        Fail(value, u"%1 must be a text"_s.arg(key));
    return Text(value);
}

// Variables by name: a match's own before the file's global ones.
using Variables = QHash<QString, YAML::Node>;

void AddVariables(Variables& variables, const YAML::Node& list)
{
    if (!list)
        return;
    if (!list.IsSequence())
        Fail(list, u"vars must be a list"_s);
    for (const YAML::Node& variable : list) {
        if (!variable.IsMap())
            Fail(variable, u"a variable must have a name and a type"_s);
        variables.insert(ScalarText(variable, u"name"_s), variable);
    }
}

// The token for a chrono date format: %DATE% for a date alone, %DATETIME% for a date
// with a time, nothing otherwise.
QString DateToken(const QString& format)
{
    static const QRegularExpression datePart(u"%[-_0^#]?[dembBhaAyYDFxjuwUWCGgV]"_s);
    static const QRegularExpression timePart(u"%[-_0^#]?[HIklMSpPrRTXZzs]"_s);
    static const QRegularExpression both(u"%[-_0^#]?c"_s);
    if (format.contains(both))
        return u"%DATETIME%"_s;
    if (!format.contains(datePart))
        return {};
    return format.contains(timePart) ? u"%DATETIME%"_s : u"%DATE%"_s;
}

QString VariableToken(const QString& name, const Variables& variables)
{
    const auto found = variables.constFind(name);
    if (found == variables.cend())
        return name == u"clipboard"_s ? u"%CLIPBOARD%"_s : QString();
    const YAML::Node& variable = found.value();
    const QString type = ScalarText(variable, u"type"_s);
    const YAML::Node params = variable["params"];
    if (type == u"clipboard"_s)
        return u"%CLIPBOARD%"_s;
    if (type == u"echo"_s && params && params["echo"] && params["echo"].IsScalar())
        return Text(params["echo"]);
    if (type == u"date"_s && params && params["format"] && params["format"].IsScalar()) {
        const YAML::Node offset = params["offset"];
        if (offset && !(offset.IsScalar() && offset.as<std::string>() == "0"))
            return {};
        return DateToken(Text(params["format"]));
    }
    return {};
}

// Replaces {{variables}} and [[form fields]] by tokens where the program has one.
QString ConvertReplacement(const QString& replacement, const Variables& variables, const QString& trigger,
                           QStringList& remarks)
{
    static const QRegularExpression reference(u"\\{\\{\\s*([^{}\\s]+)\\s*\\}\\}|\\[\\[\\s*([^\\[\\]]+?)\\s*\\]\\]"_s);
    const auto tokenFor = [&variables](const QRegularExpressionMatch& m) -> QString {
        if (m.capturedLength(1) > 0)
            return VariableToken(m.captured(1), variables);
        const QString field = m.captured(2);
        if (field.contains(u"||"_s) || field.contains(u"^^"_s))
            return QString();
        return u"^^INPUT:"_s + field + u"||^^"_s;
    };
    return ConvertReferences(replacement, reference, tokenFor, u"Trigger \"%1\""_s.arg(trigger), remarks);
}

} // namespace

MessageCollection ReadEspanso(const QByteArray& data, const QString& fileName)
{
    YAML::Node root;
    try {
        root = YAML::Load(data.toStdString());
    } catch (const YAML::Exception& e) {
        throw FormatError(u"Line %1: %2."_s.arg(e.mark.line + 1).arg(QString::fromStdString(e.msg)));
    }

    MessageCollection collection;
    CollectedMessage group;
    group.id = 1;
    group.shortName = QFileInfo(fileName).fileName();
    group.hotword = QFileInfo(fileName).completeBaseName();
    group.text = u"Matches imported from %1."_s.arg(group.shortName);
    group.origin = u"line 1"_s;
    collection.messages.append(group);
    if (!root || root.IsNull())
        return collection;
    if (!root.IsMap())
        Fail(root, u"an Espanso match file holds matches:, a list of matches"_s);

    try {
        Variables globals;
        AddVariables(globals, root["global_vars"]);
        const YAML::Node matches = root["matches"];
        if (matches && !matches.IsSequence())
            Fail(matches, u"matches must be a list"_s);
        if (root["imports"])
            collection.remarks.append(u"The imported files that this file names are not read; import each of them."_s);
        for (const YAML::Node& match : matches ? matches : YAML::Node(YAML::NodeType::Sequence)) {
            if (!match.IsMap())
                Fail(match, u"a match must have a trigger and a replacement"_s);
            QStringList triggers;
            if (const YAML::Node list = match["triggers"]) {
                if (!list.IsSequence())
                    Fail(list, u"triggers must be a list"_s);
                for (const YAML::Node& trigger : list) {
                    if (!trigger.IsScalar())
                        Fail(trigger, u"a trigger must be a text"_s);
                    triggers.append(Text(trigger));
                }
            } else if (match["trigger"]) {
                triggers.append(ScalarText(match, u"trigger"_s));
            } else {
                collection.remarks.append(LineOf(match)
                                          + u": a match without a plain trigger (regex or event) is left out."_s);
                continue;
            }
            QString replacement;
            bool replaces = false;
            for (const char* key : {"replace", "form", "markdown", "html"}) {
                if (match[key]) {
                    replacement = ScalarText(match, QString::fromLatin1(key));
                    replaces = true;
                    break;
                }
            }
            if (!replaces) {
                collection.remarks.append(LineOf(match)
                                          + u": a match without a text replacement (an image) is left out."_s);
                continue;
            }
            Variables variables = globals;
            AddVariables(variables, match["vars"]);
            const QString label = ScalarText(match, u"label"_s);
            for (const QString& trigger : std::as_const(triggers)) {
                CollectedMessage message;
                message.origin = LineOf(match);
                message.id = int(collection.messages.size()) + 1;
                message.parentId = group.id;
                message.hotword = trigger;
                message.shortName = label.isEmpty() ? trigger : label;
                message.text = ConvertReplacement(replacement, variables, trigger, collection.remarks);
                collection.messages.append(std::move(message));
            }
        }
    } catch (const YAML::Exception& e) {
        throw FormatError(u"Line %1: %2."_s.arg(e.mark.line + 1).arg(QString::fromStdString(e.msg)));
    }
    return collection;
}
