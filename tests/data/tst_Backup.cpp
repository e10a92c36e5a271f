// The daily copies: one a day, the 30 newest kept once the new one is checked,
// and a copy that cannot be made only warns. Checks tell damage from a file in
// use, and a restore takes only a whole copy of the program's own, with the
// program closed.
#include "data/Backup.h"
#include "data/Database.h"
#include "data/Errors.h"
#include "support/DbTrouble.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

class tst_Backup : public QObject
{
    Q_OBJECT
private slots:
    void oneADayAndThirtyKept();
    void aCopyThatCannotBeMadeWarns();
    void aDamagedCopyIsDiscardedAndTheOthersKept();
    void checksTellDamageFromUse();
    void aLockedFileIsWaitedForABoundedTime();
    void restoreTakesOnlyAWholeCopyWithTheProgramClosed();
};

void tst_Backup::oneADayAndThirtyKept()
{
    TestEnv t;
    const QString db = t.createDb();
    // The user's own files in the folder look like copies, but are not ours.
    QVERIFY(QDir().mkpath(CopiesFolder(db)));
    const QStringList mine = {"Tesorin-2019.db", "tesorin-2020-cierre-ejercicio.db", "tesorin-2999-12-31-235959.DB",
                              "tesorin-2999-12-31-23595x.db"};
    for (const QString &name : mine)
        QVERIFY(QFile::copy(db, QDir(CopiesFolder(db)).filePath(name)));
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
    for (const QString &name : mine)
        QVERIFY2(QFile::exists(QDir(CopiesFolder(db)).filePath(name)), qPrintable(name));
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
    QFile::remove(CopiesFolder(db));

    // Said in Spanish, SQLite's words after it.
    QFile text(t.path("no-es-una-base.db"));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write(QByteArray(4096, 'z')) == 4096);
    text.close();
    QCOMPARE(CopyDatabase(text.fileName(), t.path("x.db")),
             "No se pudo copiar la base de datos en " + t.path("x.db") + ". "
                 + DbErrorDescription(DbNotADb, "file is not a database"));
    QVERIFY(!QFile::exists(t.path("x.db")) && !QFile::exists(t.path("x.db.parcial")));

    // A folder of copies that cannot be written (even by root: a read-only mount).
    QVERIFY(QDir().mkpath(CopiesFolder(db)));
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k,ro", "tmpfs", CopiesFolder(db)}) != 0)
        QSKIP("cannot mount a read-only file system here");
    const DailyCopy none = MakeDailyCopy(db, t.clock->now());
    QProcess::execute("umount", {CopiesFolder(db)});
    QVERIFY2(none.warning.contains(DbCodeAdvice(DbCantOpen) + " (unable to open database file)"),
             qPrintable(none.warning));
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
    QVERIFY(FinishDailyCopy(db, next.made, 1).startsWith("La copia de seguridad de hoy salió dañada y se descartó"));
    QCOMPARE(CopiesOf(db), QStringList{good.made}); // the older good copy is not removed
}

void tst_Backup::checksTellDamageFromUse()
{
    TestEnv t;
    const QString db = t.createDb("coop.db", [](const QSqlDatabase &d) {
        for (int i = 0; i < 50; ++i)
            AddMovimiento(d, "I", "E", i);
    });
    QVERIFY(CheckDatabase(db, CheckDepth::Full).sound());
    QCOMPARE(CheckDatabase(t.path("falta.db")).state, DbCheck::State::CannotOpen);

    // An index that lost its rows passes the quick check only.
    const QString index = t.path("indice.db");
    QVERIFY(QFile::copy(db, index) && EmptyTheDateIndex(index));
    QVERIFY(CheckDatabase(index, CheckDepth::Quick).sound());
    const DbCheck full = CheckDatabase(index, CheckDepth::Full);
    QCOMPARE(full.state, DbCheck::State::Damaged);
    QVERIFY2(full.description().startsWith(DbCodeAdvice(DbCorrupt) + " (row 1 missing from index Movimiento_Fecha"),
             qPrintable(full.description()));

    // An empty file and another program's database are sound to SQLite, not to us.
    QFile(t.path("vacio.db")).open(QIODevice::WriteOnly);
    QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
    other.setDatabaseName(t.path("otra.db"));
    QVERIFY(other.open() && QSqlQuery(other).exec("CREATE TABLE Socio (IDSocio INTEGER)"));
    other.close();
    for (const QString &name : {"vacio.db", "otra.db"}) {
        const DbCheck c = CheckDatabase(t.path(name), CheckDepth::Full);
        QCOMPARE(c.state, DbCheck::State::Damaged);
        QVERIFY2(c.description().startsWith(DbCodeAdvice(DbNotADb) + " (no such"), qPrintable(c.description()));
    }

    // Busy is not damage.
    HeldDatabase tool("lock", db);
    QVERIFY(tool.held());
    const DbCheck busy = CheckDatabase(db, CheckDepth::Quick, 200);
    QCOMPARE(busy.state, DbCheck::State::InUse);
    QCOMPARE(busy.description(), DbErrorDescription(DbBusy, "database is locked"));
}

void tst_Backup::aLockedFileIsWaitedForABoundedTime()
{
    TestEnv t;
    const QString db = t.createDb();
    HeldDatabase tool("lock", db);
    QVERIFY(tool.held());
    QElapsedTimer took;
    took.start();
    QCOMPARE(CopyDatabase(db, t.path("x.db"), 300), "No se pudo copiar la base de datos en " + t.path("x.db") + ". "
                                                         + DbErrorDescription(DbBusy, "database is locked"));
    QVERIFY(took.elapsed() < 3000);
    QVERIFY(!QFile::exists(t.path("x.db")) && !QFile::exists(t.path("x.db.parcial")));
    tool.release();
    QCOMPARE(CopyDatabase(db, t.path("x.db"), 300), QString());
}

void tst_Backup::restoreTakesOnlyAWholeCopyWithTheProgramClosed()
{
    TestEnv t;
    const QString db = t.createDb("coop.db", [](const QSqlDatabase &d) { AddMovimiento(d, "I", "E", 10); });
    const QString copy = t.path("copia.db");
    QCOMPARE(CopyDatabase(db, copy), QString());
    const QDateTime now(QDate(2026, 3, 5), QTime(9, 0, 0));

    const QString index = t.path("indice.db");
    QVERIFY(QFile::copy(db, index) && EmptyTheDateIndex(index));
    QFile(t.path("vacio.db")).open(QIODevice::WriteOnly);
    for (const QString &bad : {index, t.path("vacio.db")})
        QVERIFY2(RestoreDatabase(db, bad, now).startsWith("La copia " + bad + " no se puede restaurar: está dañada"),
                 qPrintable(bad));
    QVERIFY(QDir(t.path(".")).entryList({"coop.db.*"}).isEmpty());

    // The program open and idle in another process holds no lock of SQLite's.
    HeldDatabase program("open", db);
    QVERIFY(program.held());
    QCOMPARE(RestoreDatabase(db, copy, now), "No se puede restaurar. " + OpenElsewhereText(db));
    program.release();
    QCOMPARE(RestoreDatabase(db, copy, now), QString());
    QCOMPARE(QDir(t.path(".")).entryList({"coop.db.*"}), QStringList{"coop.db.antes-2026-03-05-090000"});
}

QTEST_GUILESS_MAIN(tst_Backup)
#include "tst_Backup.moc"
