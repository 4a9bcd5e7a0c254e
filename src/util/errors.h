#pragma once

#include <QByteArray>
#include <QString>

#include <exception>
#include <functional>

// A failure whose text the standard error box shows.
class Error : public std::exception {
public:
    explicit Error(QString text);
    const QString& text() const noexcept { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

// Ends the current command silently (a cancelled prompt inside a longer command).
class Abort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

class Interaction;

// Runs one command, event handler or slot. No exception leaves it: an Abort ends the
// command silently, any other error is shown in the standard error box of boxes. Returns
// true when the action ran to its end.
bool Guarded(Interaction& boxes, const std::function<void()>& action) noexcept;

// Shows the standard error box for an exception caught by a last-resort handler.
void ReportException(Interaction& boxes, std::exception_ptr error) noexcept;
