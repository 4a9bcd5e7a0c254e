#include "app/program.h"

#include "app/fMain.h"
#include "app/guardedapplication.h"
#ifdef _WIN32
#include "platform/win/winplatform.h"
#else
#include "platform/x11/x11platform.h"
#endif
#include "settings/filelocations.h"
#include "settings/settings.h"
#include "store/dmData.h"
#include "store/storeerror.h"
#include "util/errors.h"
#include "util/interaction.h"
#include "util/textutils.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

Program::Program(GuardedApplication& application)
    : m_application(application)
{
    QCoreApplication::setApplicationName(ApplicationTitle());
    m_application.setErrorBoxes(&m_boxes);
}

Program::~Program()
{
    m_mainWindow.reset();
    m_dataModule.reset();
    m_desktop.reset();
    m_application.setErrorBoxes(nullptr);
}

Platform& Program::desktop()
{
    return m_desktop ? m_desktop->interfaces() : m_missingDesktop.interfaces();
}

bool Program::Start()
{
    // Without a desktop (no X11 session) the program still browses; the commands that
    // need the desktop report that it is missing.
    Guarded(m_boxes, [&] {
#ifdef _WIN32
        m_desktop = CreateWinPlatform();
#else
        m_desktop = CreateX11Platform();
#endif
    });

    // Where the files live is decided once for the run.
    if (!Guarded(m_boxes, [&] {
            const FileLocations locations = ProgramFileLocations();
            PrepareFileLocations(locations);
            m_options = std::make_unique<Options>(JoinPath(locations.configFolder, u"options.ini"_s));
        })) {
        m_exitCode = 1;
        return false;
    }

    if (!Guarded(m_boxes, [&] { m_dataModule = std::make_unique<TdmFAQData>(DefaultConnectionSpec()); })) {
        m_exitCode = 1;
        return false;
    }
    // An error while reading the tables is shown and the start goes on; a database that had
    // to be upgraded ends the program after its notice.
    bool upgraded = false;
    Guarded(m_boxes, [&] {
        try {
            m_dataModule->OpenDatabase();
        } catch (const SchemaUpgraded& notice) {
            upgraded = true;
            m_boxes.showMessage(notice.text());
        }
    });
    if (upgraded)
        return false;

    m_mainWindow = std::make_unique<TfrmMain>(*m_dataModule, desktop(), m_boxes, *m_options);
    m_mainWindow->show();
    if (m_mainWindow->terminationRequested()) {
        m_exitCode = 1;
        return false;
    }
    return true;
}
