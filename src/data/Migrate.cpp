#include "data/Migrate.h"
#include "data/Backup.h"
#include "data/ChangeRecord.h"
#include "data/ConfigFile.h"
#include "data/ServerCheck.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/IniFile.h"
#include "data/PgSchema.h"
#include "data/TableInfo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <cmath>
#include <list>
#include <map>

namespace {

const qint64 kServerError = -2147467259;
const char *const kSource = "tesorin-migrar-archivo";
const char *const kTarget = "tesorin-migrar-servidor";

// Rows sent in one statement: few round trips, far below the server's limit
// of 65535 values in one statement.
const int kBatchRows = 1000;

QString serverReason(const QSqlError &e)
{
    return (e.databaseText().isEmpty() ? e.text() : e.databaseText()).trimmed();
}

} // namespace

void CopyFail(const QString &text)
{
    throw RuntimeError(kServerError, text);
}

QString DecimalSum::textOf(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

void DecimalSum::add(const QString &text)
{
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    QString mantissa = e < 0 ? text : text.left(e);
    int scale = e < 0 ? 0 : -text.mid(e + 1).toInt();
    const qsizetype point = mantissa.indexOf(QLatin1Char('.'));
    if (point >= 0) {
        scale += int(mantissa.size() - point - 1);
        mantissa.remove(point, 1);
    }
    m_byScale[scale] += mantissa.toLongLong();
}

QString DecimalSum::text() const
{
    const int top = m_byScale.empty() ? 0 : std::max(0, m_byScale.rbegin()->first);
    __int128 total = 0;
    for (const auto &[scale, count] : m_byScale) {
        __int128 term = count;
        for (int i = scale; i < top; ++i)
            if (__builtin_mul_overflow(term, 10, &term))
                CopyFail(QStringLiteral("Las sumas de los importes son demasiado grandes para verificarlas."));
        if (__builtin_add_overflow(total, term, &total))
            CopyFail(QStringLiteral("Las sumas de los importes son demasiado grandes para verificarlas."));
    }
    const bool negative = total < 0;
    QString digits;
    for (unsigned __int128 u = negative ? -(unsigned __int128)total : total; u > 0; u /= 10)
        digits.prepend(QChar(u'0' + int(u % 10)));
    digits = digits.rightJustified(top + 1, QLatin1Char('0'));
    if (top > 0)
        digits.insert(digits.size() - top, QLatin1Char('.'));
    return Normalized((negative ? QStringLiteral("-") : QString()) + digits);
}

QString DecimalSum::Normalized(QString t)
{
    if (t.contains(QLatin1Char('.'))) {
        while (t.endsWith(QLatin1Char('0')))
            t.chop(1);
        if (t.endsWith(QLatin1Char('.')))
            t.chop(1);
    }
    return t == QLatin1String("-0") || t.isEmpty() ? QStringLiteral("0") : t;
}

QList<BookTable> BookTables()
{
    QList<BookTable> list;
    const std::map<QString, std::array<QString, 3>> about = {
        {QStringLiteral("Socio"), {QStringLiteral("IDSocio"), QString(), QStringLiteral("socios")}},
        {QStringLiteral("Movimiento"), {QStringLiteral("IDMovimiento"), QStringLiteral("Importe"), QStringLiteral("movimientos")}},
        {QStringLiteral("Cuota"), {QStringLiteral("IDCuota"), QStringLiteral("Valor"), QStringLiteral("cuotas")}},
        {QStringLiteral("Cuenta"), {QStringLiteral("IDCuenta"), QString(), QStringLiteral("cuentas")}},
        {QStringLiteral("Curso"), {QStringLiteral("IDCurso"), QString(), QStringLiteral("cursos")}},
        {QStringLiteral("Parametro"), {QString(), QString(), QStringLiteral("parámetros")}}};
    for (const auto &[name, columns] : RequiredColumns()) {
        const auto &a = about.at(name);
        list << BookTable{name, columns, a[0], a[1], a[2]};
    }
    std::sort(list.begin(), list.end(), [](const BookTable &a, const BookTable &b) {
        static const QStringList order = {QStringLiteral("Socio"), QStringLiteral("Movimiento"), QStringLiteral("Cuota"),
                                          QStringLiteral("Cuenta"), QStringLiteral("Curso"), QStringLiteral("Parametro")};
        return order.indexOf(a.name) < order.indexOf(b.name);
    });
    list << BookTable{QLatin1String(kChangeTable),
                      {QStringLiteral("IDCambio"), QStringLiteral("Fecha"), QStringLiteral("Usuario"),
                       QStringLiteral("Equipo"), QStringLiteral("Operacion"), QStringLiteral("Tabla"),
                       QStringLiteral("Clave"), QStringLiteral("Campo"), QStringLiteral("ValorAnterior"),
                       QStringLiteral("ValorNuevo")},
                      QStringLiteral("IDCambio"),
                      QString(),
                      QStringLiteral("cambios registrados"),
                      true};
    list << BookTable{QStringLiteral("ExtractoLinea"),
                      {QStringLiteral("IDExtractoLinea"), QStringLiteral("Fecha"), QStringLiteral("Descripcion"),
                       QStringLiteral("Importe"), QStringLiteral("Referencia"), QStringLiteral("Huella"),
                       QStringLiteral("IDMovimiento"), QStringLiteral("Importado")},
                      QStringLiteral("IDExtractoLinea"),
                      QStringLiteral("Importe"),
                      QStringLiteral("líneas de extracto conciliadas"),
                      true};
    return list;
}

QString SumKey(const BookTable &t, const QVariant &medio, const QVariant &tipo)
{
    return t.name == QLatin1String("Movimiento") ? t.name + QLatin1Char(' ') + medio.toString() + QLatin1Char('/')
                                                       + tipo.toString()
                                                 : t.name;
}

ServerTransaction::ServerTransaction(const QSqlDatabase &db, const QString &begin) : m_db(db)
{
    PgRun(m_db, begin);
}

ServerTransaction::~ServerTransaction()
{
    if (!m_done) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

void ServerTransaction::commit()
{
    PgRun(m_db, QStringLiteral("COMMIT"));
    m_done = true;
}

std::map<QString, QString> ServerSums(const QSqlDatabase &db, const BookTable &t)
{
    const bool byMedium = t.name == QLatin1String("Movimiento");
    // Every other table with an amount is summed whole, each its own column.
    QSqlQuery s = ServerQuery(db, byMedium ? QStringLiteral("SELECT mediopago, tipo, sum(importe)::text FROM movimiento"
                                                            " WHERE importe IS NOT NULL GROUP BY mediopago, tipo")
                                           : QStringLiteral("SELECT NULL, NULL, sum(%1)::text FROM %2"
                                                            " WHERE %1 IS NOT NULL HAVING count(*) > 0")
                                                 .arg(t.amount.toLower(), t.name.toLower()));
    std::map<QString, QString> sums;
    while (s.next())
        sums[SumKey(t, s.value(0), s.value(1))] = DecimalSum::Normalized(s.value(2).toString());
    return sums;
}

QSqlQuery ServerQuery(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    QSqlQuery q(db);
    // A statement without values is sent as it is: the driver prepares with
    // PREPARE, which takes no LOCK or SET.
    bool done = binds.isEmpty() ? q.exec(sql) : q.prepare(sql);
    if (done && !binds.isEmpty()) {
        for (const QVariant &b : binds)
            q.addBindValue(b);
        done = q.exec();
    }
    if (!done)
        ServerFail(q.lastError());
    return q;
}

void ServerFail(const QSqlError &e)
{
    // lock_not_available: another program held a table longer than the wait.
    if (e.nativeErrorCode() == QLatin1String("55P03"))
        CopyFail(QStringLiteral("Otro programa está usando la base de datos del servidor y no la soltó a tiempo. "
                                "Espere un momento y vuelva a intentar. (%1)")
                     .arg(serverReason(e).section(QLatin1Char('\n'), 0, 0)));
    CopyFail(QStringLiteral("El servidor rechazó una consulta: %1").arg(serverReason(e)));
}

namespace {

using Table = BookTable;

// The file's value as the server stores it. The one-letter codes are compared
// without case in the file, so they are stored in capitals, the form the
// server's rules accept.
QVariant serverValue(const Table &t, const QString &column, const QVariant &v, const QVariant &rowKey)
{
    if (v.isNull())
        return QVariant(QMetaType::fromType<QString>());
    if (column == t.amount) {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray || !ok || !std::isfinite(d))
            CopyFail(QStringLiteral("La fila %1 de %2 tiene en %3 un valor que no es un importe: «%4».")
                     .arg(rowKey.toString(), t.name, column, v.toString()));
        return DecimalSum::textOf(d);
    }
    if (column == QLatin1String("Tipo") || column == QLatin1String("MedioPago"))
        return v.toString().toUpper();
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v;
}

void refuseNonEmpty(const QSqlDatabase &db, const ConnectionSettings &server)
{
    QSqlQuery q = ServerQuery(db, QStringLiteral("SELECT current_setting('server_encoding')"));
    if (q.next() && q.value(0).toString() != QLatin1String("UTF8"))
        CopyFail(QStringLiteral("La base de datos %1 no usa la codificación UTF8 (usa %2). Créela con "
                            "ENCODING 'UTF8' y vuelva a intentar.")
                 .arg(server.database, q.value(0).toString()));
    q = ServerQuery(db, QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
                                       " WHERE n.nspname NOT IN ('pg_catalog', 'information_schema')"
                                       " AND n.nspname NOT LIKE 'pg\\_toast%' AND c.relkind IN ('r', 'p', 'v', 'm', 'S', 'f')"));
    if (q.next() && q.value(0).toLongLong() > 0)
        CopyFail(QStringLiteral("La base de datos %1 del servidor no está vacía (ya tiene tablas). --migrar sólo copia en "
                            "una base de datos vacía.")
                 .arg(server.describe()));
}

// What was read from the file: rows per table and exact sums per table and medium.
struct Tally
{
    std::map<QString, qint64> rows;
    std::map<QString, DecimalSum> sums; // "Movimiento E/I", "Cuota"
};

// The copy's prepared statements. They outlive the server's transaction:
// once a statement has failed, the server takes nothing but the rollback,
// not even the release of a statement.
using Statements = std::list<QSqlQuery>;

// Copies one table, `kBatchRows` rows to a statement, keeping every key.
void copyTable(const QSqlDatabase &file, const QSqlDatabase &server, const Table &t, Tally &tally, Statements &statements)
{
    tally.rows[t.name] = 0;
    if (t.optional && !TablePresent(file, t.name))
        return; // a file of an earlier version, opened read-only
    QSqlQuery in(file);
    in.setForwardOnly(true);
    const QString order = t.key.isEmpty() ? t.columns.first() : t.key;
    if (!in.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(t.columns.join(QStringLiteral(", ")), t.name, order)))
        CopyFail(QStringLiteral("No se pudo leer la tabla %1 del archivo: %2").arg(t.name, in.lastError().text()));
    const int width = int(t.columns.size());
    const int amountAt = t.amount.isEmpty() ? -1 : int(t.columns.indexOf(t.amount));
    const int medioAt = int(t.columns.indexOf(QStringLiteral("MedioPago")));
    const int tipoAt = int(t.columns.indexOf(QStringLiteral("Tipo")));
    auto insertSql = [&](int rows) {
        QString row = QStringLiteral("(") + QStringList(width, QStringLiteral("?")).join(QStringLiteral(", ")) + QStringLiteral(")");
        return QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(t.name.toLower(), t.columns.join(QStringLiteral(", ")).toLower())
               + QStringList(rows, row).join(QStringLiteral(", "));
    };
    QSqlQuery &full = statements.emplace_back(server);
    bool prepared = false;
    QVariantList batch;
    qint64 copied = 0;
    auto send = [&](QSqlQuery &q) {
        for (const QVariant &v : std::as_const(batch))
            q.addBindValue(v);
        if (!q.exec()) {
            const QString first = batch.value(0).toString();
            CopyFail(QStringLiteral("El servidor no aceptó las filas de %1 desde la clave %2: %3")
                     .arg(t.name, first, serverReason(q.lastError())));
        }
        batch.clear();
    };
    while (in.next()) {
        const qsizetype start = batch.size();
        for (int c = 0; c < width; ++c)
            batch << serverValue(t, t.columns[c], in.value(c), in.value(0));
        if (amountAt >= 0 && !batch[start + amountAt].isNull())
            tally.sums[SumKey(t, batch.value(start + medioAt), batch.value(start + tipoAt))].add(
                batch[start + amountAt].toString());
        ++copied;
        if (batch.size() == width * kBatchRows) {
            if (!prepared && !(prepared = full.prepare(insertSql(kBatchRows))))
                CopyFail(QStringLiteral("El servidor rechazó la copia de %1: %2").arg(t.name, serverReason(full.lastError())));
            send(full);
        }
    }
    if (in.lastError().isValid())
        CopyFail(QStringLiteral("No se pudo leer la tabla %1 del archivo: %2").arg(t.name, in.lastError().text()));
    if (!batch.isEmpty()) {
        QSqlQuery &rest = statements.emplace_back(server);
        if (!rest.prepare(insertSql(int(batch.size() / width))))
            CopyFail(QStringLiteral("El servidor rechazó la copia de %1: %2").arg(t.name, serverReason(rest.lastError())));
        send(rest);
    }
    tally.rows[t.name] = copied;
}

