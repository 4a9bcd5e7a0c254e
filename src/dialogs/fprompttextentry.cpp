#include "dialogs/fprompttextentry.h"
#include "ui_fprompttextentry.h"

#include <QEvent>
#include <QLayout>

TfrmPromptForTextEntry::TfrmPromptForTextEntry(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmPromptForTextEntry>())
{
    ui->setupUi(this);
    // A title bar without buttons: the dialog closes through its own buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    // The wrapped texts need more height the narrower they are; at the design width and the
    // height they need there nothing overlaps. A fixed size also leaves nothing to maximise.
    const int designWidth = width();
    layout()->activate();
    setFixedSize(designWidth, qMax(height(), layout()->totalHeightForWidth(designWidth)));
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

void TfrmPromptForTextEntry::changeEvent(QEvent* event)
{
    // Some window managers offer to minimise any window, and take the windows it belongs to
    // along; the dialog waits for an answer, so it comes straight back, and they with it.
    if (event->type() == QEvent::WindowStateChange && isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    QDialog::changeEvent(event);
}
