// The closed year without any window: every ledger write refuses a day on or
// before the closing day (and the next day is open), also when another
// program closed the year meanwhile; the table editor neither changes,
// deletes nor adds such movements, nor touches the closing day; closing and
// reopening are recorded with the write; the year's totals; and the
// assembly's papers hold their three parts. Each runs on a file and on the
// same books copied to a server.
#include "data/ClosedYear.h"
#include "data/Database.h"
#include "data/Ledger.h"
#include "reports/AssemblyPapers.h"
#include "reports/ReportText.h"
#include "support/PgTest.h"
#include "support/TableEditor.h"
#include "support/TestEnv.h"

#include <QSqlRecord>
#include <QtTest>

namespace {

const QDate kClosing(2025, 12, 31);
const QDateTime kLastMinute(kClosing, QTime(23, 59));
const QDateTime kNewYear(QDate(2026, 1, 1), QTime(0, 0));
const QString kRefusal = QStringLiteral(
    "El ejercicio está cerrado hasta el 31/12/2025: no se registran movimientos con esa fecha o anterior.");

// Accounts 1 (income) and 2 (expense), course 1, fees 1 (2025) and 2 (2026), members 1 and 2 of course 1.
void fill(const QSqlDatabase &db)
{
    Exec(db, "INSERT INTO Cuenta VALUES (1, 'Cuotas', 'I', NULL), (2, 'Servicios', 'E', NULL)");
    Exec(db, "INSERT INTO Curso (IDCurso, Nombre) VALUES (1, '1ro A')");
    Exec(db, "INSERT INTO Cuota VALUES (1, 'Cuota 2025', '2025-03-01 00:00:00', 1000, 1),"
             " (2, 'Cuota 2026', '2026-03-01 00:00:00', 1500, 1)");
    Exec(db, "INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso) VALUES (1, 'Gómez, Ana', 'Martina', 1),"
             " (2, 'Pérez, Luis', 'Tomás', 1)");
}

Movement movement(const QDateTime &fecha, double importe, Direction tipo = Direction::Income)
{
    Movement m;
    m.fecha = fecha;
    m.importe = importe;
    m.tipo = tipo;
    m.idCuenta = tipo == Direction::Income ? 1 : 2;
    m.descripcion = QStringLiteral("Prueba");
    return m;
}

int movements()
{
    return Scalar(QStringLiteral("SELECT COUNT(*) FROM Movimiento")).toInt();
}

// The record of the closing day, one entry a line.
QString recorded()
{
    QStringList lines;
    QSqlQuery q = Exec(QStringLiteral("SELECT Operacion, Tabla, Clave, Campo, ValorAnterior, ValorNuevo FROM Cambio"
                                      " ORDER BY IDCambio"));
    while (q.next()) {
        QStringList values;
        for (int c = 0; c < q.record().count(); ++c)
            values << (q.isNull(c) ? QStringLiteral("-") : q.value(c).toString());
        lines << values.join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class tst_ClosedYear : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { EngineRows(); }
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        m_model.reset();
        CloseConnection(QStringLiteral("grilla"));
        CloseConnection(QStringLiteral("otra"));
        m_env.reset();
    }

    void everyLedgerWriteRefusesTheClosedDays();
    void anotherProgramsClosingIsRespected();
    void closingAndReopeningAreRecorded();
    void theTableEditorKeepsTheClosedYear();
    void theYearsTotalsAndPapers();

private:
    GrillaTableModel &editor(const QString &table) { return OpenTableEditor(m_model, table); }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<GrillaTableModel> m_model;
};

void tst_ClosedYear::everyLedgerWriteRefusesTheClosedDays()
{
    m_env->openBooks(fill);
    Ledger &ledger = Ledger::instance();
    ledger.recordIncome(movement(QDateTime(QDate(2025, 6, 1), QTime(9, 0)), 5000));
    CloseBooks(Conexion(), kClosing);
    QCOMPARE(ClosingDate(Conexion()), std::optional<QDate>(kClosing));

    const std::function<void(const QDateTime &)> writes[] = {
        [&](const QDateTime &d) {
            Movement fee = movement(d, 1000);
            fee.idSocio = 1;
            fee.idCuota = 1;
            QCOMPARE(ledger.recordFee(fee), Ledger::FeeOutcome::Recorded);
        },
        [&](const QDateTime &d) { ledger.recordIncome(movement(d, 10)); },
        [&](const QDateTime &d) {
            QCOMPARE(ledger.recordPayment(movement(d, 10, Direction::Expense)), Ledger::PaymentOutcome::Recorded);
        },
        [&](const QDateTime &d) { ledger.transfer(Medium::Cash, d, 10, QStringLiteral("Depósito")); },
    };
    for (const auto &write : writes) {
        const int before = movements();
        try {
            write(kLastMinute);
            QFAIL("se registró un movimiento del ejercicio cerrado");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), qint64(ErrClosedPeriod));
            QCOMPARE(e.description(), kRefusal);
        }
        QCOMPARE(movements(), before);
        write(kNewYear); // the first moment after the closing day is open
        QVERIFY(movements() > before);
    }
    QCOMPARE(ledger.balance(Medium::Cash), 5990.0);

    // A closing day nobody can read refuses every write rather than guess.
    Exec(QStringLiteral("UPDATE Parametro SET Valor = 'fin de año' WHERE Parametro = 'CIERRE'"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, ledger.recordIncome(movement(kNewYear, 1)));
    QCOMPARE(movements(), 6);
}

