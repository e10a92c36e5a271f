// The schema on a PostgreSQL server, and the text rules both engines order
// and search by.
#include "data/Database.h"
#include "data/PgSchema.h"
#include "data/ServerCheck.h"
#include "data/TextRules.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {
QStringList column(QSqlQuery q)
{
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

} // namespace

class tst_PgSchema : public QObject
{
    Q_OBJECT
private slots:
    void createsTheFilesTablesWithTheirRules()
    {
        PG_TEST_DB(pg);
        QSqlDatabase db = pg.open();
        CreatePgSchema(db);
        for (const auto &[table, columns] : RequiredColumns()) {
            const QStringList have = column(RunOrDie(db, QStringLiteral("SELECT column_name FROM information_schema.columns"
                                                                   " WHERE table_name = ? ORDER BY ordinal_position"),
                                                {table.toLower()}));
            QCOMPARE(have.join(QLatin1Char(',')), columns.join(QLatin1Char(',')).toLower());
        }
        QCOMPARE(pg.scalar(QStringLiteral("SELECT data_type FROM information_schema.columns WHERE column_name = 'importe'"))
                     .toString(),
                 QStringLiteral("numeric"));
        // The statements' own spellings find the columns; a new row gets the next key.
        RunOrDie(db, QStringLiteral("INSERT INTO Movimiento (Fecha, tipo, Importe, MedioPago) VALUES (?, 'I', ?, 'E')"),
            {QStringLiteral("2025-03-01 10:00:00"), QStringLiteral("0.1")});
        QCOMPARE(pg.scalar(QStringLiteral("SELECT IDMovimiento FROM movimiento WHERE IDcuota IS NULL")).toInt(), 1);
        // What the file's rules refuse, the server refuses too.
        const QStringList refused = {
            QStringLiteral("INSERT INTO Movimiento (Tipo) VALUES ('X')"),
            QStringLiteral("INSERT INTO Movimiento (MedioPago) VALUES ('B')"),
            QStringLiteral("INSERT INTO Movimiento (Fecha) VALUES ('01/03/2025')"),
            QStringLiteral("INSERT INTO Cuota (vigencia) VALUES ('2025-03-01')"),
            QStringLiteral("INSERT INTO Cuenta (Tipo) VALUES ('i')"),
            QStringLiteral("INSERT INTO Parametro VALUES ('ADMIN', 'a'), ('admin', 'b')"),
        };
        for (const QString &sql : refused) {
            QSqlQuery q(db);
            QVERIFY2(!q.exec(sql), qPrintable(sql));
        }
        QCOMPARE(pg.scalar(QStringLiteral("SELECT string_agg(rolname, ',' ORDER BY rolname) FROM pg_roles"
                                          " WHERE rolname IN ('tesorero', 'consulta')")).toString(),
                 QStringLiteral("consulta,tesorero"));
        QVERIFY(pg.scalar(QStringLiteral("SELECT has_table_privilege('tesorero', 'movimiento', 'INSERT')"
                                         " AND has_sequence_privilege('tesorero', 'movimiento_idmovimiento_seq', 'USAGE')"
                                         " AND has_table_privilege('consulta', 'movimiento', 'SELECT')"
                                         " AND NOT has_table_privilege('consulta', 'movimiento', 'INSERT')"))
                    .toBool());
        // A second database of the same server: the roles are there already.
        PgTestDb other;
        CreatePgSchema(other.open(QStringLiteral("otra")));
    }

