// Linked into the tests of windows: at the end of each test every top-level
// window still open is deleted, so none leaks into the next test.
#include "support/TestEnv.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace {
const bool g_installed = [] {
    TestEnv::setTeardown([] {
        QList<QPointer<QWidget>> windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (!w->parentWidget())
                windows << w;
        for (const QPointer<QWidget> &w : windows)
            delete w.data();
    });
    return true;
}();
} // namespace
