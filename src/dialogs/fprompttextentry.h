#pragma once

#include "ui_fprompttextentry.h"

#include <QDialog>

// Asks for the prompt and default value of a free-text field. Modal, created per use;
// closing it any way other than OK counts as Cancel.
class TfrmPromptForTextEntry : public QDialog, public Ui::TfrmPromptForTextEntry {
    Q_OBJECT
public:
    explicit TfrmPromptForTextEntry(QWidget* parent = nullptr);
};