// The numbering goes on past the highest key the file ever gave (its
// sqlite_sequence remembers keys of rows since deleted) and the highest the
// server ever gave, so no key is given twice.
void continueNumbering(const QSqlDatabase &file, const QSqlDatabase &server, const Table &t)
{
    qint64 used = 0;
    QSqlQuery q(file);
    q.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ? COLLATE NOCASE"));
    q.addBindValue(t.name);
    if (q.exec() && q.next())
        used = q.value(0).toLongLong();
    QSqlQuery seq = ServerQuery(server, QStringLiteral("SELECT pg_get_serial_sequence(?, ?)"), {t.name.toLower(), t.key.toLower()});
    const QString sequence = seq.next() ? seq.value(0).toString() : QString();
    if (sequence.isEmpty())
        CopyFail(QStringLiteral("La tabla %1 del servidor no numera sus filas.").arg(t.name));
    // The name comes from the server itself, already quoted where it needs it.
    seq = ServerQuery(server, QStringLiteral("SELECT CASE WHEN is_called THEN last_value ELSE last_value - 1 END FROM ") + sequence);
    if (seq.next())
        used = std::max(used, seq.value(0).toLongLong());
    ServerQuery(server,
                QStringLiteral("SELECT setval(?, greatest(coalesce(max(%1), 0), ?) + 1, false) FROM %2")
                    .arg(t.key.toLower(), t.name.toLower()),
                {sequence, used});
}

