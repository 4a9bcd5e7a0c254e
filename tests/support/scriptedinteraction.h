#pragma once

#include "util/interaction.h"

#include <QList>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

// Records every box and prompt and answers them from queues. An unexpected question
// (nothing queued) fails loudly instead of guessing.
class ScriptedInteraction : public Interaction {
public:
    struct Shown {
        QString kind; // "message", "warning", "error", "confirm", "input", "open", "save", "choose", "run"
        QString caption; // input boxes only
        QString text;
        // Confirmations only: the button pressed by Enter, "Yes" or "No".
        QString defaultButton;
    };

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

    std::deque<bool> confirmAnswers;
    std::deque<std::optional<QString>> inputAnswers; // nullopt cancels
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<int> choiceAnswers;
    int runFileResult = 42;
    bool busy = false;
    int busyChanges = 0;

    // Runs when a box or prompt opens, before it is answered, as the user would act while
    // it is open (another window takes the focus, for one).
    std::function<void(const Shown&)> whileShown;

    QList<Shown> shown;
    // The texts of the boxes of one kind, in order.
    QStringList texts(const QString& kind) const;
    void clear();

private:
    void record(const QString& kind, const QString& caption, const QString& text, const QString& defaultButton = {});
    bool confirm(const QString& text, const QString& defaultButton);
};
