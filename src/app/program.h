#pragma once

#include "app/commandline.h"
#include "dialogs/qtinteraction.h"
#include "platform/missingdesktop.h"

#include <memory>
#include <optional>

class DatabaseFileLock;
class GuardedApplication;
class InstanceChannel;
class Options;
class TdmFAQData;
class TfrmMain;
#ifdef _WIN32
class WinPlatform;
using DesktopPlatform = WinPlatform;
#else
class X11Platform;
using DesktopPlatform = X11Platform;
#endif
#ifdef QB_WAYLAND
class WaylandPlatform;
#endif

// The composition root: the one place that picks the desktop (Windows', a Wayland session's
// or X11's) and creates the program's
// parts in the start-up order (boxes, desktop, file locations and settings, the channel to
// later starts, the lock on the embedded database, the store, the main window), handing each
// what it needs by reference; they are torn down in reverse. Needs the application, whose last-resort guard it gives
// the boxes.
class Program {
public:
    explicit Program(GuardedApplication& application);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Creates everything up to the shown main window and runs the command of the command
    // line. False when the start ended early (another copy runs for these settings and took
    // the command, another copy uses the embedded database, the data source could not be
    // opened or read, or the database was upgraded); exitCode() then tells how the program ends: 1 after a fatal
    // notice, else 0.
    bool Start(const InstanceCommand& command = {});
    int exitCode() const { return m_exitCode; }
    // The main window once Start() has created it.
    TfrmMain* mainWindow() const { return m_mainWindow.get(); }

private:
    Platform& desktop();
    // Whether this is the one copy for these settings; else the command went to the other.
    bool OpenChannel(const QString& configFolder, const InstanceCommand& command);
    // A command of a later start, or of this one once the main window is shown.
    void RunCommand(const InstanceCommand& command);

    GuardedApplication& m_application;
    QtInteraction m_boxes;
    MissingDesktop m_missingDesktop;
    std::unique_ptr<DesktopPlatform> m_desktop;
#ifdef QB_WAYLAND
    std::unique_ptr<WaylandPlatform> m_wayland;
#endif
    std::unique_ptr<Options> m_options;
    std::unique_ptr<InstanceChannel> m_channel;
    // A command handed over while the start was still going on.
    std::optional<InstanceCommand> m_pendingCommand;
    bool m_started = false;
    std::unique_ptr<DatabaseFileLock> m_databaseLock;
    std::unique_ptr<TdmFAQData> m_dataModule;
    std::unique_ptr<TfrmMain> m_mainWindow;
    int m_exitCode = 0;
};