// The server's rows and sums against what was read from the file.
void verify(const QSqlDatabase &file, const QSqlDatabase &server, const Table &t, const Tally &tally)
{
    QSqlQuery f(file);
    const bool fileHasIt = !t.optional || TablePresent(file, t.name);
    if (fileHasIt && (!f.exec(QStringLiteral("SELECT COUNT(*) FROM ") + t.name) || !f.next()))
        CopyFail(QStringLiteral("No se pudo contar la tabla %1 del archivo.").arg(t.name));
    const qint64 fileRows = fileHasIt ? f.value(0).toLongLong() : 0;
    QSqlQuery s = ServerQuery(server, QStringLiteral("SELECT count(*) FROM ") + t.name.toLower());
    const qint64 serverRows = s.next() ? s.value(0).toLongLong() : -1;
    if (fileRows != tally.rows.at(t.name) || serverRows != fileRows)
        CopyFail(QStringLiteral("La tabla %1 tiene %2 filas en el archivo y %3 en el servidor.")
                 .arg(t.name).arg(fileRows).arg(serverRows));
    if (t.amount.isEmpty())
        return;
    const std::map<QString, QString> onServer = ServerSums(server, t);
    std::map<QString, QString> inFile;
    for (const auto &[key, sum] : tally.sums)
        if (key == t.name || key.startsWith(t.name + QLatin1Char(' ')))
            inFile[key] = sum.text();
    if (onServer != inFile) {
        QStringList diffs;
        for (const auto &[key, sum] : inFile)
            diffs << QStringLiteral("%1: %2 en el archivo, %3 en el servidor")
                         .arg(key, sum, onServer.count(key) ? onServer.at(key) : QStringLiteral("nada"));
        CopyFail(QStringLiteral("Las sumas de %1 no coinciden (%2).").arg(t.amount, diffs.join(QStringLiteral("; "))));
    }
}

