// tesorin --migrar: the file's books copied into an empty server database,
// whole and checked, or not at all.
#include "data/ChangeRecord.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Migrate.h"
#include "data/PgSchema.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QSqlQuery>
#include <QTextStream>
#include <QtTest>

namespace {

void exec(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    Exec(db, sql, binds);
}

// Courses, accounts, fees and members with accents, and amounts whose float
// sum is not their decimal sum (0.1 + 0.2 + ... ).
void fillBooks(const QSqlDatabase &db)
{
    exec(db, QStringLiteral("INSERT INTO Curso (Nombre) VALUES ('1º A'), ('2º B')"));
    exec(db, QStringLiteral("INSERT INTO Cuenta (Descripcion, Tipo, IDcuentaPadre) VALUES ('Ingresos', 'I', NULL),"
                            " ('Cuotas', 'i', 1), ('Gastos', 'E', NULL)"));
    exec(db, QStringLiteral("INSERT INTO Cuota (Descripcion, vigencia, Valor, IDCuenta) VALUES"
                            " ('Cuota 2024', '2024-03-01 00:00:00', 0.1, 2), ('Cuota 2025', '2025-03-01 00:00:00', 2.01, 2)"));
    exec(db, QStringLiteral("INSERT INTO Socio (Nombre, Alumno, IDCurso, DNI) VALUES ('Núñez, Eva', 'Iñaki', 1, NULL),"
                            " ('Gómez, Ana', NULL, 2, '20111222')"));
    const double amounts[] = {0.1, 0.2, 0.7, 2.01, 1234.57, 0.1, 0.2, 0.3, 1e-4, 99999999.99};
    int i = 0;
    for (double a : amounts)
        AddMovimiento(db, i % 3 ? QStringLiteral("I") : QStringLiteral("e"), i % 2 ? QStringLiteral("E") : QStringLiteral("C"),
                      a, i == 1 ? QVariant(7) : QVariant(), i == 1 ? QVariant(1) : QVariant(), i == 1 ? QVariant(1) : QVariant()),
            ++i;
    // Two lines of a bank statement, one reconciling a movement, their sum summed apart.
    exec(db, QStringLiteral("INSERT INTO ExtractoLinea (Fecha, Descripcion, Importe, Huella, IDMovimiento, Importado)"
                            " VALUES ('2026-03-02 00:00:00', 'Deposito', 0.1, 'a|1', 2, '2026-03-05 10:00:00'),"
                            " ('2026-03-03 00:00:00', 'Comision', -0.3, 'b|1', NULL, '2026-03-05 10:00:00')"));
    // Two entries of the record of changes.
    RecordChange(db, QStringLiteral("Cambio"), QStringLiteral("Curso"), 1, QStringLiteral("Nombre"), QStringLiteral("1º"),
                 QStringLiteral("1º A"));
    RecordChange(db, QStringLiteral("Baja"), QStringLiteral("Cuota"), 3, QStringLiteral("Valor"), 0.3, QVariant());
    // The last movement was deleted: its key is not given again.
    exec(db, QStringLiteral("INSERT INTO Movimiento (Tipo, Importe, MedioPago) VALUES ('I', 5, 'E')"));
    exec(db, QStringLiteral("DELETE FROM Movimiento WHERE IDMovimiento = (SELECT MAX(IDMovimiento) FROM Movimiento)"));
}

QString summed(PgTestDb &pg, const QString &medio, const QString &tipo)
{
    return pg.scalar(QStringLiteral("SELECT sum(importe)::text FROM movimiento WHERE mediopago = ? AND tipo = ?"), {medio, tipo})
        .toString();
}

int tableCount(PgTestDb &pg)
{
    return pg.scalar(QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
                                    " WHERE n.nspname = 'public'")).toInt();
}

} // namespace

