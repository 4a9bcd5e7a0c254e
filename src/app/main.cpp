#include "app/fMain.h"
#include "app/guardedapplication.h"
#include "dialogs/fSelectFAQ.h"
#include "dialogs/fShowData.h"
#include "dialogs/qtinteraction.h"
#include "platform/x11/x11platform.h"
#include "store/dmData.h"
#include "util/errors.h"
#include "util/interaction.h"

#include <clocale>
#include <memory>

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    GuardedApplication application(argc, argv);
    QCoreApplication::setApplicationName(ApplicationTitle());
    // The main window's close ends the program, also while it is hidden in the tray; closing
    // another window then must not.
    QApplication::setQuitOnLastWindowClosed(false);
    QtInteraction boxes;
    setInteraction(&boxes);

    // Without an X11 desktop the program still browses; the commands that need the
    // desktop report that it is missing.
    std::unique_ptr<X11Platform> desktop;
    Guarded([&] {
        desktop = CreateX11Platform();
        setPlatform(&desktop->interfaces());
    });

    auto mainWindow = std::make_unique<TfrmMain>();
    frmMain = mainWindow.get();

    std::unique_ptr<TdmFAQData> dataModule;
    if (!Guarded([&] { dataModule = std::make_unique<TdmFAQData>(DefaultConnectionSpec()); }))
        return 1;
    dmFAQData = dataModule.get();
    if (dmFAQData->terminationRequested())
        return 0;

    frmSelectFAQ = new TfrmSelectFAQ([](int messageID) { frmMain->ShowFAQByID(messageID); }, frmMain);
    frmShowData = new TfrmShowData(frmMain);

    frmMain->show();
    const int result = frmMain->terminationRequested() ? 0 : application.exec();

    mainWindow.reset();
    frmMain = nullptr;
    frmSelectFAQ = nullptr;
    frmShowData = nullptr;
    dataModule.reset();
    dmFAQData = nullptr;
    setPlatform(nullptr);
    setInteraction(nullptr);
    return result;
}
