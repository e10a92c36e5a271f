#include "data/Environment.h"

#include <QThread>

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
