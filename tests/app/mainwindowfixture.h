#pragma once

// The main window with the scripted boxes, the fake desktop and a database of its own.

#include "app/fMain.h"
#include "platform/fake/fakeplatform.h"
#include "settings/filelocations.h"
#include "settings/settings.h"

#include "../dialogs/messagedb.h"
#include "childbyname.h"
#include "scriptedinteraction.h"

#include <memory>

struct MainWindowFixture {
    ScriptedInteraction ui;
    FakePlatform desktop;
    MessageDb db;
    // options.ini in the database's folder.
    Options options{OptionsFilePath()};
    std::unique_ptr<TfrmMain> window;

    MainWindowFixture() { MessageDb::setOption(Setting::Target, QStringLiteral("Notepad")); }
    ~MainWindowFixture() { window.reset(); }
    MainWindowFixture(const MainWindowFixture&) = delete;
    MainWindowFixture& operator=(const MainWindowFixture&) = delete;

    // The window with its dialogs, not shown yet.
    TfrmMain& create()
    {
        window = std::make_unique<TfrmMain>(*db.module, desktop.platform, ui, options);
        return *window;
    }
};
