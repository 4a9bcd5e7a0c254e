#include "app/commandline.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

struct KindName {
    InstanceCommand::Kind kind;
    QString name;
};

const KindName KindNames[] = {
    {InstanceCommand::Show, u"show"_s},
    {InstanceCommand::Hide, u"hide"_s},
    {InstanceCommand::Send, u"send"_s},
};

const QString HotwordKey = u"hotword"_s;
const QString CommandKey = u"command"_s;

} // namespace

void DescribeCommandLine(QCommandLineParser& parser)
{
    parser.setApplicationDescription(u"Finds ready-made answers and pastes them into the program you write in.\n"
                                     "A start while the program runs hands the command to the running copy."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({u"show"_s, u"Bring the program to the front (the default)."_s});
    parser.addOption({u"hide"_s, u"Hide the program to the tray; a first start starts hidden."_s});
    parser.addOption({u"send"_s,
                      u"Send the shown Message, as the send key does; with a Hotword, search for it first. "
                      "A first start starts and sends."_s});
    parser.addPositionalArgument(u"hotword"_s, u"With --send: the Hotword of the Message to send."_s, u"[HOTWORD]"_s);
}

std::variant<InstanceCommand, QString> CommandFromParser(const QCommandLineParser& parser)
{
    InstanceCommand command;
    int given = 0;
    for (const KindName& entry : KindNames) {
        if (parser.isSet(entry.name)) {
            command.kind = entry.kind;
            ++given;
        }
    }
    if (given > 1)
        return u"Give only one of --show, --hide and --send."_s;
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty() && command.kind != InstanceCommand::Send)
        return u"A Hotword goes only with --send."_s;
    if (positional.size() > 1)
        return u"--send takes one Hotword; put a Hotword with blanks in quotes."_s;
    if (!positional.isEmpty()) {
        command.hotword = positional.first();
        if (command.hotword.isEmpty())
            return u"The Hotword after --send is empty."_s;
    }
    return command;
}

QByteArray EncodeCommand(const InstanceCommand& command)
{
    QJsonObject object;
    for (const KindName& entry : KindNames) {
        if (entry.kind == command.kind)
            object.insert(CommandKey, entry.name);
    }
    if (command.kind == InstanceCommand::Send && !command.hotword.isEmpty())
        object.insert(HotwordKey, command.hotword);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<InstanceCommand> DecodeCommand(const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QString name = object.value(CommandKey).toString();
    for (const KindName& entry : KindNames) {
        if (entry.name != name)
            continue;
        InstanceCommand command{entry.kind, {}};
        const QJsonValue hotword = object.value(HotwordKey);
        if (hotword.isUndefined())
            return command;
        if (entry.kind != InstanceCommand::Send || !hotword.isString() || hotword.toString().isEmpty())
            return std::nullopt;
        command.hotword = hotword.toString();
        return command;
    }
    return std::nullopt;
}
