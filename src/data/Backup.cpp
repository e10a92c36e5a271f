#include "data/Backup.h"
#include "data/Database.h"
#include "data/Errors.h"
#include "data/InUse.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <sqlite3.h>

namespace {

// A connection of our own, closed when it goes.
struct Handle
{
    sqlite3 *h = nullptr;
    ~Handle() { close(); }
    int open(const QString &path, int flags, int waitMs)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &h, flags, nullptr);
        if (rc == SQLITE_OK)
            sqlite3_busy_timeout(h, waitMs);
        return rc;
    }
    void close()
    {
        sqlite3_close(h);
        h = nullptr;
    }
    int code() const { return h ? sqlite3_extended_errcode(h) : SQLITE_NOMEM; }
    QString error() const { return h ? QString::fromUtf8(sqlite3_errmsg(h)) : QStringLiteral("out of memory"); }
    // The statement's rows, first column as text; SQLITE_DONE or the failure.
    int rows(const QString &sql, QStringList *out) const
    {
        sqlite3_stmt *st = nullptr;
        int rc = sqlite3_prepare_v2(h, sql.toUtf8().constData(), -1, &st, nullptr);
        if (rc != SQLITE_OK)
            return rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            *out << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return rc;
    }
};

const QString kPrefix = QStringLiteral("tesorin-");

DbCheck::State stateOf(int code)
{
    if (IsDbBusy(code))
        return DbCheck::State::InUse;
    const int primary = code & 0xFF;
    return primary == DbCorrupt || primary == DbNotADb ? DbCheck::State::Damaged : DbCheck::State::CannotOpen;
}

DbCheck failed(int code, const QString &raw)
{
    return DbCheck{stateOf(code), code, raw};
}

// Every table and column the program opens a database with.
QStringList missingTablesAndColumns(const Handle &db, int *rc)
{
    QStringList tables, missing;
    if ((*rc = db.rows(QStringLiteral("SELECT lower(name) FROM sqlite_master WHERE type = 'table'"), &tables))
        != SQLITE_DONE)
        return {};
    for (const auto &[table, columns] : RequiredColumns()) {
        if (!tables.contains(table.toLower())) {
            missing << QStringLiteral("no such table: ") + table;
            continue;
        }
        QStringList have;
        if ((*rc = db.rows(QStringLiteral("SELECT lower(name) FROM pragma_table_info('%1')").arg(table), &have))
            != SQLITE_DONE)
            return {};
        for (const QString &c : columns)
            if (!have.contains(c.toLower()))
                missing << QStringLiteral("no such column: ") + table + QLatin1Char('.') + c;
    }
    return missing;
}

const QString kNoCopyToday = QStringLiteral(" Hoy no se hizo la copia de seguridad de la base de datos.");

} // namespace

QString DbCheck::description() const
{
    return sound() ? QString() : DbErrorDescription(code, raw);
}

QString OpenElsewhereText(const QString &database)
{
    return QStringLiteral("Tesorin está abierto con la base de datos ") + database
           + QStringLiteral(". Cierre el programa (en todas las ventanas y computadoras que la usen) "
                            "y vuelva a intentar.");
}

