#include "app/commandline.h"
#include "app/guardedapplication.h"
#include "app/program.h"

#include <QCommandLineParser>

#include <clocale>
#include <cstdio>
#include <variant>

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    GuardedApplication application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QB_VERSION));
    // The main window's close ends the program, also while it is hidden in the tray; closing
    // another window then must not.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    DescribeCommandLine(parser);
    // --help, --version and unknown options end the program here.
    parser.process(application);
    const std::variant<InstanceCommand, QString> command = CommandFromParser(parser);
    if (const QString* error = std::get_if<QString>(&command)) {
        std::fprintf(stderr, "%s\n", qPrintable(*error));
        return 2;
    }

    Program program(application);
    if (!program.Start(std::get<InstanceCommand>(command)))
        return program.exitCode();
    return application.exec();
}
