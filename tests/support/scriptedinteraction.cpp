#include "scriptedinteraction.h"

#include "util/errors.h"

using namespace Qt::StringLiterals;

void ScriptedInteraction::showMessage(const QString& text)
{
    record(u"message"_s, ApplicationTitle(), text);
}

void ScriptedInteraction::showWarning(const QString& text)
{
    record(u"warning"_s, u"Warning"_s, text);
}

void ScriptedInteraction::showError(const QString& text)
{
    record(u"error"_s, ApplicationTitle(), text);
}

void ScriptedInteraction::record(const QString& kind, const QString& caption, const QString& text,
                                 const QString& defaultButton)
{
    shown.append({kind, caption, text, defaultButton});
    if (whileShown)
        whileShown(shown.back());
}

bool ScriptedInteraction::confirmYesNo(const QString& text)
{
    return confirm(text, u"Yes"_s);
}

bool ScriptedInteraction::confirmYesNoDefaultNo(const QString& text)
{
    return confirm(text, u"No"_s);
}

bool ScriptedInteraction::confirm(const QString& text, const QString& defaultButton)
{
    record(u"confirm"_s, u"Confirm"_s, text, defaultButton);
    if (confirmAnswers.empty())
        qFatal("Unexpected confirmation: %s", qUtf8Printable(text));
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedInteraction::inputText(const QString& caption, const QString& prompt,
                                                      const QString& value, int maxLength)
{
    record(u"input"_s, caption, prompt);
    if (inputAnswers.empty())
        qFatal("Unexpected input box: %s", qUtf8Printable(prompt));
    std::optional<QString> answer = inputAnswers.front();
    inputAnswers.pop_front();
    if (answer && answer->isNull())
        answer = value; // a null answer accepts the default as shown
    if (answer && answer->size() > maxLength)
        answer->truncate(maxLength);
    return answer;
}

std::optional<QString> ScriptedInteraction::openFileName(const QString& folder, const QString& filter)
{
    record(u"open"_s, folder, filter);
    if (fileAnswers.empty())
        qFatal("Unexpected file dialog");
    std::optional<QString> answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedInteraction::saveFileName(const QString& folder, const QString& filter)
{
    record(u"save"_s, folder, filter);
    if (saveAnswers.empty())
        qFatal("Unexpected save dialog");
    std::optional<QString> answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

int ScriptedInteraction::choose(const QString& text, const QStringList& choices)
{
    record(u"choose"_s, choices.join(u'|'), text);
    if (choiceAnswers.empty())
        qFatal("Unexpected choice: %s", qUtf8Printable(text));
    const int answer = choiceAnswers.front();
    choiceAnswers.pop_front();
    return answer;
}

void ScriptedInteraction::setBusyCursor(bool isBusy)
{
    busy = isBusy;
    ++busyChanges;
}

int ScriptedInteraction::runFile(const QString& file, const QString&, int, const QString&)
{
    record(u"run"_s, {}, file);
    if (runFileResult < 0)
        throw Error(u"cannot run"_s);
    return runFileResult;
}

QStringList ScriptedInteraction::texts(const QString& kind) const
{
    QStringList result;
    for (const Shown& s : shown) {
        if (s.kind == kind)
            result.append(s.text);
    }
    return result;
}

void ScriptedInteraction::clear()
{
    shown.clear();
}
