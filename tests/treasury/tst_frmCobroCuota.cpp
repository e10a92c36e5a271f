#include "app/MDIForm1.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/ValueRules.h"
#include "members/frmSocio.h"
#include "support/AmountCases.h"
#include "support/TestEnv.h"
#include "treasury/frmCobroCuota.h"
#include "reports/rptReciboCuota.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTableView>
#include <QPrinter>
#include <QPushButton>
#include <QSqlRecord>
#include <QTest>

namespace {

const QString kConfirm = QStringLiteral("Va a ingresar el pago de cuota %1 para %2, por $%3 Esta seguro?");

void fixture(const QSqlDatabase &db)
{
    Exec(db, "INSERT INTO Cuenta VALUES (1, 'Ingresos', 'I', NULL), (10, 'Cuotas sociales', 'I', 1)");
    Exec(db, "INSERT INTO Cuota VALUES (1, 'Cuota anual', '2026-03-01 00:00:00', 1500, 10),"
             " (2, 'Bono', '2026-06-01 00:00:00', 350.5, 10)");
    Exec(db, "INSERT INTO Socio (IDSocio, Nombre) VALUES (1, 'Gómez, Raúl'), (2, 'D''Angelo, Lucía')");
}

// The ledger, a row per movement: "socio|cuota|cuenta|tipo|medio|descripcion|importe|recibo|fecha".
QStringList ledger()
{
    QStringList out;
    QSqlQuery q = Exec("SELECT IDSocio || '|' || IDCuota || '|' || IDCuenta || '|' || Tipo || '|' || MedioPago"
                       " || '|' || Descripcion || '|' || Importe || '|' || ifnull(Recibo, '') || '|' || Fecha"
                       " FROM Movimiento ORDER BY IDMovimiento");
    while (q.next())
        out << q.value(0).toString();
    return out;
}

} // namespace

class tst_frmCobroCuota : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void collectsAFeeFromTheMenu();
    void refusesASecondPaymentOfTheSameFee();
    void manualReceiptNumbers();
    void aReceiptStoredMeanwhileIsAskedAbout();
    void aFeeIsDatedWhenCollected();
    void refusesIncompleteOrUnreadableInput();
    void amountsAndMemberLookup();
    void printsTheReceiptWithTheWholeHistory();
    void opensBesideAMemberList();

private:
    frmCobroCuota *open();
    void load(frmCobroCuota *w, const QString &numero);
    void chooseFee(frmCobroCuota *w, const QString &descripcion);
    void confirm(const QString &cuota, const QString &socio, const QString &importe,
                 MsgResult answer = MsgResult::Yes);
    void click(frmCobroCuota *w) { w->findChild<QPushButton *>("cmdOk")->click(); }

    std::unique_ptr<TestEnv> t;
};

void tst_frmCobroCuota::init()
{
    t = std::make_unique<TestEnv>();
    t->openNewDb(fixture);
    MDIForm1::instance();
}

void tst_frmCobroCuota::cleanup()
{
    t.reset();
}

frmCobroCuota *tst_frmCobroCuota::open()
{
    MDIForm1::instance()->menuItem("mnuPagocuota")->trigger();
    auto *w = frmCobroCuota::shared();
    [&] { QVERIFY(w->isVisible()); }();
    return w;
}

void tst_frmCobroCuota::load(frmCobroCuota *w, const QString &numero)
{
    auto *box = w->findChild<QLineEdit *>("txtSocioNumero");
    box->setText(numero);
    w->txtSocioNumero_LostFocus();
}

void tst_frmCobroCuota::chooseFee(frmCobroCuota *w, const QString &descripcion)
{
    auto *combo = w->findChild<DataCombo *>("datcboCurso");
    combo->setCurrentIndex(combo->findText(descripcion));
}

void tst_frmCobroCuota::confirm(const QString &cuota, const QString &socio, const QString &importe,
                                MsgResult answer)
{
    t->prompts->expectMessage(kConfirm.arg(cuota, socio, importe), MsgIcon::Question, MsgButtons::YesNo,
                              answer, 1);
}

