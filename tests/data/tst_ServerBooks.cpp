// The books on a server answer as the file they were copied from: the member
// search, the two listing reports and the next receipt number give the same
// rows in the same order, and so does the table editor; a role that may only
// read is told so; the kept balances follow other programs' commits; a lost
// connection undoes the work in progress and comes back.
#include "data/ChangeWatch.h"
#include "data/Database.h"
#include "data/Ledger.h"
#include "data/Parametros.h"
#include "data/PgSchema.h"
#include "data/TableInfo.h"
#include "masterdata/FilterCriterion.h"
#include "masterdata/GrillaModel.h"
#include "members/SocioSearch.h"
#include "reports/Report.h"
#include "reports/rptBalance.h"
#include "reports/rptLibroSocios.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QProcess>
#include <QTest>

namespace {

// Names that try the fold and the order: accents and case on either side, ñ,
// letters beyond Spanish, names equal but for case, empty and missing ones.
void fillBooks(const QSqlDatabase &db)
{
    Exec(db, QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (1, '1er grado'), (2, 'Jardín'),"
                            " (3, 'jardin'), (4, NULL)"));
    const char *const names[] = {"Gómez, Raúl", "GOMEZ, ANA", "Núñez, Ana", "Nunez, Beto", "nuno, Carla",
                                 "ÁLVAREZ, Inés", "alvarez, Diego", "Ñandú, Pedro", "Strauß, Ute", "Øster, Kai",
                                 "ana", "Ana", "", "100% Pérez", "Zoë_Ü", "Érica", "érica"};
    int id = 0;
    for (const char *n : names) {
        ++id;
        Exec(db, QStringLiteral("INSERT INTO Socio (IDSocio, Nombre, Alumno, IDCurso) VALUES (?, ?, ?, ?)"),
             {id, QString::fromUtf8(n), QStringLiteral("Hijo %1 Martín").arg(id), id % 5 ? QVariant(id % 5) : QVariant()});
    }
    Exec(db, QStringLiteral("INSERT INTO Socio (IDSocio, Nombre, IDCurso) VALUES (40, NULL, 2)"));
    Exec(db, QStringLiteral("INSERT INTO Cuota (IDCuota, Descripcion, vigencia) VALUES (1, 'Anual', '2026-03-01 00:00:00'),"
                            " (2, 'Sin fecha', NULL), (3, 'Vieja', '2025-03-01 00:00:00')"));
    Exec(db, QStringLiteral("INSERT INTO Cuenta (IDCuenta, Descripcion, Tipo, IDcuentaPadre) VALUES"
                            " (1, 'Cuotas', 'I', NULL), (2, 'cuotas anuales', 'I', 1), (3, 'Luz', 'E', 5),"
                            " (4, 'LUZ y gas', 'E', 5), (5, 'Servicios', 'E', NULL), (6, NULL, 'E', NULL)"));
    const struct { const char *fecha, *tipo, *medio; int cuenta; double importe; const char *desc; int socio; } rows[] = {
        {"2026-01-10 10:00:00", "I", "E", 2, 1500.1, "Cuota", 1},   {"2026-02-10 11:00:00", "I", "E", 2, 0.1, "cuota", 3},
        {"2026-02-10 11:00:00", "I", "C", 1, 0.2, NULL, 40},        {"2026-03-01 00:00:00", "E", "E", 3, 0.3, "Luz", 0},
        {"2026-03-31 23:59:59", "E", "C", 4, 99.99, "luz", 0},      {"2026-04-01 09:00:00", "E", "E", 6, 5, "Varios", 0},
        {"2025-12-31 23:59:59", "I", "E", 2, 7, "Cuota vieja", 2},  {"2026-05-05 12:00:00", "I", "E", 2, 1500, "Cuota", 9},
    };
    for (const auto &r : rows)
        Exec(db, QStringLiteral("INSERT INTO Movimiento (Fecha, Tipo, MedioPago, IDCuenta, Importe, Descripcion,"
                                " IDSocio, IDCuota, Recibo) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
             {QString::fromLatin1(r.fecha), QString::fromLatin1(r.tipo), QString::fromLatin1(r.medio), r.cuenta,
              r.importe, r.desc ? QVariant(QString::fromLatin1(r.desc)) : QVariant(QMetaType::fromType<QString>()),
              r.socio ? QVariant(r.socio) : QVariant(QMetaType::fromType<int>()),
              r.socio ? QVariant(1) : QVariant(QMetaType::fromType<int>()), r.socio ? QVariant(40 + r.socio) : QVariant(QMetaType::fromType<int>())});
}

QString shown(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("<null>");
    return v.metaType().id() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 15) : v.toString();
}

