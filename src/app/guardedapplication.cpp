#include "app/guardedapplication.h"

#include "util/errors.h"
#include "util/interaction.h"

GuardedApplication::GuardedApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{ }

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (m_boxes)
            ReportException(*m_boxes, std::current_exception());
        else
            qWarning("An error escaped an event handler");
        return false;
    }
}
