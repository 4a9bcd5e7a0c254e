#include "desktoptools.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>

using namespace Qt::StringLiterals;

QString RunTool(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000))
        qFatal("%s did not finish", qUtf8Printable(program));
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

QString Xdotool(const QStringList& arguments)
{
    return RunTool(u"xdotool"_s, arguments);
}

QString FindVisibleWindow(const QStringList& searchArguments)
{
    return Xdotool(QStringList{u"search"_s, u"--onlyvisible"_s} + searchArguments).section(u'\n', 0, 0);
}

void ActivateWindow(const QString& window)
{
    Xdotool({u"windowactivate"_s, u"--sync"_s, window});
}

QStringList ManagedWindows()
{
    QStringList windows;
    const QString list = RunTool(u"xprop"_s, {u"-root"_s, u"_NET_CLIENT_LIST"_s});
    for (auto match = QRegularExpression(u"0x([0-9a-f]+)"_s).globalMatch(list); match.hasNext();)
        windows << QString::number(match.next().captured(1).toULongLong(nullptr, 16));
    return windows;
}

QStringList WindowsOf(qint64 pid)
{
    return Xdotool({u"search"_s, u"--pid"_s, QString::number(pid)}).split(u'\n', Qt::SkipEmptyParts);
}

bool IsViewable(const QString& window)
{
    return RunTool(u"xwininfo"_s, {u"-id"_s, window}).contains(u"IsViewable"_s);
}

bool InTray(const QString& window)
{
    const QString id = u"0x"_s + QString::number(window.toULongLong(), 16) + u' ';
    const QStringList trays = Xdotool({u"search"_s, u"--class"_s, u"trayer"_s}).split(u'\n', Qt::SkipEmptyParts);
    return std::any_of(trays.begin(), trays.end(), [&](const QString& tray) {
        return RunTool(u"xwininfo"_s, {u"-tree"_s, u"-id"_s, tray}).contains(id);
    });
}

QString CopyWindowText(const QString& window)
{
    const QString marker = u"(nothing was copied)"_s;
    RunTool(u"sh"_s, {u"-c"_s, u"printf %s \"$1\" | xclip -selection clipboard >/dev/null 2>&1"_s, u"sh"_s, marker});
    ActivateWindow(window);
    Xdotool({u"key"_s, u"--clearmodifiers"_s, u"ctrl+a"_s, u"ctrl+c"_s});
    QString copied;
    // A clipboard owner that does not answer must not hold the test up.
    WaitFor([&] {
        copied = RunTool(u"timeout"_s, {u"2"_s, u"xclip"_s, u"-o"_s, u"-selection"_s, u"clipboard"_s});
        return copied != marker;
    }, 5000);
    return copied.replace(u"\r\n"_s, u"\n"_s);
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(40);
    }
    return true;
}

ProgramFolder::ProgramFolder(const QString& builtProgram)
    : m_environment(QProcessEnvironment::systemEnvironment())
{
    if (!QFile::copy(builtProgram, program()))
        qFatal("cannot copy the program");
    QFile noDataSources(m_home.filePath(u"odbc.ini"_s));
    if (!noDataSources.open(QIODevice::WriteOnly))
        qFatal("cannot write odbc.ini");
    m_environment.insert(u"ODBCINI"_s, noDataSources.fileName());
    m_environment.remove(u"QT_QPA_PLATFORM"_s);
    m_environment.insert(u"HOME"_s, m_home.path());
    m_environment.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
    m_environment.insert(u"GSETTINGS_BACKEND"_s, u"memory"_s);
}

bool ProgramFolder::start(QProcess& process, const QStringList& arguments) const
{
    process.setProcessEnvironment(m_environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program(), arguments);
    return process.waitForStarted();
}

QStringList VisibleWindows(qint64 pid)
{
    return Xdotool({u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(pid)})
        .split(u'\n', Qt::SkipEmptyParts);
}

void PressKeys(const QString& window, const QStringList& keys)
{
    ActivateWindow(window);
    Xdotool(QStringList{u"key"_s, u"--delay"_s, u"60"_s} + keys);
}

void ProgramFolder::addFile(const QString& source, const QString& name)
{
    if (!QFile::copy(source, filePath(name)))
        qFatal("cannot copy %s", qUtf8Printable(source));
}

void StartEditorAndProgram(ProgramFolder& folder, const QString& targets, QProcess& editor, QProcess& program,
                           QString& editorWindow, QString& mainWindow)
{
    folder.addFile(targets, u"targets.ini"_s);
    QFile options(folder.filePath(u"options.ini"_s));
    if (!options.open(QIODevice::WriteOnly) || options.write("[Options]\nTarget=Notepad\n") < 0)
        qFatal("cannot write options.ini");
    options.close();

    editor.setProcessEnvironment(folder.environment());
    editor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    editor.start(u"mousepad"_s, {});
    if (!editor.waitForStarted()
        || !WaitFor([&] { return !(editorWindow = FindVisibleWindow({u"--name"_s, u" - Mousepad$"_s})).isEmpty(); },
                    20000))
        qFatal("Mousepad did not show its window");

    program.setProcessEnvironment(folder.environment());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(folder.program(), {});
    const QStringList mainSearch{u"--pid"_s, QString::number(program.processId()), u"--name"_s, u"^Tolvane Quillbay$"_s};
    if (!program.waitForStarted()
        || !WaitFor([&] { return !(mainWindow = FindVisibleWindow(mainSearch)).isEmpty(); }, 20000))
        qFatal("the program did not show its main window");
}

QString ProgramFolder::messageText(const QString& hotword) const
{
    return MessageTextIn(filePath(u"quillbay.db"_s), hotword);
}

QString MessageTextIn(const QString& databaseFile, const QString& hotword)
{
    QString text;
    {
        auto db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check"_s);
        db.setDatabaseName(databaseFile);
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(u"select Text from FAQ where Hotword = ?"_s);
            query.addBindValue(hotword);
            if (query.exec() && query.next())
                text = query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(u"check"_s);
    return text;
}
