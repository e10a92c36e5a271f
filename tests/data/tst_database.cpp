#include "data/Database.h"
#include "data/DemoData.h"
#include "data/SqliteStorage.h"
#include "data/TableInfo.h"
#include "data/TextRules.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QTest>
#include <sqlite3.h>
#include <unistd.h>

class tst_Database : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { EngineRows(); }
    void opensOnlyARealTesorinDatabase();
    void lockedDatabaseFailsAfterWaiting();
    void readOnlyDatabaseReadsButRefusesWrites();
    void writesAreBoundTypedAndAtomic();
    void creatingDatabases();
    void anOlderFileGetsTheMemberOrderIndex();
    void anOlderFileNumbersMasterRowsOnce();
    void oneSpanishRuleForSearchOrderAndIndex();
    void rowReaderReadsTypedValues();
};

namespace {
bool hasIndex(const QString &name)
{
    return Scalar("SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND name=?", {name}).toInt() == 1;
}
} // namespace

void tst_Database::opensOnlyARealTesorinDatabase()
{
    FILE_ONLY();
    TestEnv t;
    QList<DbErrorEntry> errors;

    const QString missing = t.path("nada.db");
    QVERIFY(!OpenConexion(missing, &errors));
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().nativeNumber, 14);
    QVERIFY(!QFile::exists(missing)); // nothing is ever created

    QVERIFY(QDir(t.path(".")).mkdir("carpeta"));
    QVERIFY(!OpenConexion(t.path("carpeta"), &errors));

    QFile text(t.path("notas.txt"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("Esto no es una base de datos, es un texto bastante largo para parecer un archivo.\n");
    text.close();
    QVERIFY(!OpenConexion(text.fileName(), &errors));
    QCOMPARE(errors.first().nativeNumber, 26);
    QCOMPARE(errors.first().description, DbErrorDescription(26, "file is not a database"));

    QFile empty(t.path("vacio.db"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QVERIFY(!OpenConexion(empty.fileName(), &errors));
    QCOMPARE(errors.size(), 6);
    QCOMPARE(errors.first().description, QStringLiteral("no such table: Socio"));

    {   // an unrelated SQLite file
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "otra");
        other.setDatabaseName(t.path("otra.db"));
        QVERIFY(other.open());
        Exec(other, "CREATE TABLE Socio (x)");
        other.close();
    }
    QSqlDatabase::removeDatabase("otra");
    QVERIFY(!OpenConexion(t.path("otra.db"), &errors));
    QCOMPARE(errors.size(), 5);
    QVERIFY(!ConexionIsOpen());

    // A table without a column the screens use.
    const QString lacking = t.createDb("sin-columna.db", [](const QSqlDatabase &db) {
        Exec(db, "ALTER TABLE Movimiento DROP COLUMN ChequeNumero");
    });
    QVERIFY(!OpenConexion(lacking, &errors));
    QCOMPARE(errors.first().description, QStringLiteral("no such column: Movimiento.ChequeNumero"));

    // A table the file declares but SQLite cannot read (its module is missing here):
    // that failure is told, not a missing column.
    const QString unreadable = t.createDb("virtual.db", [](const QSqlDatabase &db) {
        static sqlite3_module module{};
        module.xCreate = module.xConnect = [](sqlite3 *h, void *, int, const char *const *, sqlite3_vtab **out, char **) {
            *out = static_cast<sqlite3_vtab *>(sqlite3_malloc(sizeof(sqlite3_vtab)));
            **out = {};
            return sqlite3_declare_vtab(h, "CREATE TABLE x (IDCurso, Nombre)");
        };
        module.xDisconnect = module.xDestroy = [](sqlite3_vtab *v) { sqlite3_free(v); return SQLITE_OK; };
        QCOMPARE(sqlite3_create_module(SqliteHandle(db), "prestado", &module, nullptr), SQLITE_OK);
        Exec(db, "DROP TABLE Curso");
        Exec(db, "CREATE VIRTUAL TABLE Curso USING prestado");
    });
    QVERIFY(!OpenConexion(unreadable, &errors));
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().description, QStringLiteral("no such module: prestado"));

    const QString good = t.createDb();
    QVERIFY(OpenConexion(good, &errors));
    QVERIFY(!ConexionIsReadOnly());
    QVERIFY(errors.isEmpty());
    QVERIFY(ConexionIsOpen());
    QCOMPARE(ConnectionString(), good);
}

void tst_Database::lockedDatabaseFailsAfterWaiting()
{
    FILE_ONLY();
    TestEnv t;
    const QString path = t.createDb();
    QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", "cerrojo");
    locker.setDatabaseName(path);
    QVERIFY(locker.open());
    Exec(locker, "BEGIN EXCLUSIVE");
    Exec(locker, "INSERT INTO Curso (Nombre) VALUES ('1ro')");

    QList<DbErrorEntry> errors;
    QVERIFY(!OpenConexion(path, &errors));
    QCOMPARE(errors.first().nativeNumber, 5);
    QCOMPARE(errors.first().description, DbErrorDescription(5, "database is locked"));

    Exec(locker, "ROLLBACK");
    locker.close();
    locker = QSqlDatabase();
    QSqlDatabase::removeDatabase("cerrojo");
    QVERIFY(OpenConexion(path, &errors));
}

void tst_Database::readOnlyDatabaseReadsButRefusesWrites()
{
    TestEnv t;
    const QString path = t.openBooks([](const QSqlDatabase &db) { AddMovimiento(db, "I", "E", 100); });
    if (OnServerRow()) { // a role that may only read
        QVERIFY(QSqlQuery(Conexion()).exec("SET ROLE consulta"));
    } else {
        CloseConexion();
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        QList<DbErrorEntry> errors;
        QVERIFY(OpenConexion(path, &errors));
    }
    if (geteuid() == 0 && !OnServerRow()) // the file system lets root write anyway: ask SQLite to refuse
        Exec("PRAGMA query_only = ON");
    else
        QVERIFY(ConexionIsReadOnly()); // said at start-up
    QCOMPARE(Exec("SELECT SUM(Importe) FROM Movimiento").next(), true);
    try {
        AddMovimiento(Conexion(), "I", "E", 50);
        QFAIL("a write to a read-only database must fail");
    } catch (const RuntimeError &e) {
        QVERIFY2(ErrorText(e).startsWith("Error #8: La base de datos no se puede modificar ("), qPrintable(ErrorText(e)));
    }
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento").toInt(), 1);
}

void tst_Database::writesAreBoundTypedAndAtomic()
{
    TestEnv t;
    t.openBooks();
    // An apostrophe is stored and found as typed; a setting's name is one whatever its case.
    Exec("INSERT INTO Socio (Nombre) VALUES (?)", {QStringLiteral("D'Angelo, Roberto")});
    QCOMPARE(Scalar("SELECT Nombre FROM Socio WHERE fold_es(Nombre) LIKE fold_es(?)", {"%d'angelo%"}).toString(),
             QStringLiteral("D'Angelo, Roberto"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Exec("INSERT INTO Parametro (Parametro, Valor) VALUES ('admin', 'x')"));

    // A member number once used is never handed out again.
    Exec("INSERT INTO Socio (Nombre) VALUES ('Dos')");
    Exec("DELETE FROM Socio WHERE IDSocio = 2");
    QCOMPARE(InsertReturningKey(Conexion(), "INSERT INTO Socio (Nombre) VALUES ('Tres')", {}, "IDSocio").toInt(), 3);

    // Dates are stored as text, through the one conversion.
    const QDateTime when(QDate(2026, 4, 9), QTime(8, 5, 7));
    Exec("INSERT INTO Movimiento (Fecha, Tipo, Importe, MedioPago) VALUES (?, 'I', 1, 'E')", {when});
    Exec("INSERT INTO Cuota (Descripcion, vigencia) VALUES ('x', ?)", {QDate(2026, 3, 1)});
    QCOMPARE(Scalar("SELECT Fecha FROM Movimiento").toString(), "2026-04-09 08:05:07");
    QCOMPARE(DbDate(Scalar("SELECT Fecha FROM Movimiento")), when);
    QCOMPARE(Scalar("SELECT vigencia FROM Cuota").toString(), "2026-03-01 00:00:00");
    QVERIFY(!DbDate(QVariant()).isValid());
    QVERIFY(!DbDate(QStringLiteral("ayer")).isValid());
    // A malformed date or a text amount cannot reach the ledger.
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Exec("INSERT INTO Movimiento (Fecha) VALUES ('2026-04-09T08:05:07')"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Exec("INSERT INTO Movimiento (Importe) VALUES ('mil')"));

    // A transaction rolls back unless committed.
    try {
        Transaction tr;
        Exec("INSERT INTO Curso (Nombre) VALUES ('1ro')");
        Exec("INSERT INTO NoExiste (x) VALUES (1)");
        tr.commit();
    } catch (const RuntimeError &) {
    }
    QVERIFY(!Scalar("SELECT * FROM Curso").isValid());
    {
        Transaction tr;
        Exec("INSERT INTO Curso (Nombre) VALUES ('2do')");
        tr.commit();
    }
    QVERIFY(Scalar("SELECT * FROM Curso").isValid());

}

void tst_Database::anOlderFileGetsTheMemberOrderIndex()
{
    FILE_ONLY();
    TestEnv t;
    const QString path = t.openNewDb();
    QVERIFY(hasIndex("Socio_Orden")); // a new file has it
    Exec("DROP INDEX Socio_Orden");
    CloseConexion();
    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(path, &errors));
    QVERIFY(hasIndex("Socio_Orden"));
    // The list's order uses it: no sorting step.
    QSqlQuery plan = Exec("EXPLAIN QUERY PLAN SELECT IDSocio FROM Socio ORDER BY " + SocioOrderKey("Nombre")
                          + ", IDSocio");
    QString steps;
    while (plan.next())
        steps += plan.value(3).toString() + '\n';
    QVERIFY2(steps.contains("Socio_Orden") && !steps.contains("TEMP B-TREE"), qPrintable(steps));

    if (geteuid() == 0)
        QSKIP("root writes to read-only files");
    Exec("DROP INDEX Socio_Orden");
    CloseConexion();
    QFile::setPermissions(path, QFile::ReadOwner);
    QVERIFY(OpenConexion(path, &errors)); // read-only: opened as it is
    QVERIFY(!hasIndex("Socio_Orden"));
}

void tst_Database::anOlderFileNumbersMasterRowsOnce()
{
    FILE_ONLY();
    TestEnv t;
    // A file as the previous version made them: plain integer keys.
    const QString path = t.createDb("anterior.db", [](const QSqlDatabase &db) {
        for (const char *sql : {"DROP TABLE Curso", "DROP TABLE Cuota", "DROP TABLE Cuenta",
                                "CREATE TABLE Curso ( IDCurso INTEGER PRIMARY KEY, Nombre TEXT COLLATE NOCASE)",
                                "CREATE TABLE Cuota ( IDCuota INTEGER PRIMARY KEY, Descripcion TEXT COLLATE NOCASE,"
                                " vigencia TEXT CHECK (vigencia IS NULL OR vigencia GLOB '[0-9][0-9][0-9][0-9]-*'),"
                                " Valor REAL, IDCuenta INTEGER)",
                                "CREATE INDEX Cuota_Vigencia ON Cuota (vigencia)",
                                "CREATE TABLE Cuenta ( IDCuenta INTEGER PRIMARY KEY, Descripcion TEXT,"
                                " Tipo TEXT COLLATE NOCASE, IDcuentaPadre INTEGER)",
                                "INSERT INTO Curso VALUES (1, '1ro'), (7, '7mo')",
                                "INSERT INTO Cuota VALUES (3, 'Anual', '2026-03-01 00:00:00', 1500, 10)",
                                "INSERT INTO Cuenta VALUES (10, 'Cuotas', 'I', NULL)"})
            Exec(db, sql);
    });
    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(path, &errors));
    QCOMPARE(Scalar("SELECT COUNT(*) FROM sqlite_master WHERE name IN ('Curso', 'Cuota', 'Cuenta')"
                    " AND sql LIKE '%PRIMARY KEY AUTOINCREMENT%'").toInt(), 3);
    // Every row, index and constraint kept; the numbering goes on from the highest key.
    QCOMPARE(Scalar("SELECT group_concat(IDCurso || Nombre) FROM Curso").toString(), "11ro,77mo");
    QCOMPARE(Scalar("SELECT IDCuota || Descripcion || vigencia || Valor || IDCuenta FROM Cuota").toString(),
             "3Anual2026-03-01 00:00:001500.010");
    QCOMPARE(Scalar("SELECT Descripcion FROM Cuenta WHERE IDCuenta = 10").toString(), "Cuotas");
    QVERIFY(hasIndex("Cuota_Vigencia") && hasIndex("Movimiento_Cuota"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Exec("INSERT INTO Cuota (vigencia) VALUES ('ayer')"));
    Exec("DELETE FROM Curso WHERE IDCurso = 7");
    QCOMPARE(Exec("INSERT INTO Curso (Nombre) VALUES ('Nuevo')").lastInsertId().toInt(), 8);
    QCOMPARE(Exec("INSERT INTO Cuota (Descripcion) VALUES ('Bono')").lastInsertId().toInt(), 4);
    const QString schema = Scalar("SELECT group_concat(sql, ';') FROM sqlite_master").toString();
    CloseConexion();
    QVERIFY(OpenConexion(path, &errors)); // once only
    QCOMPARE(Scalar("SELECT group_concat(sql, ';') FROM sqlite_master").toString(), schema);
}

void tst_Database::creatingDatabases()
{
    FILE_ONLY();
    TestEnv t;
    const QString path = t.path("nueva.db");
    QCOMPARE(CreateDatabaseFile(path, "s3cr3t"), QString());
    QVERIFY(CreateDatabaseFile(path, "otra").startsWith("Ya existe un archivo"));
    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(path, &errors));
    QSqlQuery q = Exec("SELECT Parametro, Valor FROM Parametro ORDER BY Parametro");
    QVERIFY(q.next());
    QCOMPARE(q.value(1).toString(), QStringLiteral("s3cr3t"));
    QVERIFY(q.next());
    QCOMPARE(q.value(1).toString(), QStringLiteral("1"));
    QVERIFY(!Exec("SELECT * FROM Movimiento").next());
    CloseConexion();

    const QString demo = t.path("demo.db");
    QCOMPARE(CreateDemoDatabase(demo, QDate(2026, 12, 6)), QString());
    QVERIFY(OpenConexion(demo, &errors));
    q = Exec("SELECT COUNT(DISTINCT Tipo || MedioPago), COUNT(IDContraAsiento), COUNT(Recibo) FROM Movimiento");
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 4); // every kind of movement
    QCOMPARE(q.value(1).toInt(), 4); // two transfers, two legs each
    QVERIFY(q.value(2).toInt() > 0);
}

