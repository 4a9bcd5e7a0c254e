#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmInputText;
}

// Asks for one line of text: a caption, a prompt above the line and OK / Cancel. The line
// starts with the given value, all of it selected, and takes at most maxLength characters.
class TfrmInputText : public QDialog {
    Q_OBJECT
public:
    TfrmInputText(const QString& caption, const QString& prompt, const QString& value, int maxLength,
                  QWidget* parent = nullptr);
    ~TfrmInputText() override;

    // The line as it is now.
    QString Value() const;

private:
    const std::unique_ptr<Ui::TfrmInputText> ui;
};
