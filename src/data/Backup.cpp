#include "data/Backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

// A connection of our own, closed when it goes.
struct Handle
{
    sqlite3 *h = nullptr;
    ~Handle() { sqlite3_close(h); }
    int open(const QString &path, int flags)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &h, flags, nullptr);
        if (rc == SQLITE_OK)
            sqlite3_busy_timeout(h, 5000);
        return rc;
    }
    QString error() const { return h ? QString::fromUtf8(sqlite3_errmsg(h)) : QStringLiteral("sin memoria"); }
};

const QString kPrefix = QStringLiteral("tesorin-");

} // namespace

QString CopyDatabase(const QString &source, const QString &target)
{
    if (QFileInfo::exists(target))
        return QStringLiteral("Ya existe un archivo en ") + target + QStringLiteral("; no se modifica.");
    Handle from, to;
    if (from.open(source, SQLITE_OPEN_READONLY) != SQLITE_OK)
        return QStringLiteral("No se pudo abrir la base de datos ") + source + QStringLiteral(": ") + from.error();
    const QString partial = target + QStringLiteral(".parcial");
    QFile::remove(partial);
    if (to.open(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) != SQLITE_OK) {
        const QString e = to.error();
        QFile::remove(partial);
        return QStringLiteral("No se pudo crear la copia ") + target + QStringLiteral(": ") + e;
    }
    QString error;
    sqlite3_backup *b = sqlite3_backup_init(to.h, "main", from.h, "main");
    if (!b) {
        error = to.error();
    } else {
        int rc;
        while ((rc = sqlite3_backup_step(b, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED)
            sqlite3_sleep(50);
        sqlite3_backup_finish(b);
        if (rc != SQLITE_DONE)
            error = QString::fromUtf8(sqlite3_errstr(rc));
    }
    sqlite3_close(to.h);
    to.h = nullptr;
    // Only a whole copy gets the copy's name.
    if (error.isEmpty() && !QFile::rename(partial, target))
        error = QStringLiteral("no se pudo dar su nombre al archivo");
    if (!error.isEmpty()) {
        QFile::remove(partial);
        return QStringLiteral("No se pudo copiar la base de datos en ") + target + QStringLiteral(": ") + error;
    }
    return QString();
}

QString CheckDatabase(const QString &path)
{
    Handle db;
    if (!QFileInfo(path).isFile() || db.open(path, SQLITE_OPEN_READONLY) != SQLITE_OK)
        return QStringLiteral("no se pudo abrir ") + path;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db.h, "PRAGMA quick_check", -1, &st, nullptr) != SQLITE_OK)
        return db.error();
    QStringList problems;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        problems << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        return db.error();
    if (problems == QStringList{QStringLiteral("ok")})
        return QString();
    return problems.mid(0, 3).join(QStringLiteral("; "));
}

QString CopiesFolder(const QString &database)
{
    return QFileInfo(database).absoluteDir().filePath(QStringLiteral("copias"));
}

QStringList CopiesOf(const QString &database)
{
    QDir dir(CopiesFolder(database));
    // The names carry the date and time: by name is by age.
    QStringList names = dir.entryList({kPrefix + QStringLiteral("*.db")}, QDir::Files, QDir::Name | QDir::Reversed);
    for (QString &n : names)
        n = dir.filePath(n);
    return names;
}

QString NewestGoodCopy(const QString &database)
{
    for (const QString &copy : CopiesOf(database))
        if (CheckDatabase(copy).isEmpty())
            return copy;
    return QString();
}

DailyCopy MakeDailyCopy(const QString &database, const QDateTime &now)
{
    DailyCopy result;
    const QString today = kPrefix + now.toString(QStringLiteral("yyyy-MM-dd"));
    for (const QString &copy : CopiesOf(database))
        if (QFileInfo(copy).fileName().startsWith(today))
            return result;
    const QString folder = CopiesFolder(database);
    if (!QDir().mkpath(folder)) {
        result.warning = QStringLiteral("No se pudo crear la carpeta de copias ") + folder
                         + QStringLiteral(". Hoy no se hizo la copia de seguridad de la base de datos.");
        return result;
    }
    const QString target = QDir(folder).filePath(kPrefix + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"))
                                                 + QStringLiteral(".db"));
    const QString error = CopyDatabase(database, target);
    if (!error.isEmpty()) {
        result.warning = error + QStringLiteral(". Hoy no se hizo la copia de seguridad de la base de datos.");
        return result;
    }
    result.made = target;
    return result;
}

QString FinishDailyCopy(const QString &database, const QString &made, int keep)
{
    if (made.isEmpty())
        return QString();
    const QString problem = CheckDatabase(made);
    if (!problem.isEmpty()) {
        QFile::remove(made);
        return QStringLiteral("La copia de seguridad de hoy salió dañada (") + problem
               + QStringLiteral(") y se descartó; las copias anteriores se conservan.");
    }
    const QStringList copies = CopiesOf(database);
    for (int i = keep; i < copies.size(); ++i)
        QFile::remove(copies.at(i));
    return QString();
}

QString RestoreDatabase(const QString &database, const QString &copy, const QDateTime &now)
{
    const QString problem = CheckDatabase(copy);
    if (!problem.isEmpty())
        return QStringLiteral("La copia ") + copy + QStringLiteral(" no sirve: ") + problem;
    {
        // Nobody may be using the file while it is replaced.
        Handle db;
        if (db.open(database, SQLITE_OPEN_READWRITE) != SQLITE_OK)
            return QStringLiteral("No se pudo abrir la base de datos ") + database + QStringLiteral(": ") + db.error();
        sqlite3_busy_timeout(db.h, 0);
        if (sqlite3_exec(db.h, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
            return QStringLiteral("La base de datos está en uso (por ejemplo, Tesorin está abierto). "
                                  "Ciérrelo y vuelva a intentar.");
        sqlite3_exec(db.h, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    const QString aside = database + QStringLiteral(".antes-") + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    if (!QFile::rename(database, aside))
        return QStringLiteral("No se pudo apartar la base de datos actual como ") + aside;
    if (!QFile::copy(copy, database)) {
        QFile::rename(aside, database);
        return QStringLiteral("No se pudo poner la copia en lugar de la base de datos; quedó como estaba.");
    }
    QFile::setPermissions(database, QFile::permissions(aside));
    return QString();
}
