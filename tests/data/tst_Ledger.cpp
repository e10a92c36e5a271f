// The ledger's rules, without any window: the duplicate fee, the transfer's two
// linked rows, exact balances, and the change signal after commits only. Each
// runs on a file and on the same books copied to a server.
#include "data/Database.h"
#include "data/Ledger.h"
#include "data/PgSchema.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QSignalSpy>
#include <QTest>

class tst_Ledger : public QObject
{
    Q_OBJECT
    Movement fee(qint64 socio, qint64 cuota, double importe = 1500)
    {
        Movement m;
        m.fecha = QDateTime(QDate(2026, 3, 1), QTime(9, 30));
        m.idSocio = socio;
        m.idCuota = cuota;
        m.idCuenta = 10;
        m.importe = importe;
        m.descripcion = QStringLiteral("Cuota anual");
        return m;
    }

    // A statement that makes every new movement of kind `tipo` fail.
    void refuseInserts(const char *tipo)
    {
        if (!OnServerRow()) {
            Exec(QStringLiteral("CREATE TRIGGER no_rows BEFORE INSERT ON Movimiento WHEN NEW.Tipo LIKE '%1'"
                                " BEGIN SELECT RAISE(ABORT, 'disco lleno'); END").arg(QLatin1String(tipo)));
            return;
        }
        PgRun(Conexion(), QStringLiteral("CREATE FUNCTION no_rows() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                            " IF NEW.tipo LIKE '%1' THEN RAISE EXCEPTION 'disco lleno'; END IF; RETURN NEW; END $$")
                 .arg(QLatin1String(tipo)));
        PgRun(Conexion(), QStringLiteral("CREATE TRIGGER no_rows BEFORE INSERT ON movimiento FOR EACH ROW EXECUTE FUNCTION no_rows()"));
    }
    void allowInserts()
    {
        if (OnServerRow())
            PgRun(Conexion(), QStringLiteral("DROP TRIGGER no_rows ON movimiento"));
        else
            Exec(QStringLiteral("DROP TRIGGER no_rows"));
    }

private slots:
    void initTestCase_data() { EngineRows(); }
    void aFeeIsCollectedOncePerMember();
    void paymentsAndIncomeAreStoredAsGiven();
    void aTransferIsTwoLinkedRowsOrNothing();
    void balancesAreExact();
    void balancesFollowEveryWriter();
    void keptBalancesRoundEachAmount();
    void changedFollowsCommitsOnly();
    void twoLedgersActAsTwoPrograms();
};

void tst_Ledger::aFeeIsCollectedOncePerMember()
{
    TestEnv t;
    t.openBooks();
    Ledger &l = Ledger::instance();
    QVERIFY(!l.feeAlreadyPaid(1, 7));
    qint64 id = 0;
    QCOMPARE(l.recordFee(fee(1, 7), &id), Ledger::FeeOutcome::Recorded);
    QVERIFY(id > 0);
    QVERIFY(l.feeAlreadyPaid(1, 7));
    QCOMPARE(l.recordFee(fee(1, 7, 99)), Ledger::FeeOutcome::AlreadyPaid);
    // Another member, or another fee of the same member, is a new payment.
    QCOMPARE(l.recordFee(fee(2, 7)), Ledger::FeeOutcome::Recorded);
    QCOMPARE(l.recordFee(fee(1, 8)), Ledger::FeeOutcome::Recorded);
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento").toInt(), 3);
    QCOMPARE(Scalar("SELECT Tipo || MedioPago || '|' || Fecha || '|' || IDCuenta FROM Movimiento WHERE IDMovimiento=?",
                    {id})
                 .toString(),
             QStringLiteral("IE|2026-03-01 09:30:00|10"));

    const QList<PaymentLine> history = l.paymentHistory(1);
    QCOMPARE(history.size(), 2);
    QCOMPARE(history[0].importe, 1500.0);
}

void tst_Ledger::paymentsAndIncomeAreStoredAsGiven()
{
    TestEnv t;
    t.openBooks([](const QSqlDatabase &db) {
        for (int i = 0; i < 2505; ++i) // a bank balance of 250.5 that doubles hold only nearly
            AddMovimiento(db, "I", "C", 0.1);
    });
    Movement m;
    m.fecha = t.clock->now();
    m.idCuenta = 20;
    m.importe = 250.51;
    m.medio = Medium::Bank;
    m.descripcion = QStringLiteral("Luz 'de' marzo");
    m.chequeNumero = QStringLiteral("000123");
    // A payment needs the money of its own medium, to the cent.
    Ledger &l = Ledger::instance();
    QCOMPARE(l.recordPayment(m), Ledger::PaymentOutcome::NotEnoughMoney);
    m.importe = 250.5;
    m.medio = Medium::Cash;
    QCOMPARE(l.recordPayment(m), Ledger::PaymentOutcome::NotEnoughMoney);
    m.medio = Medium::Bank;
    qint64 pago = 0;
    QCOMPARE(l.recordPayment(m, &pago), Ledger::PaymentOutcome::Recorded);
    m.chequeNumero.reset();
    m.medio = Medium::Cash;
    const qint64 ingreso = l.recordIncome(m);
    auto row = [](qint64 id) {
        return Scalar("SELECT Tipo || MedioPago || '|' || COALESCE(ChequeNumero, 'null') || '|' || Descripcion"
                      " || '|' || COALESCE(CAST(IDSocio AS TEXT), 'null') FROM Movimiento WHERE IDMovimiento=?",
                      {id})
            .toString();
    };
    QCOMPARE(row(pago), QStringLiteral("EC|000123|Luz 'de' marzo|null"));
    QCOMPARE(row(ingreso), QStringLiteral("IE|null|Luz 'de' marzo|null"));
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento").toInt(), 2507);
}

void tst_Ledger::aTransferIsTwoLinkedRowsOrNothing()
{
    TestEnv t;
    t.openBooks();
    Ledger &l = Ledger::instance();
    const auto [out, in] = l.transfer(Medium::Bank, t.clock->now(), 500, QStringLiteral("a caja"),
                                      QStringLiteral("ACAJA"));
    QCOMPARE(Scalar("SELECT IDContraAsiento FROM Movimiento WHERE IDMovimiento=?", {out}).toLongLong(), in);
    QCOMPARE(Scalar("SELECT IDContraAsiento FROM Movimiento WHERE IDMovimiento=?", {in}).toLongLong(), out);
    QCOMPARE(Scalar("SELECT Tipo || MedioPago || ChequeNumero FROM Movimiento WHERE IDMovimiento=?", {out}).toString(),
             QStringLiteral("ECACAJA"));
    QCOMPARE(Scalar("SELECT Tipo || MedioPago || COALESCE(ChequeNumero, '-') FROM Movimiento WHERE IDMovimiento=?", {in})
                 .toString(),
             QStringLiteral("IE-"));
    QCOMPARE(l.balances().caja, 500.0);
    QCOMPARE(l.balances().banco, -500.0);

    // The second row fails: nothing of the transfer stays, and nobody is told of a change.
    refuseInserts("I");
    QSignalSpy changed(&l, &Ledger::changed);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, l.transfer(Medium::Cash, t.clock->now(), 70, QStringLiteral("x")));
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento").toInt(), 2);
    QCOMPARE(changed.count(), 0);
    // The failed transfer left no transaction open behind it.
    allowInserts();
    l.transfer(Medium::Cash, t.clock->now(), 70, QStringLiteral("x"));
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento").toInt(), 4);
}

