#include "dialogs/finputtext.h"
#include "ui_finputtext.h"

TfrmInputText::TfrmInputText(const QString& caption, const QString& prompt, const QString& value, int maxLength,
                             QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmInputText>())
{
    ui->setupUi(this);
    setWindowTitle(caption);
    ui->lblPrompt->setText(prompt);
    ui->edtValue->setMaxLength(maxLength);
    ui->edtValue->setText(value);
    ui->edtValue->selectAll();
}

TfrmInputText::~TfrmInputText() = default;

QString TfrmInputText::Value() const
{
    return ui->edtValue->text();
}
