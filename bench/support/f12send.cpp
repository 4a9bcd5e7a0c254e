#include "f12send.h"

#include "desktoptools.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>

#include "windowtitle.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace Qt::StringLiterals;

bool Poll(const std::function<bool()>& condition, int timeoutMs, unsigned sleepUs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        QThread::usleep(sleepUs);
    }
    return true;
}

F12Send::F12Send(Display* display, const QString& mainWindow, const QString& editorWindow)
    : m_display(display)
    , m_mainWindow(mainWindow)
    , m_editorWindow(editorWindow)
    , m_editorId(editorWindow.toULong())
    , m_f12(XKeysymToKeycode(display, XK_F12))
{ }

double F12Send::send(const std::function<void()>& prepare)
{
    ActivateWindow(m_editorWindow);
    Xdotool({u"key"_s, u"--clearmodifiers"_s, u"ctrl+a"_s, u"Delete"_s, u"ctrl+s"_s});
    QByteArray saved;
    Poll(
        [&] {
            saved = WindowTitle(m_display, m_editorId);
            return !saved.startsWith('*');
        },
        5000, 2000);
    if (prepare)
        prepare();
    ActivateWindow(m_mainWindow);
    QThread::msleep(50);

    QElapsedTimer clock;
    XTestFakeKeyEvent(m_display, m_f12, True, 0);
    XTestFakeKeyEvent(m_display, m_f12, False, 0);
    XFlush(m_display);
    clock.start();
    Poll([&] { return WindowTitle(m_display, m_editorId) != saved; }, 5000);
    return double(clock.nsecsElapsed()) / 1e6;
}