void tst_Ledger::balancesAreExact()
{
    TestEnv t;
    t.openBooks([](const QSqlDatabase &db) {
        // Amounts that binary fractions cannot hold; added as doubles they drift.
        for (int i = 0; i < 1000; ++i) {
            AddMovimiento(db, "I", "E", 0.1);
            AddMovimiento(db, "I", "E", 0.7);
            AddMovimiento(db, "I", "C", 1234.57);
            AddMovimiento(db, "E", "C", 1000.01);
        }
        AddMovimiento(db, "E", "E", 800.0);
        AddMovimiento(db, "I", "C", 0.0003);
    });
    const Balances b = Ledger::instance().balances();
    QCOMPARE(b.caja, 0.0);
    QCOMPARE(b.banco, 234560.0003);
    // Exactly what the status bar writes.
    QCOMPARE(QString::number(b.banco, 'g', 15), QStringLiteral("234560.0003"));
}

void tst_Ledger::balancesFollowEveryWriter()
{
    TestEnv t;
    t.openBooks();
    Ledger &l = Ledger::instance();
    QCOMPARE(l.balance(Medium::Cash), 0.0);
    l.recordFee(fee(1, 7, 0.3));
    QCOMPARE(l.balance(Medium::Cash), 0.3);
    Movement out = fee(1, 8, 0.1);
    out.idSocio.reset();
    l.recordPayment(out);
    QCOMPARE(l.balance(Medium::Cash), 0.2);
    l.transfer(Medium::Bank, t.clock->now(), 0.2, QString());
    QCOMPARE(l.balances().caja, 0.4);
    QCOMPARE(l.balances().banco, -0.2);

    // A write outside the ledger, on the same connection or on another one.
    AddMovimiento(Conexion(), "I", "C", 5);
    QCOMPARE(l.balance(Medium::Bank), 4.8);
    {
        QList<DbErrorEntry> errors;
        QVERIFY(OpenConnection("otra", ConnectionString(), &errors));
        AddMovimiento(QSqlDatabase::database("otra", false), "E", "C", 0.8);
        CloseConnection("otra");
    }
    QCOMPARE(l.balance(Medium::Bank), 4.0);
    Exec("DELETE FROM Movimiento WHERE Importe = 5");
    QCOMPARE(l.balance(Medium::Bank), -1.0);

    // Another file opened on the shared connection has balances of its own.
    CloseConexion();
    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(t.createDb("otra.db"), &errors));
    QCOMPARE(l.balances().banco, 0.0);
}

