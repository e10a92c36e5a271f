// The closing window as the user drives it: behind the administrator
// password, the year's totals before the question, the papers for the
// assembly after closing, every money window refusing a closed day and
// staying open, and reopening.
#include "app/MDIForm1.h"
#include "data/ClosedYear.h"
#include "data/DataCombo.h"
#include "data/ValueRules.h"
#include "masterdata/frmCierreEjercicio.h"
#include "support/TreasuryTest.h"
#include "treasury/frmCobroCuota.h"
#include "treasury/frmMovimiento.h"
#include "treasury/frmOtroIngreso.h"
#include "treasury/frmPagos.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

void fill(const QSqlDatabase &db)
{
    AddAccounts(db);
    Exec(db, "INSERT INTO Curso (IDCurso, Nombre) VALUES (1, '1ro A')");
    Exec(db, "INSERT INTO Cuota VALUES (1, 'Cuota 2025', '2025-03-01 00:00:00', 1000, 11),"
             " (2, 'Cuota 2026', '2026-03-01 00:00:00', 1500, 11)");
    Exec(db, "INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso) VALUES (1, 'Gómez, Ana', 'Martina', 1)");
    Exec(db, "INSERT INTO Movimiento (Fecha, IDCuenta, Tipo, Importe, MedioPago) VALUES"
             " ('2025-05-01 10:00:00', 11, 'I', 1500, 'E'), ('2025-06-01 10:00:00', 20, 'E', 200.5, 'E'),"
             " ('2026-02-01 10:00:00', 11, 'I', 99, 'E')");
}

frmCierreEjercicio *shown()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<frmCierreEjercicio *>(w); f && f->isVisible())
            return f;
    return nullptr;
}

const QString kClosed = QStringLiteral(
    "El ejercicio está cerrado hasta el 31/12/2025: no se registran movimientos con esa fecha o anterior.");
const QDateTime kLastMinute(QDate(2025, 12, 31), QTime(23, 59));

} // namespace

class tst_frmCierreEjercicio : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestEnv> t;

    void answerPassword(const QString &password)
    {
        t->prompts->expectInput(QStringLiteral("Ingrese contraseña de Admin"), AppTitle(), QString(), password);
        MDIForm1::instance()->menuItem("mnuCierre")->trigger();
    }

private slots:
    void init()
    {
        t = std::make_unique<TestEnv>();
        t->openNewDb(fill);
        t->writeIni("[Location]\nNombre=Cooperadora Escuela 12\n");
    }
    void cleanup() { t.reset(); }

    void closesShowsThePapersAndReopens();
    void everyMoneyWindowRefusesAClosedDay();
};

