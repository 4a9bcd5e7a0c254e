#pragma once

#include "util/interaction.h"

// Boxes, prompts, file pickers, the busy cursor and the shell, shown with Qt Widgets.
class QtInteraction : public Interaction {
public:
    void showMessage(const QString& text) override;
    void showWarning(const QString& text) override;
    void showError(const QString& text) override;
    bool confirmYesNo(const QString& text) override;
    bool confirmYesNoDefaultNo(const QString& text) override;
    std::optional<QString> inputText(const QString& caption, const QString& prompt, const QString& value,
                                     int maxLength) override;
    std::optional<QString> openFileName(const QString& folder, const QString& filter) override;
    std::optional<QString> saveFileName(const QString& folder, const QString& filter) override;
    int choose(const QString& text, const QStringList& choices) override;
    void setBusyCursor(bool busy) override;
    int runFile(const QString& file, const QString& parameters, int showCommand, const QString& folder) override;
};

// "Text files|*.txt;*.log|All files|*.*" -> "Text files (*.txt *.log);;All files (*.*)"
QString QtFileFilter(const QString& filter);
