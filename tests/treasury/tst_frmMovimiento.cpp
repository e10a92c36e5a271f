// The cash/bank transfer window: the direction from the menu, the question,
// the two linked rows, and what a failure leaves.
#include "app/MDIForm1.h"
#include "data/ValueRules.h"
#include "support/TreasuryTest.h"
#include "treasury/frmMovimiento.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class tst_frmMovimiento : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> t;

    static void type(const QString &detalle, const QString &importe)
    {
        frmMovimiento *w = frmMovimiento::existing();
        w->findChild<QPlainTextEdit *>("txtDetalle")->setPlainText(detalle);
        w->findChild<QLineEdit *>("txtImporte")->setText(importe);
    }
    static void accept() { frmMovimiento::existing()->findChild<QPushButton *>("cmdOk")->click(); }
    void expectConfirmation(bool deposito, const QString &importe, MsgResult answer = MsgResult::Yes)
    {
        t->prompts->expectMessage((deposito ? QStringLiteral("Va a realizar un deposito en BANCO ")
                                            : QStringLiteral("Va a realizar una extraccion de banco a caja chica "))
                                      + ", por $" + importe + " Esta seguro?",
                                  MsgIcon::Question, MsgButtons::YesNo, answer, 1);
    }

private slots:
    void init()
    {
        t = std::make_unique<TestEnv>();
        t->openNewDb([](const QSqlDatabase &db) { AddMovimiento(db, "I", "E", 1000); });
    }
    void cleanup() { t.reset(); }

    void theMenuSetsTheDirectionInPlace()
    {
        MDIForm1::instance()->menuItem("mnoCajaABanco")->trigger();
        frmMovimiento *w = frmMovimiento::existing();
        QCOMPARE(w->Sentido, QStringLiteral("CAJAABANCO"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Deposito de dinero en BANCO"));
        type("Depósito semanal", "500");
        MDIForm1::instance()->menuItem("mnuBcoCaja")->trigger();
        QCOMPARE(frmMovimiento::existing(), w);
        QCOMPARE(w->Sentido, QStringLiteral("BANCOACAJA"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Extraccion de dinero de banco a CAJA"));
        QCOMPARE(w->findChild<QLineEdit *>("txtImporte")->text(), QStringLiteral("500"));
        expectConfirmation(false, "500", MsgResult::No);
        accept();
        QVERIFY(w->isVisible());
        QCOMPARE(LedgerRows().size(), 1);
    }

    void aDepositThenAWithdrawal()
    {
        MDIForm1::instance()->menuItem("mnoCajaABanco")->trigger();
        type("Depósito", "1500,5");
        t->prompts->expectMessage("El importe ingresado no es valido", MsgIcon::Exclamation, MsgButtons::OK);
        accept();
        type("Depósito", "500");
        expectConfirmation(true, "500");
        t->prompts->expectMessage("Movimiento generado con exito!", MsgIcon::Information, MsgButtons::OK);
        QPointer<frmMovimiento> first = frmMovimiento::existing();
        accept();
        QTRY_VERIFY(!first); // closed: the next opening starts fresh
        QCOMPARE(MDIForm1::existing()->panelText(1), QStringLiteral("Saldo Caja: 500"));
        QCOMPARE(MDIForm1::existing()->panelText(2), QStringLiteral("Saldo Banco: 500"));

        // A withdrawal larger than the bank holds is taken: the balance shows it.
        t->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        MDIForm1::instance()->menuItem("mnuBcoCaja")->trigger();
        QVERIFY(frmMovimiento::existing()->findChild<QLineEdit *>("txtImporte")->text().isEmpty());
        type("A caja", "700.25");
        expectConfirmation(false, "700.25");
        t->prompts->expectMessage("Movimiento generado con exito!", MsgIcon::Information, MsgButtons::OK);
        accept();
        QCOMPARE(MDIForm1::existing()->panelText(2), QStringLiteral("Saldo Banco: -200.25"));
        QCOMPARE(LedgerRows().mid(1), (QStringList{
                                          "2|2026-12-06 10:00:00|-|-|-|E|500|E|Depósito|-|-|3",
                                          "3|2026-12-06 10:00:00|-|-|-|I|500|C|Depósito|-|-|2",
                                          "4|2026-12-06 10:00:00|-|-|-|E|700.25|C|A caja|-|ACAJA|5",
                                          "5|2026-12-06 10:00:00|-|-|-|I|700.25|E|A caja|-|-|4"}));
    }

    void aFailureLeavesNothing()
    {
        MDIForm1::instance()->menuItem("mnoCajaABanco")->trigger();
        Exec("CREATE TRIGGER no_income BEFORE INSERT ON Movimiento WHEN NEW.Tipo = 'I'"
             " BEGIN SELECT RAISE(ABORT, 'disco lleno'); END");
        type("Depósito", "100");
        expectConfirmation(true, "100");
        t->prompts->expectMessage(ErrorText(RuntimeError::fromSqlite(1811, "disco lleno")), MsgIcon::Critical,
                                  MsgButtons::OK);
        accept();
        QVERIFY(frmMovimiento::existing()->isVisible());
        QCOMPARE(LedgerRows().size(), 1);
        QCOMPARE(frmMovimiento::existing()->findChild<QLineEdit *>("txtImporte")->text(), QStringLiteral("100"));
    }
};

QTEST_MAIN(tst_frmMovimiento)
#include "tst_frmMovimiento.moc"
