#pragma once

#include <QApplication>

class Interaction;

// The last-resort guard: an exception that escapes an event handler is shown in the
// standard error box of the boxes given, instead of crossing the event loop; before any
// are given it is written to the log.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    void setErrorBoxes(Interaction* boxes) { m_boxes = boxes; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Interaction* m_boxes = nullptr;
};