// Between two readings the ledger adds what it writes to the sums it keeps;
// each amount must count as the fresh sum counts it, rounded to the millionth.
void tst_Ledger::keptBalancesRoundEachAmount()
{
    TestEnv t;
    t.openBooks();
    Ledger &l = Ledger::instance();
    QCOMPARE(l.balance(Medium::Cash), 0.0); // from here on the sums are kept
    Movement m = fee(1, 1);
    m.idSocio.reset();
    const double amounts[] = {2.01, 1.005, 0.285, 4.35, 1.115, 0.07, 1234.56, 8.2, 0.0000005};
    for (double v : amounts) {
        m.importe = v;
        l.recordIncome(m);
    }
    m.importe = 0.29;
    l.recordPayment(m);
    const double kept = l.balance(Medium::Cash);
    QVERIFY(t.reopenBooks()); // a new connection: the sums are added up afresh
    QCOMPARE(kept, l.balance(Medium::Cash));
    QCOMPARE(kept, 1251.305001);
}

void tst_Ledger::changedFollowsCommitsOnly()
{
    TestEnv t;
    t.openBooks();
    Ledger &l = Ledger::instance();
    QSignalSpy changed(&l, &Ledger::changed);
    l.recordFee(fee(1, 7));
    QCOMPARE(changed.count(), 1);
    l.recordFee(fee(1, 7)); // refused: nothing written
    QCOMPARE(changed.count(), 1);
    l.transfer(Medium::Cash, t.clock->now(), 1, QString());
    QCOMPARE(changed.count(), 2);
    refuseInserts("%");
    QVERIFY_THROWS_EXCEPTION(RuntimeError, l.recordFee(fee(3, 7)));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, l.recordPayment(fee(3, 7, 10)));
    QCOMPARE(changed.count(), 2);
}

// Two ledgers in one process, each on a connection of its own to the same
// books: what one writes, the other refuses or counts.
void tst_Ledger::twoLedgersActAsTwoPrograms()
{
    TestEnv t;
    t.openBooks();
    QVERIFY(t.openOtherConnection(QStringLiteral("segunda")));
    Ledger &a = Ledger::instance();
    Ledger b(QStringLiteral("segunda"));
    QCOMPARE(a.balance(Medium::Cash) + b.balance(Medium::Cash), 0.0);
    QCOMPARE(a.recordFee(fee(1, 7)), Ledger::FeeOutcome::Recorded);
    QCOMPARE(b.recordFee(fee(1, 7)), Ledger::FeeOutcome::AlreadyPaid);
    QCOMPARE(b.balance(Medium::Cash), 1500.0);
    Movement out = fee(2, 7, 1000);
    out.idSocio.reset();
    QCOMPARE(b.recordPayment(out), Ledger::PaymentOutcome::Recorded);
    QCOMPARE(a.recordPayment(out), Ledger::PaymentOutcome::NotEnoughMoney);
    QCOMPARE(a.balance(Medium::Cash), 500.0);
    CloseConnection(QStringLiteral("segunda"));
}

QTEST_MAIN(tst_Ledger)
#include "tst_Ledger.moc"
