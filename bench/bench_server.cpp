// Times the program on a PostgreSQL server as bench_ledger times it on SQLite:
// the large association (100,000 members and 1,000,000 movements, or the
// counts given) is generated as a file (or a kept file is used), copied by the
// program's own migration to a fresh database on the server (timed), and each
// operation is printed beside the same statement run on a plain connection of
// Qt's PostgreSQL driver to the same server ("crudo"). The server is the one
// TESORIN_PG_HOST, TESORIN_PG_PORT and TESORIN_PG_USER name (a user that may
// create databases); the database tesorin_bench on it is made anew each run,
// unless TESORIN_BENCH_REUSAR is set (the copy of an earlier run is measured
// again, its --migrar not). Figures taken in turn with their raw counterpart
// where the two can be interleaved, so that a busy machine slows both alike.
// Last, a bank statement of 10,000 lines is taken into the books; what it
// wrote is removed again.
//
//   eval "$(TESORIN_PG_DURABLE=1 scripts/pg-server.sh start /tmp/pg-bench)"
//   build/bench/bench_server [members [movements [database-to-keep]]]
#include "BenchSupport.h"
#include "GenerateLedger.h"
#include "GenerateStatement.h"
#include "app/MDIForm1.h"
#include "data/DataCombo.h"
#include "data/Database.h"
#include "data/DelimitedText.h"
#include "data/Ledger.h"
#include "data/Migrate.h"
#include "data/ServerCheck.h"
#include "data/TableInfo.h"
#include "masterdata/FilterCriterion.h"
#include "masterdata/GrillaModel.h"
#include "masterdata/frmGrilla.h"
#include "members/SocioSearch.h"
#include "members/frmSocio.h"
#include "reports/Report.h"
#include "reports/rptBalance.h"
#include "reports/rptCuotaImpaga.h"
#include "reports/rptLibroSocios.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const char *const kDatabase = "tesorin_bench";

ConnectionSettings serverSettings(const QString &database)
{
    ConnectionSettings s;
    s.engine = Engine::PostgreSQL;
    s.host = qEnvironmentVariable("TESORIN_PG_HOST");
    s.port = qEnvironmentVariableIntValue("TESORIN_PG_PORT") ? qEnvironmentVariableIntValue("TESORIN_PG_PORT") : 5432;
    s.user = qEnvironmentVariable("TESORIN_PG_USER");
    s.database = database;
    return s;
}

// A plain connection of Qt's driver: the statement sent as it is (prepared
// when it has values), every row read forward, every column read.
struct Raw
{
    QSqlDatabase db;
    qint64 rows(const QString &sql, const QVariantList &binds = {})
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        bool ok = binds.isEmpty() ? q.exec(sql) : q.prepare(sql);
        if (ok && !binds.isEmpty()) {
            for (const QVariant &b : binds)
                q.addBindValue(b.metaType().id() == QMetaType::QDateTime ? DbDateText(b.toDateTime()) : b);
            ok = q.exec();
        }
        if (!ok) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(q.lastError().text()));
            std::exit(1);
        }
        qint64 n = 0;
        const int columns = q.record().count();
        while (q.next()) {
            for (int c = 0; c < columns; ++c)
                (void)q.value(c);
            ++n;
        }
        return n;
    }
    QVariant scalar(const QString &sql)
    {
        QSqlQuery q(db);
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
};