QStringList readAll(const QString &sql, const QVariantList &binds)
{
    QStringList out;
    RowReader r(Conexion(), sql, binds);
    while (r.next()) {
        QStringList row;
        for (int c = 0; c < r.columnCount(); ++c)
            row << shown(r.value(c));
        out << row.join(QLatin1Char('|'));
    }
    return out;
}

QStringList reportRows(const ReportDataSource &source)
{
    ReportRows rows;
    const ReportResult read = ReadReportRows(source, &rows);
    if (!read.ok())
        QTest::qFail("no se pudo leer el informe", __FILE__, __LINE__);
    QStringList out;
    for (const auto &r : rows.rows) {
        QStringList row;
        for (const QVariant &v : r)
            row << shown(v);
        out << row.join(QLatin1Char('|'));
    }
    return out;
}

// The member list's searches, read on the shared connection.
QMap<QString, QStringList> searches()
{
    QMap<QString, QStringList> a;
    const SocioFilter filters[] = {{}, {"", "gomez", "", ""}, {"", "NUÑEZ", "", ""}, {"", "", "martin", "2"},
                                   {"", "%", "", ""}, {"", "_", "", ""}, {"", "erica", "", ""}, {"9", "", "", ""},
                                   {"", "ster", "", ""}, {"", "strauss", "hijo 9", ""}};
    for (const SocioFilter &f : filters) {
        QVariantList binds;
        const QString sql = SocioSearchSql(f, &binds);
        a[QStringLiteral("socios %1/%2/%3/%4").arg(f.numero, f.nombre, f.alumno, f.curso)] = readAll(sql, binds);
    }
    return a;
}

// What the table editor shows, on a connection of its own: each table's
// columns and keys in the table's order, and the movements by date downwards
// and filtered by their description. On the server, read through the indexes
// even on these few rows.
QStringList editorAnswers()
{
    QStringList out;
    if (!OpenConnection(QStringLiteral("editor"), ConnectionString(), nullptr))
        return {QStringLiteral("no se abrió")};
    auto keys = [](const GrillaTableModel &m) {
        QStringList k;
        for (int r = 0; r < m.rowCount(); ++r)
            k << QString::number(m.keyOf(r));
        return k.join(QLatin1Char(','));
    };
    for (const QString &table : RequiredTables()) {
        GrillaTableModel m(nullptr, QSqlDatabase::database(QStringLiteral("editor"), false));
        if (IsServerConnection(QSqlDatabase::database(QStringLiteral("editor"), false)))
            PgRun(QSqlDatabase::database(QStringLiteral("editor"), false), QStringLiteral("SET enable_seqscan = off"));
        if (!m.open(table)) {
            out << table + QStringLiteral(": ") + m.lastError().text();
            continue;
        }
        QStringList names;
        for (const GridField &f : m.fields())
            names << f.name.toLower();
        out << table + QStringLiteral(": ") + names.join(QLatin1Char(',')) + QStringLiteral(": ") + keys(m);
        if (table != QLatin1String("Movimiento"))
            continue;
        m.select(FilterCriterion(), int(names.indexOf(QStringLiteral("fecha"))), Qt::DescendingOrder);
        out << QStringLiteral("por fecha: ") + keys(m);
        for (const char *text : {"Descripcion LIKE 'cuota*'", "Descripcion LIKE '*Z*'", "Descripcion > 'cuota'"}) {
            FilterCriterion c;
            QString why;
            if (!c.parse(QString::fromLatin1(text), m.fields(), ::env().locale, &why))
                out << why;
            m.select(c, -1, Qt::AscendingOrder);
            out << QString::fromLatin1(text) + QStringLiteral(": ") + keys(m);
        }
    }
    CloseConnection(QStringLiteral("editor"));
    return out;
}

