// The other-income window: the refusals before the question, the movement
// written (no member, no fee, cash) and the receipt to a name typed then.
#include "app/MDIForm1.h"
#include "data/DataCombo.h"
#include "data/Ledger.h"
#include "data/ValueRules.h"
#include "support/TreasuryTest.h"
#include "treasury/frmOtroIngreso.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class tst_frmOtroIngreso : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> t;
    frmOtroIngreso *w = nullptr;

    template <class T = QWidget>
    T *child(const char *name) { return w->findChild<T *>(QString::fromLatin1(name)); }
    void fill(const QString &cuenta, const QString &importe, const QString &detalle)
    {
        auto *combo = child<DataCombo>("datcboCuenta");
        combo->setCurrentIndex(combo->findText(cuenta));
        child<QLineEdit>("txtImporte")->setText(importe);
        child<QLineEdit>("txtDetalle")->setText(detalle);
    }
    void expectConfirmation(const QString &cuenta, const QString &importe, MsgResult answer = MsgResult::Yes)
    {
        ExpectMovementQuestion(*t, "ingreso", cuenta, importe, answer);
    }
    void accept() { child<QPushButton>("cmdOk")->click(); }

private slots:
    void init()
    {
        t = std::make_unique<TestEnv>();
        t->openNewDb(AddAccounts);
        t->writeIni("[Location]\nNombre=Cooperadora Escuela 12\n");
        MDIForm1::instance()->menuItem("mnuIngreso")->trigger();
        w = frmOtroIngreso::shared();
    }
    void cleanup() { t.reset(); }

    void refusesBeforeAsking()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("Otros ingresos"));
        QCOMPARE(child<DataCombo>("datcboCuenta")->itemText(0), QStringLiteral("Donaciones")); // income only, by name
        QCOMPARE(child<DataCombo>("datcboCuenta")->count(), 3);
        t->prompts->expectMessage("Debe imputar a una cuenta", MsgIcon::Exclamation, MsgButtons::OK);
        accept();
        fill("Kermesse", "250,50", "Rifa");
        t->prompts->expectMessage("El importe ingresado no es valido", MsgIcon::Exclamation, MsgButtons::OK);
        accept();
        fill("Kermesse", "250.50", "Rifa");
        expectConfirmation("Kermesse", "250.50", MsgResult::No);
        accept();
        QVERIFY(LedgerRows().isEmpty());
        QCOMPARE(child<QLineEdit>("txtDetalle")->text(), QStringLiteral("Rifa"));
    }

    void recordsAndPrintsTheReceipt_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("saldo");
        QTest::newRow("comma") << QLocale(QLocale::Spanish, QLocale::Argentina) << "Saldo Caja: 250,5";
        QTest::newRow("point") << QLocale(QLocale::English, QLocale::UnitedStates) << "Saldo Caja: 250.5";
    }
    void recordsAndPrintsTheReceipt()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, saldo);
        t->setLocale(locale);
        fill("Kermesse", "250.50", "Rifa del día del niño");
        expectConfirmation("Kermesse", "250.50");
        t->prompts->expectMessage("Desea imprimir el recibo?", MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes);
        t->prompts->expectInput("A nombre de quien sale el recibo?", AppTitle(), "Cooperador", "Cooperador");
        QStringList printed;
        ExpectPrintout(*t, t->path("recibo.pdf"), &printed);
        t->prompts->expectMessage("Ingreso registrado con exito!", MsgIcon::Information, MsgButtons::OK);
        accept();
        QCOMPARE(LedgerRows(), QStringList{"1|2026-12-06 10:00:00|-|-|11|I|250.5|E|Rifa del día del niño|-|-|-"});
        // No history on an other-income receipt, and one signature.
        QCOMPARE(printed, (QStringList{"Cooperadora Escuela 12",
                                       "Recibimos de Cooperador la suma de $ 250.50, en concepto de Rifa del día del niño",
                                       "Agradecemos su colaboracion.", "Tesorero"}));
        QCOMPARE(MDIForm1::existing()->panelText(1), saldo);
        // Never a member's fee payment.
        QCOMPARE(Ledger::instance().paymentHistory(0).size(), 0);
        QVERIFY(child<QLineEdit>("txtImporte")->text().isEmpty());
        QVERIFY(child<QLineEdit>("txtDetalle")->text().isEmpty());
        QCOMPARE(child<DataCombo>("datcboCuenta")->currentIndex(), -1);
    }

    void noReceiptAndReadOnlyFile()
    {
        fill("Donaciones", "", "Anónimo");
        expectConfirmation("Donaciones", "");
        t->prompts->expectMessage("Desea imprimir el recibo?", MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
        t->prompts->expectMessage("Ingreso registrado con exito!", MsgIcon::Information, MsgButtons::OK);
        accept();
        QCOMPARE(LedgerRows(), QStringList{"1|2026-12-06 10:00:00|-|-|12|I|0|E|Anónimo|-|-|-"});

        Exec("PRAGMA query_only = ON");
        fill("Donaciones", "5", "x");
        expectConfirmation("Donaciones", "5");
        t->prompts->expectMessage(ErrorText(RuntimeError::fromSqlite(DbReadOnly, "attempt to write a readonly database")),
                                  MsgIcon::Critical, MsgButtons::OK);
        accept();
        QCOMPARE(LedgerRows().size(), 1);
        QCOMPARE(child<QLineEdit>("txtImporte")->text(), QStringLiteral("5"));
    }
};

QTEST_MAIN(tst_frmOtroIngreso)
#include "tst_frmOtroIngreso.moc"
