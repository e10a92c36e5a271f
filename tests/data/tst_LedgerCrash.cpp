// Other programs on the same books, on a file and on a server. Fees and
// transfers survive a program killed at any moment: every one reported as
// stored is there, no half transfer is ever left, and the money in cash plus
// bank is what it was plus the fees. Programs racing each other never store a
// fee twice, never spend the same money, never store a receipt number twice.
#include "data/Database.h"
#include "data/Ledger.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <QTest>

class tst_LedgerCrash : public QObject
{
    Q_OBJECT
    // The books filled by `fill` on the row's engine; what ledger_writer is
    // given to reach them. The shared connection is left closed.
    QString books(TestEnv &t, const std::function<void(const QSqlDatabase &)> &fill = {})
    {
        const QString path = t.openBooks(fill);
        CloseConexion();
        return t.server ? QStringLiteral("postgresql:") + t.server->settings().database : path;
    }
    // `writers` programs given `args` after the books, released together;
    // the lines each printed.
    QList<QByteArray> race(const QString &target, const QStringList &args, int writers = 2)
    {
        std::vector<std::unique_ptr<QProcess>> ps;
        for (int i = 0; i < writers; ++i) {
            ps.push_back(std::make_unique<QProcess>());
            ps.back()->start(QStringLiteral(LEDGER_WRITER), QStringList{target} + args);
            if (!ps.back()->waitForStarted())
                QTest::qFail("ledger_writer no arrancó", __FILE__, __LINE__);
        }
        QThread::msleep(300); // every one connected before any starts
        for (auto &p : ps) {
            p->write("go\n");
            p->waitForBytesWritten();
        }
        QList<QByteArray> lines;
        for (auto &p : ps) {
            if (!p->waitForFinished(60000) || p->exitCode() != 0)
                QTest::qFail(p->readAllStandardError().constData(), __FILE__, __LINE__);
            for (const QByteArray &line : p->readAllStandardOutput().split('\n'))
                if (!line.isEmpty())
                    lines << line;
        }
        return lines;
    }

private slots:
    void initTestCase_data() { EngineRows(); }
    void cleanup() { CloseConexion(); }
    void killedWritersLeaveWholeTransfers();
    void twoCollectorsStoreEachFeeOnce();
    void twoPayersNeverSpendTheSameMoney();
    void racingReceiptsAreNeverStoredTwice();
};

void tst_LedgerCrash::killedWritersLeaveWholeTransfers()
{
    TestEnv t;
    const QString target = books(t, [](const QSqlDatabase &db) {
        AddMovimiento(db, "I", "E", 1000);
        AddMovimiento(db, "I", "C", 2000);
    });
    QSet<qint64> reported, fees;
    QRandomGenerator rng(7);
    for (int round = 0; round < 8; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(LEDGER_WRITER), {target});
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

    QVERIFY(t.reopenBooks());
    if (!t.server)
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

// Two programs collect the same fifty fees at once: each is stored once.
void tst_LedgerCrash::twoCollectorsStoreEachFeeOnce()
{
    TestEnv t;
    const QString target = books(t);
    const QList<QByteArray> lines = race(target, {"fee", "50"});
    QCOMPARE(lines.count("Y"), 50);
    QVERIFY(t.reopenBooks());
    QCOMPARE(Scalar("SELECT COUNT(DISTINCT IDSocio) || '/' || COUNT(*) FROM Movimiento").toString(),
             QStringLiteral("50/50"));
}

// Two programs try 30 payments of 25 each at once: 40 fit in the cash box.
void tst_LedgerCrash::twoPayersNeverSpendTheSameMoney()
{
    TestEnv t;
    const QString target = books(t, [](const QSqlDatabase &db) {
        AddMovimiento(db, "I", "E", 1000);
        AddMovimiento(db, "I", "C", 5000); // the bank's money pays no cash
    });
    QSet<qint64> paid;
    for (const QByteArray &line : race(target, {"pay", "25", "30"}))
        if (line.startsWith("P "))
            paid << line.mid(2).toLongLong();
    QCOMPARE(paid.size(), 40);

    QVERIFY(t.reopenBooks());
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento WHERE Tipo = 'E'").toInt(), 40);
    for (qint64 key : std::as_const(paid))
        QCOMPARE(Scalar("SELECT Importe FROM Movimiento WHERE IDMovimiento = ? AND Tipo = 'E'", {key}).toDouble(), 25.0);
    // Never below zero, at any row.
    QCOMPARE(Scalar("SELECT MIN(s) FROM (SELECT SUM(CASE WHEN Tipo = 'I' THEN Importe ELSE -Importe END)"
                    " OVER (ORDER BY IDMovimiento) s FROM Movimiento WHERE MedioPago = 'E') x")
                 .toDouble(),
             0.0);
    QCOMPARE(Ledger::instance().balances().banco, 5000.0);
}

// Three programs take the next receipt number 20 times each at once: those
// that lose a race are refused, and no number is stored twice.
void tst_LedgerCrash::racingReceiptsAreNeverStoredTwice()
{
    TestEnv t;
    const QString target = books(t);
    const QList<QByteArray> lines = race(target, {"receipt", "20"}, 3);
    const int taken = int(lines.count("T"));
    qInfo("%d of 60 numbers were taken by another program first", taken);
    QVERIFY(t.reopenBooks());
    QCOMPARE(Scalar("SELECT COUNT(DISTINCT Recibo) || '/' || COUNT(*) FROM Movimiento").toString(),
             QStringLiteral("%1/%1").arg(60 - taken));
}

QTEST_GUILESS_MAIN(tst_LedgerCrash)
#include "tst_LedgerCrash.moc"
