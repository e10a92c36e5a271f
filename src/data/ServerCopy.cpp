#include "data/ServerCopy.h"
#include "data/Database.h"
#include "data/IniFile.h"
#include "data/Migrate.h"
#include "data/PgSchema.h"
#include "data/ServerCheck.h"
#include "data/TableInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTextStream>

namespace {

const char *const kServer = "tesorin-copia-servidor";

// A read of the server that sees one moment of its books and writes nothing;
// a table another program holds locked (a restore under way) is waited for a
// bounded time.
const QString kSnapshot = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");

void boundWaits(const QSqlDatabase &db, int waitMs)
{
    ServerQuery(db, QStringLiteral("SET LOCAL lock_timeout = %1").arg(waitMs));
}

// The highest key the server ever gave a table (rows since deleted included);
// -1 when its numbering cannot be read (a user without rights on it).
qint64 serverNumbering(const QSqlDatabase &db, const BookTable &t)
{
    QSqlQuery q = ServerQuery(db, QStringLiteral("SELECT s, has_sequence_privilege(s, 'SELECT')"
                                                 " FROM pg_get_serial_sequence(?, ?) AS s"),
                              {t.name.toLower(), t.key.toLower()});
    if (!q.next() || q.value(0).isNull() || !q.value(1).toBool())
        return -1;
    // The name comes from the server itself, already quoted where it needs it.
    q = ServerQuery(db, QStringLiteral("SELECT CASE WHEN is_called THEN last_value ELSE last_value - 1 END FROM ")
                            + q.value(0).toString());
    return q.next() ? q.value(0).toLongLong() : -1;
}

// Copies one table's rows with their keys. An amount is read as the server's
// exact text and stored as the nearest number, as the program stores amounts.
void copyRows(const QSqlDatabase &server, const QSqlDatabase &file, const BookTable &t)
{
    if (t.optional && !TablePresent(server, t.name))
        return; // a database made before the record: the copy's stays empty
    QStringList select;
    for (const QString &c : t.columns)
        select << (c == t.amount ? c.toLower() + QStringLiteral("::text") : c.toLower());
    // Read forward only: the driver need not keep every row of a large table.
    QSqlQuery in(server);
    in.setForwardOnly(true);
    if (!in.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                     .arg(select.join(QStringLiteral(", ")), t.name.toLower(),
                          (t.key.isEmpty() ? t.columns.first() : t.key).toLower())))
        ServerFail(in.lastError());
    QSqlQuery out(file);
    if (!out.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                         .arg(t.name, t.columns.join(QStringLiteral(", ")),
                              QStringList(t.columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")))))
        throw RuntimeError::fromSql(out.lastError());
    const int amountAt = t.amount.isEmpty() ? -1 : int(t.columns.indexOf(t.amount));
    while (in.next()) {
        for (int c = 0; c < t.columns.size(); ++c) {
            const QVariant v = in.value(c);
            out.bindValue(c, c == amountAt && !v.isNull() ? QVariant(v.toString().toDouble()) : v);
        }
        if (!out.exec())
            CopyFail(QStringLiteral("No se pudo escribir la fila %1 de %2 en la copia: %3")
                         .arg(in.value(0).toString(), t.name, out.lastError().text()));
    }
    // The file numbers on past every key the server gave, as the server would.
    if (t.key.isEmpty())
        return;
    const qint64 used = std::max<qint64>(0, serverNumbering(server, t));
    if (Exec(file, QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?"), {used, t.name})
                .numRowsAffected()
            == 0
        && used > 0)
        Exec(file, QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"), {t.name, used});
}

// The file's rows and exact sums against the server's, in the same snapshot.
void verifyRows(const QSqlDatabase &server, const QSqlDatabase &file, const BookTable &t)
{
    const bool serverHasIt = !t.optional || TablePresent(server, t.name);
    QSqlQuery s = ServerQuery(server, serverHasIt ? QStringLiteral("SELECT count(*) FROM ") + t.name.toLower()
                                               : QStringLiteral("SELECT 0"));
    const qint64 serverRows = s.next() ? s.value(0).toLongLong() : -1;
    QSqlQuery f = Exec(file, QStringLiteral("SELECT COUNT(*) FROM ") + t.name);
    const qint64 fileRows = f.next() ? f.value(0).toLongLong() : -1;
    if (fileRows != serverRows)
        CopyFail(QStringLiteral("La tabla %1 tiene %2 filas en el servidor y %3 en la copia.")
                     .arg(t.name).arg(serverRows).arg(fileRows));
    if (t.amount.isEmpty())
        return;
    const bool byMedium = t.name == QLatin1String("Movimiento");
    f = Exec(file, QStringLiteral("SELECT %1, %2 FROM %3 WHERE %2 IS NOT NULL")
                       .arg(byMedium ? QStringLiteral("MedioPago, Tipo") : QStringLiteral("NULL, NULL"), t.amount, t.name));
    std::map<QString, DecimalSum> sums;
    while (f.next())
        sums[SumKey(t, f.value(0), f.value(1))].add(DecimalSum::textOf(f.value(2).toDouble()));
    std::map<QString, QString> inFile;
    for (const auto &[key, sum] : sums)
        inFile[key] = sum.text();
    const std::map<QString, QString> onServer = ServerSums(server, t);
    if (inFile != onServer) {
        QStringList diffs;
        for (const auto &[key, sum] : onServer)
            diffs << QStringLiteral("%1: %2 en el servidor, %3 en la copia")
                         .arg(key, sum, inFile.count(key) ? inFile.at(key) : QStringLiteral("nada"));
        CopyFail(QStringLiteral("Las sumas de %1 no coinciden (%2).").arg(t.amount, diffs.join(QStringLiteral("; "))));
    }
}

} // namespace

QString CopyServerToFile(const ConnectionSettings &server, const QString &target, int waitMs)
{
    if (QFileInfo::exists(target))
        return QStringLiteral("Ya existe un archivo en ") + target + QStringLiteral("; no se modifica.");
    const QString failure = QStringLiteral("No se pudo copiar la base de datos del servidor %1 en %2. ")
                                .arg(server.describe(), target);
    const QString partial = target + QStringLiteral(".parcial");
    QFile::remove(partial);
    QString error;
    if (!OpenServerConnection(QLatin1String(kServer), server, &error))
        return failure + error;
    {
        const QSqlDatabase db = QSqlDatabase::database(QLatin1String(kServer), false);
        QString why;
        const QString made = CreateNewDatabase(partial, [&](const QSqlDatabase &file) {
            try {
                ServerTransaction reading(db, kSnapshot);
                boundWaits(db, waitMs);
                for (const BookTable &t : BookTables())
                    copyRows(db, file, t);
                for (const BookTable &t : BookTables())
                    verifyRows(db, file, t);
                reading.commit();
            } catch (const RuntimeError &e) {
                why = e.description();
                throw;
            }
        });
        if (!made.isEmpty())
            error = why.isEmpty() ? made : why;
    }
    CloseConnection(QLatin1String(kServer));
    if (error.isEmpty()) {
        const DbCheck check = CheckDatabase(partial, CheckDepth::Full);
        if (!check.sound())
            error = QStringLiteral("La copia no pasó la verificación. ") + check.description();
    }
    // Only a whole, checked copy gets the copy's name.
    if (error.isEmpty() && !QFile::rename(partial, target))
        error = QStringLiteral("No se pudo dar su nombre al archivo copiado. Verifique los permisos de la carpeta.");
    if (!error.isEmpty()) {
        QFile::remove(partial);
        return failure + error;
    }
    return QString();
}

DailyCopy MakeServerDailyCopy(const ConnectionSettings &server, const QString &config, const QDateTime &now,
                              int waitMs)
{
    return MakeDailyCopyWith(config, now,
                             [&](const QString &target) { return CopyServerToFile(server, target, waitMs); });
}

namespace {

// The kind of value the program stores in a column, as the server names it.
QString expectedKind(const BookTable &t, const QString &column)
{
    const QString c = column.toLower();
    if (c == t.amount.toLower())
        return QStringLiteral("numeric");
    if (c.startsWith(QLatin1String("id")) || c == QLatin1String("recibo"))
        return QStringLiteral("integer");
    return QStringLiteral("text");
}

// Every table and column, of the expected kind, and a primary key on each
// table. The tables fit to have their rows read are added to `readable`.
QStringList schemaProblems(const QSqlDatabase &db, QStringList *readable)
{
    std::map<QString, std::map<QString, QString>> kinds;
    QSqlQuery q = ServerQuery(db, QStringLiteral("SELECT table_name, column_name, data_type FROM information_schema.columns"
                                                 " WHERE table_schema = current_schema()"));
    while (q.next())
        kinds[q.value(0).toString()][q.value(1).toString()] = q.value(2).toString();
    QStringList keyed;
    q = ServerQuery(db, QStringLiteral("SELECT lower(conrelid::regclass::text) FROM pg_constraint WHERE contype = 'p'"));
    while (q.next())
        keyed << q.value(0).toString();
    QStringList problems;
    for (const BookTable &t : BookTables()) {
        const QString table = t.name.toLower();
        if (!kinds.count(table)) {
            problems << (t.optional ? QStringLiteral("Falta la tabla %1 (de %2): la agrega el dueño de las tablas "
                                                     "al abrir el programa.")
                                          .arg(t.name, t.noun)
                                    : QStringLiteral("Falta la tabla %1.").arg(t.name));
            continue;
        }
        bool whole = true;
        for (const QString &column : t.columns) {
            const auto found = kinds[table].find(column.toLower());
            const QString kind = expectedKind(t, column);
            if (found == kinds[table].end()) {
                problems << QStringLiteral("Falta la columna %1.%2.").arg(t.name, column);
                whole = false;
            } else if (found->second != kind) {
                problems << QStringLiteral("La columna %1.%2 es de tipo %3; Tesorin guarda en ella valores de tipo %4.")
                                .arg(t.name, column, found->second, kind);
            }
        }
        if (!keyed.contains(table))
            problems << QStringLiteral("La tabla %1 no tiene clave primaria.").arg(t.name);
        if (whole)
            *readable << t.name;
    }
    return problems;
}

// A rule each row of a table keeps: the rows where `broken` holds break it.
struct RowRule
{
    const char *table;
    const char *broken;
    const char *what;
};

const QString kStoredDate = QStringLiteral("'^[0-9]{4}-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$'");

const RowRule kRowRules[] = {
    {"Movimiento", "tipo NOT IN ('I', 'E')", "un Tipo que no es I ni E"},
    {"Movimiento", "mediopago NOT IN ('E', 'C')", "un MedioPago que no es E ni C"},
    {"Movimiento", "fecha !~ %1", "una Fecha que no tiene la forma AAAA-MM-DD HH:MM:SS"},
    {"Movimiento",
     "idcontraasiento IS NOT NULL AND NOT EXISTS (SELECT 1 FROM movimiento o"
     " WHERE o.idmovimiento = r.idcontraasiento AND o.idcontraasiento = r.idmovimiento)",
     "una transferencia cuya otra mitad (IDContraAsiento) no existe o no la nombra a ella"},
    {"Cuenta", "tipo NOT IN ('I', 'E')", "un Tipo que no es I ni E"},
    {"Cuota", "vigencia !~ %1", "una vigencia que no tiene la forma AAAA-MM-DD HH:MM:SS"},
};

QStringList rowProblems(const QSqlDatabase &db, const QStringList &readable)
{
    QStringList problems;
    for (const RowRule &rule : kRowRules) {
        const QString table = QLatin1String(rule.table);
        if (!readable.contains(table))
            continue;
        QSqlQuery q = ServerQuery(db, QStringLiteral("SELECT count(*), min(id%1) FROM %2 r WHERE %3")
                                          .arg(table.toLower(), table.toLower(),
                                               QString::fromLatin1(rule.broken).replace(QLatin1String("%1"), kStoredDate)));
        if (q.next() && q.value(0).toLongLong() > 0)
            problems << QStringLiteral("%1: %2 con %3 (la primera, %4 = %5).")
                            .arg(table)
                            .arg(q.value(0).toLongLong() == 1 ? QStringLiteral("1 fila")
                                                              : QStringLiteral("%1 filas").arg(q.value(0).toLongLong()))
                            .arg(QString::fromUtf8(rule.what), QStringLiteral("ID") + table, q.value(1).toString());
    }
    // A numbering behind the highest key would give a key twice at the next new row.
    for (const BookTable &t : BookTables()) {
        if (t.key.isEmpty() || !readable.contains(t.name))
            continue;
        QSqlQuery q = ServerQuery(db, QStringLiteral("SELECT max(%1) FROM %2").arg(t.key.toLower(), t.name.toLower()));
        const qint64 top = q.next() ? q.value(0).toLongLong() : 0;
        const qint64 used = serverNumbering(db, t);
        if (used >= 0 && used < top)
            problems << QStringLiteral("%1: la numeración va por %2 y ya hay una fila %3 = %4; la próxima fila nueva "
                                       "repetiría una clave.")
                            .arg(t.name).arg(used).arg(t.key).arg(top);
    }
    return problems;
}

} // namespace

ServerCheck CheckServer(const ConnectionSettings &server, int waitMs)
{
    ServerCheck found;
    QString error;
    if (!OpenServerConnection(QLatin1String(kServer), server, &error))
        return ServerCheck{ServerCheck::State::NotChecked, {error}};
    try {
        const QSqlDatabase db = QSqlDatabase::database(QLatin1String(kServer), false);
        ServerTransaction reading(db, kSnapshot);
        boundWaits(db, waitMs);
        QStringList readable;
        found.problems = schemaProblems(db, &readable);
        found.problems += rowProblems(db, readable);
        reading.commit();
        found.state = found.problems.isEmpty() ? ServerCheck::State::Sound : ServerCheck::State::Problems;
    } catch (const RuntimeError &e) {
        found = ServerCheck{ServerCheck::State::NotChecked, {e.description()}};
    }
    CloseConnection(QLatin1String(kServer));
    return found;
}

int ServerCopyCommand(const QString &option, const QString &argument, QTextStream &out, QTextStream &err)
{
    ConnectionSettings where;
    if (const QString problem = ReadCommandSettings(where); !problem.isEmpty()) {
        err << problem << "\n";
        return 1;
    }
    if (!where.isServer())
        return -1;
    if (option == QLatin1String("--verificar")) {
        const ServerCheck check = CheckServer(where);
        if (check.state == ServerCheck::State::Sound) {
            out << "La base de datos " << where.describe() << " del servidor está sana.\n";
            return 0;
        }
        for (const QString &p : check.problems)
            err << p << "\n";
        if (check.state == ServerCheck::State::NotChecked)
            err << "No se pudo verificar ahora; no es un daño de la base de datos.\n";
        err << "Servidor: " << where.describe() << "\n";
        return check.state == ServerCheck::State::NotChecked ? 3 : 1;
    }
    QString e, summary;
    if (option == QLatin1String("--copia")) {
        e = CopyServerToFile(where, argument);
        summary = QStringLiteral("Copia hecha y verificada en ") + argument + QLatin1Char('.');
    } else {
        // As a file's restore keeps the file it replaces, the server's books are first copied aside.
        const QString folder = CopiesFolder(FindIniFile());
        const QString aside = QDir(folder).filePath(
            QDateTime::currentDateTime().toString(QStringLiteral("'antes-de-restaurar-'yyyy-MM-dd-HHmmss-zzz'.db'")));
        e = QDir().mkpath(folder) ? CopyServerToFile(where, aside)
                                  : QStringLiteral("No se pudo crear la carpeta de copias ") + folder + QLatin1Char('.');
        if (!e.isEmpty())
            e = QStringLiteral("No se restauró nada: antes hay que apartar una copia de lo que tiene el servidor. ") + e;
        else if (!(e = RestoreServerFromFile(argument, where, &summary)).isEmpty())
            QFile::remove(aside);
        else
            summary += QStringLiteral(" Lo que tenía el servidor quedó aparte en ") + aside + QLatin1Char('.');
    }
    if (!e.isEmpty()) {
        err << e << "\n";
        return 1;
    }
    out << summary << "\n";
    return 0;
}