// Everything the two engines must answer alike, read on the shared connection.
QMap<QString, QStringList> answers()
{
    QMap<QString, QStringList> a = searches();
    a[QStringLiteral("editor")] = editorAnswers();
    // The windows' lists of courses, accounts and fees.
    const Engine e = EngineOf(Conexion());
    a[QStringLiteral("cursos")] = readAll(
        Dialect::OrderedAsFile(e, QStringLiteral("SELECT '' AS IDCurso, ' <TODOS>' as Nombre from Curso UNION SELECT ")
                                      + Dialect::KeyAsText(e, QStringLiteral("IDCurso")) + QStringLiteral(", Nombre FROM Curso"),
                               {{QStringLiteral("Nombre")}}),
        {});
    a[QStringLiteral("cuentas")] = readAll(Dialect::OrderedAsFile(e, QStringLiteral("SELECT * FROM Cuenta"),
                                                                  {{QStringLiteral("IDcuentapadre"), false},
                                                                   {QStringLiteral("Descripcion")}}),
                                           {});
    a[QStringLiteral("cuotas")] = readAll(FeesNewestFirst(), {});
    a[QStringLiteral("libro")] = reportRows(MemberBookSource(QDateTime(QDate(2026, 6, 1), QTime(12, 0))));
    a[QStringLiteral("balance")] = reportRows(BalanceSource(QDate(2026, 1, 1), QDate(2026, 12, 31)));
    a[QStringLiteral("recibo")] = {QString::number(GetProximoRecibo().value_or(-1))};
    Exec(QStringLiteral("UPDATE Movimiento SET Recibo = NULL"));
    Exec(QStringLiteral("UPDATE Parametro SET Valor = '7' WHERE upper(Parametro) = 'PROXIMORECIBO'"));
    a[QStringLiteral("recibo sin recibos")] = {QString::number(GetProximoRecibo().value_or(-1))};
    const Balances b = Ledger::instance().balances();
    a[QStringLiteral("saldos")] = {QString::number(b.caja, 'g', 15), QString::number(b.banco, 'g', 15)};
    return a;
}

} // namespace