void tst_Database::oneSpanishRuleForSearchOrderAndIndex()
{
    TestEnv t;
    const QString path = t.openBooks();
    // Files made earlier hold an index over this very text: another text would leave it unused.
    QCOMPARE(SocioOrderKey("Nombre"),
             QString("replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace("
                     "replace(replace(replace(Nombre,'á','a'),'Á','a'),'é','e'),'É','e'),'í','i'),'Í','i'),'ó','o'),"
                     "'Ó','o'),'ú','u'),'Ú','u'),'ü','u'),'Ü','u'),'ñ','n~'),'Ñ','n~') COLLATE NOCASE"));
    const QStringList names = {"Nuñez", "NUNEZ", "núñez", "Nunezca", "Ñandú", "Oscar", "Ávila", "avila", "Zúñiga",
                               "Muñoz", "MUNOZ", "Ubeda", "Über", "Íñigo", "Indart", "Eñe", "Ene", "Énfasis", "enz"};
    for (const QString &n : names)
        Exec("INSERT INTO Socio (Nombre) VALUES (?)", {n});
    auto order = [](const QString &key) {
        QStringList out;
        QSqlQuery q = Exec("SELECT Nombre FROM Socio ORDER BY " + key + ", IDSocio");
        while (q.next())
            out << q.value(0).toString();
        return out;
    };
    QCOMPARE(order(Dialect::MemberOrder(EngineOf(Conexion()), "Nombre")), order(SqlSortText(Conexion(), "Nombre")));
    // The SQL functions are the rule itself.
    for (const QString &text : {QString("Núñez Straße ÆØ Ǆ"), QString("GÓMEZ, José"), QString("Ñandú"),
                                QString::fromUtf8("Jose\xcc\x81 Ελένη")}) {
        QCOMPARE(Scalar("SELECT fold_es(?)", {text}).toString(), FoldSpanish(text, Enye::AsN));
        QCOMPARE(Scalar("SELECT sort_es(?)", {text}).toString(), FoldSpanish(text, Enye::AfterN));
    }
    QCOMPARE(FoldSpanish("Núñez Straße ÆØ Ǆ", Enye::AsN), QString("nunez strasse aeo dz"));
    QCOMPARE(FoldSpanish("Ñandú Jose\u0301 Ελένη", Enye::AfterN), QString("n~andu jose ελενη"));
    QVERIFY(Scalar("SELECT fold_es(NULL)").isNull());

    // A plain SQLite, without the program's functions, reads and writes the file.
    if (OnServerRow())
        return;
    CloseConexion();
    sqlite3 *h = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &h, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    const QByteArray sql = "INSERT INTO Socio (Nombre) VALUES ('Ñoño'); SELECT Nombre FROM Socio ORDER BY "
                           + SocioOrderKey("Nombre").toUtf8() + "; PRAGMA integrity_check;";
    char *error = nullptr;
    const int rc = sqlite3_exec(h, sql.constData(), nullptr, nullptr, &error);
    const QString why = QString::fromUtf8(error ? error : "");
    sqlite3_free(error);
    sqlite3_close(h);
    QVERIFY2(rc == SQLITE_OK, qPrintable(why));
}

