#include "desktoptools.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <csignal>

#include <sys/types.h>
#include <unistd.h>

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
    // "windowactivate --sync" waits without end when the window manager passes the
    // request over (a busy server, a window just mapped): ask again until it is active.
    const bool active = WaitFor(
        [&] {
            RunTool(u"xdotool"_s, {u"windowactivate"_s, window});
            return WaitFor([&] { return Xdotool({u"getactivewindow"_s}) == window; }, 1000);
        },
        15000);
    if (!active)
        qWarning("window %s did not become active", qUtf8Printable(window));
}

QStringList ManagedWindows()
{
    QStringList windows;
    const QString list = RunTool(u"xprop"_s, {u"-root"_s, u"_NET_CLIENT_LIST"_s});
    for (auto match = QRegularExpression(u"0x([0-9a-f]+)"_s).globalMatch(list); match.hasNext();)
        windows << QString::number(match.next().captured(1).toULongLong(nullptr, 16));
    return windows;
}

QString ActiveWindow()
{
    return Xdotool({u"getactivewindow"_s});
}

QRect WindowGeometry(const QString& window)
{
    const QString info = RunTool(u"xwininfo"_s, {u"-id"_s, window});
    QRect rect;
    for (const QString& line : info.split(u'\n')) {
        const QString name = line.section(u':', 0, 0).trimmed();
        const int value = line.section(u':', 1).trimmed().toInt();
        if (name == u"Absolute upper-left X"_s)
            rect.moveLeft(value);
        else if (name == u"Absolute upper-left Y"_s)
            rect.moveTop(value);
        else if (name == u"Width"_s)
            rect.setWidth(value);
        else if (name == u"Height"_s)
            rect.setHeight(value);
    }
    return rect;
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
    WaitFor(
        [&] {
            copied = RunTool(u"timeout"_s, {u"2"_s, u"xclip"_s, u"-o"_s, u"-selection"_s, u"clipboard"_s});
            return copied != marker;
        },
        5000);
    return copied.replace(u"\r\n"_s, u"\n"_s);
}