    // Every Latin letter, the accents typed apart and a few other scripts fold
    // on the server exactly as in the file.
    void foldsAsTheFileDoes()
    {
        PG_TEST_DB(pg);
        TestEnv env;
        QSqlDatabase db = pg.open();
        CreatePgSchema(db);
        QVERIFY(OpenConnection(QStringLiteral("archivo"), env.createDb(), nullptr));
        const QSqlDatabase file = QSqlDatabase::database(QStringLiteral("archivo"));
        QStringList texts = {QStringLiteral("Gómez"), QStringLiteral("GOMEZ"), QStringLiteral("Núñez"),
                             QStringLiteral("Ñandú ÀÉÎÕÜ"), QStringLiteral("Straße Æsir"), QStringLiteral("ǄǅǆĲ"),
                             QStringLiteral("Ωμέγα Привет"), QStringLiteral("e\u0301 n\u0303")};
        for (char32_t cp = 0x20; cp < 0x250; ++cp)
            texts << QStringLiteral("A") + QString::fromUcs4(&cp, 1) + QStringLiteral("z");
        // Texts of ASCII alone, of Spanish letters beyond it, and of others:
        // each is folded by its own way on the server.
        texts << QStringLiteral("GOMEZ, Ana_1") << QStringLiteral("Ibáñez Güemes, JOSÉ") << QStringLiteral("Peña Straße")
              << QString();
        QSqlQuery onServer(db), inFile(file);
        onServer.prepare(QStringLiteral("SELECT fold_es(?), sort_es(?)"));
        inFile.prepare(QStringLiteral("SELECT fold_es(?), sort_es(?)"));
        for (const QString &t : std::as_const(texts)) {
            for (QSqlQuery *q : {&onServer, &inFile}) {
                q->addBindValue(t);
                q->addBindValue(t);
                QVERIFY(q->exec() && q->next());
            }
            for (int c : {0, 1})
                QCOMPARE(onServer.value(c), inFile.value(c));
        }

        // The member list: the same rows found, in the same order, on both engines.
        const QStringList names = {QStringLiteral("gomez, Ana"), QStringLiteral("Núñez, Eva"), QStringLiteral("GOMEZ, Luis"),
                                   QStringLiteral("Nuzo, Juan"), QStringLiteral("Gómez, Berta"), QStringLiteral("Nunez, Ema"),
                                   QStringLiteral("Ibáñez, Raúl"), QStringLiteral("Gomez_Paz"), QStringLiteral("Ibanez, Ana")};
        for (const QString &n : names) {
            RunOrDie(db, QStringLiteral("INSERT INTO socio (nombre) VALUES (?)"), {n});
            RunOrDie(file, QStringLiteral("INSERT INTO Socio (Nombre) VALUES (?)"), {n});
        }
        const QString search = QStringLiteral("SELECT Nombre FROM Socio WHERE fold_es(Nombre) LIKE '%' || fold_es(?) || '%' ORDER BY ");
        const QString fileOrder = SocioOrderKey(QStringLiteral("Nombre")) + QStringLiteral(", IDSocio");
        const QString serverOrder = PgOrderKey(QStringLiteral("Nombre")) + QStringLiteral(", IDSocio");
        const QStringList all = column(RunOrDie(file, QStringLiteral("SELECT Nombre FROM Socio ORDER BY ") + fileOrder));
        QCOMPARE(column(RunOrDie(db, QStringLiteral("SELECT Nombre FROM Socio ORDER BY ") + serverOrder)), all);
        QCOMPARE(all.mid(0, 4), (QStringList{QStringLiteral("gomez, Ana"), QStringLiteral("Gómez, Berta"),
                                             QStringLiteral("GOMEZ, Luis"), QStringLiteral("Gomez_Paz")}));
        QCOMPARE(all.mid(6), (QStringList{QStringLiteral("Nunez, Ema"), QStringLiteral("Núñez, Eva"), QStringLiteral("Nuzo, Juan")}));
        for (const QString &typed : {QStringLiteral("GÓMEZ"), QStringLiteral("nunez"), QStringLiteral("ibañez")}) {
            const QStringList found = column(RunOrDie(file, search + fileOrder, {typed}));
            QCOMPARE(column(RunOrDie(db, search + serverOrder, {typed})), found);
            QVERIFY2(found.size() >= 2, qPrintable(typed));
        }
        // Ordering by the folded text keeps ñ after every n.
        QCOMPARE(column(RunOrDie(db, QStringLiteral("SELECT Nombre FROM Socio WHERE nombre LIKE 'N%' ORDER BY sort_es(Nombre)"
                                               " COLLATE \"C\""))),
                 (QStringList{QStringLiteral("Nunez, Ema"), QStringLiteral("Núñez, Eva"), QStringLiteral("Nuzo, Juan")}));
        CloseConnection(QStringLiteral("archivo"));
    }