class tst_ServerBooks : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { CloseConexion(); }

    void theServerAnswersAsTheFile()
    {
        PG_TEST_DB(pg);
        TestEnv t;
        const QString path = t.createDb(QStringLiteral("libros.db"), fillBooks);
        QVERIFY2(pg.openConexionOnCopyOf(path).isEmpty(), "no se pudo copiar al servidor");
        QVERIFY(ConexionIsOnServer());
        QVERIFY(!ConexionIsReadOnly());
        // The searches through the server's indexes, as on a large roll.
        PgRun(Conexion(), QStringLiteral("SET enable_seqscan = off"));
        const QMap<QString, QStringList> indexed = searches();
        PgRun(Conexion(), QStringLiteral("SET enable_seqscan = on"));
        const QMap<QString, QStringList> server = answers();
        QList<DbErrorEntry> errors;
        QVERIFY(OpenConexion(path, &errors));
        const QMap<QString, QStringList> file = answers();
        QCOMPARE(file[QStringLiteral("socios ///")].size(), 18);
        QCOMPARE(file[QStringLiteral("socios /NUÑEZ//")].size(), 2);
        QCOMPARE(file[QStringLiteral("cursos")].first(), QStringLiteral("4|<null>"));
        QCOMPARE(file[QStringLiteral("cuotas")].last(), QStringLiteral("2|Sin fecha|<null>|<null>|<null>"));
        QCOMPARE(file[QStringLiteral("recibo")], QStringList{QStringLiteral("81")});
        QCOMPARE(file[QStringLiteral("recibo sin recibos")], QStringList{QStringLiteral("7")});
        QCOMPARE(file[QStringLiteral("saldos")], (QStringList{QStringLiteral("3001.9"), QStringLiteral("-99.79")}));
        QCOMPARE(file[QStringLiteral("socios /ster//")], QStringList{QStringLiteral("10|Øster, Kai|Hijo 10 Martín|<null>|<null>|<null>")});
        QVERIFY(file[QStringLiteral("editor")].first().startsWith(QStringLiteral("Socio: idsocio,nombre,")));
        for (auto it = indexed.cbegin(); it != indexed.cend(); ++it)
            QVERIFY2(file.value(it.key()) == it.value(), qPrintable(it.key()));
        for (auto it = file.cbegin(); it != file.cend(); ++it)
            QVERIFY2(server.value(it.key()) == it.value(),
                     qPrintable(it.key() + QStringLiteral(":\n archivo:  ") + it.value().join(QStringLiteral("\n   "))
                                + QStringLiteral("\n servidor: ") + server.value(it.key()).join(QStringLiteral("\n   "))));
    }

    void aRoleThatOnlyReadsIsReadOnly()
    {
        PG_TEST_DB(pg);
        TestEnv t;
        QVERIFY(pg.openConexionOnCopyOf(t.createDb()).isEmpty());
        const QString role = QStringLiteral("lector_%1").arg(QCoreApplication::applicationPid());
        PgRun(Conexion(), QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE %2").arg(role, QLatin1String(kPgRoleRead)));
        ConnectionSettings reader = pg.settings();
        reader.user = role;
        QString error;
        QVERIFY2(OpenConexionOnServer(reader, QString(), &error), qPrintable(error));
        QVERIFY(ConexionIsReadOnly());
        QCOMPARE(Ledger::instance().balance(Medium::Cash), 0.0);
        Movement m;
        m.fecha = t.clock->now();
        m.idSocio = 1;
        m.idCuota = 1;
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Ledger::instance().recordFee(m));
        CloseConexion();
        PgRun(pg.open(), QStringLiteral("DROP ROLE %1").arg(role));
    }

    // The ledger keeps its sums between its own writes. Another program's
    // write counts from its commit on, however the two interleave, and on a
    // database made before the count of changes as well.
    void keptBalancesFollowOtherCommits()
    {
        PG_TEST_DB(pg);
        TestEnv t;
        QVERIFY(pg.openConexionOnCopyOf(t.createDb()).isEmpty());
        QSqlDatabase other = pg.open(QStringLiteral("otro"));
        Ledger &l = Ledger::instance();
        Movement m;
        m.fecha = t.clock->now();
        m.importe = 10;
        for (bool older : {false, true}) {
            const double before = l.balance(Medium::Cash);
            l.recordIncome(m);
            QVERIFY(other.transaction());
            AddMovimiento(other, "I", "E", 1);
            QCOMPARE(l.balance(Medium::Cash), before + 10); // not yet committed
            QVERIFY(other.commit());
            QCOMPARE(l.balance(Medium::Cash), before + 11);
            l.recordIncome(m);
            QCOMPARE(l.balance(Medium::Cash), before + 21);
            if (!older) {
                PgRun(Conexion(), QStringLiteral("CREATE OR REPLACE FUNCTION tesorin_aviso() RETURNS trigger"
                                                 " LANGUAGE plpgsql AS $$BEGIN PERFORM pg_notify('tesorin_cambios',"
                                                 " TG_TABLE_NAME); RETURN NULL; END$$"));
                PgRun(Conexion(), QStringLiteral("DROP TABLE tesorin_version"));
                CloseConexion();
                QString error;
                QVERIFY2(OpenConexionOnServer(pg.settings(), QString(), &error), qPrintable(error));
            }
        }
        EnsurePgChangeNotices(Conexion());
        QCOMPARE(pg.scalar(QStringLiteral("SELECT count(*) FROM tesorin_version")).toInt(), 1);
    }

    // The server ends the connection in the middle of a transfer: nothing of
    // it stays, the user is told so, and the next action connects again, with
    // the other programs' writes followed as before.
    void aLostConnectionUndoesTheWorkAndComesBack()
    {
        PG_TEST_DB(pg);
        TestEnv t;
        QVERIFY(pg.openConexionOnCopyOf(t.createDb()).isEmpty());
        QSqlDatabase other = pg.open(QStringLiteral("otro"));
        PgRun(other, QStringLiteral("CREATE FUNCTION corte() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                                    " IF NEW.tipo = 'I' THEN PERFORM pg_terminate_backend(pg_backend_pid()); END IF;"
                                    " RETURN NEW; END $$"));
        PgRun(other, QStringLiteral("CREATE TRIGGER corte BEFORE INSERT ON movimiento FOR EACH ROW EXECUTE FUNCTION corte()"));
        QObject context;
        int told = 0;
        WatchChanges(Conexion(), &context, [&] {
            ++told;
            return true;
        });
        Ledger &l = Ledger::instance();
        QCOMPARE(l.balance(Medium::Bank), 0.0);
        try {
            l.transfer(Medium::Cash, t.clock->now(), 100, QStringLiteral("Depósito"));
            QFAIL("the transfer was reported as stored");
        } catch (const RuntimeError &e) {
            QVERIFY2(e.number() == kConnectionLost, qPrintable(e.description()));
            QVERIFY2(e.description().startsWith(QStringLiteral("Se perdió la conexión con el servidor: la operación en "
                                                               "curso no se guardó")),
                     qPrintable(e.description()));
        }
        QCOMPARE(pg.scalar(QStringLiteral("SELECT count(*) FROM movimiento")).toInt(), 0);
        PgRun(other, QStringLiteral("DROP TRIGGER corte ON movimiento"));

        std::pair<qint64, qint64> keys;
        try {
            keys = l.transfer(Medium::Cash, t.clock->now(), 100, QStringLiteral("Depósito"));
        } catch (const RuntimeError &e) {
            QFAIL(qPrintable(e.description()));
        }
        const auto [out, in] = keys;
        QCOMPARE(pg.scalar(QStringLiteral("SELECT count(*) FROM movimiento WHERE idcontraasiento IN (?, ?)"), {out, in})
                     .toInt(),
                 2);
        QCOMPARE(l.balance(Medium::Bank), 100.0);
        QTest::qWait(kChangeCheckMs * 3 / 2); // listening again
        told = 0;
        AddMovimiento(other, "I", "C", 5);
        QTRY_VERIFY_WITH_TIMEOUT(told > 0, 2000);
        QCOMPARE(l.balance(Medium::Bank), 105.0);

        // Lost while nobody uses the program (the server restarted): it
        // connects again by itself and follows the others as before.
        const int mine = Scalar("SELECT pg_backend_pid()").toInt();
        pg.scalar(QStringLiteral("SELECT pg_terminate_backend(?)"), {mine});
        QTest::qWait(kChangeCheckMs * 4); // no statement of ours meanwhile
        told = 0;
        AddMovimiento(other, "I", "C", 7);
        QTRY_VERIFY_WITH_TIMEOUT(told > 0, 2000);
        QVERIFY(!StorageConnectionLost(Conexion()));
        QCOMPARE(l.balance(Medium::Bank), 112.0);
    }
};

QTEST_MAIN(tst_ServerBooks)
#include "tst_ServerBooks.moc"
