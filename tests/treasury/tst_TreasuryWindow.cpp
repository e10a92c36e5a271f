// What every money window shares: Escape and "Cancelar" close it, and the
// movement is dated at "Aceptar" until the user picks a date.
#include "support/TreasuryTest.h"
#include "treasury/frmCobroCuota.h"
#include "treasury/frmMovimiento.h"
#include "treasury/frmOtroIngreso.h"
#include "treasury/frmPagos.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

struct Window
{
    const char *name;
    QWidget *(*open)();
    // What "Aceptar" on the empty window says, answered so that nothing is written.
    const char *firstPrompt;
    MsgIcon icon;
    MsgButtons buttons;
};

const Window kWindows[] = {
    {"cuota", [] { return static_cast<QWidget *>(frmCobroCuota::shared()); }, "Debe seleccionar un socio",
     MsgIcon::Exclamation, MsgButtons::OK},
    {"ingreso", [] { return static_cast<QWidget *>(frmOtroIngreso::shared()); }, "Debe imputar a una cuenta",
     MsgIcon::Exclamation, MsgButtons::OK},
    {"pago", [] { return static_cast<QWidget *>(frmPagos::shared()); }, "Debe imputar a una cuenta",
     MsgIcon::Exclamation, MsgButtons::OK},
    {"transferencia", [] { return static_cast<QWidget *>(frmMovimiento::open("CAJAABANCO")); },
     "Va a realizar un deposito en BANCO , por $ Esta seguro?", MsgIcon::Question, MsgButtons::YesNo},
};

} // namespace

class tst_TreasuryWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> t;

    QWidget *open()
    {
        QFETCH(int, window);
        QWidget *w = kWindows[window].open();
        w->show();
        return w;
    }
    void clickAceptar(QWidget *w)
    {
        QFETCH(int, window);
        const Window &k = kWindows[window];
        t->prompts->expectMessage(k.firstPrompt, k.icon, k.buttons,
                                  k.buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::OK,
                                  k.buttons == MsgButtons::YesNo ? 1 : 0);
        w->findChild<QPushButton *>("cmdOk")->click();
    }
    static void eachWindow()
    {
        QTest::addColumn<int>("window");
        for (int i = 0; i < int(std::size(kWindows)); ++i)
            QTest::newRow(kWindows[i].name) << i;
    }

private slots:
    void init()
    {
        t = std::make_unique<TestEnv>();
        t->openNewDb(AddAccounts);
    }
    void cleanup() { t.reset(); }

    void escapeAndCancelClose_data() { eachWindow(); }
    void escapeAndCancelClose()
    {
        QPointer<QWidget> w = open();
        QTest::keyClick(w, Qt::Key_Escape);
        QTRY_VERIFY(!w);
        w = open();
        w->findChild<QPushButton *>("Cancel")->click();
        QTRY_VERIFY(!w);
    }

    void theDateIsTakenAtAceptar_data() { eachWindow(); }
    void theDateIsTakenAtAceptar()
    {
        QWidget *w = open();
        auto *picker = w->findChild<QDateTimeEdit *>();
        QCOMPARE(picker->dateTime(), t->clock->now());
        // Left open overnight.
        t->clock->set(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 4)));
        clickAceptar(w);
        QCOMPARE(picker->dateTime(), t->clock->now());
        // Passing through the picker without changing it chooses nothing.
        QApplication::setActiveWindow(w);
        picker->setFocus();
        w->findChild<QPushButton *>("cmdOk")->setFocus();
        t->clock->advance(60 * 1000);
        clickAceptar(w);
        QCOMPARE(picker->dateTime(), t->clock->now());
        // A date the user picks stays, whatever the clock says.
        const QDateTime chosen(QDate(2026, 12, 31), QTime(18, 30));
        picker->setDateTime(chosen);
        t->clock->advance(3600 * 1000);
        clickAceptar(w);
        QCOMPARE(picker->dateTime(), chosen);
    }
};

QTEST_MAIN(tst_TreasuryWindow)
#include "tst_TreasuryWindow.moc"
