#pragma once

#include "dialogs/qtinteraction.h"

#include <memory>

class TdmFAQData;
class TfrmMain;
#ifdef _WIN32
class WinPlatform;
using DesktopPlatform = WinPlatform;
#else
class X11Platform;
using DesktopPlatform = X11Platform;
#endif

// The program's windows, data module and desktop, created in the start-up order and torn
// down in reverse. Needs the QApplication.
class Program {
public:
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Creates everything up to the shown main window. False when the start ended early
    // (the data source could not be opened or read, or the database was upgraded);
    // exitCode() then tells how the program ends: 1 after a fatal notice, 0 after the upgrade.
    bool Start();
    int exitCode() const { return m_exitCode; }

private:
    QtInteraction m_boxes;
    std::unique_ptr<DesktopPlatform> m_desktop;
    std::unique_ptr<TfrmMain> m_mainWindow;
    std::unique_ptr<TdmFAQData> m_dataModule;
    int m_exitCode = 0;
};
