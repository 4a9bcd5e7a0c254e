#include "dialogs/fprompttextentry.h"
#include "ui_fprompttextentry.h"

TfrmPromptForTextEntry::TfrmPromptForTextEntry(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmPromptForTextEntry>())
{
    ui->setupUi(this);
    // A title bar without buttons: the dialog closes through its own buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

TfrmPromptForTextEntry::~TfrmPromptForTextEntry() = default;

QString TfrmPromptForTextEntry::PromptText() const
{
    return ui->txtPrompt->text();
}

QString TfrmPromptForTextEntry::DefaultValue() const
{
    return ui->txtDefaultValue->text();
}
