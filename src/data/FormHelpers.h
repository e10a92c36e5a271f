#pragma once
// Small helpers the windows share.
#include <QString>
#include <QStringList>
#include "data/WaitCursor.h"

class QWidget;

// Gives the widget its objectName (the name tests and the code find it by).
template <class W>
W *Named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Centres the window on the whole screen (not on the main window).
void CenterForm(QWidget *window);
// Closes every open window of the program except those whose objectName is in
// `exceptions`. False when a window refused to close (its user chose to keep
// unsaved work); the others are closed all the same.
bool UnloadAllForms(const QStringList &exceptions = {});

