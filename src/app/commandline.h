#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

class QCommandLineParser;

// What a start of the program asks of the copy that runs, or of itself when none runs.
struct InstanceCommand {
    enum Kind {
        // Bring the main window to the front (also a start without any option).
        Show,
        // Hide to the tray; a first start starts hidden.
        Hide,
        // Send the shown Message as the send key does.
        Send,
    };
    Kind kind = Show;
    // For Send: the Hotword to search for first; empty sends the shown Message.
    QString hotword;
    friend bool operator==(const InstanceCommand&, const InstanceCommand&) = default;
};

// Adds the program's options (--show, --hide, --send [HOTWORD], --help, --version).
void DescribeCommandLine(QCommandLineParser& parser);
// The command of a parsed command line, or the text that says what is wrong with it.
std::variant<InstanceCommand, QString> CommandFromParser(const QCommandLineParser& parser);

// A command as it travels from one copy to another: one line of text.
QByteArray EncodeCommand(const InstanceCommand& command);
// The command in such a line (without its line end); none for anything else.
std::optional<InstanceCommand> DecodeCommand(const QByteArray& line);
