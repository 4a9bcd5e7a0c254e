// The main window's options command.

#include "app/activationhotkey.h"
#include "app/fMain.h"
#include "dialogs/fOptions.h"
#include "settings/filelocations.h"
#include "settings/settings.h"

void TfrmMain::actOptionsExecute()
{
    Options options(OptionsFilePath());
    TfrmOptions dialog(options, {[this] { ApplyOptions(); }, [this] { return jvActivateMe->isRefused(); }}, this);
    dialog.exec();
}
