#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmPromptForTextEntry;
}

// Asks for the prompt and default value of a free-text field. Modal, created per use;
// closing it any way other than OK counts as Cancel.
class TfrmPromptForTextEntry : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPromptForTextEntry(QWidget* parent = nullptr);
    ~TfrmPromptForTextEntry() override;

    // The texts typed, as they are now.
    QString PromptText() const;
    QString DefaultValue() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    const std::unique_ptr<Ui::TfrmPromptForTextEntry> ui;
};