void tst_frmCierreEjercicio::closesShowsThePapersAndReopens()
{
    t->prompts->expectMessage("No hay ningún ejercicio cerrado: ciérrelo en Maestros, Cerrar ejercicio.",
                              MsgIcon::Exclamation, MsgButtons::OK);
    MDIForm1::instance()->menuItem("mnuAsamblea")->trigger();
    answerPassword(QStringLiteral("Clave"));
    QVERIFY(!shown());
    answerPassword(QStringLiteral("clave"));
    frmCierreEjercicio *w = shown();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Cerrar ejercicio"));
    QCOMPARE(w->accessibleName(), w->windowTitle());
    QCOMPARE(w->findChild<QLabel *>("lblFecha")->buddy(), w->dtpFecha);
    QCOMPARE(w->lblEstado->text(), QStringLiteral("No hay ningún ejercicio cerrado."));
    QCOMPARE(w->dtpFecha->date(), QDate(2025, 12, 31)); // the clock says 06/12/2026
    QCOMPARE(w->lblTotales->text(),
             QStringLiteral("Del 01/01/2025 al 31/12/2025:\nIngresos: $ 1500\nEgresos: $ 200,5\nSaldo: $ 1299,5"));
    QVERIFY(!w->cmdReabrir->isEnabled() && !w->cmdAsamblea->isEnabled());

    w->dtpFecha->setDate(QDate(2026, 12, 6));
    t->prompts->expectMessage("La fecha de cierre debe ser anterior a hoy: los movimientos de hoy todavía se están "
                              "registrando.",
                              MsgIcon::Exclamation, MsgButtons::OK);
    w->cmdCerrar->click();
    w->dtpFecha->setDate(QDate(2025, 12, 31));
    const QString question = QStringLiteral(
        "Del 01/01/2025 al 31/12/2025:\rIngresos: $ 1500\rEgresos: $ 200,5\rSaldo: $ 1299,5\r\r¿Cierra el ejercicio "
        "al 31/12/2025? Después no se podrán registrar, cambiar ni eliminar movimientos con esa fecha o anterior.");
    t->prompts->expectMessage(question, MsgIcon::Question, MsgButtons::YesNo, MsgResult::No, 1);
    w->cmdCerrar->click();
    QCOMPARE(ClosingDate(Conexion()), std::nullopt);

    // Closed, the papers are offered at once: the fee of that year is proposed.
    const QString pdf = t->path("asamblea.pdf");
    t->prompts->expectMessage(question, MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
    t->prompts->expectMessage("Ejercicio cerrado al 31/12/2025.\r\r¿Desea guardar la documentación para la asamblea?",
                              MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes);
    t->prompts->expectChoice("Elija la cuota del ejercicio (la lista de quienes no la pagaron):",
                             "Documentación para la asamblea", {"Cuota 2026", "Cuota 2025"}, 1, 1);
    t->prompts->expectSaveFile("PDF|*.pdf", pdf);
    t->prompts->expectMessage("Documentación para la asamblea guardada en " + pdf + ".", MsgIcon::Information,
                              MsgButtons::OK);
    w->cmdCerrar->click();
    QCOMPARE(t->prompts->pending(), 0);
    QCOMPARE(ClosingDate(Conexion()), std::optional<QDate>(QDate(2025, 12, 31)));
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-");
    QCOMPARE(w->lblEstado->text(), QStringLiteral("El ejercicio está cerrado hasta el 31/12/2025."));
    QVERIFY(w->cmdReabrir->isEnabled() && w->cmdAsamblea->isEnabled());

    t->prompts->expectMessage("El ejercicio ya está cerrado hasta el 31/12/2025. Elija una fecha posterior, o reabra "
                              "el ejercicio.",
                              MsgIcon::Exclamation, MsgButtons::OK);
    w->cmdCerrar->click();

    t->prompts->expectMessage("¿Reabre el ejercicio cerrado hasta el 31/12/2025? Se podrán volver a registrar, "
                              "cambiar y eliminar movimientos de esas fechas.",
                              MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
    t->prompts->expectMessage("Ejercicio reabierto.", MsgIcon::Information, MsgButtons::OK);
    w->cmdReabrir->click();
    QCOMPARE(w->lblEstado->text(), QStringLiteral("No hay ningún ejercicio cerrado."));
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Cambio WHERE Tabla = 'Parametro'").toInt(), 2);
}

void tst_frmCierreEjercicio::everyMoneyWindowRefusesAClosedDay()
{
    CloseBooks(Conexion(), QDate(2025, 12, 31));
    const QStringList before = LedgerRows();
    MDIForm1 *main = MDIForm1::instance();
    const auto refuses = [&](QWidget *w, const char *picker) {
        w->findChild<QDateTimeEdit *>(picker)->setDateTime(kLastMinute);
        t->prompts->expectMessage(kClosed, MsgIcon::Exclamation, MsgButtons::OK);
        w->findChild<QPushButton *>("cmdOk")->click();
        QCOMPARE(t->prompts->pending(), 0);
        QVERIFY(w->isVisible());
    };

    main->menuItem("mnuPagocuota")->trigger();
    frmCobroCuota *fee = frmCobroCuota::shared();
    fee->findChild<QLineEdit *>("txtSocioNumero")->setText("1");
    fee->txtSocioNumero_LostFocus();
    auto *cuotas = fee->findChild<DataCombo *>("datcboCurso");
    cuotas->setCurrentIndex(cuotas->findText("Cuota 2025"));
    refuses(fee, "calFechaOperacion");

    main->menuItem("mnuIngreso")->trigger();
    frmOtroIngreso *income = frmOtroIngreso::shared();
    auto *ingresos = income->findChild<DataCombo *>("datcboCuenta");
    ingresos->setCurrentIndex(ingresos->findText("Kermesse"));
    income->findChild<QLineEdit *>("txtImporte")->setText("10");
    refuses(income, "calFechaOperacion");

    main->menuItem("mnuPago")->trigger();
    frmPagos *payment = frmPagos::shared();
    auto *egresos = payment->findChild<DataCombo *>("datcboCuenta");
    egresos->setCurrentIndex(egresos->findText("Servicios"));
    payment->findChild<QLineEdit *>("txtImporte")->setText("10");
    payment->findChild<QWidget *>("optEfectivo")->setProperty("checked", true);
    refuses(payment, "calFechaOperacion");

    frmMovimiento *deposit = frmMovimiento::open(QStringLiteral("CAJAABANCO"));
    deposit->findChild<QLineEdit *>("txtImporte")->setText("10");
    refuses(deposit, "calFecha");

    QCOMPARE(LedgerRows(), before);
    // The next day is open.
    income->findChild<QDateTimeEdit *>("calFechaOperacion")->setDateTime(QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    ExpectMovementQuestion(*t, "ingreso", "Kermesse", "10");
    t->prompts->expectMessage("Desea imprimir el recibo?", MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
    t->prompts->expectMessage("Ingreso registrado con exito!", MsgIcon::Information, MsgButtons::OK);
    income->findChild<QPushButton *>("cmdOk")->click();
    QCOMPARE(LedgerRows().size(), before.size() + 1);
}

QTEST_MAIN(tst_frmCierreEjercicio)
#include "tst_frmCierreEjercicio.moc"
