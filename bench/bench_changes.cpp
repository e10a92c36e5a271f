// Times what the record of changes adds to an edit made in the table editor:
// a movement's amount changed through the editor's model (the row read under
// the write lock, the update, its entry, the commit) beside the same update
// and commit without an entry, on the editor's own connection; and a
// movement deleted (nine entries). On a generated ledger whose record already
// holds as many entries as it has movements; on the file, and on a server too
// when TESORIN_PG_HOST names one (scripts/pg-server.sh), as a copy of it.
//
//   build/bench/bench_changes [movements]
#include "BenchSupport.h"
#include "GenerateLedger.h"
#include "data/ChangeRecord.h"
#include "data/Database.h"
#include "data/Migrate.h"
#include "data/ServerCheck.h"
#include "masterdata/GrillaModel.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const int kRuns = 201;

// The record filled as years of use would leave it.
void fillRecord(int entries)
{
    Transaction t;
    QList<ChangeEntry> batch;
    for (int i = 0; i < entries; ++i) {
        batch << ChangeEntry{QLatin1String(kChangeUpdate), QStringLiteral("Movimiento"), i + 1,
                             QStringLiteral("Importe"), 100.0 + i, 200.5 + i};
        if (batch.size() == 1000) {
            RecordChanges(Conexion(), batch);
            batch.clear();
        }
    }
    RecordChanges(Conexion(), batch);
    t.commit();
}

void measure(const char *where, int movements)
{
    QList<DbErrorEntry> errors;
    const QString name = QStringLiteral("bench-grilla");
    if (!OpenConnection(name, ConnectionString(), &errors)) {
        std::fprintf(stderr, "No se abrio la conexion del editor\n");
        return;
    }
    {
        const QSqlDatabase db = QSqlDatabase::database(name, false);
        GrillaTableModel model(nullptr, db);
        if (!model.open(QStringLiteral("Movimiento"))) {
            std::fprintf(stderr, "No se abrio Movimiento\n");
            return;
        }
        const int importe = 6;
        int n = 0;
        std::vector<double> edit, bare, remove;
        for (int i = 0; i < kRuns; ++i) {
            const int row = (i * 7919) % movements;
            edit.push_back(elapsedMs([&] {
                model.setData(model.index(row, importe), QString::number(10 + ++n));
                if (!model.writePending())
                    std::fprintf(stderr, "%s\n", qPrintable(model.lastRefusal() + model.lastError().text()));
            }));
            const QVariant key = model.keyOf((row + 1) % movements);
            bare.push_back(elapsedMs([&] {
                Transaction t(db, Transaction::Mode::Immediate);
                Exec(db, QStringLiteral("SELECT * FROM Movimiento WHERE IDMovimiento = ?"), {key}).next();
                Exec(db, QStringLiteral("UPDATE Movimiento SET Importe = ? WHERE IDMovimiento = ?"), {10.0 + ++n, key});
                t.commit();
            }));
        }
        for (int i = 0; i < 51; ++i)
            remove.push_back(elapsedMs([&] {
                if (!model.removeRow(model.rowCount() - 1))
                    std::fprintf(stderr, "%s\n", qPrintable(model.lastRefusal() + model.lastError().text()));
            }));
        const double withEntry = medianOf(edit), without = medianOf(bare);
        std::printf("%-8s cambio de un importe en el editor %7.2f ms; sin registro %7.2f ms; el registro suma %5.2f ms\n",
                    where, withEntry, without, withEntry - without);
        std::printf("%-8s baja de un movimiento (9 anotaciones) %7.2f ms\n", where, medianOf(remove));
    }
    CloseConnection(name);
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication bench(argc, argv);
    const int movements = argc > 1 ? std::max(1000, atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    const QString path = OpenBenchDatabase(dir, movements / 10, movements, nullptr);
    if (path.isEmpty())
        return 1;
    fillRecord(movements);
    measure("archivo", movements);
    CloseConexion();

    if (qEnvironmentVariableIsEmpty("TESORIN_PG_HOST"))
        return 0;
    ConnectionSettings server;
    server.engine = Engine::PostgreSQL;
    server.host = qEnvironmentVariable("TESORIN_PG_HOST");
    server.port = qEnvironmentVariableIntValue("TESORIN_PG_PORT") ? qEnvironmentVariableIntValue("TESORIN_PG_PORT") : 5432;
    server.user = qEnvironmentVariable("TESORIN_PG_USER");
    auto admin = [&](const QString &sql) {
        ConnectionSettings postgres = server;
        postgres.database = QStringLiteral("postgres");
        QString error;
        if (OpenServerConnection(QStringLiteral("bench-admin"), postgres, &error))
            QSqlQuery(QSqlDatabase::database(QStringLiteral("bench-admin"), false)).exec(sql);
        CloseConnection(QStringLiteral("bench-admin"));
    };
    server.database = QStringLiteral("tesorin_bench_%1").arg(QCoreApplication::applicationPid());
    admin(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(server.database));
    QString summary, error = MigrateToServer(path, server, &summary);
    if (error.isEmpty() && OpenConexionOnServer(server, QString(), &error))
        measure("servidor", movements);
    if (!error.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(error));
    CloseConexion();
    admin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(server.database));
    return 0;
}
