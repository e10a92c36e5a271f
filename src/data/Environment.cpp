#include "data/Environment.h"

#include <QElapsedTimer>
#include <QThread>

qint64 Clock::elapsedMs() const
{
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

void SystemClock::idle()
{
    QThread::msleep(10);
}

Environment &env()
{
    static Environment e;
    return e;
}
