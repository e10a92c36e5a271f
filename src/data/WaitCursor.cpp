#include "data/WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

// Without a graphical application (the command line) there is no pointer to change.
WaitCursor::WaitCursor()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
}

void ResetMousePointer()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}
