// Copies of the books kept on a server: --copia writes an ordinary file of the
// same rows and sums, --restaurar puts a copy back whole (refused while anyone
// else is connected), --verificar finds what breaks the program's rules.
#include "data/Backup.h"
#include "data/ChangeRecord.h"
#include "data/Database.h"
#include "data/Migrate.h"
#include "data/PgSchema.h"
#include "data/ServerCheck.h"
#include "data/ServerCopy.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QTextStream>
#include <QtTest>

namespace {

// Accounts, a fee and movements whose float sum is not their decimal sum, a
// transfer's two halves, and a deleted last movement whose key is not given again.
void fillBooks(const QSqlDatabase &db)
{
    Exec(db, "INSERT INTO Curso (Nombre) VALUES ('1º A')");
    Exec(db, "INSERT INTO Cuenta (Descripcion, Tipo) VALUES ('Cuotas', 'I'), ('Gastos', 'E')");
    Exec(db, "INSERT INTO Cuota (Descripcion, vigencia, Valor, IDCuenta) VALUES ('Cuota', '2025-03-01 00:00:00', 0.1, 1)");
    Exec(db, "INSERT INTO Socio (Nombre, Alumno, IDCurso) VALUES ('Núñez, Eva', 'Iñaki', 1)");
    int i = 0;
    for (double a : {0.1, 0.2, 0.7, 2.01, 1234.57, 1e-4})
        AddMovimiento(db, i % 2 ? "I" : "E", i % 3 ? "E" : "C", a, i == 1 ? QVariant(7) : QVariant(), 1, 1), ++i;
    Exec(db, "INSERT INTO Movimiento (Fecha, Tipo, Importe, MedioPago, IDContraAsiento) VALUES"
             " ('2025-04-01 10:00:00', 'E', 50, 'E', 8), ('2025-04-01 10:00:00', 'I', 50, 'C', 7)");
    Exec(db, "INSERT INTO Movimiento (Tipo, Importe, MedioPago) VALUES ('I', 5, 'E')");
    Exec(db, "DELETE FROM Movimiento WHERE IDMovimiento = 9");
    RecordChange(db, "Baja", "Movimiento", 9, "Importe", 5, QVariant());
    RecordChange(db, "Cambio", "Curso", 1, "Nombre", "1º", "1º A");
}

// Every row of every table and of the record of changes, in key order, as text.
QStringList allRows(const QSqlDatabase &db)
{
    QStringList rows;
    for (const BookTable &t : BookTables()) {
        QSqlQuery q = Exec(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY 1").arg(t.columns.join(", "), t.name));
        while (q.next()) {
            QStringList row{t.name};
            for (int c = 0; c < t.columns.size(); ++c)
                row << (q.value(c).isNull() ? "null" : q.value(c).toString());
            rows << row.join('|');
        }
    }
    return rows;
}

QStringList fileRows(const QString &path)
{
    if (!OpenConnection("rows", path, nullptr))
        return {"cannot open " + path};
    const QStringList rows = allRows(QSqlDatabase::database("rows", false));
    CloseConnection("rows");
    return rows;
}

struct Command
{
    int code;
    QString out, err;
};

Command run(const QString &option, const QString &argument = QString())
{
    Command c;
    QTextStream o(&c.out), e(&c.err);
    c.code = ServerCopyCommand(option, argument, o, e);
    return c;
}

// A server database filled from a file, and a configuration naming it.
QString serverBooks(PgTestDb &pg, TestEnv &env)
{
    const QString file = env.createDb("libros.db", fillBooks);
    QString summary;
    const QString error = MigrateToServer(file, pg.settings(), &summary);
    if (!error.isEmpty())
        qFatal("%s", qPrintable(error));
    const ConnectionSettings &s = pg.settings();
    env.writeIni(QStringLiteral("[DataSourceName]\nServidor=%1\nPuerto=%2\nBase=%3\nUsuario=%4\nSSL=disable\n")
                     .arg(s.host).arg(s.port).arg(s.database, s.user).toUtf8());
    return file;
}

// The test's own connection closed, so that a restore sees nobody else.
void leave(PgTestDb &pg)
{
    pg.open().close();
}

} // namespace

class tst_ServerCopy : public QObject
{
    Q_OBJECT
private slots:
    void aCopyIsAnOrdinaryFileOfTheSameRows()
    {
        PG_TEST_DB(pg);
        TestEnv env;
        const QString file = serverBooks(pg, env);
        const QString copy = env.path("copia.db");
        const Command made = run("--copia", copy);
        QCOMPARE(made.err, QString());
        QCOMPARE(made.out, "Copia hecha y verificada en " + copy + ".\n");
        QCOMPARE(made.code, 0);
        QVERIFY(CheckDatabase(copy, CheckDepth::Full).sound());
        QCOMPARE(fileRows(copy), fileRows(file));
        QVERIFY(OpenConnection("copia", copy, nullptr));
        {
            const QSqlDatabase db = QSqlDatabase::database("copia", false);
            // The numbering goes on past the movement deleted on the server.
            Exec(db, "INSERT INTO Movimiento (Tipo) VALUES ('I')");
            QSqlQuery q = Exec(db, "SELECT MAX(IDMovimiento) FROM Movimiento");
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 10);
        }
        CloseConnection("copia");
        QCOMPARE(run("--copia", copy).err, "Ya existe un archivo en " + copy + "; no se modifica.\n");