QString CopyDatabase(const QString &source, const QString &target, int waitMs)
{
    if (QFileInfo::exists(target))
        return QStringLiteral("Ya existe un archivo en ") + target + QStringLiteral("; no se modifica.");
    const QString failure = QStringLiteral("No se pudo copiar la base de datos en ") + target + QStringLiteral(". ");
    Handle from, to;
    if (!QFileInfo(source).isFile())
        return failure + DbErrorDescription(SQLITE_CANTOPEN, QStringLiteral("unable to open database file: ") + source);
    if (from.open(source, SQLITE_OPEN_READONLY, waitMs) != SQLITE_OK)
        return failure + DbErrorDescription(from.code(), from.error());
    const QString partial = target + QStringLiteral(".parcial");
    QFile::remove(partial);
    if (to.open(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, waitMs) != SQLITE_OK) {
        const QString e = DbErrorDescription(to.code(), to.error());
        to.close();
        QFile::remove(partial);
        return failure + e;
    }
    int rc = SQLITE_OK;
    sqlite3_backup *b = sqlite3_backup_init(to.h, "main", from.h, "main");
    if (!b) {
        rc = to.code();
    } else {
        // Another program's lock is waited for a bounded time, never for ever:
        // each step waits on the source's busy timeout, the loop on the clock.
        QElapsedTimer waited;
        waited.start();
        while ((rc = sqlite3_backup_step(b, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (waited.hasExpired(waitMs))
                break;
            sqlite3_sleep(50);
        }
        sqlite3_backup_finish(b);
    }
    to.close();
    // Only a whole copy gets the copy's name.
    QString error;
    if (rc != SQLITE_DONE)
        error = DbErrorDescription(rc, QString::fromUtf8(sqlite3_errstr(rc)));
    else if (!QFile::rename(partial, target))
        error = QStringLiteral("No se pudo dar su nombre al archivo copiado. Verifique los permisos de la carpeta.");
    if (!error.isEmpty()) {
        QFile::remove(partial);
        return failure + error;
    }
    return QString();
}

DbCheck CheckDatabase(const QString &path, CheckDepth depth, int waitMs)
{
    if (!QFileInfo(path).isFile())
        return failed(SQLITE_CANTOPEN, QStringLiteral("unable to open database file: ") + path);
    Handle db;
    if (db.open(path, SQLITE_OPEN_READONLY, waitMs) != SQLITE_OK)
        return failed(db.code(), db.error());
    QStringList problems;
    int rc = db.rows(depth == CheckDepth::Full ? QStringLiteral("PRAGMA integrity_check")
                                               : QStringLiteral("PRAGMA quick_check"),
                     &problems);
    if (rc != SQLITE_DONE)
        return failed(db.code(), db.error());
    if (problems != QStringList{QStringLiteral("ok")})
        return failed(SQLITE_CORRUPT, problems.mid(0, 3).join(QStringLiteral("; ")));
    // An empty file, or another program's database, is sound to SQLite.
    const QStringList missing = missingTablesAndColumns(db, &rc);
    if (rc != SQLITE_DONE)
        return failed(db.code(), db.error());
    if (!missing.isEmpty())
        return failed(SQLITE_NOTADB, missing.mid(0, 3).join(QStringLiteral("; ")));
    return DbCheck{};
}

QString CopiesFolder(const QString &database)
{
    return QFileInfo(database).absoluteDir().filePath(QStringLiteral("copias"));
}

QStringList CopiesOf(const QString &database)
{
    static const QRegularExpression ours(QStringLiteral("^tesorin-\\d{4}-\\d{2}-\\d{2}-\\d{6}\\.db$"));
    QDir dir(CopiesFolder(database));
    // The names carry the date and time in a fixed form: by name is by age.
    QStringList names = dir.entryList(QDir::Files, QDir::Name | QDir::Reversed).filter(ours);
    for (QString &n : names)
        n = dir.filePath(n);
    return names;
}

QString NewestGoodCopy(const QString &database)
{
    for (const QString &copy : CopiesOf(database))
        if (CheckDatabase(copy, CheckDepth::Full).sound())
            return copy;
    return QString();
}

DailyCopy MakeDailyCopy(const QString &database, const QDateTime &now, int waitMs)
{
    return MakeDailyCopyWith(database, now, [&](const QString &target) { return CopyDatabase(database, target, waitMs); });
}

DailyCopy MakeDailyCopyWith(const QString &database, const QDateTime &now,
                            const std::function<QString(const QString &target)> &copy)
{
    DailyCopy result;
    const QString today = kPrefix + now.toString(QStringLiteral("yyyy-MM-dd"));
    for (const QString &copy : CopiesOf(database))
        if (QFileInfo(copy).fileName().startsWith(today))
            return result;
    const QString folder = CopiesFolder(database);
    if (!QDir().mkpath(folder)) {
        result.warning = QStringLiteral("No se pudo crear la carpeta de copias ") + folder + QLatin1Char('.')
                         + kNoCopyToday;
        return result;
    }
    const QString target = QDir(folder).filePath(kPrefix + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"))
                                                 + QStringLiteral(".db"));
    const QString error = copy(target);
    if (!error.isEmpty()) {
        result.warning = kNoCopyToday.trimmed() + QLatin1Char(' ') + error;
        return result;
    }
    result.made = target;
    return result;
}

QString FinishDailyCopy(const QString &database, const QString &made, int keep)
{
    if (made.isEmpty())
        return QString();
    const DbCheck check = CheckDatabase(made);
    if (check.state == DbCheck::State::Damaged) {
        QFile::remove(made);
        return QStringLiteral("La copia de seguridad de hoy salió dañada y se descartó; las copias anteriores se "
                              "conservan. Mañana se intentará otra vez. (")
               + check.raw + QLatin1Char(')');
    }
    if (!check.sound()) // kept, and so are the older ones
        return QStringLiteral("No se pudo verificar la copia de seguridad de hoy ") + made
               + QStringLiteral("; no se borró ninguna copia anterior. ") + check.description();
    const QStringList copies = CopiesOf(database);
    for (int i = keep; i < copies.size(); ++i)
        QFile::remove(copies.at(i));
    return QString();
}

QString CheckCopyToRestore(const QString &copy)
{
    const DbCheck check = CheckDatabase(copy, CheckDepth::Full);
    if (check.state == DbCheck::State::Damaged)
        return QStringLiteral("La copia ") + copy
               + QStringLiteral(" no se puede restaurar: está dañada o no es una base de datos de Tesorin. "
                                "Elija otra copia. (")
               + check.raw + QLatin1Char(')');
    if (!check.sound())
        return QStringLiteral("No se pudo leer la copia ") + copy + QStringLiteral(". ") + check.description();
    return QString();
}

QString RestoreDatabase(const QString &database, const QString &copy, const QDateTime &now)
{
    if (const QString refused = CheckCopyToRestore(copy); !refused.isEmpty())
        return refused;
    // Nobody may be using the file while it is replaced: no instance of ours,
    // even idle, and no other program inside a transaction.
    const ExclusiveUse alone(database);
    if (!alone.held())
        return QStringLiteral("No se puede restaurar. ") + OpenElsewhereText(database);
    {
        Handle db;
        if (db.open(database, SQLITE_OPEN_READWRITE, 0) != SQLITE_OK)
            return QStringLiteral("No se pudo abrir la base de datos ") + database + QStringLiteral(". ")
                   + DbErrorDescription(db.code(), db.error());
        if (sqlite3_exec(db.h, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
            return QStringLiteral("No se puede restaurar. ") + DbErrorDescription(db.code(), db.error());
        sqlite3_exec(db.h, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    // The copy is put beside the file whole first, so the path never names half a file.
    const QString incoming = database + QStringLiteral(".restaurando");
    QFile::remove(incoming);
    if (!QFile::copy(copy, incoming)) {
        QFile::remove(incoming);
        return QStringLiteral("No se pudo copiar la copia junto a la base de datos; quedó como estaba. "
                              "Verifique el espacio libre y los permisos de la carpeta.");
    }
    QFile::setPermissions(incoming, QFile::permissions(database)); // where the file system keeps them
    const QString aside = database + QStringLiteral(".antes-") + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    if (!QFile::rename(database, aside)) {
        QFile::remove(incoming);
        return QStringLiteral("No se pudo apartar la base de datos actual como ") + aside
               + QStringLiteral("; quedó como estaba. Verifique los permisos de la carpeta.");
    }
    if (!QFile::rename(incoming, database)) {
        QFile::rename(aside, database);
        QFile::remove(incoming);
        return QStringLiteral("No se pudo poner la copia en lugar de la base de datos; quedó como estaba.");
    }
    return QString();
}
