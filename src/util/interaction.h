#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Every box, question, prompt, file picker and cursor change that the user sees goes
// through this one interface, so that tests can answer them and read their texts.
class Interaction {
public:
    virtual ~Interaction();

    // Plain box captioned with the application title.
    virtual void showMessage(const QString& text) = 0;
    // Warning box captioned "Warning" with the single button OK.
    virtual void showWarning(const QString& text) = 0;
    // The standard error box, captioned with the application title.
    virtual void showError(const QString& text) = 0;
    // Box captioned "Confirm" with Yes and No; true only for Yes.
    virtual bool confirmYesNo(const QString& text) = 0;
    // The same box with No as its default button, for a question whose Yes loses work.
    virtual bool confirmYesNoDefaultNo(const QString& text) = 0;
    // Single-line input box; no value when cancelled or closed.
    virtual std::optional<QString> inputText(const QString& caption, const QString& prompt, const QString& value,
                                             int maxLength)
        = 0;
    // File-open dialog; filter in the form "Name|*.a;*.b|Name|*.*". No value when cancelled.
    virtual std::optional<QString> openFileName(const QString& folder, const QString& filter) = 0;
    // File-save dialog with the same filter form; a name typed without an extension gets
    // that of the chosen filter. No value when cancelled.
    virtual std::optional<QString> saveFileName(const QString& folder, const QString& filter) = 0;
    // Box captioned with the application title with one button per choice, in order; the
    // index of the button pressed. Esc and closing the box press the last button.
    virtual int choose(const QString& text, const QStringList& choices) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    // Opens a file with the desktop's default program; the shell's result (> 32 is success).
    virtual int runFile(const QString& file, const QString& parameters, int showCommand, const QString& folder) = 0;
};

// The application title, caption of plain boxes and the main window.
QString ApplicationTitle();
