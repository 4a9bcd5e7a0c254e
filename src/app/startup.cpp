#include "app/startup.h"

#include "app/fMain.h"
#ifdef _WIN32
#include "platform/win/winplatform.h"
#else
#include "platform/x11/x11platform.h"
#endif
#include "settings/filelocations.h"
#include "store/dmData.h"
#include "store/storeerror.h"
#include "util/errors.h"
#include "util/interaction.h"

#include <QCoreApplication>

Program::Program()
{
    QCoreApplication::setApplicationName(ApplicationTitle());
    setInteraction(&m_boxes);
}

Program::~Program()
{
    m_mainWindow.reset();
    m_dataModule.reset();
    dmFAQData = nullptr;
    setPlatform(nullptr);
    m_desktop.reset();
    setInteraction(nullptr);
}

bool Program::Start()
{
    // Without a desktop (no X11 session) the program still browses; the commands that
    // need the desktop report that it is missing.
    Guarded([&] {
#ifdef _WIN32
        m_desktop = CreateWinPlatform();
#else
        m_desktop = CreateX11Platform();
#endif
        setPlatform(&m_desktop->interfaces());
    });

    if (!Guarded([] { PrepareFileLocations(ProgramFileLocations()); })) {
        m_exitCode = 1;
        return false;
    }

    if (!Guarded([&] { m_dataModule = std::make_unique<TdmFAQData>(DefaultConnectionSpec()); })) {
        m_exitCode = 1;
        return false;
    }
    dmFAQData = m_dataModule.get();
    // An error while reading the tables is shown and the start goes on; a database that had
    // to be upgraded ends the program after its notice.
    bool upgraded = false;
    Guarded([&] {
        try {
            dmFAQData->OpenDatabase();
        } catch (const SchemaUpgraded& notice) {
            upgraded = true;
            interaction().showMessage(notice.text());
        }
    });
    if (upgraded)
        return false;

    m_mainWindow = std::make_unique<TfrmMain>(*m_dataModule, m_boxes);
    m_mainWindow->show();
    if (m_mainWindow->terminationRequested()) {
        m_exitCode = 1;
        return false;
    }
    return true;
}
