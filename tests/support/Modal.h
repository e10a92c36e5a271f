#pragma once
// Answers a modal window of ours from the test: `steps` run on it once it
// shows (failing the test if it does not), then it is closed if a failed step
// left it open, so no test can wait forever on it.
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

template <typename W>
void WhenShown(std::function<W *()> window, std::function<void(W &)> steps)
{
    QTimer::singleShot(0, [window, steps] {
        if (W *w = window(); w && w->isVisible())
            steps(*w);
        else
            QTest::qFail("la ventana no se abrió", __FILE__, __LINE__);
        if (W *left = window(); left && left->isVisible())
            left->close();
    });
}
