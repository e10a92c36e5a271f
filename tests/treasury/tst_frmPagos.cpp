// The payments window: the refusals before the question, the balance guards in
// whole cents (before the question and again when writing), the movement
// written, the payment order and what stays after.
#include "app/MDIForm1.h"
#include "data/DataCombo.h"
#include "data/Ledger.h"
#include "data/ValueRules.h"
#include "support/TreasuryTest.h"
#include "treasury/frmPagos.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

class tst_frmPagos : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> t;
    frmPagos *w = nullptr;
    QString dbPath;

    template <class T = QWidget>
    T *child(const char *name) { return w->findChild<T *>(QString::fromLatin1(name)); }
    void fill(const QString &cuenta, const QString &importe, bool cheque, const QString &numero = {},
              const QString &detalle = {})
    {
        auto *combo = child<DataCombo>("datcboCuenta");
        combo->setCurrentIndex(combo->findText(cuenta));
        child<QLineEdit>("txtImporte")->setText(importe);
        child<QRadioButton>(cheque ? "optCheque" : "optEfectivo")->click();
        if (!numero.isEmpty())
            child<QLineEdit>("txtCheque")->setText(numero);
        child<QPlainTextEdit>("txtDetalle")->setPlainText(detalle);
    }
    void expectConfirmation(const QString &cuenta, const QString &importe, MsgResult answer = MsgResult::Yes)
    {
        ExpectMovementQuestion(*t, "egreso", cuenta, importe, answer);
    }
    void accept() { child<QPushButton>("cmdOk")->click(); }

