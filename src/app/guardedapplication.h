#pragma once

#include <QApplication>

// The last-resort guard: an exception that escapes an event handler is shown in the
// standard error box instead of crossing the event loop.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
