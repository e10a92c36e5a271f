#pragma once
// The large association the benchmarks measure on: courses, a chart of
// accounts, a fee per year and members and movements over ten years, written
// straight through SQLite (fees 60 %, other income 20 %, payments 20 %).
#include "data/Database.h"
#include "data/SqliteStorage.h"
#include "data/ValueRules.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

inline void check(int rc, sqlite3 *h, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(h));
        std::exit(1);
    }
}

inline void generate(const QSqlDatabase &db, int members, int movements)
{
    sqlite3 *h = SqliteHandle(db);
    QRandomGenerator rng(20261207);
    auto exec = [&](const char *sql) { check(sqlite3_exec(h, sql, nullptr, nullptr, nullptr), h, sql); };
    for (int c = 1; c <= 21; ++c)
        exec(QStringLiteral("INSERT INTO Curso VALUES (%1, '%2º grado %3')")
                 .arg(c).arg((c - 1) / 3 + 1).arg(QChar('A' + (c - 1) % 3)).toUtf8().constData());
    exec("INSERT INTO Cuenta VALUES (1, 'Ingresos', 'I', NULL), (2, 'Egresos', 'E', NULL),"
         " (10, 'Cuotas', 'I', 1), (11, 'Kermesse', 'I', 1), (20, 'Servicios', 'E', 2), (21, 'Compras', 'E', 2)");
    for (int y = 2017; y <= 2026; ++y)
        exec(QStringLiteral("INSERT INTO Cuota VALUES (%1, 'Cuota anual %1', '%1-03-01 00:00:00', 1500, 10)")
                 .arg(y).toUtf8().constData());

    static const char *const apellidos[] = {"Acosta", "Álvarez", "Benítez", "D'Angelo", "Díaz", "Gómez",
                                            "González", "Ibáñez", "López", "Muñoz", "Núñez", "Pérez",
                                            "Ramírez", "Rodríguez", "Sosa", "Yáñez"};
    static const char *const nombres[] = {"Ana", "Andrés", "Belén", "Camila", "Diego", "Inés", "Joaquín",
                                          "Lucía", "Martina", "Matías", "Ramón", "Sofía", "Tomás"};
    sqlite3_stmt *st = nullptr;
    check(sqlite3_prepare_v2(h, "INSERT INTO Socio (Nombre, Alumno, IDCurso, Telefono) VALUES (?, ?, ?, ?)", -1,
                             &st, nullptr),
          h, "socio");
    for (int i = 0; i < members; ++i) {
        const QByteArray nombre = (QString::fromUtf8(apellidos[rng.bounded(16)]) + QStringLiteral(", ")
                                   + QString::fromUtf8(nombres[rng.bounded(13)]))
                                      .toUtf8();
        const QByteArray alumno = QString::fromUtf8(nombres[rng.bounded(13)]).toUtf8();
        const QByteArray tel = QByteArray::number(4000000 + rng.bounded(999999));
        sqlite3_bind_text(st, 1, nombre.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, alumno.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 3, 1 + rng.bounded(21));
        sqlite3_bind_text(st, 4, tel.constData(), -1, SQLITE_TRANSIENT);
        check(sqlite3_step(st), h, "socio");
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);

    check(sqlite3_prepare_v2(h,
                             "INSERT INTO Movimiento (Fecha, IDSocio, IDCuota, IDCuenta, Tipo, Importe, MedioPago,"
                             " Descripcion, ChequeNumero) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                             -1, &st, nullptr),
          h, "movimiento");
    const QDateTime start(QDate(2017, 1, 1), QTime(8, 0));
    const qint64 span = start.secsTo(QDateTime(QDate(2026, 12, 1), QTime(8, 0)));
    for (int i = 0; i < movements; ++i) {
        const QDateTime when = start.addSecs(span * i / movements);
        const QByteArray fecha = DbDateText(when).toUtf8();
        const int kind = rng.bounded(10);
        const double importe = double(rng.bounded(1, 5000000)) / 100.0;
        sqlite3_bind_text(st, 1, fecha.constData(), -1, SQLITE_TRANSIENT);
        QByteArray descripcion;
        for (int b = 2; b <= 9; ++b)
            sqlite3_bind_null(st, b);
        if (kind < 6) { // a fee
            sqlite3_bind_int(st, 2, 1 + rng.bounded(members));
            sqlite3_bind_int(st, 3, when.date().year());
            sqlite3_bind_int(st, 4, 10);
            sqlite3_bind_text(st, 5, "I", 1, SQLITE_STATIC);
            sqlite3_bind_double(st, 6, 1500);
            sqlite3_bind_text(st, 7, "E", 1, SQLITE_STATIC);
            descripcion = "Cuota anual " + QByteArray::number(when.date().year());
        } else if (kind < 8) { // other income
            sqlite3_bind_int(st, 4, 11);
            sqlite3_bind_text(st, 5, "I", 1, SQLITE_STATIC);
            sqlite3_bind_double(st, 6, importe);
            sqlite3_bind_text(st, 7, rng.bounded(2) ? "E" : "C", 1, SQLITE_STATIC);
            descripcion = "Kermesse " + QByteArray::number(i);
        } else { // a payment
            sqlite3_bind_int(st, 4, 20 + rng.bounded(2));
            sqlite3_bind_text(st, 5, "E", 1, SQLITE_STATIC);
            sqlite3_bind_double(st, 6, importe / 2);
            sqlite3_bind_text(st, 7, rng.bounded(2) ? "E" : "C", 1, SQLITE_STATIC);
            sqlite3_bind_text(st, 9, "000123", -1, SQLITE_STATIC);
            descripcion = "Pago " + QByteArray::number(rng.bounded(100000));
        }
        sqlite3_bind_text(st, 8, descripcion.constData(), -1, SQLITE_TRANSIENT);
        check(sqlite3_step(st), h, "movimiento");
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}

// The database a benchmark measures on, in `dir`: generated with the counts
// given, or a copy of `keep` when that file exists (the measures write to it).
// A generated database is also left at `keep` for later runs. "" on failure.
inline QString PrepareBenchDatabase(QTemporaryDir &dir, int members, int movements, const char *keep)
{
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    const QString kept = keep ? QString::fromLocal8Bit(keep) : QString();
    if (!kept.isEmpty() && QFileInfo::exists(kept)) {
        if (!QFile::copy(kept, path)) {
            std::fprintf(stderr, "No se pudo copiar %s\n", keep);
            return QString();
        }
        std::printf("Base %s (%lld MiB)\n", keep, QFileInfo(path).size() / 1048576);
        return path;
    }
    QElapsedTimer t;
    t.start();
    const QString error = CreateNewDatabase(path, [&](const QSqlDatabase &db) { generate(db, members, movements); });
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return QString();
    }
    std::printf("Base de %d socios y %d movimientos generada en %.1f s (%lld MiB)\n", members, movements,
                t.elapsed() / 1000.0, QFileInfo(path).size() / 1048576);
    if (!kept.isEmpty() && !QFile::copy(path, kept))
        std::fprintf(stderr, "No se pudo dejar una copia en %s\n", keep);
    return path;
}

// The same, opened as the program's shared connection.
inline QString OpenBenchDatabase(QTemporaryDir &dir, int members, int movements, const char *keep)
{
    const QString path = PrepareBenchDatabase(dir, members, movements, keep);
    QList<DbErrorEntry> errors;
    if (!path.isEmpty() && !OpenConexion(path, &errors)) {
        std::fprintf(stderr, "No se pudo abrir la base\n");
        return QString();
    }
    return path;
}
