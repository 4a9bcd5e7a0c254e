#pragma once

#include "dialogs/qtinteraction.h"
#include "platform/missingdesktop.h"

#include <memory>

class GuardedApplication;
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

// The composition root: the one place that picks the desktop and creates the program's
// parts in the start-up order (boxes, desktop, file locations and settings, the store,
// the main window), handing each what it needs by reference; they are torn down in
// reverse. Needs the application, whose last-resort guard it gives the boxes.
class Program {
public:
    explicit Program(GuardedApplication& application);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Creates everything up to the shown main window. False when the start ended early
    // (the data source could not be opened or read, or the database was upgraded);
    // exitCode() then tells how the program ends: 1 after a fatal notice, 0 after the upgrade.
    bool Start();
    int exitCode() const { return m_exitCode; }
    // The main window once Start() has created it.
    TfrmMain* mainWindow() const { return m_mainWindow.get(); }

private:
    Platform& desktop();

    GuardedApplication& m_application;
    QtInteraction m_boxes;
    MissingDesktop m_missingDesktop;
    std::unique_ptr<DesktopPlatform> m_desktop;
    std::unique_ptr<Options> m_options;
    std::unique_ptr<TdmFAQData> m_dataModule;
    std::unique_ptr<TfrmMain> m_mainWindow;
    int m_exitCode = 0;
};