// Who else is connected to the server's database: user, PC and program of each.
QStringList otherConnections(const QSqlDatabase &db)
{
    QSqlQuery q = ServerQuery(db, QStringLiteral(
        "SELECT usename, coalesce(nullif(client_hostname, ''), host(client_addr)), client_port, application_name"
        " FROM pg_stat_activity WHERE datname = current_database() AND pid <> pg_backend_pid()"
        " AND backend_type = 'client backend' ORDER BY usename, client_addr, application_name"));
    QStringList who;
    while (q.next()) {
        // A connection through the server's own socket has no address (port -1);
        // another user's address is shown only to the server's administrators.
        const QString where = !q.value(1).isNull()      ? QStringLiteral("desde ") + q.value(1).toString()
                              : q.value(2).toInt() == -1 ? QStringLiteral("en la computadora del servidor")
                                                         : QStringLiteral("desde una computadora que el servidor no informa");
        QString one = QStringLiteral("usuario %1 %2").arg(q.value(0).toString(), where);
        const QString program = q.value(3).toString();
        if (program.startsWith(QLatin1String("tesorin@")) && program.size() > 8)
            one += QStringLiteral(" (Tesorin en la computadora %1)").arg(program.mid(8));
        else if (!program.isEmpty())
            one += QStringLiteral(" (programa %1)").arg(program);
        who << one;
    }
    return who;
}

