// Other programs on the same file. Fees and transfers survive a program killed
// at any moment: every one reported as stored is in the file, no half transfer
// is ever left, and the money in cash plus bank is what it was plus the fees.
// Two programs paying at once never spend the same money.
#include "data/Database.h"
#include "data/Ledger.h"
#include "support/TestEnv.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

class tst_LedgerCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedWritersLeaveWholeTransfers();
    void twoProgramsNeverSpendTheSameMoney();
};

void tst_LedgerCrash::killedWritersLeaveWholeTransfers()
{
    TestEnv t;
    const QString path = t.createDb("crash.db", [](const QSqlDatabase &db) {
        AddMovimiento(db, "I", "E", 1000);
        AddMovimiento(db, "I", "C", 2000);
    });
    QSet<qint64> reported, fees;
    QRandomGenerator rng(7);
    for (int round = 0; round < 8; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(LEDGER_WRITER), {path});
        QVERIFY(writer.waitForStarted());
        QTest::qWait(150 + rng.bounded(300));
        writer.kill(); // SIGKILL: no chance to finish anything
        writer.waitForFinished();
        // Only whole lines were reported after their commit.
        for (const QByteArray &line : writer.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() == 3 && words[0] == "T")
                reported << words[1].toLongLong() << words[2].toLongLong();
            else if (words.size() == 2 && words[0] == "F")
                fees << words[1].toLongLong();
        }
    }
    QVERIFY2(reported.size() > 20, "the writer stored too few transfers to tell anything");
    qInfo("%lld transfers and %lld fees reported as stored", qint64(reported.size() / 2), qint64(fees.size()));

    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(path, &errors));
    QCOMPARE(Scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    for (qint64 key : std::as_const(fees))
        QVERIFY2(Scalar("SELECT COUNT(*) FROM Movimiento WHERE IDMovimiento = ? AND IDCuota = 1", {key}).toInt() == 1,
                 qPrintable(QString::number(key)));
    for (qint64 key : std::as_const(reported))
        QVERIFY2(Scalar("SELECT COUNT(*) FROM Movimiento WHERE IDMovimiento = ?", {key}).toInt() == 1,
                 qPrintable(QString::number(key)));
    // Each transfer row names a partner that names it back, opposite in direction
    // and medium, equal in amount, date and description.
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento a LEFT JOIN Movimiento b ON b.IDMovimiento = a.IDContraAsiento"
                    " WHERE a.IDContraAsiento IS NOT NULL AND (b.IDMovimiento IS NULL"
                    " OR b.IDContraAsiento <> a.IDMovimiento OR b.Tipo = a.Tipo OR b.MedioPago = a.MedioPago"
                    " OR b.Importe <> a.Importe OR b.Fecha <> a.Fecha OR b.Descripcion <> a.Descripcion)")
                 .toInt(),
             0);
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento WHERE IDMovimiento > 2 AND IDCuota IS NULL"
                    " AND IDContraAsiento IS NULL").toInt(),
             0);
    const int feesStored = Scalar("SELECT COUNT(*) FROM Movimiento WHERE IDCuota = 1").toInt();
    QVERIFY(feesStored >= fees.size());
    const Balances b = Ledger::instance().balances();
    QCOMPARE(b.caja + b.banco, 3000.0 + 1500.0 * feesStored);
}

void tst_LedgerCrash::twoProgramsNeverSpendTheSameMoney()
{
    TestEnv t;
    const QString path = t.createDb("pagos.db", [](const QSqlDatabase &db) {
        AddMovimiento(db, "I", "E", 1000);
        AddMovimiento(db, "I", "C", 5000); // the bank's money pays no cash
    });
    // Two programs try 30 payments of 25 each at once: 40 fit in the cash box.
    QProcess a, b;
    for (QProcess *p : {&a, &b}) {
        p->start(QStringLiteral(LEDGER_WRITER), {path, "pay", "25", "30"});
        QVERIFY(p->waitForStarted());
    }
    for (QProcess *p : {&a, &b}) {
        p->write("go\n");
        QVERIFY(p->waitForBytesWritten()); // both at once, not one after the other
    }
    QSet<qint64> paid;
    int refused = 0;
    for (QProcess *p : {&a, &b}) {
        QVERIFY(p->waitForFinished(60000));
        QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
        for (const QByteArray &line : p->readAllStandardOutput().split('\n')) {
            if (line.startsWith("P "))
                paid << line.mid(2).toLongLong();
            else if (line == "R")
                ++refused;
        }
    }
    QCOMPARE(paid.size(), 40);
    QCOMPARE(refused, 20);

    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(path, &errors));
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento WHERE Tipo = 'E'").toInt(), 40);
    for (qint64 key : std::as_const(paid))
        QCOMPARE(Scalar("SELECT Importe FROM Movimiento WHERE IDMovimiento = ? AND Tipo = 'E'", {key}).toDouble(), 25.0);
    // Never below zero, at any row.
    QCOMPARE(Scalar("SELECT MIN(s) FROM (SELECT SUM(IIF(Tipo = 'I', Importe, -Importe)) OVER (ORDER BY IDMovimiento) s"
                    " FROM Movimiento WHERE MedioPago = 'E')")
                 .toDouble(),
             0.0);
    QCOMPARE(Ledger::instance().balances().banco, 5000.0);
}

QTEST_GUILESS_MAIN(tst_LedgerCrash)
#include "tst_LedgerCrash.moc"
