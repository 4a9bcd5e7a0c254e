#include "exchange/exchangeformats.h"
#include "exchange/importlimits.h"
#include "exchange/tokenconversion.h"
#include "exchange/tokendates.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <yaml-cpp/depthguard.h>
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <sstream>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Lists and maps nest no deeper in a match file; Espanso's own need a handful of levels.
constexpr int maxNesting = 64;
// What a node costs beside its text when the file's size with its aliases written out is
// measured: about what the shortest list item takes.
constexpr qsizetype nodeCost = 4;

[[noreturn]] void FailAt(const YAML::Mark& mark, const QString& reason)
{
    throw FormatError(u"Line %1: %2."_s.arg(mark.line + 1).arg(reason));
}

[[noreturn]] void Fail(const YAML::Node& node, const QString& reason)
{
    FailAt(node.Mark(), reason);
}

// Measures the document as it would be with every alias written out, from the parser's
// events and without building it: an alias bomb is refused before anything expands it.
// Also refuses deep nesting and an alias inside the node it names (an endless document).
class ExpansionMeter : public YAML::EventHandler {
public:
    void OnDocumentStart(const YAML::Mark&) override { }
    void OnDocumentEnd() override { }
    void OnNull(const YAML::Mark& mark, YAML::anchor_t anchor) override { leaf(mark, anchor, nodeCost); }
    void OnScalar(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor, const std::string& value) override
    {
        leaf(mark, anchor, nodeCost + qsizetype(value.size()));
    }
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t anchor) override
    {
        if (anchor >= m_sizes.size() || m_sizes[anchor] < 0)
            FailAt(mark, u"an alias stands for the list or map that holds it, which never ends"_s);
        leaf(mark, YAML::NullAnchor, m_sizes[anchor]);
    }
    void OnSequenceStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
                         YAML::EmitterStyle::value) override
    {
        open(mark, anchor);
    }
    void OnSequenceEnd() override { close(); }
    void OnMapStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
                    YAML::EmitterStyle::value) override
    {
        open(mark, anchor);
    }
    void OnMapEnd() override { close(); }

private:
    struct Open {
        YAML::anchor_t anchor;
        qsizetype size;
    };

    void count(const YAML::Mark& mark, qsizetype size)
    {
        m_total += size;
        if (m_total > MaxImportFileBytes) {
            FailAt(mark,
                   u"with its aliases written out the file would be larger than %1, the most an import "
                   "reads"_s.arg(FileLimitText()));
        }
    }
    void record(YAML::anchor_t anchor, qsizetype size)
    {
        if (anchor == YAML::NullAnchor)
            return;
        if (anchor >= m_sizes.size())
            m_sizes.resize(anchor + 1, -1);
        m_sizes[anchor] = size;
    }
    void leaf(const YAML::Mark& mark, YAML::anchor_t anchor, qsizetype size)
    {
        count(mark, size);
        record(anchor, size);
        if (!m_open.empty())
            m_open.back().size += size;
    }
    void open(const YAML::Mark& mark, YAML::anchor_t anchor)
    {
        if (m_open.size() >= std::size_t(maxNesting))
            FailAt(mark, u"lists and maps are nested more than %1 levels deep"_s.arg(maxNesting));
        count(mark, nodeCost);
        // Named but not measured yet: an alias to it inside it is refused.
        record(anchor, -1);
        m_open.push_back({anchor, nodeCost});
    }
    void close()
    {
        const Open done = m_open.back();
        m_open.pop_back();
        record(done.anchor, done.size);
        if (!m_open.empty())
            m_open.back().size += done.size;
    }

    std::vector<qsizetype> m_sizes; // by anchor; -1 while the node is open
    std::vector<Open> m_open;
    qsizetype m_total = 0;
};

void MeasureExpansion(const QByteArray& data)
{
    std::istringstream in(data.toStdString());
    YAML::Parser parser(in);
    ExpansionMeter meter;
    while (parser.HandleNextDocument(meter)) { }
}

QString Text(const YAML::Node& node)
{
    QString text = QString::fromStdString(node.as<std::string>());
    if (text.contains(QChar(0)))
        Fail(node, u"a NUL character, which no Message may hold"_s);
    return text;
}