    // A database an earlier version made (its rules called row by row, the
    // old indexes) gets today's from the tables' owner, folding as before;
    // another user's program leaves it as it is.
    void upgradesWhatAnEarlierVersionMade()
    {
        PG_TEST_DB(pg);
        QSqlDatabase db = pg.open();
        CreatePgSchema(db);
        RunOrDie(db, QStringLiteral("INSERT INTO socio (nombre) VALUES ('Núñez, Strauß'), ('GOMEZ')"));
        const QStringList before = column(RunOrDie(db, QStringLiteral("SELECT fold_es(nombre) || sort_es(nombre) FROM socio")));
        for (const char *sql :
             {"DROP FUNCTION fold_es_general(text) CASCADE",
              "CREATE FUNCTION fold_es(t text) RETURNS text LANGUAGE sql IMMUTABLE STRICT"
              " RETURN lower(translate(replace(t, 'ß', 'ss'), 'úÚñÑ', 'uunn'))",
              "CREATE FUNCTION sort_es(t text) RETURNS text LANGUAGE sql IMMUTABLE STRICT"
              " RETURN fold_es(replace(replace(t, 'ñ', 'n~'), 'Ñ', 'n~'))",
              "DROP INDEX socio_orden_lista", "DROP INDEX movimiento_fecha_orden", "DROP INDEX movimiento_fecha_bajando",
              "CREATE INDEX socio_orden ON socio (socio_orden(nombre) COLLATE \"C\" NULLS FIRST, idsocio)",
              "CREATE INDEX movimiento_fecha ON movimiento (fecha)"})
            PgRun(db, QString::fromUtf8(sql));
        const QString indexes = QStringLiteral("SELECT string_agg(indexname, ',' ORDER BY indexname) FROM pg_indexes"
                                               " WHERE tablename NOT IN ('cambio', 'extractolinea') AND (indexname LIKE '%orden%'"
                                               " OR indexname LIKE '%fecha%' OR indexname LIKE '%busqueda')");
        const QString old = pg.scalar(indexes).toString();
        QCOMPARE(old, QStringLiteral("movimiento_fecha,socio_orden"));

        const QString role = QStringLiteral("cajero_%1").arg(QCoreApplication::applicationPid());
        PgRun(db, QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE %2").arg(role, QLatin1String(kPgRoleWrite)));
        ConnectionSettings other = pg.settings();
        other.user = role;
        QString error;
        QVERIFY2(OpenServerConnection(QStringLiteral("cajero"), other, &error), qPrintable(error));
        UpgradePgSchema(QSqlDatabase::database(QStringLiteral("cajero"), false));
        CloseConnection(QStringLiteral("cajero"));
        QCOMPARE(pg.scalar(indexes).toString(), old);

        UpgradePgSchema(db);
        QCOMPARE(column(RunOrDie(db, QStringLiteral("SELECT fold_es(nombre) || sort_es(nombre) FROM socio"))), before);
        const bool trigrams = pg.scalar(QStringLiteral("SELECT count(*) FROM pg_extension WHERE extname = 'pg_trgm'")).toInt();
        QCOMPARE(pg.scalar(indexes).toString(),
                 trigrams ? QStringLiteral("movimiento_descripcion_busqueda,movimiento_fecha_bajando,movimiento_fecha_orden,"
                                           "socio_alumno_busqueda,"
                                           "socio_nombre_busqueda,socio_orden_lista")
                          : QStringLiteral("movimiento_fecha_bajando,movimiento_fecha_orden,socio_orden_lista"));
        PgRun(db, QStringLiteral("DROP ROLE %1").arg(role));
    }
};

QTEST_GUILESS_MAIN(tst_PgSchema)
#include "tst_PgSchema.moc"