void tst_frmCobroCuota::collectsAFeeFromTheMenu()
{
    frmCobroCuota *w = open();
    QCOMPARE(w->windowTitle(), QStringLiteral("Ingreso de cuota"));
    auto *combo = w->findChild<DataCombo *>("datcboCurso");
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("Bono")); // newest first
    QCOMPARE(combo->currentIndex(), -1);

    load(w, " 1 ");
    QCOMPARE(w->findChild<QLabel *>("lblSocioNombre")->text(), QStringLiteral("Gómez, Raúl"));
    chooseFee(w, "Cuota anual");
    QCOMPARE(w->findChild<QLineEdit *>("txtImporte")->text(), QStringLiteral("1500"));

    // No to the confirmation writes nothing.
    confirm("Cuota anual", "Gómez, Raúl", "1500", MsgResult::No);
    click(w);
    QVERIFY(ledger().isEmpty());

    confirm("Cuota anual", "Gómez, Raúl", "1500");
    t->prompts->expectMessage("Desea imprimir el recibo?", MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
    click(w);
    QCOMPARE(ledger(), QStringList{"1|1|10|I|E|Cuota anual|1500.0||2026-12-06 10:00:00"});
    QCOMPARE(MDIForm1::existing()->panelText(1), QStringLiteral("Saldo Caja: 1500"));
    // Only the fee choice is cleared: the next fee of the same member is at hand.
    QCOMPARE(combo->currentIndex(), -1);
    QCOMPARE(w->findChild<QLineEdit *>("txtImporte")->text(), QStringLiteral("1500"));
    QCOMPARE(w->socioNumero(), 1);

    // The menu shows the same window again.
    QCOMPARE(open(), w);
}

void tst_frmCobroCuota::refusesASecondPaymentOfTheSameFee()
{
    AddMovimiento(Conexion(), "E", "C", 99, QVariant(), 1, 1); // any date, amount or kind counts
    frmCobroCuota *w = open();
    load(w, "1");
    chooseFee(w, "Cuota anual");
    confirm("Cuota anual", "Gómez, Raúl", "1500");
    t->prompts->expectMessage("Ya esta cobrada esa cuota!", MsgIcon::Exclamation, MsgButtons::OK);
    click(w);
    QCOMPARE(ledger().size(), 1);

    // The same fee for another member is accepted.
    load(w, "2");
    chooseFee(w, "Cuota anual");
    confirm("Cuota anual", "D'Angelo, Lucía", "1500");
    t->prompts->expectMessage("Desea imprimir el recibo?", MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
    click(w);
    QVERIFY(ledger().last().startsWith("2|1|10|I|E|Cuota anual|1500.0||"));
}

void tst_frmCobroCuota::manualReceiptNumbers()
{
    frmCobroCuota *w = open();
    w->findChild<QCheckBox *>("chkRecibo")->setChecked(true);
    load(w, "1");

    // Answers that are no receipt number store nothing.
    for (const QString &bad : {QString(), QStringLiteral("abc"), QStringLiteral("1,5"), QStringLiteral("0"),
                               QStringLiteral("-3"), QStringLiteral("99999999999")}) {
        chooseFee(w, "Bono");
        confirm("Bono", "Gómez, Raúl", "350.5");
        t->prompts->expectInput("Ingrese numero de recibo", AppTitle(), "1", bad)
            .expectMessage("El recibo debe ser numerico, de 1 a 2147483647", MsgIcon::Exclamation, MsgButtons::OK);
        click(w);
    }
    QVERIFY(ledger().isEmpty());

    chooseFee(w, "Bono");
    confirm("Bono", "Gómez, Raúl", "350.5");
    t->prompts->expectInput("Ingrese numero de recibo", AppTitle(), "1", "1")
        .expectMessage("Datos guardados con recibo 1", MsgIcon::Information, MsgButtons::OK);
    click(w);
    QVERIFY(ledger().last().startsWith("1|2|10|I|E|Bono|350.5|1|"));

    // A number another movement carries is stored only after a Yes.
    const QString repeated = "El recibo 1 ya figura en el movimiento 1 (Bono, 6/12/2026). Desea guardarlo de todos modos?";
    load(w, "2");
    for (MsgResult answer : {MsgResult::No, MsgResult::Yes}) {
        chooseFee(w, "Bono");
        confirm("Bono", "D'Angelo, Lucía", "350.5");
        t->prompts->expectInput("Ingrese numero de recibo", AppTitle(), "2", "1")
            .expectMessage(repeated, MsgIcon::Question, MsgButtons::YesNo, answer, 1);
        if (answer == MsgResult::Yes)
            t->prompts->expectMessage("Datos guardados con recibo 1", MsgIcon::Information, MsgButtons::OK);
        click(w);
        QCOMPARE(ledger().size(), answer == MsgResult::Yes ? 2 : 1);
    }
    QVERIFY(ledger().last().startsWith("2|2|10|I|E|Bono|350.5|1|"));

    // The next proposal follows the highest stored receipt, up to the last number there is.
    chooseFee(w, "Cuota anual");
    confirm("Cuota anual", "D'Angelo, Lucía", "1500");
    t->prompts->expectInput("Ingrese numero de recibo", AppTitle(), "2", " 2147483647 ")
        .expectMessage("Datos guardados con recibo 2147483647", MsgIcon::Information, MsgButtons::OK);
    click(w);
    QVERIFY(ledger().last().contains("|1500.0|2147483647|"));
    load(w, "1");
    chooseFee(w, "Cuota anual");
    confirm("Cuota anual", "Gómez, Raúl", "1500");
    t->prompts->expectMessage("No quedan números de recibo: el movimiento 3 tiene el recibo 2147483647 y el último "
                              "posible es 2147483647.",
                              MsgIcon::Exclamation, MsgButtons::OK);
    click(w);
    QCOMPARE(ledger().size(), 3);
}

// Another PC stores the proposed number while the box is open: the fee is
// stored with it only after a Yes to the question about the other movement.
void tst_frmCobroCuota::aReceiptStoredMeanwhileIsAskedAbout()
{
    frmCobroCuota *w = open();
    w->findChild<QCheckBox *>("chkRecibo")->setChecked(true);
    load(w, "1");
    for (MsgResult answer : {MsgResult::No, MsgResult::Yes}) {
        chooseFee(w, "Bono");
        confirm("Bono", "Gómez, Raúl", "350.5");
        const int proposed = answer == MsgResult::No ? 1 : 2;
        t->prompts->onNextPrompt([&] { // the confirmation; then the number's box
            t->prompts->onNextPrompt([&] {
                Exec("INSERT INTO Movimiento (Fecha, IDSocio, IDCuota, IDCuenta, Tipo, Importe, MedioPago,"
                     " Descripcion, Recibo) VALUES ('2026-12-06 10:00:00', 2, 1, 10, 'I', 1500, 'E', 'Cuota anual', ?)",
                     {proposed});
            });
        });
        t->prompts->expectInput("Ingrese numero de recibo", AppTitle(), QString::number(proposed), QString::number(proposed))
            .expectMessage(QStringLiteral("El recibo %1 ya figura en el movimiento %1 (Cuota anual, 6/12/2026). Desea "
                                          "guardarlo de todos modos?").arg(proposed),
                           MsgIcon::Question, MsgButtons::YesNo, answer, 1);
        if (answer == MsgResult::Yes)
            t->prompts->expectMessage("Datos guardados con recibo 2", MsgIcon::Information, MsgButtons::OK);
        click(w);
    }
    QCOMPARE(ledger().size(), 3);
    QVERIFY(ledger().last().startsWith("1|2|10|I|E|Bono|350.5|2|"));
}

void tst_frmCobroCuota::aFeeIsDatedWhenCollected()
{
    frmCobroCuota *w = open();
    load(w, "1");
    chooseFee(w, "Bono");
    // The window was opened last year; the fee belongs to the new one.
    t->clock->set(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 4)));
    confirm("Bono", "Gómez, Raúl", "350.5");
    t->prompts->expectMessage("Desea imprimir el recibo?", MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
    click(w);
    QCOMPARE(ledger(), QStringList{"1|2|10|I|E|Bono|350.5||2027-01-01 00:00:04"});
}

