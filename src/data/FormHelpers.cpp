#include "data/FormHelpers.h"
#include "data/Environment.h"
#include "data/Prompts.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QWidget>

void CenterForm(QWidget *window)
{
    if (!window)
        return;
    const QSize screen = env().screenSize ? env().screenSize() : QSize(1024, 768);
    const QSize size = window->frameGeometry().size();
    window->move((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2);
}

bool UnloadAllForms(const QStringList &exceptions)
{
    bool allClosed = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->parentWidget() || qobject_cast<QMenu *>(w))
            continue;
        if (exceptions.contains(w->objectName()))
            continue;
        windows << w;
    }
    for (const QPointer<QWidget> &w : windows) {
        if (!w)
            continue;
        if (!w->close()) {
            allClosed = false;
            continue;
        }
        if (w)
            w->deleteLater();
    }
    QApplication::restoreOverrideCursor();
    return allClosed;
}


