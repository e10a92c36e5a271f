#include "data/Environment.h"
#include "data/QtPrompts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
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

void InstallSystemEnvironment()
{
    Environment &e = env();
    e.clock = std::make_shared<SystemClock>();
    e.prompts = std::make_shared<QtPrompts>();
    e.screenSize = [] {
        QScreen *s = QGuiApplication::primaryScreen();
        return s ? s->size() : QSize(1024, 768);
    };
    // Every text of the program is Spanish: a system without a language of its
    // own (the C locale) shows numbers and dates the Argentine way.
    e.locale = QLocale::system();
    if (e.locale.language() == QLocale::C)
        e.locale = QLocale(QLocale::Spanish, QLocale::Argentina);
    QLocale::setDefault(e.locale);
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    e.appDir = exe.absolutePath();
    e.exeBaseName = exe.completeBaseName();
}
