// Times the ledger and the table editor on a large association: 100,000
// members and 1,000,000 movements over ten years (or the counts given), each
// figure printed beside the same statement run straight on SQLite over the
// same file. With a third argument the generated database is kept there, and
// a later run given the same path measures on that file instead of
// generating one (on a copy: the measures write to it).
//
//   build/bench/bench_ledger [members [movements [database-to-keep]]]
#include "BenchSupport.h"
#include "GenerateLedger.h"
#include "app/MDIForm1.h"
#include "app/MainLocal.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/Ledger.h"
#include "data/Prompts.h"
#include "masterdata/FilterCriterion.h"
#include "masterdata/GrillaModel.h"
#include "masterdata/frmGrilla.h"
#include "members/SocioSearch.h"
#include "members/frmSocio.h"
#include "data/DataCombo.h"
#include "reports/Report.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <sqlite3.h>
#include <vector>

namespace {

double ms(const std::function<void()> &work)
{
    return elapsedMs(work);
}

double median(const std::function<void()> &work, int runs = 7)
{
    return medianMs(work, runs);
}

// A statement run straight on SQLite: every row stepped through, every column read.
struct Raw
{
    sqlite3 *h = nullptr;
    qint64 rows(const QString &sql, const QVariantList &binds = {})
    {
        sqlite3_stmt *st = nullptr;
        const QByteArray u = sql.toUtf8();
        check(sqlite3_prepare_v2(h, u.constData(), -1, &st, nullptr), h, u.constData());
        std::vector<QByteArray> keep;
        for (int i = 0; i < binds.size(); ++i) {
            const QVariant &b = binds.at(i);
            if (b.metaType().id() == QMetaType::Double)
                sqlite3_bind_double(st, i + 1, b.toDouble());
            else if (b.metaType().id() == QMetaType::LongLong || b.metaType().id() == QMetaType::Int)
                sqlite3_bind_int64(st, i + 1, b.toLongLong());
            else {
                keep.push_back(b.toString().toUtf8());
                sqlite3_bind_text(st, i + 1, keep.back().constData(), -1, SQLITE_STATIC);
            }
        }
        qint64 n = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                (void)sqlite3_column_text(st, c);
            ++n;
        }
        sqlite3_finalize(st);
        return n;
    }
};

