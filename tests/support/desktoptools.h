#pragma once

// Helpers for tests that drive the built program and other X11 programs from outside.

#include <QProcessEnvironment>
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
// The windows that the window manager manages, which is what a task bar lists.
QStringList ManagedWindows();
QStringList WindowsOf(qint64 pid);
bool IsViewable(const QString& window);
// Whether the window is embedded in trayer's window.
bool InTray(const QString& window);
// Everything in the window's focused text, copied with Ctrl+A, Ctrl+C and read back with
// CR LF made LF; a note when nothing was copied.
QString CopyWindowText(const QString& window);
// Polls the condition until it holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

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

    // The text of the Message with this Hotword in the program's embedded database, or empty.
    QString messageText(const QString& hotword) const;

private:
    QTemporaryDir m_folder;
    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
};
