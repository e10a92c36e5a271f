// Times the listing reports on a large association (100,000 members and
// 1,000,000 movements over ten years, or the counts given): the member book,
// a one-year balance with every movement and the members who have not paid
// the newest fee, each laid out, shown in the preview and exported to a text
// file, beside the sqlite3 program running the same statement over the same
// file and writing its rows. Also checks that the balance's totals are the
// exact decimal sums of the rows they cover, and prints the process's peak
// memory.
//
//   build/bench/bench_listings [members [movements [database-to-keep]]]
#include "BenchSupport.h"
#include "GenerateLedger.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "reports/ReportOutput.h"
#include "reports/ReportPreview.h"
#include "reports/rptBalance.h"
#include "reports/rptCuotaImpaga.h"
#include "reports/rptLibroSocios.h"

#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>

namespace {

// The statement with its bound values written in, for the sqlite3 program.
QString withValues(QString sql, const QVariantList &binds)
{
    for (const QVariant &b : binds) {
        const int type = b.metaType().id();
        const QString text = type == QMetaType::QDateTime ? DbDateText(b.toDateTime()) : b.toString();
        const bool number = type == QMetaType::LongLong || type == QMetaType::Int;
        sql.replace(sql.indexOf(QLatin1Char('?')), 1, number ? text : QLatin1Char('\'') + text + QLatin1Char('\''));
    }
    return sql;
}

// Milliseconds the sqlite3 program takes to run the statement and write its
// rows to a file (its start included: a few milliseconds).
double sqliteCli(const QString &sqlite3, const QString &db, const QString &sql, const QString &out)
{
    return elapsedMs([&] {
        QProcess p;
        p.setStandardOutputFile(out);
        p.start(sqlite3, {QStringLiteral("-readonly"), db, sql});
        p.waitForFinished(-1);
        if (p.exitCode() != 0)
            std::fprintf(stderr, "sqlite3: %s\n", p.readAllStandardError().constData());
    });
}

struct Timing
{
    double read = 0, layout = 0, preview = 0, exported = 0, cli = 0;
    int pages = 0;
    qint64 rows = 0;
};

void print(const char *what, const Timing &t)
{
    std::printf("%s: %lld filas, %d paginas\n", what, t.rows, t.pages);
    std::printf("  lectura de filas %8.0f ms\n", t.read);
    std::printf("  armado %8.0f ms   vista previa %8.0f ms   exportado a texto %8.0f ms\n", t.layout, t.preview,
                t.exported);
    std::printf("  sqlite3 con sus filas a un archivo %8.0f ms   proporcion (exportado / sqlite3) %.2fx\n", t.cli,
                t.exported / t.cli);
}

// Each measure three times, the median kept.
template <typename R>
Timing measure(const std::function<void(R &)> &prepare, const QString &sqlite3, const QString &db,
               const QString &folder)
{
    Timing t;
    std::vector<double> read, layout, preview, exported, cli;
    // One report alive at a time, so the peak memory is that of one.
    auto flush = [] {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    for (int i = 0; i < 3; ++i) {
        {
            R r;
            prepare(r);
            layout.push_back(elapsedMs([&] { r.run(); }));
            t.pages = r.pageCount();
            t.rows = qint64(r.rows().rows.size());
            ReportRows rows;
            read.push_back(elapsedMs([&] { ReadReportRows(r.dataSource, &rows); }));
        }
        {
            R shown;
            prepare(shown);
            preview.push_back(elapsedMs([&] {
                ReportPreview *w = nullptr;
                ShowReport(shown, PreviewMode::Modeless, nullptr, &w);
                QApplication::processEvents();
                if (w)
                    w->close();
            }));
        }
        flush();
        R written;
        prepare(written);
        exported.push_back(elapsedMs([&] {
            written.run();
            written.exportText(folder + QStringLiteral("/informe.txt"));
        }));
        cli.push_back(sqliteCli(sqlite3, db, withValues(written.dataSource.sql, written.dataSource.binds),
                                folder + QStringLiteral("/sqlite3.txt")));
    }
    t.read = medianOf(read);
    t.layout = medianOf(layout);
    t.preview = medianOf(preview);
    t.exported = medianOf(exported);
    t.cli = medianOf(cli);
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication bench(argc, argv);
    const int members = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int movements = argc > 2 ? std::max(1, atoi(argv[2])) : 1000000;
    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite3.isEmpty()) {
        std::fprintf(stderr, "Falta el programa sqlite3 (paquete sqlite3)\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString path = OpenBenchDatabase(dir, members, movements, argc > 3 ? argv[3] : nullptr);
    if (path.isEmpty())
        return 1;
    Exec(QStringLiteral("ANALYZE"));
    const long before = residentKiB();

    const Timing book = measure<rptLibroSocios>([](rptLibroSocios &) {}, sqlite3, path, dir.path());
    print("Libro de socios (este anio)", book);

    auto *prompts = static_cast<PrintedPrompts *>(env().prompts.get());
    const QDate today = env().clock->now().date();
    const QString from = today.addYears(-1).toString(QStringLiteral("dd/MM/yyyy"));
    const QString to = today.toString(QStringLiteral("dd/MM/yyyy"));
    const Timing balance = measure<rptBalance>(
        [&](rptBalance &) { prompts->inputAnswers << from << to << QStringLiteral("SI"); }, sqlite3, path,
        dir.path());
    print("Balance de un anio con detalles", balance);

    // The income total printed against the exact sum of the same rows, and
    // against SQLite's floating-point SUM.
    QFile text(dir.filePath(QStringLiteral("informe.txt")));
    text.open(QIODevice::ReadOnly);
    QString printed;
    for (const QString &line : QString::fromUtf8(text.readAll()).split(QLatin1Char('\n')))
        if (line.contains(QLatin1String("TOTAL INGRESOS")))
            printed = line.simplified().section(QLatin1Char(' '), -1);
    const ReportDataSource src = BalanceSource(ReadTypedDate(from).value(), ReadTypedDate(to).value());
    QSqlQuery q = Exec(QStringLiteral("SELECT SUM(CAST(ROUND(Movimiento.Importe * 1000000) AS INTEGER)),"
                                      " SUM(Movimiento.Importe)"
                                      " FROM (Cuenta AS Cuenta_1 INNER JOIN Movimiento"
                                      " ON Cuenta_1.IDCuenta = Movimiento.IDCuenta)"
                                      " INNER JOIN Cuenta ON Cuenta_1.IDCuentaPadre = Cuenta.IDCuenta"
                                      " WHERE Movimiento.Fecha >= ? AND Movimiento.Fecha < ? AND Movimiento.Tipo = 'I'"),
                       src.binds);
    q.next();
    const qint64 exact = q.value(0).toLongLong();
    const QString exactText = GeneralNumber(double(exact) / 1e6, env().locale);
    std::printf("Total de ingresos impreso %s, suma exacta %s (%s), SUM de SQLite %.10f\n", qPrintable(printed),
                qPrintable(exactText), printed == exactText ? "iguales" : "DISTINTOS", q.value(1).toDouble());

    // The newest fee, as the question marks it.
    const Timing unpaid = measure<rptCuotaImpaga>([](rptCuotaImpaga &) {}, sqlite3, path, dir.path());
    print("Socios con cuota impaga (la cuota mas nueva)", unpaid);
    std::printf("Memoria: %ld MiB antes de los informes, pico del proceso %ld MiB\n", before / 1024,
                processStatusKiB("VmHWM:") / 1024);
    return printed == exactText ? 0 : 1;
}
