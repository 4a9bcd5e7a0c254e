#include "dialogs/fprompttextentry.h"

TfrmPromptForTextEntry::TfrmPromptForTextEntry(QWidget* parent)
    : QDialog(parent)
{
    setupUi(this);
    // A title bar without buttons: the dialog closes through its own buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}
