#include "app/program.h"

#include "app/desktopnotice.h"
#include "app/fMain.h"
#include "app/guardedapplication.h"
#include "app/instancechannel.h"
#include "app/traycontroller.h"
#ifdef _WIN32
#include "platform/win/winplatform.h"
#else
#include "platform/x11/x11platform.h"
#endif
#ifdef QB_WAYLAND
#include "platform/wayland/waylandplatform.h"
#endif
#include "settings/filelocations.h"
#include "settings/settings.h"
#include "store/backups.h"
#include "store/databaselock.h"
#include "store/dmData.h"
#include "store/storeerror.h"
#include "util/errors.h"
#include "util/interaction.h"
#include "util/textutils.h"

#include <QCoreApplication>
#include <QDateTime>

#include <utility>

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
    m_databaseLock.reset();
    m_channel.reset();
    m_boxes.setFileOpener(nullptr);
    m_desktop.reset();
#ifdef QB_WAYLAND
    m_wayland.reset();
#endif
    m_application.setErrorBoxes(nullptr);
}

Platform& Program::desktop()
{
#ifdef QB_WAYLAND
    if (m_wayland)
        return m_wayland->interfaces();
#endif
    return m_desktop ? m_desktop->interfaces() : m_missingDesktop.interfaces();
}

bool Program::OpenChannel(const QString& configFolder, const InstanceCommand& command)
{
    m_channel = std::make_unique<InstanceChannel>(ChannelName(configFolder));
    switch (m_channel->open(command)) {
    case InstanceChannel::Role::First: break;
    case InstanceChannel::Role::Handed: return false;
    case InstanceChannel::Role::Unanswered:
        m_boxes.showMessage(ApplicationTitle() + u" is already running for these settings, but it does not answer."_s);
        m_exitCode = 1;
        return false;
    }
    QObject::connect(m_channel.get(), &InstanceChannel::commandReceived, m_channel.get(),
                     [this](const InstanceCommand& received) { Guarded(m_boxes, [&] { RunCommand(received); }); });
    return true;
}

void Program::RunCommand(const InstanceCommand& command)
{
    // Until the start is done the last command waits for it.
    if (!m_started) {
        m_pendingCommand = command;
        return;
    }
    switch (command.kind) {
    case InstanceCommand::Show:
        m_mainWindow->RememberActiveWindow();
        m_mainWindow->BringProgramToFront();
        break;
    case InstanceCommand::Hide: m_mainWindow->tray().HideToTray(); break;
    case InstanceCommand::Send:
        m_mainWindow->RememberActiveWindow();
        m_mainWindow->SendMessage(command.hotword);
        break;
    }
}

bool Program::Start(const InstanceCommand& command)
{
    // Without a desktop (no X11 or Wayland session) the program still browses; the commands
    // that need the desktop report that it is missing. In a Wayland session the Wayland
    // desktop serves even when Qt shows the windows through Xwayland: X11 reaches only the
    // other Xwayland programs there.
    Guarded(m_boxes, [&] {
#ifdef _WIN32
        m_desktop = CreateWinPlatform();
#else
#ifdef QB_WAYLAND
        if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland"_s) {
            m_wayland = CreateWaylandPlatform();
            return;
        }
#endif
        m_desktop = CreateX11Platform();
#endif
    });
    m_boxes.setFileOpener(&desktop().files);

    // Where the files live is decided once for the run.
    FileLocations locations;
    if (!Guarded(m_boxes, [&] {
            locations = ProgramFileLocations();
            PrepareFileLocations(locations);
            m_options = std::make_unique<Options>(JoinPath(locations.configFolder, u"options.ini"_s));
        })) {
        m_exitCode = 1;
        return false;
    }
    // One copy per settings folder: a later start hands its command over and ends.
    if (!OpenChannel(locations.configFolder, command))
        return false;

    // A copy with other settings (another user's) keeps off an embedded database in use before
    // opening it: SQLite would take it for unused and could remove the log of the other's saves.
    if (!Guarded(m_boxes, [&] {
            const ConnectionSpec spec = DefaultConnectionSpec();
            if (spec.kind == ConnectionSpec::Kind::Sqlite) {
                m_databaseLock = std::make_unique<DatabaseFileLock>(spec.database);
                m_databaseLock->acquire();
            }
            m_dataModule = std::make_unique<TdmFAQData>(spec);
        })) {
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
    // The first start of a day keeps a copy of the embedded database; a failed copy is
    // reported and the start goes on.
    Guarded(m_boxes, [&] { DatabaseBackups(*m_dataModule).MakeDailyBackup(QDateTime::currentDateTime()); });

    m_mainWindow = std::make_unique<TfrmMain>(*m_dataModule, desktop(), m_boxes, *m_options);
    // The window in front now is the one the user started the program from.
    if (command.kind != InstanceCommand::Hide)
        m_mainWindow->RememberActiveWindow();
    m_mainWindow->show();
    if (m_mainWindow->terminationRequested()) {
        m_exitCode = 1;
        return false;
    }
    m_started = true;
    // A desktop where parts do not work says so at the first start on it.
    Guarded(m_boxes, [&] {
        ShowDesktopNoticeOnce(desktop().abilities, *m_options, m_boxes, QCoreApplication::applicationFilePath());
    });
    Guarded(m_boxes, [&] {
        if (command.kind == InstanceCommand::Hide)
            m_mainWindow->tray().HideToTray();
        else if (command.kind == InstanceCommand::Send)
            m_mainWindow->SendMessage(command.hotword);
        if (m_pendingCommand)
            RunCommand(*std::exchange(m_pendingCommand, std::nullopt));
    });
    return true;
}
