#pragma once

// Helpers for tests that drive the built program and other X11 programs from outside.

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// Runs a command-line tool to its end and gives its standard output, trimmed.
QString RunTool(const QString& program, const QStringList& arguments);
QString Xdotool(const QStringList& arguments);
// The first visible window that `xdotool search` finds with these arguments, or empty.
QString FindVisibleWindow(const QStringList& searchArguments);
// Makes the window the active one and waits until the window manager has done so.
void ActivateWindow(const QString& window);
QString ActiveWindow();
// The window's place on the screen and its size, as xwininfo tells them.
QRect WindowGeometry(const QString& window);
// The windows that the window manager manages, which is what a task bar lists.
QStringList ManagedWindows();
QStringList WindowsOf(qint64 pid);
bool IsViewable(const QString& window);
// Whether the window is embedded in trayer's window.
bool InTray(const QString& window);
// Everything in the window's focused text, copied with Ctrl+A, Ctrl+C and read back with
// CR LF made LF; a note when nothing was copied.
QString CopyWindowText(const QString& window);
// Copies the window's text again until it equals the expected text or the time is up (real
// time: QTRY's count of steps grows with every slow copy); the last text copied.
QString CopyWindowTextWhen(const QString& window, const QString& expected, int timeoutMs);
// Polls the condition until it holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000);
// The visible windows of a process, as xdotool lists them.
QStringList VisibleWindows(qint64 pid);
// Activates the window and presses the keys (xdotool's names) one after another.
void PressKeys(const QString& window, const QStringList& keys);
// Presses the keys into whichever window has the focus, modifiers held by the user released.
void TypeKeys(const QStringList& keys);
// Types the text into whichever window has the focus.
void TypeText(const QString& text);

// The text of the Message with this Hotword in an embedded database file, or empty.
QString MessageTextIn(const QString& databaseFile, const QString& hotword);
// Adds a top-level Message whose short name is its Hotword; whether it was added.
bool AddMessageTo(const QString& databaseFile, const QString& hotword, const QString& text);

// A desktop program that a test starts (an editor, a mail program, a clipboard manager)
// in a world of its own: a home folder, XDG configuration, data, cache and runtime folders
// and a private D-Bus session bus, so that a copy the user runs can neither take the start
// over nor see the test's files. Stopped by its process, the bus by its process ID.
class DesktopProgram {
public:
    explicit DesktopProgram(const QProcessEnvironment& base = QProcessEnvironment::systemEnvironment());
    ~DesktopProgram();
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    // The home folder, to be filled before start when the program needs a profile.
    QString home() const { return m_folder.filePath(QStringLiteral("home")); }
    const QProcessEnvironment& environment() const { return m_environment; }
    // Starts the program, its output discarded (GTK and dconf warnings); whether it started.
    bool start(const QString& program, const QStringList& arguments = {});
    // The first visible window of the program's process that the search finds within the
    // time, or empty.
    QString window(const QStringList& search = {}, int timeoutMs = 30000) const;
    // Stops the program, then its bus; also done when the object ends.
    void stop();

    QProcess process;

private:
    QTemporaryDir m_folder;
    QProcessEnvironment m_environment;
    qint64 m_busPid = 0;
};

// Starts Chromium as the browser's program on a local page, with a profile of its own and
// no first-run questions; gives its window once the page's title shows, or empty.
QString StartBrowser(DesktopProgram& browser, const QString& pageFile, const QString& pageTitle);

class ProgramFolder;

// Starts Mousepad and then the program from the folder, with targets.ini copied in and
// Notepad as the destination application, and finds their windows; fails the test
// program when either does not show within 20 s.
void StartEditorAndProgram(ProgramFolder& folder, const QString& targets, DesktopProgram& editor, QProcess& program,
                           QString& editorWindow, QString& mainWindow);

// A folder that holds a copy of the program and nothing else, with an environment in
// which the program sees no ODBC data source and no personal settings of this machine
// (its home folder is another temporary folder).
class ProgramFolder {
public:
    explicit ProgramFolder(const QString& builtProgram);

    QString filePath(const QString& name) const { return m_folder.filePath(name); }
    QString program() const { return filePath(QStringLiteral("quillbay")); }
    // Copies a file in beside the program.
    void addFile(const QString& source, const QString& name);
    const QProcessEnvironment& environment() const { return m_environment; }
    // Starts the program in this environment, its output passed through; whether it started.
    bool start(QProcess& process, const QStringList& arguments = {}) const;

    // The text of the Message with this Hotword in the program's embedded database, or empty.
    QString messageText(const QString& hotword) const;

private:
    QTemporaryDir m_folder;
    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
};
