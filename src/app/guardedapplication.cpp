#include "app/guardedapplication.h"

#include "util/errors.h"

GuardedApplication::GuardedApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{ }

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportException(std::current_exception());
        return false;
    }
}