void tst_frmCobroCuota::refusesIncompleteOrUnreadableInput()
{
    frmCobroCuota *w = open();
    auto refused = [&](const QString &text) {
        t->prompts->expectMessage(text, MsgIcon::Exclamation, MsgButtons::OK);
        click(w);
    };
    chooseFee(w, "Cuota anual");
    t->prompts->expectMessage("Debe seleccionar un socio", MsgIcon::Exclamation, MsgButtons::OK);
    QTest::keyClick(w->findChild<DataCombo *>("datcboCurso"), Qt::Key_Return); // Enter is "Aceptar"
    load(w, "1");
    w->findChild<DataCombo *>("datcboCurso")->setBoundText(QString());
    refused("Debe seleccionar una cuota");
    chooseFee(w, "Cuota anual");
    // The rule every window reads amounts by: refused, or asked about as typed.
    auto *importe = w->findChild<QLineEdit *>("txtImporte");
    for (const AmountCase &c : AmountCases()) {
        t->setLocale(AmountLocale(c));
        importe->setText(c.text);
        if (c.reading == AmountReading::Ok || c.reading == AmountReading::Empty)
            confirm("Cuota anual", "Gómez, Raúl", c.text, MsgResult::No);
        else
            t->prompts->expectMessage("El importe ingresado no es valido", MsgIcon::Exclamation, MsgButtons::OK);
        click(w);
    }
    QVERIFY(ledger().isEmpty());
}

