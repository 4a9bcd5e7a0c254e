// The main window's options command.

#include "app/activationhotkey.h"
#include "app/fMain.h"
#include "app/traycontroller.h"
#include "dialogs/fOptions.h"
#include "settings/settings.h"

void TfrmMain::actOptionsExecute()
{
    TfrmOptions dialog(m_options, m_desktop, m_boxes,
                       {[this] { ApplyOptions(); }, [this] { return m_tray->jvActivateMe->isRefused(); }}, this);
    dialog.exec();
}