QString LineOf(const YAML::Node& node)
{
    return u"line %1"_s.arg(node.Mark().line + 1);
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

// A {{variable}}: the token it becomes, or why it stays as written.
struct VariableMeaning {
    QString token;
    QString keptWhy;
    // A date format the token writes alike, to be listed as converted.
    QString dateFormat;
};

VariableMeaning MeaningOf(const QString& name, const Variables& variables, const TokenDates& dates)
{
    const auto found = variables.constFind(name);
    if (found == variables.cend())
        return {name == u"clipboard"_s ? u"%CLIPBOARD%"_s : QString(), {}, {}};
    const YAML::Node& variable = found.value();
    const QString type = ScalarText(variable, u"type"_s);
    const YAML::Node params = variable["params"];
    if (type == u"clipboard"_s)
        return {u"%CLIPBOARD%"_s, {}, {}};
    if (type == u"echo"_s && params && params["echo"] && params["echo"].IsScalar())
        return {Text(params["echo"]), {}, {}};
    if (type == u"date"_s && params && params["format"] && params["format"].IsScalar()) {
        const QString format = Text(params["format"]);
        const YAML::Node offset = params["offset"];
        if (offset && !(offset.IsScalar() && offset.as<std::string>() == "0"))
            return {{}, u"a date with an offset"_s, {}};
        const QString token
            = DateTokenFor([&format](const QDateTime& moment) { return WriteChronoFormat(format, moment); }, dates);
        if (token.isNull())
            return {
                {}, u"its date format \"%1\" writes the date otherwise than %DATE% and %DATETIME%"_s.arg(format), {}};
        return {token, {}, format};
    }
    return {};
}

// Replaces {{variables}} and [[form fields]] by tokens where the program has one.
QString ConvertReplacement(const QString& replacement, const Variables& variables, const TokenDates& dates,
                           const QString& origin, const QString& trigger, MessageCollection& collection)
{
    static const QRegularExpression reference(u"\\{\\{\\s*([^{}\\s]+)\\s*\\}\\}|\\[\\[\\s*([^\\[\\]]+?)\\s*\\]\\]"_s);
    const QString subject = u"Trigger \"%1\""_s.arg(trigger);
    const auto tokenFor = [&](const QRegularExpressionMatch& m) -> QString {
        if (m.capturedLength(1) > 0) {
            const VariableMeaning meaning = MeaningOf(m.captured(1), variables, dates);
            if (!meaning.dateFormat.isEmpty())
                collection.converted.append(u"%1: %2 (date format \"%3\") became %4."_s.arg(
                    subject, m.captured(0), meaning.dateFormat, meaning.token));
            return meaning.token;
        }
        const QString field = m.captured(2);
        if (field.contains(u"||"_s) || field.contains(u"^^"_s))
            return QString();
        return u"^^INPUT:"_s + field + u"||^^"_s;
    };
    const auto keptWhy = [&](const QRegularExpressionMatch& m) {
        return m.capturedLength(1) > 0 ? MeaningOf(m.captured(1), variables, dates).keptWhy : QString();
    };
    return ConvertReferences(replacement, reference, tokenFor, origin, subject, collection.remarks, keptWhy);
}

} // namespace

MessageCollection ReadEspanso(const QByteArray& data, const QString& fileName, const TokenDates& dates)
{
    CheckImportText(data);
    YAML::Node root;
    try {
        MeasureExpansion(data);
        root = YAML::Load(data.toStdString());
    } catch (const YAML::DeepRecursion& e) {
        FailAt(e.mark, u"lists and maps are nested too deep"_s);
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
            // One text for all triggers of the match: its copies share it.
            const QString text = triggers.isEmpty()
                ? QString()
                : ConvertReplacement(replacement, variables, dates, LineOf(match), triggers.first(), collection);
            for (const QString& trigger : std::as_const(triggers)) {
                CollectedMessage message;
                message.origin = LineOf(match);
                message.id = int(collection.messages.size()) + 1;
                message.parentId = group.id;
                message.hotword = trigger;
                message.shortName = label.isEmpty() ? trigger : label;
                message.text = text;
                collection.messages.append(std::move(message));
            }
        }
    } catch (const YAML::Exception& e) {
        throw FormatError(u"Line %1: %2."_s.arg(e.mark.line + 1).arg(QString::fromStdString(e.msg)));
    }
    return collection;
}