void tst_Database::rowReaderReadsTypedValues()
{
    TestEnv t;
    t.openBooks();
    const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9));
    // Typed by casts: the server takes a bare bound value for a text.
    RowReader r(Conexion(), QStringLiteral("SELECT CAST(? AS BIGINT) AS a, CAST(? AS DOUBLE PRECISION), ?, ?, ?, %1, NULL")
                                .arg(OnServerRow() ? "'\\x00ff'::bytea" : "x'00ff'"),
                {qint64(1) << 40, 2.5, QStringLiteral("Ñandú"), when, QVariant()});
    QCOMPARE(r.columnCount(), 7);
    QCOMPARE(r.columnName(0), QString("a"));
    QVERIFY(r.next());
    QCOMPARE(r.type(0), RowReader::Type::Integer);
    QCOMPARE(r.integer(0), qint64(1) << 40);
    QCOMPARE(r.type(1), RowReader::Type::Real);
    QCOMPARE(r.value(1), QVariant(2.5));
    QCOMPARE(r.value(2), QVariant(QStringLiteral("Ñandú")));
    QCOMPARE(r.value(3), QVariant(QStringLiteral("2024-03-05 07:08:09"))); // a date binds as its stored text
    QVERIFY(r.isNull(4) && r.isNull(6) && r.value(6).isNull());
    QCOMPARE(r.value(5), QVariant(QByteArray("\x00\xff", 2)));
    QVERIFY(!r.next());
    try {
        RowReader bad(Conexion(), "SELECT * FROM NoHay");
        QFAIL("no error");
    } catch (const StorageError &e) {
        QCOMPARE(DbErrorText(e.sqlError()), OnServerRow() ? "relation \"nohay\" does not exist" : "no such table: NoHay");
        QCOMPARE(e.number(), 1);
    }
    CloseConexion();
    try {
        RowReader closed(Conexion(), "SELECT 1");
        QFAIL("no error");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.number(), 3704);
    }
}

QTEST_MAIN(tst_Database)
#include "tst_database.moc"
