// Times taking a bank statement of 10,000 lines into the books of a large
// association (100,000 members and 1,000,000 movements, or the counts given):
// 7,000 lines for the newest bank movements, 3,000 bank charges that match
// nothing and are made new movements. Each run on a fresh copy of the books:
// the file read and split, its lines read with the format, matched, taken
// into the books (one transaction), and matched again (every line taken
// before). The two statements the matching runs are timed beside it, straight
// on SQLite over the same file ("crudo").
//
//   build/bench/bench_statement [members [movements [database-to-keep]]]
#include "BenchSupport.h"
#include "GenerateLedger.h"
#include "GenerateStatement.h"
#include "data/DelimitedText.h"

#include <sqlite3.h>

namespace {

// The matching's two statements on a plain SQLite connection, every row
// stepped through, every column read.
double rawMatch(const QString &books, const BenchStatement &s)
{
    sqlite3 *h = nullptr;
    check(sqlite3_open_v2(books.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr), h, "abrir");
    auto day = [](const QDate &d) { return DbDateText(QDateTime(d, QTime(0, 0))).toUtf8(); };
    auto run = [&](const char *sql, const QList<QByteArray> &binds) {
        sqlite3_stmt *st = nullptr;
        check(sqlite3_prepare_v2(h, sql, -1, &st, nullptr), h, sql);
        for (int i = 0; i < binds.size(); ++i)
            sqlite3_bind_text(st, i + 1, binds.at(i).constData(), -1, SQLITE_STATIC);
        while (sqlite3_step(st) == SQLITE_ROW)
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                (void)sqlite3_column_text(st, c);
        sqlite3_finalize(st);
    };
    const double ms = elapsedMs([&] {
        run("SELECT Huella FROM ExtractoLinea WHERE Fecha >= ? AND Fecha < ?", {day(s.first), day(s.last.addDays(1))});
        run("SELECT m.IDMovimiento, m.Fecha, m.Tipo, m.Importe, m.Descripcion, m.MedioPago FROM Movimiento m"
            " WHERE m.Fecha >= ? AND m.Fecha < ? AND NOT EXISTS"
            " (SELECT 1 FROM ExtractoLinea x WHERE x.IDMovimiento = m.IDMovimiento)",
            {day(s.first.addDays(-5)), day(s.last.addDays(6))});
    });
    sqlite3_close(h);
    return ms;
}

void printSummary(const char *what, const Statement &s)
{
    const StatementSummary n = Summarize(s);
    std::printf("%s: %lld lineas, %d conciliadas, %d nuevas, %d ya tomadas, %d sin tomar\n", what,
                qint64(s.lines.size()), n.matched, n.created, n.imported, n.leftOut);
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication bench(argc, argv);
    const int members = argc > 1 ? std::max(1000, atoi(argv[1])) : 100000;
    const int movements = argc > 2 ? std::max(1, atoi(argv[2])) : 1000000;
    QTemporaryDir dir;
    const QString path = PrepareBenchDatabase(dir, members, movements, argc > 3 ? argv[3] : nullptr);
    const QString books = dir.filePath(QStringLiteral("libros.db"));
    const QString file = dir.filePath(QStringLiteral("extracto.csv"));
    QList<DbErrorEntry> errors;
    if (path.isEmpty() || !OpenConexion(path, &errors))
        return 1;
    const BenchStatement generated = WriteBenchStatement(Conexion(), file, 7000, 3000);
    CloseConexion();
    if (generated.lines == 0)
        return 1;
    std::printf("Extracto de %d lineas, del %s al %s\n", generated.lines,
                qPrintable(generated.first.toString(Qt::ISODate)), qPrintable(generated.last.toString(Qt::ISODate)));

    std::vector<double> reads, parses, matches, records, rematches, raws, rawsAfter;
    Statement first, second;
    for (int run = 0; run < 5; ++run) {
        QFile::remove(books);
        if (!QFile::copy(path, books) || !OpenConexion(books, &errors))
            return 1;
        QList<QStringList> rows;
        reads.push_back(elapsedMs([&] { rows = ReadDelimitedFile(file, generated.format.separator).rows; }));
        Statement s;
        parses.push_back(elapsedMs([&] { s = ReadStatement(rows, generated.format); }));
        const Statement read = s;
        matches.push_back(elapsedMs([&] { MatchStatement(Conexion(), s); }));
        raws.push_back(rawMatch(books, generated));
        first = s;
        TakeBankCharges(s, 20);
        Ledger::StatementOutcome outcome{};
        records.push_back(elapsedMs([&] { outcome = RecordStatement(Ledger::instance(), s, QDateTime::currentDateTime()); }));
        if (outcome != Ledger::StatementOutcome::Recorded) {
            std::fprintf(stderr, "El extracto no se tomo\n");
            return 1;
        }
        second = read;
        rematches.push_back(elapsedMs([&] { MatchStatement(Conexion(), second); }));
        rawsAfter.push_back(rawMatch(books, generated));
        CloseConexion();
    }
    printSummary("Primera vez", first);
    TakeBankCharges(first, 20);
    printSummary("Tomado", first);
    printSummary("Otra vez", second);
    std::printf("%-46s %9.2f ms\n", "archivo leido y separado", medianOf(reads));
    std::printf("%-46s %9.2f ms\n", "lineas leidas con el formato (ReadStatement)", medianOf(parses));
    printVersus("conciliacion (MatchStatement)", medianOf(matches), medianOf(raws));
    std::printf("%-46s %9.2f ms\n", "  lectura, formato y conciliacion",
                medianOf(reads) + medianOf(parses) + medianOf(matches));
    std::printf("%-46s %9.2f ms\n", "toma en los libros (RecordStatement)", medianOf(records));
    printVersus("conciliacion otra vez (todo ya tomado)", medianOf(rematches), medianOf(rawsAfter));
    return 0;
}