        // An amount the file cannot hold exactly: no copy, and nothing left behind.
        pg.scalar("UPDATE movimiento SET importe = 0.10000000000000000001 WHERE idmovimiento = 1 RETURNING 1");
        const Command inexact = run("--copia", env.path("otra.db"));
        QCOMPARE(inexact.code, 1);
        QVERIFY2(inexact.err.startsWith("No se pudo copiar la base de datos del servidor " + pg.settings().describe() + " en "
                                        + env.path("otra.db") + ". Las sumas de Importe no coinciden (Movimiento C/E: "
                                        "0.10000000000000000001 en el servidor, 0.1 en la copia"),
                 qPrintable(inexact.err));
        QCOMPARE(QDir(env.path(".")).entryList({"otra.db*"}), QStringList());

        // The daily copy beside the configuration file.
        const QString config = env.path("tesorin.ini");
        pg.scalar("UPDATE movimiento SET importe = 0.1 WHERE idmovimiento = 1 RETURNING 1");
        const DailyCopy daily = MakeServerDailyCopy(pg.settings(), config, QDateTime(QDate(2026, 3, 5), QTime(9, 0)));
        QCOMPARE(daily.warning, QString());
        QCOMPARE(daily.made, env.path("copias/tesorin-2026-03-05-090000.db"));
        QCOMPARE(FinishDailyCopy(config, daily.made), QString());
        QCOMPARE(fileRows(daily.made), fileRows(file));
    }

    void aRestoreReplacesTheRowsWithNobodyElseConnected()
    {
        PG_TEST_DB(pg);
        TestEnv env;
        const QString file = serverBooks(pg, env);
        const QString copy = env.path("copia.db");
        QCOMPARE(run("--copia", copy).code, 0);
        // The books move on after the copy: new movements, one deleted, a member renamed.
        for (int i = 0; i < 5; ++i)
            pg.scalar("INSERT INTO movimiento (tipo, importe, mediopago) VALUES ('I', 3, 'E') RETURNING 1");
        pg.scalar("DELETE FROM movimiento WHERE idmovimiento = 2 RETURNING 1");
        pg.scalar("UPDATE socio SET nombre = 'Otro' RETURNING 1");

        // Another program connected: refused, naming it, and nothing changed.
        QString error;
        QVERIFY2(OpenServerConnection("otro-programa", pg.settings(), &error), qPrintable(error));
        leave(pg);
        const Command busy = run("--restaurar", copy);
        QCOMPARE(busy.code, 1);
        QCOMPARE(busy.err, QStringLiteral("No se puede restaurar: hay otros programas conectados a la base %1: usuario %2 en "
                                          "la computadora del servidor (Tesorin en la computadora %3). Cierre esos programas (en "
                                          "todas las computadoras que la usen) y vuelva a intentar. No se restauró nada: "
                                          "el servidor quedó como estaba.\n")
                               .arg(pg.settings().describe(), pg.settings().user, QSysInfo::machineHostName()));
        QSqlDatabase::database("otro-programa", false).close();
        QSqlDatabase::removeDatabase("otro-programa");
        QCOMPARE(pg.scalar("SELECT count(*) FROM movimiento").toInt(), 12);
        // A database made before the record of changes gets it with the copy's entries.
        PgRun(pg.open(), "DROP TABLE cambio");
        leave(pg);

        const Command restored = run("--restaurar", copy);
        QCOMPARE(restored.err, QString());
        QCOMPARE(restored.code, 0);
        QVERIFY2(restored.out.startsWith("Se restauraron 1 socios, 8 movimientos, 1 cuotas,"), qPrintable(restored.out));
        // What the server had is kept aside, as a file's restore keeps the file; a refused restore keeps nothing.
        const QStringList aside = QDir(env.path("copias")).entryList({"antes-de-restaurar-*.db"});
        QCOMPARE(aside.size(), 1);
        QVERIFY(restored.out.endsWith(" Lo que tenía el servidor quedó aparte en " + env.path("copias/" + aside.first()) + ".\n"));
        QCOMPARE(fileRows(env.path("copias/" + aside.first())).filter(QRegularExpression("^Movimiento")).size(), 12);
        // The server holds the copy's rows: a new copy of it is the same file again.
        QCOMPARE(run("--copia", env.path("despues.db")).code, 0);
        QCOMPARE(fileRows(env.path("despues.db")), fileRows(file));
        // No key the server gave before the restore is given again.
        QCOMPARE(pg.scalar("INSERT INTO movimiento (tipo) VALUES ('I') RETURNING idmovimiento").toInt(), 15);
        QCOMPARE(pg.scalar("INSERT INTO socio (nombre) VALUES ('x') RETURNING idsocio").toInt(), 2);

        // A row the server's rules refuse, half way through: nothing is half-written.
        leave(pg);
        const QString bad = env.createDb("mala.db", [](const QSqlDatabase &db) {
            fillBooks(db);
            Exec(db, "INSERT INTO Movimiento (Tipo, Importe, MedioPago) VALUES ('X', 1, 'E')");
        });
        const QString refused = run("--restaurar", bad).err;
        QVERIFY2(refused.contains("movimiento_tipo_check") && refused.endsWith("No se restauró nada: el servidor quedó como estaba.\n"),
                 qPrintable(refused));
        QCOMPARE(pg.scalar("SELECT count(*) FROM movimiento WHERE idmovimiento = 15 OR tipo = 'X'").toInt(), 1);

        // A copy that fails its check is refused before the server is touched.
        leave(pg);
        QFile(env.path("vacio.db")).open(QIODevice::WriteOnly);
        QVERIFY(run("--restaurar", env.path("vacio.db")).err.startsWith("La copia " + env.path("vacio.db")
                                                                        + " no se puede restaurar: está dañada"));
        QCOMPARE(pg.scalar("SELECT count(*) FROM movimiento").toInt(), 9);
    }