void refuseWhileOthersConnected(const QSqlDatabase &db, const ConnectionSettings &server)
{
    const QStringList who = otherConnections(db);
    if (!who.isEmpty())
        CopyFail(QStringLiteral("No se puede restaurar: hay otros programas conectados a la base %1: %2. Cierre esos "
                                "programas (en todas las computadoras que la usen) y vuelva a intentar.")
                     .arg(server.describe(), who.join(QStringLiteral("; "))));
}

// The server's tables, emptied for the copy's rows once nobody else is connected.
void emptyForRestore(const QSqlDatabase &db, const ConnectionSettings &server)
{
    QSqlQuery q = ServerQuery(db, QStringLiteral("SELECT to_regclass('movimiento') IS NULL"));
    if (q.next() && q.value(0).toBool())
        CopyFail(QStringLiteral("La base %1 del servidor no tiene las tablas de Tesorin; para llenar una base vacía use "
                                "tesorin --migrar.").arg(server.describe()));
    // A database made before the record of changes gets it, for the copy's rows.
    if (!PgChangeRecordPresent(db))
        CreatePgChangeRecord(db);
    refuseWhileOthersConnected(db, server);
    // Whoever connects now waits for the restore to end, and sees it whole; a
    // program that still holds a table is waited for a bounded time.
    ServerQuery(db, QStringLiteral("SET LOCAL lock_timeout = %1").arg(kDbWaitMs));
    QStringList names;
    for (const Table &t : BookTables())
        names << t.name.toLower();
    ServerQuery(db, QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(names.join(QStringLiteral(", "))));
    refuseWhileOthersConnected(db, server); // one may have come in between
    for (const QString &name : std::as_const(names))
        PgRun(db, QStringLiteral("DELETE FROM ") + name);
}

enum class Into { EmptyDatabase, Replace };