void line(const char *what, double ours, double raw, const char *note = "")
{
    printVersus(what, ours, raw, note);
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication bench(argc, argv);
    const int members = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int movements = argc > 2 ? std::max(1, atoi(argv[2])) : 1000000;

    QTemporaryDir dir;
    const QString path = OpenBenchDatabase(dir, members, movements, argc > 3 ? argv[3] : nullptr);
    if (path.isEmpty())
        return 1;
    Raw raw;
    check(sqlite3_open_v2(path.toUtf8().constData(), &raw.h, SQLITE_OPEN_READWRITE, nullptr), raw.h, "abrir");
    // The program's own connection, read straight through SQLite: for the
    // statements that use our SQL functions.
    Raw rawOurs{SqliteHandle(Conexion())};
    Exec(QStringLiteral("ANALYZE"));

    // Balances.
    Ledger &ledger = Ledger::instance();
    const QString sum = QStringLiteral("SELECT SUM(CAST(ROUND(Importe * 1000000) AS INTEGER)) FROM Movimiento"
                                       " WHERE MedioPago = ? AND Tipo = ?");
    auto rawBalances = [&] {
        for (const char *m : {"E", "C"})
            for (const char *k : {"I", "E"})
                raw.rows(sum, {QString::fromLatin1(m), QString::fromLatin1(k)});
    };
    // A write outside the ledger makes it add the rows up again.
    auto touch = [] {
        Exec(QStringLiteral("INSERT INTO Curso (IDCurso, Nombre) VALUES (999, 'x')"));
        Exec(QStringLiteral("DELETE FROM Curso WHERE IDCurso = 999"));
    };
    line("Saldos: primera lectura (suma exacta)", median([&] {
             touch();
             ledger.balances();
         }),
         median([&] {
             touch();
             rawBalances();
         }));
    line("Saldos: lectura siguiente", median([&] { ledger.balances(); }), median(rawBalances));
    MDIForm1 *main = MDIForm1::instance();
    main->show();
    QCoreApplication::processEvents();
    line("Saldos en la barra de estado (RefreshSaldos)", median([&] {
             RefreshSaldos();
             QCoreApplication::processEvents();
         }),
         median(rawBalances));
    std::printf("  (crudo: las cuatro sumas exactas en SQLite, cada vez)\n");
    {
        QSqlQuery f = Exec(QStringLiteral("SELECT SUM(Importe) FROM Movimiento WHERE MedioPago='E' AND Tipo='I'"));
        f.next();
        QSqlQuery g = Exec(QStringLiteral("SELECT SUM(Importe) FROM Movimiento WHERE MedioPago='E' AND Tipo='E'"));
        g.next();
        std::printf("  Saldo Caja exacto %.6f; con SUM de coma flotante %.6f\n", ledger.balance(Medium::Cash),
                    f.value(0).toDouble() - g.value(0).toDouble());
    }

    // Fee collection: the duplicate check and the insert in one write
    // transaction, committed to disk, then the balances.
    int next = 0;
    const double fee = median([&] {
        Movement m;
        m.fecha = QDateTime::currentDateTime();
        m.idSocio = 1 + (next % members);
        m.idCuota = 100000 + next++;
        m.idCuenta = 10;
        m.importe = 1500;
        m.descripcion = QStringLiteral("Cuota de prueba");
        ledger.recordFee(m);
        ledger.balances();
    });
    const double feeRaw = median([&] {
        const int n = next++;
        sqlite3_exec(raw.h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        raw.rows(QStringLiteral("SELECT 1 FROM Movimiento WHERE IDSocio = ? AND IDCuota = ? LIMIT 1"),
                 {qint64(1 + n % members), qint64(100000 + n)});
        raw.rows(QStringLiteral("INSERT INTO Movimiento (Fecha, IDSocio, IDCuota, IDCuenta, Tipo, Importe, MedioPago,"
                                " Descripcion) VALUES ('2026-12-07 10:00:00', ?, ?, 10, 'I', 1500, 'E', 'Cuota')"),
                 {qint64(1 + n % members), qint64(100000 + n)});
        sqlite3_exec(raw.h, "COMMIT", nullptr, nullptr, nullptr);
        rawBalances();
    });
    line("Cobro de cuota (control, alta, saldos)", fee, feeRaw);

    // Member search, every filter of the list, through the list itself.
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
    };
    const Search searches[] = {{"Socios: toda la lista", {}},
                               {"Socios: nombre \"gomez\"", {{}, QStringLiteral("gomez"), {}, {}}},
                               {"Socios: alumno \"martina\"", {{}, {}, QStringLiteral("martina"), {}}},
                               {"Socios: numero 54321", {QStringLiteral("54321"), {}, {}, {}}},
                               {"Socios: curso 7", {{}, {}, {}, QStringLiteral("7")}},
                               {"Socios: nombre, alumno y curso",
                                {{}, QStringLiteral("nunez"), QStringLiteral("ana"), QStringLiteral("3")}}};
    for (const Search &s : searches) {
        numero->setText(s.filter.numero);
        nombre->setText(s.filter.nombre);
        alumno->setText(s.filter.alumno);
        curso->setBoundText(s.filter.curso);
        QVariantList binds;
        const QString sql = SocioSearchSql(s.filter, &binds);
        line(s.what, median([&] {
                 buscar->click();
                 QCoreApplication::processEvents();
             }),
             median([&] { rawOurs.rows(sql, binds); }));
    }
    {
        // What searching without regard to accents costs: the same search with
        // SQLite's own LIKE, which does not fold them.
        QVariantList binds;
        QString sql = SocioSearchSql({{}, QStringLiteral("gomez"), {}, {}}, &binds);
        const double folded = median([&] { rawOurs.rows(sql, binds); });
        sql.replace(QStringLiteral("fold_es(Socio.Nombre)"), QStringLiteral("Socio.Nombre"))
            .replace(QStringLiteral("fold_es(?)"), QStringLiteral("?"));
        std::printf("  nombre \"gomez\" con fold_es %.2f ms, sin fold_es %.2f ms\n", folded,
                    median([&] { raw.rows(sql, binds); }));
    }

    // The member book's and a one-year balance's selections, dates bound as a range.
    const QDateTime now = env().clock->now();
    const QVariantList thisYear{DbDateText(QDateTime(QDate(now.date().year(), 1, 1), QTime(0, 0))),
                                DbDateText(QDateTime(QDate(now.date().year() + 1, 1, 1), QTime(0, 0)))};
    const QString libro = QStringLiteral(
        "SELECT Socio.Nombre, Socio.Alumno, Curso.Nombre as Curso FROM Socio INNER JOIN Curso on "
        "Socio.IDCurso=Curso.IDCurso WHERE Socio.IDSocio in(SELECT IDSocio FROM Movimiento WHERE Fecha >= ? AND "
        "Fecha < ? AND IDCuota is not null) ORDER BY Curso.Nombre , Socio.Nombre");
    const QString balance = QStringLiteral(
        "SELECT Movimiento.Fecha, Movimiento.Tipo, Movimiento.Importe, Movimiento.Descripcion, Cuenta_1.Descripcion "
        "as Cuenta, Cuenta.Descripcion as CuentaPadre FROM (Cuenta AS Cuenta_1 INNER JOIN Movimiento ON "
        "Cuenta_1.IDcuenta = Movimiento.IDCuenta) INNER JOIN Cuenta ON Cuenta_1.IDcuentaPadre = Cuenta.IDcuenta "
        " WHERE movimiento.Fecha>=? AND movimiento.Fecha<? ORDER BY  Movimiento.Tipo, Cuenta.Descripcion, "
        "Cuenta_1.descripcion,Movimiento.Descripcion ");
    const QVariantList lastYear{DbDateText(now.addYears(-1)), DbDateText(now)};
    auto viaReport = [&](const QString &sql, const QVariantList &binds) {
        return median([&] {
            ReportRows rows;
            ReadReportRows({QString(), sql, binds}, &rows);
        }, 3);
    };
    line("Libro de socios: seleccion", viaReport(libro, thisYear), median([&] { raw.rows(libro, thisYear); }, 3));
    line("Balance de un anio: seleccion", viaReport(balance, lastYear),
         median([&] { raw.rows(balance, lastYear); }, 3));

    // The table editor over the whole ledger.
    const long before = residentKiB();
    const size_t heapBefore = mallinfo2().uordblks + mallinfo2().hblkhd;
    frmGrilla *grilla = nullptr;
    const double shown = ms([&] {
        main->OpenGrilla(QStringLiteral("Movimiento"));
        QCoreApplication::processEvents();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *g = qobject_cast<frmGrilla *>(w))
                grilla = g;
    });
    const long after = residentKiB();
    const size_t heapAfter = mallinfo2().uordblks + mallinfo2().hblkhd;
    const double keysRaw = median([&] { raw.rows(QStringLiteral("SELECT rowid FROM Movimiento ORDER BY rowid")); }, 3);
    char memory[64];
    std::snprintf(memory, sizeof memory, "(+%ld MiB en uso, +%ld MiB residente)",
                  long((heapAfter - heapBefore) / 1048576), (after - before) / 1024);
    line("Editor de tablas: Movimiento a la vista", shown, keysRaw, memory);
    if (!grilla) {
        std::fprintf(stderr, "No se abrio el editor\n");
        return 1;
    }
    GrillaProxy *rows = grilla->rows();
    const QList<GridField> fields = grilla->findChild<GrillaTableModel *>(QStringLiteral("datGrilla"))->fields();
    auto columnOf = [&](const char *name) {
        for (int i = 0; i < fields.size(); ++i)
            if (fields.at(i).name == QLatin1String(name))
                return i;
        return -1;
    };
    auto shownAfter = [&](const std::function<void()> &work) {
        return ms([&] {
            work();
            QCoreApplication::processEvents();
        });
    };
    line("Editor: ordenar por Fecha (indice)", shownAfter([&] { rows->sortBy(columnOf("Fecha"), Qt::DescendingOrder); }),
         median([&] { raw.rows(QStringLiteral("SELECT rowid FROM Movimiento ORDER BY Fecha DESC, rowid")); }, 3));
    line("Editor: ordenar por Importe (sin indice)", shownAfter([&] { rows->sortBy(columnOf("Importe"), Qt::AscendingOrder); }),
         median([&] { raw.rows(QStringLiteral("SELECT rowid FROM Movimiento ORDER BY Importe, rowid")); }, 3));
    line("Editor: ordenar por Descripcion", shownAfter([&] { rows->sortBy(columnOf("Descripcion"), Qt::AscendingOrder); }),
         median([&] { raw.rows(QStringLiteral("SELECT rowid FROM Movimiento ORDER BY Descripcion, rowid")); }, 3));
    rows->sortBy(-1, Qt::AscendingOrder);
    struct Filter
    {
        const char *what;
        const char *criterion;
        const char *rawSql;
    };
    const Filter filters[] = {
        {"Editor: filtro IDSocio=54321 (indice)", "IDSocio=54321",
         "SELECT rowid FROM Movimiento WHERE IDSocio = 54321 ORDER BY rowid"},
        {"Editor: filtro Fecha de un mes (indice)", "Fecha>=#1/3/2025# AND Fecha<#1/4/2025#",
         "SELECT rowid FROM Movimiento WHERE Fecha >= '2025-03-01 00:00:00' AND Fecha < '2025-04-01 00:00:00'"
         " ORDER BY rowid"},
        {"Editor: filtro Descripcion LIKE", "Descripcion LIKE 'Pago 12%'",
         "SELECT rowid FROM Movimiento WHERE Descripcion LIKE 'Pago 12%' ORDER BY rowid"},
    };
    for (const Filter &f : filters) {
        FilterCriterion c;
        QString why;
        if (!c.parse(QString::fromUtf8(f.criterion), fields, env().locale, &why)) {
            std::fprintf(stderr, "%s: %s\n", f.criterion, qPrintable(why));
            continue;
        }
        line(f.what, shownAfter([&] { rows->setCriterion(c); }),
             median([&] { raw.rows(QString::fromUtf8(f.rawSql)); }, 3));
        rows->setCriterion(FilterCriterion());
    }
    // The day's copy at start-up, and the checks that then run on their own thread.
    const QString copy = dir.filePath(QStringLiteral("copia.db"));
    std::printf("%-44s %9.2f ms\n", "Copia de seguridad (API de backup)", ms([&] { CopyDatabase(path, copy); }));
    std::printf("%-44s %9.2f ms\n", "quick_check de la base", ms([&] { CheckDatabase(path); }));
    sqlite3_close(raw.h);
    delete main;
    CloseConexion();
    return 0;
}