    void theCheckFindsWhatBreaksTheRules()
    {
        PG_TEST_DB(pg);
        TestEnv env;
        serverBooks(pg, env);
        const Command sound = run("--verificar");
        QCOMPARE(sound.err, QString());
        QCOMPARE(sound.out, "La base de datos " + pg.settings().describe() + " del servidor está sana.\n");
        QCOMPARE(sound.code, 0);

        pg.scalar("UPDATE movimiento SET idcontraasiento = 99 WHERE idmovimiento = 8 RETURNING 1");
        PgRun(pg.open(), "ALTER TABLE movimiento DROP CONSTRAINT movimiento_tipo_check");
        pg.scalar("UPDATE movimiento SET tipo = 'X' WHERE idmovimiento IN (3, 4) RETURNING 1");
        PgRun(pg.open(), "ALTER TABLE cuota ALTER COLUMN valor TYPE double precision");
        pg.scalar("SELECT setval(pg_get_serial_sequence('socio', 'idsocio'), 1, false)");
        const Command found = run("--verificar");
        QCOMPARE(found.code, 1);
        QCOMPARE(found.out, QString());
        QCOMPARE(found.err.split('\n'),
                 QStringList({"La columna Cuota.Valor es de tipo double precision; Tesorin guarda en ella valores de "
                              "tipo numeric.",
                              "Movimiento: 2 filas con un Tipo que no es I ni E (la primera, IDMovimiento = 3).",
                              "Movimiento: 2 filas con una transferencia cuya otra mitad (IDContraAsiento) no existe o no "
                              "la nombra a ella (la primera, IDMovimiento = 7).",
                              "Socio: la numeración va por 0 y ya hay una fila IDSocio = 1; la próxima fila nueva "
                              "repetiría una clave.",
                              "Servidor: " + pg.settings().describe(), ""}));

        // A table another program holds is waited for a bounded time: in use, not damaged.
        QSqlDatabase holder = pg.open("holder");
        PgRun(holder, "BEGIN");
        PgRun(holder, "LOCK TABLE movimiento IN ACCESS EXCLUSIVE MODE");
        QElapsedTimer took;
        took.start();
        const QString held = CopyServerToFile(pg.settings(), env.path("copia.db"), 300);
        QVERIFY2(held.contains("Otro programa está usando la base de datos del servidor y no la soltó a tiempo."),
                 qPrintable(held));
        QCOMPARE(CheckServer(pg.settings(), 300).state, ServerCheck::State::NotChecked);
        QVERIFY(took.elapsed() < 5000);
        QCOMPARE(QDir(env.path(".")).entryList({"copia.db*"}), QStringList());
        PgRun(holder, "ROLLBACK");

        ConnectionSettings nowhere = pg.settings();
        nowhere.port = 1;
        const ServerCheck unreachable = CheckServer(nowhere);
        QCOMPARE(unreachable.state, ServerCheck::State::NotChecked);
    }
};

QTEST_GUILESS_MAIN(tst_ServerCopy)
#include "tst_ServerCopy.moc"