class tst_Migrate : public QObject
{
    Q_OBJECT
private slots:
    void copiesEveryRowWithExactSums()
    {
        PG_TEST_DB(pg);
        TestEnv env;
        const QString file = env.createDb(QStringLiteral("libros.db"), fillBooks);
        env.writeIni(QStringLiteral("[DataSourceName]\nServidor=%1\nPuerto=%2\nBase=%3\nUsuario=%4\nSSL=disable\n")
                         .arg(pg.settings().host).arg(pg.settings().port).arg(pg.settings().database, pg.settings().user)
                         .toUtf8());
        QString out, err;
        QTextStream o(&out), e(&err);
        QCOMPARE(MigrarCommand(file, o, e), 0);
        QCOMPARE(err, QString());
        QCOMPARE(out, QStringLiteral("Se copiaron 2 socios, 10 movimientos, 2 cuotas, 3 cuentas, 2 cursos, 2 parámetros, 2 cambios registrados"
                                     " y 2 líneas de extracto conciliadas a %1;"
                                     " sumas verificadas.\n")
                          .arg(pg.settings().describe()));
        // Exact decimal sums, where the file's float sum drifts.
        QCOMPARE(summed(pg, QStringLiteral("E"), QStringLiteral("I")), QStringLiteral("0.6"));
        QCOMPARE(summed(pg, QStringLiteral("C"), QStringLiteral("E")), QStringLiteral("0.3"));
        QCOMPARE(summed(pg, QStringLiteral("C"), QStringLiteral("I")), QStringLiteral("1235.2701"));
        QCOMPARE(summed(pg, QStringLiteral("E"), QStringLiteral("E")), QStringLiteral("100000002.00"));
        QCOMPARE(pg.scalar(QStringLiteral("SELECT sum(valor)::text FROM cuota")).toString(), QStringLiteral("2.11"));
        QCOMPARE(pg.scalar(QStringLiteral("SELECT sum(importe)::text FROM extractolinea")).toString(), QStringLiteral("-0.2"));
        // Keys, texts, nulls and codes as the file had them (codes in capitals).
        QCOMPARE(pg.scalar(QStringLiteral("SELECT string_agg(idsocio || ':' || nombre || ':' || coalesce(dni, '-'), ';'"
                                          " ORDER BY idsocio) FROM socio")).toString(),
                 QStringLiteral("1:Núñez, Eva:-;2:Gómez, Ana:20111222"));
        QCOMPARE(pg.scalar(QStringLiteral("SELECT recibo || '/' || idsocio || '/' || idcuota || '/' || importe"
                                          " FROM movimiento WHERE idmovimiento = 2")).toString(), QStringLiteral("7/1/1/0.2"));
        QCOMPARE(pg.scalar(QStringLiteral("SELECT string_agg(tipo, '' ORDER BY idcuenta) FROM cuenta")).toString(),
                 QStringLiteral("IIE"));
        QCOMPARE(pg.scalar(QStringLiteral("SELECT valor FROM parametro WHERE parametro = 'ADMIN'")).toString(),
                 QStringLiteral("clave"));
        QCOMPARE(pg.scalar(QStringLiteral("SELECT string_agg(idcambio || operacion || tabla || clave || campo || fecha"
                                          " || usuario || equipo || coalesce(valoranterior, '-') || coalesce(valornuevo, '-'),"
                                          " ';' ORDER BY idcambio) FROM cambio")).toString(),
                 QStringLiteral("1CambioCurso1Nombre2026-12-06 10:00:00tesoreraPC-TESORERIA1º1º A;"
                                "2BajaCuota3Valor2026-12-06 10:00:00tesoreraPC-TESORERIA0.3-"));
        // The numbering goes on past the deleted movement 11.
        QCOMPARE(pg.scalar(QStringLiteral("INSERT INTO movimiento (tipo) VALUES ('I') RETURNING idmovimiento")).toInt(), 12);
        QCOMPARE(pg.scalar(QStringLiteral("INSERT INTO socio (nombre) VALUES ('x') RETURNING idsocio")).toInt(), 3);

        // A database that is not empty is refused and left as it is.
        out.clear();
        QCOMPARE(MigrarCommand(file, o, e), 1);
        QCOMPARE(err, QStringLiteral("La base de datos %1 del servidor no está vacía (ya tiene tablas). --migrar sólo copia en"
                                     " una base de datos vacía. No se copió nada: el servidor quedó como estaba.\n")
                          .arg(pg.settings().describe()));
        QCOMPARE(out, QString());
        QCOMPARE(pg.scalar(QStringLiteral("SELECT count(*) FROM movimiento")).toInt(), 11);
    }

    void copiesTheDemo()
    {
        PG_TEST_DB(pg);
        TestEnv env;
        const QString file = env.path(QStringLiteral("demo.db"));
        QCOMPARE(CreateDemoDatabase(file, QDate(2025, 6, 1)), QString());
        QString summary;
        QCOMPARE(MigrateToServer(file, pg.settings(), &summary), QString());
        QVERIFY2(summary.startsWith(QStringLiteral("Se copiaron ")) && summary.endsWith(QStringLiteral("sumas verificadas.")),
                 qPrintable(summary));
        QVERIFY(OpenConnection(QStringLiteral("demo"), file, nullptr));
        QSqlQuery q = Exec(QSqlDatabase::database(QStringLiteral("demo")),
                           QStringLiteral("SELECT COUNT(*), SUM(CAST(ROUND(Importe * 100) AS INTEGER)) FROM Movimiento"));
        QVERIFY(q.next());
        QCOMPARE(pg.scalar(QStringLiteral("SELECT count(*) FROM movimiento")).toLongLong(), q.value(0).toLongLong());
        QCOMPARE(pg.scalar(QStringLiteral("SELECT (sum(importe) * 100)::bigint FROM movimiento")).toLongLong(),
                 q.value(1).toLongLong());
        q.finish();
        CloseConnection(QStringLiteral("demo"));
    }

    // A row the server's rules refuse, or a database with tables of its own:
    // the server keeps nothing of the attempt.
    void leavesNothingOnFailure()
    {
        PG_TEST_DB(pg);
        TestEnv env;
        const QString bad = env.createDb(QStringLiteral("mala.db"), [](const QSqlDatabase &db) {
            fillBooks(db);
            exec(db, QStringLiteral("INSERT INTO Movimiento (Tipo, Importe, MedioPago) VALUES ('X', 1, 'E')"));
        });
        QString summary;
        const QString error = MigrateToServer(bad, pg.settings(), &summary);
        QVERIFY2(error.startsWith(QStringLiteral("El servidor no aceptó las filas de Movimiento desde la clave 1: "))
                     && error.contains(QStringLiteral("movimiento_tipo_check"))
                     && error.endsWith(QStringLiteral("No se copió nada: el servidor quedó como estaba.")),
                 qPrintable(error));
        QCOMPARE(summary, QString());
        QCOMPARE(tableCount(pg), 0);
        QVERIFY(pg.scalar(QStringLiteral("SELECT count(*) FROM pg_proc WHERE proname = 'fold_es'")).toInt() == 0);

        PgRun(pg.open(), QStringLiteral("CREATE TABLE notas (texto text)"));
        QVERIFY(MigrateToServer(env.createDb(QStringLiteral("buena.db"), fillBooks), pg.settings(), &summary)
                    .contains(QStringLiteral("no está vacía")));
        QCOMPARE(tableCount(pg), 1);
        QVERIFY(MigrateToServer(env.path(QStringLiteral("no-existe.db")), pg.settings(), &summary)
                    .startsWith(QStringLiteral("No existe el archivo")));
    }
};

QTEST_GUILESS_MAIN(tst_Migrate)
#include "tst_Migrate.moc"
