// The main window's options command.

#include "app/activationhotkey.h"
#include "app/fMain.h"
#include "app/traycontroller.h"
#include "dialogs/fOptions.h"

void TfrmMain::actOptionsExecute()
{
    TfrmOptions dialog({[this] { ApplyOptions(); }, [this] { return m_tray->jvActivateMe->isRefused(); }}, this);
    dialog.exec();
}
