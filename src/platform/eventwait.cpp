#include "platform/eventwait.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

bool WaitInEventLoop(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    bool result = false;
    QEventLoop loop;
    const auto check = [&] {
        result = done();
        if (result || clock.elapsed() >= timeoutMs)
            loop.quit();
    };
    const QMetaObject::Connection handled
        = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, check);
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    QObject::disconnect(handled);
    return result;
}