void tst_ClosedYear::anotherProgramsClosingIsRespected()
{
    m_env->openBooks(fill);
    QVERIFY(m_env->openOtherConnection(QStringLiteral("otra")));
    Ledger other(QStringLiteral("otra"));
    Ledger::instance().recordIncome(movement(kLastMinute, 100));
    other.recordIncome(movement(kLastMinute, 100));
    // The other program closes; this one's next write reads it under its lock.
    CloseBooks(QSqlDatabase::database(QStringLiteral("otra"), false), kClosing);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Ledger::instance().recordIncome(movement(kLastMinute, 100)));
    // And the other way round, once this one reopens.
    ReopenBooks(Conexion());
    other.recordIncome(movement(kLastMinute, 100));
    QCOMPARE(movements(), 3);
}

void tst_ClosedYear::closingAndReopeningAreRecorded()
{
    m_env->openBooks(fill);
    CloseBooks(Conexion(), QDate(2024, 12, 31));
    CloseBooks(Conexion(), kClosing);
    ReopenBooks(Conexion());
    ReopenBooks(Conexion()); // nothing closed: nothing recorded
    QCOMPARE(ClosingDate(Conexion()), std::nullopt);
    QCOMPARE(recorded(), QStringLiteral("Cierre de ejercicio|Parametro|CIERRE|Valor|-|2024-12-31 00:00:00\n"
                                        "Cierre de ejercicio|Parametro|CIERRE|Valor|2024-12-31 00:00:00|2025-12-31 00:00:00\n"
                                        "Reapertura de ejercicio|Parametro|CIERRE|Valor|2025-12-31 00:00:00|-"));
    // An entry the record refuses takes the closing with it.
    FILE_ONLY();
    Exec(QStringLiteral("CREATE TRIGGER sin_registro BEFORE INSERT ON Cambio BEGIN SELECT RAISE(ABORT, 'disco lleno'); END"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, CloseBooks(Conexion(), kClosing));
    QCOMPARE(ClosingDate(Conexion()), std::nullopt);
}

void tst_ClosedYear::theTableEditorKeepsTheClosedYear()
{
    m_env->openBooks(fill);
    const qint64 closed = Ledger::instance().recordIncome(movement(kLastMinute, 100));
    const qint64 open = Ledger::instance().recordIncome(movement(kNewYear, 200));
    CloseBooks(Conexion(), kClosing);
    GrillaTableModel &m = editor(QStringLiteral("Movimiento"));
    const int fecha = 1, importe = 6;
    const QString closedRow = QStringLiteral("El ejercicio está cerrado hasta el 31/12/2025: el movimiento %1, del "
                                             "31/12/2025, no se puede cambiar ni eliminar.").arg(closed);

    QVERIFY(!m.removeRow(m.rowOfKey(closed)));
    QCOMPARE(m.lastRefusal(), closedRow);
    QVERIFY(m.setData(m.index(m.rowOfKey(closed), importe), QStringLiteral("150")));
    QVERIFY(!m.writePending());
    QCOMPARE(m.lastRefusal(), closedRow);
    m.revertRow(m.rowOfKey(closed));
    // An open movement moved into the closed year, or a new one there.
    QVERIFY(m.setData(m.index(m.rowOfKey(open), fecha), QStringLiteral("31/12/2025 23:59")));
    QVERIFY(!m.writePending());
    QCOMPARE(m.lastRefusal(), kRefusal);
    m.revertRow(m.rowOfKey(open));
    QVERIFY(m.insertRow(m.rowCount()));
    const int added = m.rowCount() - 1;
    QVERIFY(m.setData(m.index(added, fecha), QStringLiteral("1/3/2025")));
    QVERIFY(m.setData(m.index(added, 5), QStringLiteral("I")));
    QVERIFY(m.setData(m.index(added, 7), QStringLiteral("E")));
    QVERIFY(!m.writePending());
    QCOMPARE(m.lastRefusal(), kRefusal);
    m.revertRow(added);
    // The open year is edited as ever.
    QVERIFY(m.setData(m.index(m.rowOfKey(open), importe), QStringLiteral("250")));
    QVERIFY2(m.writePending(), qPrintable(m.lastRefusal()));
    QVERIFY(m.removeRow(m.rowOfKey(open)));
    QCOMPARE(Scalar(QStringLiteral("SELECT SUM(Importe) FROM Movimiento")).toDouble(), 100.0);

    // The closing day itself is the closing window's.
    m_model.reset();
    CloseConnection(QStringLiteral("grilla"));
    GrillaTableModel &p = editor(QStringLiteral("Parametro"));
    const QString own = QStringLiteral("El parámetro CIERRE se cambia sólo desde Maestros, Cerrar ejercicio.");
    const int cierre = p.rowOfKey(QStringLiteral("CIERRE")), recibo = p.rowOfKey(QStringLiteral("PROXIMORECIBO"));
    QVERIFY(!p.removeRow(cierre));
    QCOMPARE(p.lastRefusal(), own);
    QVERIFY(p.setData(p.index(cierre, 1), QStringLiteral("2020-12-31")));
    QVERIFY(!p.writePending());
    QCOMPARE(p.lastRefusal(), own);
    p.revertRow(cierre);
    QVERIFY(p.setData(p.index(recibo, 0), QStringLiteral("cierre")));
    QVERIFY(!p.writePending());
    QCOMPARE(p.lastRefusal(), own);
    QCOMPARE(ClosingDate(Conexion()), std::optional<QDate>(kClosing));
}

void tst_ClosedYear::theYearsTotalsAndPapers()
{
    m_env->openBooks(fill);
    Ledger &ledger = Ledger::instance();
    Movement fee = movement(QDateTime(QDate(2025, 4, 2), QTime(10, 0)), 1000);
    fee.idSocio = 1;
    fee.idCuota = 1;
    fee.descripcion = QStringLiteral("Cuota 2025");
    ledger.recordFee(fee);
    ledger.recordIncome(movement(QDateTime(QDate(2024, 12, 31), QTime(23, 0)), 7)); // the year before
    ledger.recordPayment(movement(kLastMinute, 300.25, Direction::Expense));
    ledger.transfer(Medium::Cash, kLastMinute, 100, QStringLiteral("Depósito")); // no income nor expense
    ledger.recordIncome(movement(kNewYear, 9)); // the year after
    const PeriodTotals t = TotalsOf(Conexion(), YearStart(kClosing), kClosing);
    QCOMPARE(YearStart(kClosing), QDate(2025, 1, 1));
    QCOMPARE(t.ingresos, 1000.0);
    QCOMPARE(t.egresos, 300.25);
    QCOMPARE(t.saldo(), 699.75);

    // The fee proposed is the newest of the year; the lists are newest first.
    const AssemblyFees fees = FeesOfYear(YearStart(kClosing), kClosing);
    QCOMPARE(fees.names, (QStringList{"Cuota 2026", "Cuota 2025"}));
    QCOMPARE(fees.proposed, 1);

    m_env->writeIni("[Location]\nNombre=Cooperadora Escuela 12\n");
    ReportDocument doc;
    QVERIFY(AssemblyPapers(kClosing, 1, QStringLiteral("Cuota 2025"), &doc).ok());
    QCOMPARE(int(doc.pages.size()), 3);
    QStringList pages;
    for (const ReportPage &page : doc.pages) {
        ReportDocument one;
        one.pages = {page};
        pages << ReportDocumentText(one).simplified();
    }
    // Each part on its own page, with its title and its rows of that year only.
    QVERIFY2(pages[0].contains("Balance periodo 01/01/2025 - 31/12/2025") && pages[0].contains("Servicios")
                 && pages[0].contains("31/12/2025") && pages[0].contains("TOTAL INGRESOS") && !pages[0].contains("Depósito")
                 && pages[0].contains("Cuota 2025"),
             qPrintable(pages[0]));
    QVERIFY2(pages[1].contains("Libro de socios año 2025") && pages[1].contains("Gómez, Ana")
                 && !pages[1].contains("Pérez"),
             qPrintable(pages[1]));
    QVERIFY2(pages[2].contains("Socios con cuota impaga: Cuota 2025") && pages[2].contains("Pérez, Luis")
                 && !pages[2].contains("Gómez"),
             qPrintable(pages[2]));
}

QTEST_MAIN(tst_ClosedYear)
#include "tst_ClosedYear.moc"
