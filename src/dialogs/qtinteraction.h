#pragma once

#include "util/interaction.h"

class FileOpener;

// Boxes, prompts, file pickers and the busy cursor, shown with Qt Widgets; files are opened
// through the desktop's opener.
class QtInteraction : public Interaction {
public:
    // Where runFile opens files; without one it raises Error. The opener must outlive its use.
    void setFileOpener(FileOpener* files) { m_files = files; }

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

private:
    FileOpener* m_files = nullptr;
};

// "Text files|*.txt;*.log|All files|*.*" -> "Text files (*.txt *.log);;All files (*.*)"
QString QtFileFilter(const QString& filter);