QString CopyWindowTextWhen(const QString& window, const QString& expected, int timeoutMs)
{
    QString copied;
    WaitFor([&] { return (copied = CopyWindowText(window)) == expected; }, timeoutMs);
    return copied;
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
    // Nothing that the bus would start on its own and leave behind: no dconf, no
    // accessibility bus.
    m_environment.insert(u"GSETTINGS_BACKEND"_s, u"memory"_s);
    m_environment.insert(u"NO_AT_BRIDGE"_s, u"1"_s);
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

void TypeKeys(const QStringList& keys)
{
    Xdotool(QStringList{u"key"_s, u"--clearmodifiers"_s, u"--delay"_s, u"60"_s} + keys);
}

void TypeText(const QString& text)
{
    Xdotool({u"type"_s, u"--delay"_s, u"20"_s, text});
}

void ProgramFolder::addFile(const QString& source, const QString& name)
{
    if (!QFile::copy(source, filePath(name)))
        qFatal("cannot copy %s", qUtf8Printable(source));
}

void StartEditorAndProgram(ProgramFolder& folder, const QString& targets, DesktopProgram& editor, QProcess& program,
                           QString& editorWindow, QString& mainWindow)
{
    folder.addFile(targets, u"targets.ini"_s);
    QFile options(folder.filePath(u"options.ini"_s));
    if (!options.open(QIODevice::WriteOnly) || options.write("[Options]\nTarget=Notepad\n") < 0)
        qFatal("cannot write options.ini");
    options.close();

    if (!editor.start(u"mousepad"_s)
        || (editorWindow = editor.window({u"--name"_s, u" - Mousepad$"_s}, 20000)).isEmpty())
        qFatal("Mousepad did not show its window");

    program.setProcessEnvironment(folder.environment());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(folder.program(), {});
    const QStringList mainSearch{u"--pid"_s, QString::number(program.processId()), u"--name"_s,
                                 u"^Tolvane Quillbay$"_s};
    if (!program.waitForStarted()
        || !WaitFor([&] { return !(mainWindow = FindVisibleWindow(mainSearch)).isEmpty(); }, 20000))
        qFatal("the program did not show its main window");
}

QString ProgramFolder::messageText(const QString& hotword) const
{
    return MessageTextIn(filePath(u"quillbay.db"_s), hotword);
}

namespace {

// Runs use on the SQLite database in file, if it opens, through a connection of its own.
template <typename Use>
void OnDatabase(const QString& file, Use use)
{
    const QString connection = u"desktoptools"_s;
    {
        auto db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        db.setDatabaseName(file);
        if (db.open())
            use(db);
    }
    QSqlDatabase::removeDatabase(connection);
}

} // namespace

QString MessageTextIn(const QString& databaseFile, const QString& hotword)
{
    QString text;
    OnDatabase(databaseFile, [&](const QSqlDatabase& db) {
        QSqlQuery query(db);
        query.prepare(u"select Text from FAQ where Hotword = ?"_s);
        query.addBindValue(hotword);
        if (query.exec() && query.next())
            text = query.value(0).toString();
    });
    return text;
}

bool AddMessageTo(const QString& databaseFile, const QString& hotword, const QString& text)
{
    bool added = false;
    OnDatabase(databaseFile, [&](const QSqlDatabase& db) {
        QSqlQuery query(db);
        query.prepare(u"insert into FAQ (ShortName, Hotword, Text, GroupID, Notes) values (?, ?, ?, 0, '')"_s);
        query.addBindValue(hotword);
        query.addBindValue(hotword);
        query.addBindValue(text);
        added = query.exec();
    });
    return added;
}

DesktopProgram::DesktopProgram(const QProcessEnvironment& base)
    : m_environment(base)
{
    const QDir folder(m_folder.path());
    for (const QString& name : {u"home"_s, u"config"_s, u"data"_s, u"cache"_s, u"runtime"_s}) {
        if (!folder.mkpath(name))
            qFatal("cannot make %s", qUtf8Printable(folder.filePath(name)));
    }
    QFile::setPermissions(folder.filePath(u"runtime"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_environment.insert(u"HOME"_s, home());
    m_environment.insert(u"XDG_CONFIG_HOME"_s, folder.filePath(u"config"_s));
    m_environment.insert(u"XDG_DATA_HOME"_s, folder.filePath(u"data"_s));
    m_environment.insert(u"XDG_CACHE_HOME"_s, folder.filePath(u"cache"_s));
    m_environment.insert(u"XDG_RUNTIME_DIR"_s, folder.filePath(u"runtime"_s));
    m_environment.insert(u"GSETTINGS_BACKEND"_s, u"memory"_s);

    // A bus of its own: Mousepad, FeatherPad and others hand a new start over to a running
    // copy that they find on the session bus.
    QProcess bus;
    bus.setProcessEnvironment(m_environment);
    bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--fork"_s, u"--print-address=1"_s, u"--print-pid=1"_s});
    if (!bus.waitForFinished(10000) || bus.exitCode() != 0)
        qFatal("dbus-daemon did not start: %s", bus.readAllStandardError().constData());
    const QStringList lines = QString::fromLocal8Bit(bus.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    if (lines.size() < 2 || (m_busPid = lines[1].trimmed().toLongLong()) <= 0)
        qFatal("dbus-daemon gave no address and process ID");
    m_environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, lines[0].trimmed());
    process.setProcessEnvironment(m_environment);
}

DesktopProgram::~DesktopProgram()
{
    stop();
}

bool DesktopProgram::start(const QString& program, const QStringList& arguments)
{
    process.setProcessEnvironment(m_environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForStarted();
}

QString DesktopProgram::window(const QStringList& search, int timeoutMs) const
{
    const QStringList arguments = QStringList{u"--all"_s, u"--pid"_s, QString::number(process.processId())} + search;
    QString found;
    WaitFor([&] { return !(found = FindVisibleWindow(arguments)).isEmpty(); }, timeoutMs);
    return found;
}

void DesktopProgram::stop()
{
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished();
        }
    }
    if (m_busPid > 0) {
        ::kill(pid_t(m_busPid), SIGTERM);
        m_busPid = 0;
    }
}

QString StartBrowser(DesktopProgram& browser, const QString& pageFile, const QString& pageTitle)
{
    QStringList arguments{u"--user-data-dir="_s + QDir(browser.home()).filePath(u"chromium"_s),
                          u"--no-first-run"_s,
                          u"--no-default-browser-check"_s,
                          u"--password-store=basic"_s,
                          u"--disable-gpu"_s,
                          u"--disable-background-networking"_s,
                          u"--disable-component-update"_s,
                          u"--disable-sync"_s,
                          u"--disable-features=Translate,MediaRouter"_s,
                          u"--test-type"_s,
                          u"--new-window"_s,
                          QUrl::fromLocalFile(pageFile).toString()};
    // Its sandbox refuses to run as root.
    if (::getuid() == 0)
        arguments.prepend(u"--no-sandbox"_s);
    if (!browser.start(u"chromium"_s, arguments))
        return {};
    return browser.window({u"--name"_s, QRegularExpression::escape(pageTitle)}, 60000);
}