void tst_frmCobroCuota::amountsAndMemberLookup()
{
    frmCobroCuota *w = open();
    auto *importe = w->findChild<QLineEdit *>("txtImporte");
    auto *nombre = w->findChild<QLabel *>("lblSocioNombre");
    load(w, "2");
    // Unknown, oversized or non-numeric numbers leave the loaded member in place.
    for (const char *other : {"77", "99999999999", "dos", ""}) {
        load(w, other);
        QCOMPARE(nombre->text(), QStringLiteral("D'Angelo, Lucía"));
        QCOMPARE(w->socioNumero(), 2);
    }

    // Enter right after typing a number collects from that member.
    w->activateWindow();
    QApplication::setActiveWindow(w);
    auto *box = w->findChild<QLineEdit *>("txtSocioNumero");
    box->setFocus();
    box->setText("1");
    chooseFee(w, "Bono");
    confirm("Bono", "Gómez, Raúl", "350.5", MsgResult::No);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(w->socioNumero(), 1);
    load(w, "2");

    // The fee's amount is written the way it is read back, in either locale.
    t->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    chooseFee(w, "Bono");
    QCOMPARE(importe->text(), QStringLiteral("350.5"));
    // Typing afterwards overrides it; blanks are ignored by the reading.
    importe->setText(" 1 50 ");
    confirm("Bono", "D'Angelo, Lucía", " 1 50 ");
    t->prompts->expectMessage("Desea imprimir el recibo?", MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
    click(w);
    QVERIFY(ledger().last().contains("|150.0||"));

    // An empty amount reads as 0, and the confirmation shows it as typed.
    chooseFee(w, "Cuota anual");
    importe->clear();
    confirm("Cuota anual", "D'Angelo, Lucía", "");
    t->prompts->expectMessage("Desea imprimir el recibo?", MsgIcon::Question, MsgButtons::YesNo, MsgResult::No);
    click(w);
    QVERIFY(ledger().last().contains("|0.0||"));
}

void tst_frmCobroCuota::printsTheReceiptWithTheWholeHistory()
{
    t->writeIni("[Location]\nNombre=Cooperadora Escuela 12\n");
    Exec("INSERT INTO Movimiento (Fecha, IDSocio, IDCuota, IDCuenta, Tipo, Importe, MedioPago, Descripcion)"
         " VALUES ('2025-04-02 00:00:00', 1, 7, 10, 'I', 1200.25, 'E', 'Cuota anual 2025')");
    frmCobroCuota *w = open();
    load(w, "1");
    chooseFee(w, "Bono");
    const QString pdf = t->path("recibo.pdf");
    confirm("Bono", "Gómez, Raúl", "350.5");
    t->prompts->expectMessage("Desea imprimir el recibo?", MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes);
    t->prompts->expectPrinter(true, [&](QPrinter &p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
    });
    click(w);
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.read(5) == "%PDF-");
    QVERIFY(ledger().last().contains("|350.5||")); // a printed receipt carries no number
    QCOMPARE(MDIForm1::existing()->panelText(1), QStringLiteral("Saldo Caja: 1550,75"));
}

void tst_frmCobroCuota::opensBesideAMemberList()
{
    MDIForm1 *main = MDIForm1::instance();
    main->show();
    main->menuItem("mnuSocio")->trigger();
    auto *list = main->findChild<frmSocio *>();
    QVERIFY(list);
    QCOMPARE(list->rows().idSocio(0), 2); // D'Angelo comes before Gómez
    list->findChild<QTableView *>("tdbgrdComodidadUtilizada")->selectRow(0);
    list->findChild<QPushButton *>("cmdCobrar")->click();
    list->findChild<QPushButton *>("cmdCobrar")->click(); // one more window per click

    QList<frmCobroCuota *> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<frmCobroCuota *>(w))
            windows << f;
    QCOMPARE(windows.size(), 2);
    for (frmCobroCuota *w : windows) {
        QVERIFY(w->isVisible());
        QCOMPARE(w->socioNumero(), 2);
        QCOMPARE(w->findChild<QLabel *>("lblSocioNombre")->text(), QStringLiteral("D'Angelo, Lucía"));
    }
    QCOMPARE(list->frame()->pos(), QPoint(0, 0));
    // At the list's right, as far as the screen allows.
    const int right = list->frame()->mapToGlobal(QPoint(list->frame()->width(), 0)).x();
    const QRect fee = windows.first()->frameGeometry();
    QVERIFY(fee.x() >= right || fee.right() == 1023);
}

QTEST_MAIN(tst_frmCobroCuota)
#include "tst_frmCobroCuota.moc"
