#pragma once

// The main window with the scripted boxes, the fake desktop and a database of its own.

#include "app/fMain.h"
#include "dialogs/fSelectFAQ.h"
#include "dialogs/ffaqaddedit.h"
#include "platform/fake/fakeplatform.h"
#include "settings/settings.h"

#include "../dialogs/messagedb.h"
#include "scriptedinteraction.h"

#include <memory>

struct MainWindowFixture {
    ScriptedInteraction ui;
    FakePlatform desktop;
    MessageDb db;
    std::unique_ptr<TfrmMain> window;

    MainWindowFixture() { MessageDb::setOption(Setting::Target, QStringLiteral("Notepad")); }
    ~MainWindowFixture()
    {
        window.reset();
        frmMain = nullptr;
        frmSelectFAQ = nullptr;
        frmAddEditFAQ = nullptr;
    }
    MainWindowFixture(const MainWindowFixture&) = delete;
    MainWindowFixture& operator=(const MainWindowFixture&) = delete;

    // The window and the select-a-message dialog, not shown yet.
    TfrmMain& create()
    {
        window = std::make_unique<TfrmMain>();
        frmMain = window.get();
        frmSelectFAQ = new TfrmSelectFAQ([](int id) { frmMain->ShowFAQByID(id); }, window.get());
        frmAddEditFAQ
            = new TfrmAddEditFAQ([](const QString& hotword) { frmMain->MessageSaved(hotword); }, window.get());
        return *window;
    }
};
