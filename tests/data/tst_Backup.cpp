// The daily copies: one a day, the 30 newest kept once the new one is checked,
// and a copy that cannot be made only warns.
#include "data/Backup.h"
#include "data/Database.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTest>

class tst_Backup : public QObject
{
    Q_OBJECT
private slots:
    void oneADayAndThirtyKept();
    void aCopyThatCannotBeMadeWarns();
    void aDamagedCopyIsDiscardedAndTheOthersKept();
};

void tst_Backup::oneADayAndThirtyKept()
{
    TestEnv t;
    const QString db = t.createDb();
    const QDateTime first(QDate(2026, 1, 1), QTime(8, 15, 30));
    for (int day = 0; day < 35; ++day) {
        for (int start = 0; start < 2; ++start) { // the second start of a day copies nothing
            const DailyCopy copy = MakeDailyCopy(db, first.addDays(day).addSecs(start * 3600));
            QVERIFY(copy.warning.isEmpty());
            QCOMPARE(copy.made.isEmpty(), start == 1);
            QCOMPARE(FinishDailyCopy(db, copy.made), QString());
        }
    }
    const QStringList copies = CopiesOf(db);
    QCOMPARE(copies.size(), 30);
    QCOMPARE(QFileInfo(copies.first()).fileName(), QStringLiteral("tesorin-2026-02-04-081530.db"));
    QCOMPARE(QFileInfo(copies.last()).fileName(), QStringLiteral("tesorin-2026-01-06-081530.db"));
    QCOMPARE(NewestGoodCopy(db), copies.first());
}

void tst_Backup::aCopyThatCannotBeMadeWarns()
{
    TestEnv t;
    const QString db = t.createDb();
    QFile blocker(CopiesFolder(db)); // a file where the folder should be
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const DailyCopy copy = MakeDailyCopy(db, t.clock->now());
    QVERIFY(copy.made.isEmpty());
    QCOMPARE(copy.warning, "No se pudo crear la carpeta de copias " + CopiesFolder(db)
                               + ". Hoy no se hizo la copia de seguridad de la base de datos.");
    QVERIFY(!CopyDatabase(t.path("no-es-una-base.db"), t.path("x.db")).isEmpty());
    QVERIFY(!QFile::exists(t.path("x.db")) && !QFile::exists(t.path("x.db.parcial")));
}

void tst_Backup::aDamagedCopyIsDiscardedAndTheOthersKept()
{
    TestEnv t;
    const QString db = t.createDb("coop.db", [](const QSqlDatabase &d) {
        for (int i = 0; i < 2000; ++i)
            AddMovimiento(d, "I", "E", i);
    });
    const DailyCopy good = MakeDailyCopy(db, t.clock->now());
    QCOMPARE(FinishDailyCopy(db, good.made), QString());
    const DailyCopy next = MakeDailyCopy(db, t.clock->now().addDays(1));
    {
        QFile f(next.made);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(4096 * 3);
        f.write(QByteArray(4096, '\x5a'));
    }
    QVERIFY(FinishDailyCopy(db, next.made, 1).startsWith("La copia de seguridad de hoy salió dañada ("));
    QCOMPARE(CopiesOf(db), QStringList{good.made}); // the older good copy is not removed
}

QTEST_GUILESS_MAIN(tst_Backup)
#include "tst_Backup.moc"