QString copyAll(const QSqlDatabase &file, const QSqlDatabase &server, const ConnectionSettings &settings, Into into)
{
    // The file is read in one transaction: every table as it was at one moment,
    // even while a program writes to it.
    Transaction reading(file);
    Statements statements;
    ServerTransaction writing(server);
    if (into == Into::EmptyDatabase) {
        refuseNonEmpty(server, settings);
        CreatePgSchema(server, PgIndexes::Later);
    } else {
        emptyForRestore(server, settings);
    }
    Tally tally;
    const QList<Table> all = BookTables();
    for (const Table &t : all)
        copyTable(file, server, t, tally, statements);
    if (into == Into::EmptyDatabase)
        CreatePgIndexes(server);
    QStringList copied;
    for (const Table &t : all) {
        if (!t.key.isEmpty())
            continueNumbering(file, server, t);
        verify(file, server, t, tally);
        // A table added since the first books is named only when it holds rows.
        if (!t.optional || tally.rows.at(t.name) > 0)
            copied << QStringLiteral("%1 %2").arg(tally.rows.at(t.name)).arg(t.noun);
    }
    writing.commit();
    // The first statements on the copy are planned on its statistics, not on
    // guesses about tables that were empty, and the member list is read from
    // its index alone: the server's own upkeep would do both only later. A
    // failure here leaves a good copy, and a user who does not own the tables
    // (a restore) is not told that they were skipped.
    QStringList tables;
    for (const Table &t : all)
        tables << t.name.toLower();
    QSqlQuery(server).exec(QStringLiteral("SET client_min_messages = error"));
    QSqlQuery(server).exec(QStringLiteral("VACUUM (ANALYZE) ") + tables.join(QStringLiteral(", ")));
    const QString last = copied.takeLast();
    return QString::fromUtf8(into == Into::EmptyDatabase ? "Se copiaron %1 y %2 a %3; sumas verificadas."
                                                         : "Se restauraron %1 y %2 en %3; sumas verificadas.")
        .arg(copied.join(QStringLiteral(", ")), last, settings.describe());
}

QString fileIntoServer(const QString &file, const ConnectionSettings &server, QString *summary, Into into)
{
    QList<DbErrorEntry> errors;
    const QString path = QFileInfo(file).absoluteFilePath();
    if (!QFileInfo(path).isFile())
        return QStringLiteral("No existe el archivo %1; no se copió nada.").arg(path);
    if (!OpenConnection(QLatin1String(kSource), path, &errors))
        return QStringLiteral("No se pudo abrir el archivo %1: %2").arg(path, errors.isEmpty() ? QString() : errors.first().description);
    QString error;
    if (OpenServerConnection(QLatin1String(kTarget), server, &error)) {
        try {
            *summary = copyAll(QSqlDatabase::database(QLatin1String(kSource), false),
                               QSqlDatabase::database(QLatin1String(kTarget), false), server, into);
        } catch (const RuntimeError &e) {
            error = e.description() + QString::fromUtf8(into == Into::EmptyDatabase
                                                           ? " No se copió nada: el servidor quedó como estaba."
                                                           : " No se restauró nada: el servidor quedó como estaba.");
        }
    }
    CloseConnection(QLatin1String(kTarget));
    CloseConnection(QLatin1String(kSource));
    return error;
}

} // namespace

QString MigrateToServer(const QString &file, const ConnectionSettings &server, QString *summary)
{
    return fileIntoServer(file, server, summary, Into::EmptyDatabase);
}

QString RestoreServerFromFile(const QString &file, const ConnectionSettings &server, QString *summary)
{
    if (const QString refused = CheckCopyToRestore(file); !refused.isEmpty())
        return refused;
    return fileIntoServer(file, server, summary, Into::Replace);
}

QString ReadCommandSettings(ConnectionSettings &where)
{
    if (env().appDir.isEmpty()) {
        const QFileInfo exe(QCoreApplication::applicationFilePath());
        env().appDir = exe.absolutePath();
        env().exeBaseName = exe.completeBaseName();
    }
    return ReadConnectionSettings(where).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

int MigrarCommand(const QString &file, QTextStream &out, QTextStream &err)
{
    QString error, summary;
    ConnectionSettings server;
    error = ReadCommandSettings(server);
    if (error.isEmpty() && !server.isServer())
        error = QStringLiteral("La configuración nombra un archivo, no un servidor: escriba en la sección "
                               "[DataSourceName] Servidor=, Base= y Usuario= (y Puerto= y SSL= si hace falta) "
                               "en lugar de DataSource=.");
    if (error.isEmpty())
        error = MigrateToServer(file, server, &summary);
    if (!error.isEmpty()) {
        err << error << "\n";
        return 1;
    }
    out << summary << "\n";
    return 0;
}