bool onMaintenanceDatabase(const QString &sql)
{
    const QString name = QStringLiteral("bench-admin");
    QString error;
    bool ok = OpenServerConnection(name, serverSettings(QStringLiteral("postgres")), &error);
    if (ok) {
        QSqlQuery q(QSqlDatabase::database(name, false));
        ok = q.exec(sql);
        if (!ok)
            error = q.lastError().text();
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok)
        std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(error));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication bench(argc, argv);
    if (qEnvironmentVariableIsEmpty("TESORIN_PG_HOST")) {
        std::fprintf(stderr, "Falta TESORIN_PG_HOST (y TESORIN_PG_PORT, TESORIN_PG_USER): el servidor a medir.\n");
        return 1;
    }
    const int members = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int movements = argc > 2 ? std::max(1, atoi(argv[2])) : 1000000;
    QTemporaryDir dir;
    const QString path = PrepareBenchDatabase(dir, members, movements, argc > 3 ? argv[3] : nullptr);
    if (path.isEmpty())
        return 1;

    // The copy, into a database made for it.
    const ConnectionSettings server = serverSettings(QLatin1String(kDatabase));
    const bool reuse = !qEnvironmentVariableIsEmpty("TESORIN_BENCH_REUSAR");
    if (!reuse
        && (!onMaintenanceDatabase(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(QLatin1String(kDatabase)))
            || !onMaintenanceDatabase(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0")
                                          .arg(QLatin1String(kDatabase)))))
        return 1;
    QString summary;
    QString error;
    const double migrated = reuse ? 0 : elapsedMs([&] { error = MigrateToServer(path, server, &summary); });
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(summary));

    // A plain connection of the driver, opened anew under `name`.
    auto plainConnection = [&](const QString &name) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(server.host);
        db.setPort(server.port);
        db.setUserName(server.user);
        db.setDatabaseName(server.database);
        if (!db.open()) {
            std::fprintf(stderr, "%s\n", qPrintable(db.lastError().text()));
            std::exit(1);
        }
        return db;
    };
    Raw raw{plainConnection(QStringLiteral("crudo"))};
    std::printf("Servidor: %s\n  fsync=%s synchronous_commit=%s full_page_writes=%s shared_buffers=%s\n",
                qPrintable(raw.scalar(QStringLiteral("SELECT version()")).toString().section(QLatin1Char(','), 0, 0)),
                qPrintable(raw.scalar(QStringLiteral("SHOW fsync")).toString()),
                qPrintable(raw.scalar(QStringLiteral("SHOW synchronous_commit")).toString()),
                qPrintable(raw.scalar(QStringLiteral("SHOW full_page_writes")).toString()),
                qPrintable(raw.scalar(QStringLiteral("SHOW shared_buffers")).toString()));
    std::printf("%-46s %9.1f s\n", "--migrar (copia, indices, verificacion)", migrated / 1000.0);
    std::fflush(stdout);

    if (!OpenConexionOnServer(server, QString(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    // Balances: the ledger's one statement over the four sums.
    Ledger &ledger = Ledger::instance();
    const QString sums = QStringLiteral("SELECT MedioPago, Tipo, ")
                         + Dialect::MillionthsSum(Engine::PostgreSQL, QStringLiteral("Importe"))
                         + QStringLiteral(" FROM Movimiento WHERE MedioPago IN ('E', 'C') AND Tipo IN ('I', 'E')"
                                          " GROUP BY MedioPago, Tipo");
    auto rawBalances = [&] { raw.rows(sums); };
    const double firstEver = elapsedMs([&] { ledger.balances(); });
    // The first reading after start, again: the books opened anew each time,
    // in turn with the same sum on a plain connection just opened.
    std::vector<double> firsts, rawFirsts;
    for (int i = 0; i < 7; ++i) {
        CloseConexion();
        OpenConexionOnServer(server, QString(), &error);
        firsts.push_back(elapsedMs([&] { ledger.balances(); }));
        QSqlDatabase::removeDatabase(QStringLiteral("crudo-nueva"));
        Raw fresh{plainConnection(QStringLiteral("crudo-nueva"))};
        rawFirsts.push_back(elapsedMs([&] { fresh.rows(sums); }));
        fresh.db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("crudo-nueva"));
    const double firstRaw = medianMs(rawBalances);
    printVersus("Saldos: primera lectura tras abrir", medianOf(firsts), medianOf(rawFirsts),
                "(crudo: en una conexion recien abierta)");
    std::printf("  (la primera de todas: %.2f ms)\n", firstEver);
    // Another program's movement makes the ledger add the rows up again.
    auto touch = [&] {
        raw.rows(QStringLiteral("INSERT INTO Movimiento (Fecha, Tipo, Importe, MedioPago, Descripcion)"
                                " VALUES ('2026-12-07 10:00:00', 'I', 0, 'E', 'x')"));
        raw.rows(QStringLiteral("DELETE FROM Movimiento WHERE Descripcion = 'x' AND Importe = 0"));
    };
    std::vector<double> afterWrite, rawAfterWrite;
    for (int i = 0; i < 7; ++i) {
        touch();
        afterWrite.push_back(elapsedMs([&] { ledger.balances(); }));
        rawAfterWrite.push_back(elapsedMs(rawBalances));
    }
    printVersus("Saldos: tras una escritura ajena", medianOf(afterWrite), medianOf(rawAfterWrite));
    printVersus("Saldos: lectura siguiente", medianMs([&] { ledger.balances(); }), firstRaw);

    // Fee collection as the fee window does it: the check, then the check and
    // the insert under the movements' lock, committed; with the main window
    // open, the status bar's balances follow. Fees of numbers no member paid
    // yet, past those of earlier runs on the same database.
    int next = raw.scalar(QStringLiteral("SELECT coalesce(max(idcuota), 0) FROM movimiento")).toInt() + 1;
    auto collect = [&] {
        Movement m;
        m.fecha = QDateTime::currentDateTime();
        m.idSocio = 1 + (next % members);
        m.idCuota = next++;
        m.idCuenta = 10;
        m.importe = 1500;
        m.descripcion = QStringLiteral("Cuota de prueba");
        if (!ledger.feeAlreadyPaid(*m.idSocio, *m.idCuota))
            ledger.recordFee(m);
    };
    auto rawFee = [&](bool withSums) {
        const int n = next++;
        const QVariantList key{qint64(1 + n % members), qint64(n)};
        raw.rows(QStringLiteral("SELECT 1 FROM Movimiento WHERE IDSocio = ? AND IDCuota = ? LIMIT 1"), key);
        raw.rows(QStringLiteral("BEGIN; LOCK TABLE movimiento IN SHARE ROW EXCLUSIVE MODE"));
        raw.rows(QStringLiteral("SELECT 1 FROM Movimiento WHERE IDSocio = ? AND IDCuota = ? LIMIT 1"), key);
        raw.rows(QStringLiteral("INSERT INTO Movimiento (Fecha, IDSocio, IDCuota, IDCuenta, Tipo, Importe, MedioPago,"
                                " Descripcion) VALUES ('2026-12-07 10:00:00', ?, ?, 10, 'I', 1500, 'E', 'Cuota')"
                                " RETURNING IDMovimiento"),
                 key);
        raw.rows(QStringLiteral("COMMIT"));
        if (withSums)
            rawBalances();
    };
    const std::vector<double> feeAlone = interleavedMediansMs({collect, [&] { rawFee(false); }}, 15);
    printVersus("Cobro de cuota sin saldos (control, alta)", feeAlone[0], feeAlone[1]);
    MDIForm1 *main = MDIForm1::instance();
    main->show();
    QCoreApplication::processEvents();
    printVersus("Saldos en la barra de estado (RefreshSaldos)", medianMs([&] {
                    RefreshSaldos();
                    QCoreApplication::processEvents();
                }),
                firstRaw);
    std::printf("  (crudo: la misma suma de las cuatro, cada vez)\n");

    // Not interleaved: the raw fee is another program's write, which would
    // make every collection here add the million rows up again.
    ledger.balances();
    const double feeWithSums = medianMs(
        [&] {
            collect();
            ledger.balances();
            QCoreApplication::processEvents();
        },
        15);
    printVersus("Cobro de cuota (control, alta, saldos)", feeWithSums, medianMs([&] { rawFee(true); }, 15));

    // Member search through the list, beside the same statement, and beside a
    // plain LIKE (no folding) that finds the same rows by their stored spelling.
    main->menuItem(QStringLiteral("mnuSocio"))->trigger();
    QCoreApplication::processEvents();
    auto *list = qobject_cast<frmSocio *>(main->mdiArea()->subWindowList().last()->widget());
    auto *numero = list->findChild<QLineEdit *>(QStringLiteral("txtSocioNumero"));
    auto *nombre = list->findChild<QLineEdit *>(QStringLiteral("txtSocioNombre"));
    auto *alumno = list->findChild<QLineEdit *>(QStringLiteral("txtAlumno"));
    auto *curso = list->findChild<DataCombo *>(QStringLiteral("datcboCurso"));
    auto *buscar = list->findChild<QPushButton *>(QStringLiteral("cmdBuscar"));
    struct Search
    {
        const char *what;
        SocioFilter filter;
        QStringList stored; // the typed names as stored, for the plain LIKE
    };
    const Search searches[] = {
        {"Socios: toda la lista", {}, {}},
        {"Socios: nombre \"gomez\"", {{}, QStringLiteral("gomez"), {}, {}}, {QStringLiteral("Gómez")}},
        {"Socios: alumno \"martina\"", {{}, {}, QStringLiteral("martina"), {}}, {QStringLiteral("Martina")}},
        {"Socios: numero 54321", {QStringLiteral("54321"), {}, {}, {}}, {}},
        {"Socios: curso 7", {{}, {}, {}, QStringLiteral("7")}, {}},
        {"Socios: nombre, alumno y curso", {{}, QStringLiteral("nunez"), QStringLiteral("ana"), QStringLiteral("3")},
         {QStringLiteral("Núñez"), QStringLiteral("Ana")}},
    };
    for (const Search &s : searches) {
        numero->setText(s.filter.numero);
        nombre->setText(s.filter.nombre);
        alumno->setText(s.filter.alumno);
        curso->setBoundText(s.filter.curso);
        QVariantList binds;
        const QString sql = SocioSearchSql(s.filter, &binds);
        // The plain LIKE: the same statement without the folding, the names as stored.
        QString plain = sql;
        QVariantList plainBinds = binds;
        for (int i = 0; i < s.stored.size(); ++i)
            plainBinds[i] = s.stored.at(i);
        for (const QString column : {QStringLiteral("Socio.Nombre"), QStringLiteral("Socio.Alumno")})
            plain.replace(SqlFoldText(Conexion(), column), column);
        plain.replace(QStringLiteral("fold_es(?)"), QStringLiteral("?"));
        qint64 plainRows = 0;
        const std::vector<double> ms = interleavedMediansMs(
            {[&] {
                 buscar->click();
                 QCoreApplication::processEvents();
             },
             [&] { plainRows = raw.rows(plain, plainBinds); }, [&] { raw.rows(sql, binds); }},
            11);
        const double ours = ms[0], plainMs = ms[1];
        char note[96];
        std::snprintf(note, sizeof note, "(%d filas; la misma sentencia cruda %.2f ms; LIKE simple %lld filas)",
                      list->rows().rowCount(), ms[2], plainRows);
        printVersus(s.what, ours, plainMs, note);
    }
    std::printf("  (crudo: LIKE simple sobre los nombres como se guardaron, sin fold_es)\n");

    // The member book's and a one-year balance's selections, as the reports read them.
    const QDateTime now = env().clock->now();
    auto viaReport = [&](const char *what, const ReportDataSource &src) {
        qint64 rows = 0;
        const std::vector<double> ms = interleavedMediansMs({[&] {
                                                                 ReportRows r;
                                                                 ReadReportRows(src, &r);
                                                                 rows = qint64(r.rows.size());
                                                             },
                                                             [&] { raw.rows(src.sql, src.binds); }},
                                                            5);
        char note[48];
        std::snprintf(note, sizeof note, "(%lld filas)", rows);
        printVersus(what, ms[0], ms[1], note);
    };
    viaReport("Libro de socios: seleccion", MemberBookSource(now));
    viaReport("Balance de un anio: seleccion", BalanceSource(now.date().addYears(-1), now.date()));
    // The members who have not paid the newest fee: its selection, and the
    // whole report as the menu runs it (the fee asked, every page laid out).
    {
        const ReportDataSource src =
            UnpaidFeeSource(raw.scalar(QStringLiteral("SELECT max(idcuota) FROM cuota")).toLongLong());
        viaReport("Cuota impaga: seleccion", src);
        const std::vector<double> ms = interleavedMediansMs({[&] {
                                                                 rptCuotaImpaga r;
                                                                 r.run();
                                                             },
                                                             [&] { raw.rows(src.sql, src.binds); }},
                                                            5);
        printVersus("Cuota impaga: informe armado", ms[0], ms[1]);
    }

    // The table editor over the whole ledger.
    // Opened from the menu, on a connection of its own each time.
    frmGrilla *grilla = nullptr;
    std::vector<double> shown, keysRaw;
    for (int i = 0; i < 5; ++i) {
        delete grilla;
        grilla = nullptr;
        shown.push_back(elapsedMs([&] {
            main->OpenGrilla(QStringLiteral("Movimiento"));
            QCoreApplication::processEvents();
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *g = qobject_cast<frmGrilla *>(w))
                    grilla = g;
        }));
        keysRaw.push_back(
            elapsedMs([&] { raw.rows(QStringLiteral("SELECT IDMovimiento FROM Movimiento ORDER BY IDMovimiento")); }));
    }
    printVersus("Editor de tablas: Movimiento a la vista", medianOf(shown), medianOf(keysRaw));
    if (!grilla) {
        std::fprintf(stderr, "No se abrio el editor\n");
        return 1;
    }
    GrillaProxy *rows = grilla->rows();
    const QList<GridField> fields = grilla->findChild<GrillaTableModel *>(QStringLiteral("datGrilla"))->fields();
    auto columnOf = [&](const char *name) {
        for (int i = 0; i < fields.size(); ++i)
            if (fields.at(i).name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    // Each from the table's own order, shown again after it.
    auto shownAfter = [&](const std::function<void()> &reset, const std::function<void()> &work) {
        return medianMsAfter(
            [&] {
                reset();
                QCoreApplication::processEvents();
            },
            [&] {
                work();
                QCoreApplication::processEvents();
            },
            3);
    };
    auto sortBy = [&](const char *column, Qt::SortOrder order) {
        return shownAfter([&] { rows->sortBy(-1, Qt::AscendingOrder); }, [&] { rows->sortBy(columnOf(column), order); });
    };
    // The first order by date in a window just opened, as a user's first click.
    std::printf("%-46s %9.2f ms\n", "Editor: primer orden por Fecha (ventana nueva)", elapsedMs([&] {
                    rows->sortBy(columnOf("Fecha"), Qt::AscendingOrder);
                    QCoreApplication::processEvents();
                }));
    printVersus("Editor: ordenar por Fecha (indice)", sortBy("Fecha", Qt::AscendingOrder),
                medianMs([&] { raw.rows(QStringLiteral("SELECT IDMovimiento FROM Movimiento ORDER BY Fecha, IDMovimiento")); }, 3));
    printVersus("Editor: ordenar por Fecha, descendente", sortBy("Fecha", Qt::DescendingOrder),
                medianMs([&] { raw.rows(QStringLiteral("SELECT IDMovimiento FROM Movimiento ORDER BY Fecha DESC, IDMovimiento")); }, 3));
    printVersus("Editor: ordenar por Importe", sortBy("Importe", Qt::AscendingOrder),
                medianMs([&] { raw.rows(QStringLiteral("SELECT IDMovimiento FROM Movimiento ORDER BY Importe, IDMovimiento")); }, 3));
    printVersus("Editor: ordenar por Descripcion", sortBy("Descripcion", Qt::AscendingOrder),
                medianMs([&] { raw.rows(QStringLiteral("SELECT IDMovimiento FROM Movimiento ORDER BY Descripcion, IDMovimiento")); }, 3));
    rows->sortBy(-1, Qt::AscendingOrder);
    struct Filter
    {
        const char *what;
        const char *criterion;
        const char *rawSql;
    };
    const Filter filters[] = {
        {"Editor: filtro IDSocio=54321 (indice)", "IDSocio=54321",
         "SELECT IDMovimiento FROM Movimiento WHERE IDSocio = 54321 ORDER BY IDMovimiento"},
        {"Editor: filtro Fecha de un mes (indice)", "Fecha>=#1/3/2025# AND Fecha<#1/4/2025#",
         "SELECT IDMovimiento FROM Movimiento WHERE Fecha >= '2025-03-01 00:00:00' AND Fecha < '2025-04-01 00:00:00'"
         " ORDER BY IDMovimiento"},
        {"Editor: filtro Descripcion LIKE", "Descripcion LIKE 'Pago 12%'",
         "SELECT IDMovimiento FROM Movimiento WHERE Descripcion LIKE 'Pago 12%' ORDER BY IDMovimiento"},
    };
    for (const Filter &f : filters) {
        FilterCriterion c;
        QString why;
        if (!c.parse(QString::fromUtf8(f.criterion), fields, env().locale, &why)) {
            std::fprintf(stderr, "%s: %s\n", f.criterion, qPrintable(why));
            continue;
        }
        const double ours = shownAfter([&] { rows->setCriterion(FilterCriterion()); }, [&] { rows->setCriterion(c); });
        qint64 found = 0;
        const double rawMs = medianMs([&] { found = raw.rows(QString::fromUtf8(f.rawSql)); }, 3);
        char note[48];
        std::snprintf(note, sizeof note, "(%d filas; crudo %lld)", rows->shownRows(), found);
        printVersus(f.what, ours, rawMs, note);
        rows->setCriterion(FilterCriterion());
    }
    delete grilla;
    delete main;

    // A bank statement of 10,000 lines: read, matched, taken into the books,
    // matched again; beside the matching's two statements. What it wrote is
    // taken away again, so that a later run on the same copy finds the books
    // as they were.
    const QString file = dir.filePath(QStringLiteral("extracto.csv"));
    const BenchStatement generated = WriteBenchStatement(Conexion(), file, 7000, 3000);
    const qint64 lastMovement = raw.scalar(QStringLiteral("SELECT max(idmovimiento) FROM movimiento")).toLongLong();
    auto day = [](const QDate &d) { return QDateTime(d, QTime(0, 0)); };
    auto rawMatch = [&] {
        raw.rows(QStringLiteral("SELECT Huella FROM ExtractoLinea WHERE Fecha >= ? AND Fecha < ?"),
                 {day(generated.first), day(generated.last.addDays(1))});
        raw.rows(QStringLiteral("SELECT m.IDMovimiento, m.Fecha, m.Tipo, m.Importe, m.Descripcion, m.MedioPago"
                                " FROM Movimiento m WHERE m.Fecha >= ? AND m.Fecha < ? AND NOT EXISTS"
                                " (SELECT 1 FROM ExtractoLinea x WHERE x.IDMovimiento = m.IDMovimiento)"),
                 {day(generated.first.addDays(-5)), day(generated.last.addDays(6))});
    };
    Statement statement;
    const std::vector<double> matching = interleavedMediansMs(
        {[&] {
             statement = ReadStatement(ReadDelimitedFile(file, generated.format.separator).rows, generated.format);
             MatchStatement(Conexion(), statement);
         },
         rawMatch},
        5);
    printVersus("Extracto: lectura y conciliacion", matching[0], matching[1]);
    const StatementSummary found = Summarize(statement);
    std::printf("  (%lld lineas: %d conciliadas, %d sin movimiento)\n", qint64(statement.lines.size()), found.matched,
                found.leftOut);
    TakeBankCharges(statement, 20);
    Ledger::StatementOutcome outcome{};
    const double recorded =
        elapsedMs([&] { outcome = RecordStatement(ledger, statement, QDateTime::currentDateTime()); });
    std::printf("%-46s %9.2f ms%s\n", "Extracto: toma en los libros", recorded,
                outcome == Ledger::StatementOutcome::Recorded ? "" : "  (NO SE TOMO)");
    const std::vector<double> again = interleavedMediansMs(
        {[&] {
             Statement s = ReadStatement(ReadDelimitedFile(file, generated.format.separator).rows, generated.format);
             MatchStatement(Conexion(), s);
         },
         rawMatch},
        5);
    printVersus("Extracto: conciliacion otra vez (todo tomado)", again[0], again[1]);
    raw.rows(QStringLiteral("DELETE FROM extractolinea"));
    raw.rows(QStringLiteral("DELETE FROM movimiento WHERE idmovimiento > ?"), {lastMovement});

    CloseConexion();
    raw.db.close();
    return 0;
}