private slots:
    void init()
    {
        t = std::make_unique<TestEnv>();
        dbPath = t->openNewDb([](const QSqlDatabase &db) {
            AddAccounts(db);
            for (int i = 0; i < 1000; ++i) // a bank balance of 100 built from 0.1 steps
                AddMovimiento(db, "I", "C", 0.1);
            AddMovimiento(db, "I", "E", 50);
        });
        t->writeIni("[Location]\nNombre=Cooperadora Escuela 12\n");
        MDIForm1::instance()->menuItem("mnuPago")->trigger();
        w = frmPagos::shared();
    }
    void cleanup() { t.reset(); }

    void opensWithChequeAndNoAccount()
    {
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Ingreso de pagos (salida de dinero)"));
        QVERIFY(child<QRadioButton>("optCheque")->isChecked());
        auto *combo = child<DataCombo>("datcboCuenta");
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(combo->itemText(0), QStringLiteral("Egresos")); // by parent account, then name
        QCOMPARE(combo->count(), 3);
        MDIForm1::instance()->menuItem("mnuPago")->trigger();
        QCOMPARE(frmPagos::shared(), w); // the one window, brought up again
    }

    void refusesBeforeAsking()
    {
        t->prompts->expectMessage("Debe imputar a una cuenta", MsgIcon::Exclamation, MsgButtons::OK);
        accept();
        QCOMPARE(w->focusWidget(), child("datcboCuenta"));
        // Amounts the reading cannot take whole would pay less than the question and the order say.
        for (const char *importe : {"1500,50", "-50", "12abc", "1.500"}) {
            fill("Servicios", importe, true);
            t->prompts->expectMessage("El importe ingresado no es valido", MsgIcon::Exclamation, MsgButtons::OK);
            accept();
        }
        // The guards: equal to the balance passes, a cent more does not.
        fill("Servicios", "100.01", true);
        t->prompts->expectMessage("No tiene saldo suficiente en Banco para el pago a realizar!", MsgIcon::Exclamation,
                                  MsgButtons::OK);
        accept();
        fill("Servicios", "50.01", false);
        t->prompts->expectMessage("No tiene saldo suficiente en CAJA para el pago a realizar!", MsgIcon::Exclamation,
                                  MsgButtons::OK);
        accept();
        fill("Servicios", "100", true);
        expectConfirmation("Servicios", "100", MsgResult::No);
        accept();
        QCOMPARE(LedgerRows().size(), 1001);
        QCOMPARE(child<QLineEdit>("txtImporte")->text(), QStringLiteral("100")); // nothing cleared
    }

    void paysByChequeAndPrintsTheOrder()
    {
        fill("Servicios", "100", true, "000123", "Luz de marzo");
        expectConfirmation("Servicios", "100");
        t->prompts->expectMessage("Desea imprimir una orden de pago?", MsgIcon::Question, MsgButtons::YesNo,
                                  MsgResult::Yes, 0);
        t->prompts->expectInput("A nombre de quien se emitira el pago?", AppTitle(), "Cooperador", "Edesur");
        QStringList printed;
        ExpectPrintout(*t, t->path("orden.pdf"), &printed);
        t->prompts->expectMessage("Pago generado con exito!", MsgIcon::Information, MsgButtons::OK);
        accept();
        QCOMPARE(LedgerRows().last(), QStringLiteral("1002|2026-12-06 10:00:00|-|-|20|E|100|C|Luz de marzo|-|000123|-"));
        // Both signatures; the history label keeps its design text.
        printed.last() = printed.last().simplified();
        QCOMPARE(printed, (QStringList{"Cooperadora Escuela 12",
                                       "Ordeno pagar a Edesur la suma de $ 100, en concepto de Luz de marzo",
                                       "El pago se realizara con cheque numero 000123", "Cooperadora",
                                       "Presidente o Secretario Tesorero"}));
        QVERIFY(QFileInfo(t->path("orden.pdf")).size() > 0);
        QCOMPARE(MDIForm1::existing()->panelText(2), QStringLiteral("Saldo Banco: 0"));
        // Amount, detail and account go; the medium, the cheque number and the date stay.
        QVERIFY(child<QLineEdit>("txtImporte")->text().isEmpty());
        QVERIFY(child<QPlainTextEdit>("txtDetalle")->toPlainText().isEmpty());
        QCOMPARE(child<DataCombo>("datcboCuenta")->currentIndex(), -1);
        QVERIFY(child<QRadioButton>("optCheque")->isChecked());
        QCOMPARE(child<QLineEdit>("txtCheque")->text(), QStringLiteral("000123"));
        t->prompts->expectMessage("Debe imputar a una cuenta", MsgIcon::Exclamation, MsgButtons::OK);
        accept();
    }

    void cashOrderAndAFailedPrintKeepTheMovement()
    {
        t->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        child<QLineEdit>("txtCheque")->setText("999");
        fill("Compras", "12.5", false, {}, "Tiza");
        QVERIFY(child<QLineEdit>("txtCheque")->text().isEmpty()); // "Efectivo" empties it
        expectConfirmation("Compras", "12.5");
        t->prompts->expectMessage("Desea imprimir una orden de pago?", MsgIcon::Question, MsgButtons::YesNo,
                                  MsgResult::Yes, 0);
        t->prompts->expectInput("A nombre de quien se emitira el pago?", AppTitle(), "Cooperador", "");
        QStringList printed;
        ExpectPrintout(*t, t->path("no/existe/orden.pdf"), &printed);
        t->prompts->expectMessage("Error #482: No se pudo imprimir en \"" + t->path("no/existe/orden.pdf") + "\".",
                                  MsgIcon::Critical, MsgButtons::OK);
        accept();
        QCOMPARE(printed.mid(1, 2), (QStringList{"Ordeno pagar a  la suma de $ 12.5, en concepto de Tiza",
                                                  "El pago se realizara  con contado efectivo."}));
        // Stored, and the balances already show it; the boxes keep what was typed.
        QCOMPARE(LedgerRows().last(), QStringLiteral("1002|2026-12-06 10:00:00|-|-|21|E|12.5|E|Tiza|-||-"));
        QCOMPARE(MDIForm1::existing()->panelText(1), QStringLiteral("Saldo Caja: 37.5"));
        QCOMPARE(child<QLineEdit>("txtImporte")->text(), QStringLiteral("12.5"));
    }

    void aReadOnlyFileWritesNothing()
    {
        Exec("PRAGMA query_only = ON");
        fill("Servicios", "10", true);
        expectConfirmation("Servicios", "10");
        t->prompts->expectMessage(ErrorText(RuntimeError::fromSqlite(DbReadOnly, "attempt to write a readonly database")),
                                  MsgIcon::Critical, MsgButtons::OK);
        accept();
        QCOMPARE(LedgerRows().size(), 1001);
        QCOMPARE(child<QLineEdit>("txtImporte")->text(), QStringLiteral("10"));
    }

    void aReadingErrorIsNoLackOfMoney()
    {
        Exec("PRAGMA ignore_check_constraints = ON");
        Exec("INSERT INTO Movimiento (Tipo, MedioPago, Importe) VALUES ('I', 'E', 'mil')");
        fill("Servicios", "10", false);
        t->prompts->expectMessage("Se produjo un Error al leer los Datos.\r\rEste no es un error de ADO.\rError #13: "
                                  "El movimiento 1002 tiene un importe que no es un número: \"mil\".",
                                  MsgIcon::None, MsgButtons::OK);
        accept(); // and nothing is asked after it
        QCOMPARE(LedgerRows().size(), 1002);
    }

    void anotherProgramPaysWhileTheQuestionIsOpen()
    {
        fill("Servicios", "20", false, {}, "Tiza");
        expectConfirmation("Servicios", "20");
        t->prompts->onNextPrompt([this] {
            QList<DbErrorEntry> errors;
            QVERIFY(OpenConnection("otra", dbPath, &errors));
            AddMovimiento(QSqlDatabase::database("otra", false), "E", "E", 40);
            CloseConnection("otra");
        });
        t->prompts->expectMessage("No tiene saldo suficiente en CAJA para el pago a realizar!", MsgIcon::Exclamation,
                                  MsgButtons::OK);
        QSignalSpy balancesShown(&Ledger::instance(), &Ledger::changed);
        accept();
        QCOMPARE(balancesShown.count(), 1); // the status bar shows what the refusal found
        QCOMPARE(LedgerRows().size(), 1002); // the other program's payment only
        QCOMPARE(Ledger::instance().balance(Medium::Cash), 10.0);
        QCOMPARE(child<QLineEdit>("txtImporte")->text(), QStringLiteral("20")); // kept for another try
    }

    void efectivoEmptiesTheChequeHoweverChosen()
    {
        auto *numero = child<QLineEdit>("txtCheque");
        auto *cheque = child<QRadioButton>("optCheque");
        auto *efectivo = child<QRadioButton>("optEfectivo");
        const std::function<void()> ways[] = {
            [&] { efectivo->setChecked(true); },
            [&] { efectivo->toggle(); }, // a screen reader's toggle action
            [&] {
                QApplication::setActiveWindow(w);
                cheque->setFocus();
                QTest::keyClick(cheque, Qt::Key_Down);
            },
        };
        for (const auto &choose : ways) {
            cheque->setChecked(true);
            numero->setText("000123");
            choose();
            QVERIFY(efectivo->isChecked());
            QVERIFY(numero->text().isEmpty());
        }
        numero->setText("77"); // typed after choosing: kept, and "Cheque" keeps it too
        cheque->setChecked(true);
        QCOMPARE(numero->text(), QStringLiteral("77"));
    }
};

QTEST_MAIN(tst_frmPagos)
#include "tst_frmPagos.moc"
