#include "data/Database.h"
#include "data/InUse.h"
#include "data/PgSchema.h"
#include "data/ServerCheck.h"
#include "data/TextRules.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QTimer>
#include <QUrl>

#include <optional>
#include <string>

namespace {

const char *const kConexion = "Conexion";
const char *const kDateFormat = "yyyy-MM-dd HH:mm:ss";
constexpr int kSqliteError = 1; // SQLite's code for an error in a statement or the schema

QString g_conexionPath;
quint64 g_conexionSerial = 0;
// The server the shared connection is on, when it is: the reports open their
// own connections to it with the same password, which is never written anywhere.
std::optional<ConnectionSettings> g_server;
QString g_serverPassword;
// Transactions open on the shared connection: a lost server connection is
// never made again under one, or the rest of its statements would run outside
// it on a new connection.
int g_conexionTransactions = 0;
// A failed attempt to connect again is not repeated within the same action
// (an unreachable server takes its whole connect timeout each time).
bool g_reconnectRefused = false;

// The shared connection, found lost at the start of an action, opened again
// in place: the same name, settings and password, so copies held by open
// windows follow it.
void reconnectIfLost(QSqlDatabase &db)
{
    if (!g_server || g_conexionTransactions > 0 || g_reconnectRefused || !StorageConnectionLost(db))
        return;
    if (StorageReopen(db))
        return;
    g_reconnectRefused = true;
    QTimer::singleShot(0, [] { g_reconnectRefused = false; });
}

QString serverConnectionString(const ConnectionSettings &where)
{
    return QStringLiteral("postgresql://") + where.user + QLatin1Char('@') + where.describe();
}

QList<DbErrorEntry> errorsOf(const QSqlError &e)
{
    return RuntimeError::fromSql(e).dbErrors();
}

// The member list's order: see SocioOrderKey.
QString socioOrderIndexSql()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS Socio_Orden ON Socio (") + SocioOrderKey(QStringLiteral("Nombre"))
           + QStringLiteral(", IDSocio, Nombre, Alumno, Telefono, IDCurso)");
}

const char *const kSchema[] = {
    "CREATE TABLE Curso ("
    " IDCurso INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Nombre TEXT COLLATE NOCASE)",

    "CREATE TABLE Socio ("
    " IDSocio INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Nombre TEXT COLLATE NOCASE,"
    " Alumno TEXT COLLATE NOCASE,"
    " IDCurso INTEGER CHECK (IDCurso IS NULL OR typeof(IDCurso) = 'integer'),"
    " Telefono TEXT COLLATE NOCASE,"
    " Email TEXT COLLATE NOCASE,"
    " Direccion TEXT COLLATE NOCASE,"
    " DNI TEXT COLLATE NOCASE)",

    "CREATE TABLE Cuota ("
    " IDCuota INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Descripcion TEXT COLLATE NOCASE,"
    " vigencia TEXT CHECK (vigencia IS NULL OR vigencia GLOB"
    "  '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]'),"
    " Valor REAL CHECK (Valor IS NULL OR typeof(Valor) IN ('real', 'integer')),"
    " IDCuenta INTEGER CHECK (IDCuenta IS NULL OR typeof(IDCuenta) = 'integer'))",

    "CREATE TABLE Cuenta ("
    " IDCuenta INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Descripcion TEXT COLLATE NOCASE,"
    " Tipo TEXT COLLATE NOCASE CHECK (Tipo IS NULL OR length(Tipo) <= 1),"
    " IDcuentaPadre INTEGER CHECK (IDcuentaPadre IS NULL OR typeof(IDcuentaPadre) = 'integer'))",

    "CREATE TABLE Movimiento ("
    " IDMovimiento INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Fecha TEXT CHECK (Fecha IS NULL OR Fecha GLOB"
    "  '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]'),"
    " IDSocio INTEGER CHECK (IDSocio IS NULL OR typeof(IDSocio) = 'integer'),"
    " IDCuota INTEGER CHECK (IDCuota IS NULL OR typeof(IDCuota) = 'integer'),"
    " IDCuenta INTEGER CHECK (IDCuenta IS NULL OR typeof(IDCuenta) = 'integer'),"
    " Tipo TEXT COLLATE NOCASE CHECK (Tipo IS NULL OR length(Tipo) <= 1),"
    " Importe REAL CHECK (Importe IS NULL OR typeof(Importe) IN ('real', 'integer')),"
    " MedioPago TEXT COLLATE NOCASE CHECK (MedioPago IS NULL OR length(MedioPago) <= 1),"
    " Descripcion TEXT COLLATE NOCASE,"
    " Recibo INTEGER CHECK (Recibo IS NULL OR typeof(Recibo) = 'integer'),"
    " ChequeNumero TEXT COLLATE NOCASE,"
    " IDContraAsiento INTEGER CHECK (IDContraAsiento IS NULL OR typeof(IDContraAsiento) = 'integer'))",

    "CREATE TABLE Parametro ("
    " Parametro TEXT COLLATE NOCASE PRIMARY KEY,"
    " Valor TEXT)",

    // A member's movements (fee window, statement, member book).
    "CREATE INDEX Movimiento_Socio ON Movimiento (IDSocio, IDCuota)",
    // The balance sums by medium and direction.
    "CREATE INDEX Movimiento_Medio ON Movimiento (MedioPago, Tipo, Importe)",
    "CREATE INDEX Movimiento_Fecha ON Movimiento (Fecha)",
    "CREATE INDEX Movimiento_Recibo ON Movimiento (Recibo)",
    "CREATE INDEX Movimiento_Cuenta ON Movimiento (IDCuenta)",
    "CREATE INDEX Socio_Nombre ON Socio (Nombre)",
    "CREATE INDEX Socio_Curso ON Socio (IDCurso)",
    "CREATE INDEX Cuota_Vigencia ON Cuota (vigencia)",
};

// Indexes added since the first files, created where they are missing: the
// member list's order, and the rows that use a fee, a course or an account
// (the table editor counts them before it deletes or renumbers one).
QStringList addedIndexes()
{
    return {socioOrderIndexSql(),
            QStringLiteral("CREATE INDEX IF NOT EXISTS Movimiento_Cuota ON Movimiento (IDCuota)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS Cuota_Cuenta ON Cuota (IDCuenta)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS Cuenta_Padre ON Cuenta (IDcuentaPadre)")};
}

// The record of changes made by hand (ChangeRecord.h), added since the first
// files: the rows are only ever added, and the file itself refuses to change
// or delete one, whoever asks.
QStringList changeRecordSchema()
{
    const QString refused = QStringLiteral(" ON Cambio BEGIN SELECT RAISE(ABORT, 'El registro de cambios no se "
                                           "modifica ni se borra.'); END");
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS Cambio ("
                           " IDCambio INTEGER PRIMARY KEY AUTOINCREMENT,"
                           " Fecha TEXT NOT NULL CHECK (Fecha GLOB"
                           "  '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]'),"
                           " Usuario TEXT, Equipo TEXT, Operacion TEXT NOT NULL, Tabla TEXT NOT NULL,"
                           " Clave TEXT, Campo TEXT, ValorAnterior TEXT, ValorNuevo TEXT)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS Cambio_Fecha ON Cambio (Fecha)"),
            QStringLiteral("CREATE TRIGGER IF NOT EXISTS Cambio_NoSeModifica BEFORE UPDATE") + refused,
            QStringLiteral("CREATE TRIGGER IF NOT EXISTS Cambio_NoSeBorra BEFORE DELETE") + refused};
}

// The bank statement's lines already taken into the books (see
// BankStatement.h), added since the first files: each line once (its
// fingerprint), each bank movement reconciled with one line at most.
QStringList statementSchema()
{
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS ExtractoLinea ("
                           " IDExtractoLinea INTEGER PRIMARY KEY AUTOINCREMENT,"
                           " Fecha TEXT NOT NULL, Descripcion TEXT, Importe REAL NOT NULL, Referencia TEXT,"
                           " Huella TEXT NOT NULL UNIQUE, IDMovimiento INTEGER UNIQUE, Importado TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS ExtractoLinea_Fecha ON ExtractoLinea (Fecha)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS ExtractoLinea_Descripcion ON ExtractoLinea (Descripcion)")};
}

// The tables whose keys other rows hold: numbered by AUTOINCREMENT, so that a
// number once used (a fee that members paid, say) is never given to a new row.
const char *const kNumberedTables[][2] = {{"Curso", "IDCurso"}, {"Cuota", "IDCuota"}, {"Cuenta", "IDCuenta"}};

QString quotedSqlName(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// `create`, a table's CREATE TABLE statement, for a table named `newName`
// whose plain INTEGER PRIMARY KEY `key` is made AUTOINCREMENT; "" when the key
// is not declared that way (already AUTOINCREMENT, or a file another tool made).
QString withAutoincrement(const QString &create, const QString &key, const QString &newName)
{
    static const QRegularExpression head(QStringLiteral(R"(^\s*CREATE\s+TABLE\s+("[^"]*"|\[[^\]]*\]|`[^`]*`|[^\s(]+)\s*\()"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression keyDef(QStringLiteral(R"((["\[`]?\b%1\b["\]`]?\s+INTEGER\s+PRIMARY\s+KEY(\s+(ASC|DESC))?)(?=\s*[,)]))")
                                        .arg(key),
                                    QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch start = head.match(create);
    auto defs = keyDef.globalMatch(create);
    if (!start.hasMatch() || !defs.hasNext())
        return QString();
    const QRegularExpressionMatch def = defs.next();
    if (defs.hasNext())
        return QString();
    QString sql = create;
    sql.insert(def.capturedEnd(1), QStringLiteral(" AUTOINCREMENT"));
    return sql.replace(start.capturedStart(1), start.capturedLength(1), quotedSqlName(newName));
}

// Brings the file up to today's schema (the keys numbered once, the added
// indexes, the record of changes, the bank statement's lines); with `apply` false only says whether
// anything is to be done. Throws RuntimeError.
bool upgradeSteps(const QSqlDatabase &db, bool apply)
{
    bool needed = false;
    for (const auto &[tableName, key] : kNumberedTables) {
        QSqlQuery q = Exec(db, QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"),
                           {QLatin1String(tableName)});
        if (!q.next())
            continue;
        const QString table = q.value(0).toString();
        const QString temporary = QStringLiteral("tesorin_nueva_") + table;
        const QString create = withAutoincrement(q.value(1).toString(), QLatin1String(key), temporary);
        q.finish();
        if (create.isEmpty())
            continue;
        needed = true;
        if (!apply)
            continue;
        // SQLite's procedure for a change ALTER TABLE cannot make: a new table
        // with every row, the old one dropped, the new one renamed, and the old
        // one's indexes and triggers made again. The rows keep their keys, so
        // the numbering goes on from the highest key present.
        QStringList dependents;
        q = Exec(db, QStringLiteral("SELECT sql FROM sqlite_master WHERE tbl_name = ? AND type IN ('index', 'trigger')"
                                    " AND sql IS NOT NULL"),
                 {table});
        while (q.next())
            dependents << q.value(0).toString();
        q.finish();
        Exec(db, create);
        Exec(db, QStringLiteral("INSERT INTO %1 SELECT * FROM %2").arg(quotedSqlName(temporary), quotedSqlName(table)));
        Exec(db, QStringLiteral("DROP TABLE ") + quotedSqlName(table));
        // The legacy rename leaves views that name the table as they are: they
        // find it again under its name.
        Exec(db, QStringLiteral("PRAGMA legacy_alter_table = ON"));
        Exec(db, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(quotedSqlName(temporary), quotedSqlName(table)));
        Exec(db, QStringLiteral("PRAGMA legacy_alter_table = OFF"));
        for (const QString &sql : std::as_const(dependents))
            Exec(db, sql);
    }
    QSqlQuery q = Exec(db, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name IN"
                                          " ('Socio_Orden', 'Movimiento_Cuota', 'Cuota_Cuenta', 'Cuenta_Padre')"));
    if (q.next() && q.value(0).toInt() < addedIndexes().size()) {
        needed = true;
        q.finish();
        if (apply)
            for (const QString &sql : addedIndexes())
                Exec(db, sql);
    }
    q = Exec(db, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name IN"
                                " ('Cambio', 'Cambio_Fecha', 'Cambio_NoSeModifica', 'Cambio_NoSeBorra')"));
    if (q.next() && q.value(0).toInt() < changeRecordSchema().size()) {
        needed = true;
        q.finish();
        if (apply)
            for (const QString &sql : changeRecordSchema())
                Exec(db, sql);
    }
    q = Exec(db, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name IN"
                                " ('ExtractoLinea', 'ExtractoLinea_Fecha', 'ExtractoLinea_Descripcion')"));
    if (q.next() && q.value(0).toInt() < statementSchema().size()) {
        needed = true;
        q.finish();
        if (apply)
            for (const QString &sql : statementSchema())
                Exec(db, sql);
    }
    return needed;
}

// Brings a file made by an earlier version up to today's schema, in one
// transaction. A read-only file is used as it is (the member list is then read
// more slowly, and its master tables keep their old numbering).
void upgradeSchema(const QSqlDatabase &db, QList<DbErrorEntry> &errs)
{
    if (StorageIsReadOnly(db))
        return;
    try {
        if (!upgradeSteps(db, false))
            return;
        // Our connections never turn foreign keys on; should one be on, it
        // stays off while the tables are rebuilt, as SQLite's procedure asks.
        QSqlQuery fk = Exec(db, QStringLiteral("PRAGMA foreign_keys"));
        const bool foreignKeys = fk.next() && fk.value(0).toInt() == 1;
        fk.finish();
        if (foreignKeys)
            Exec(db, QStringLiteral("PRAGMA foreign_keys = OFF"));
        {
            Transaction t(db, Transaction::Mode::Immediate);
            upgradeSteps(db, true); // again: another program may have done it meanwhile
            t.commit();
        }
        if (foreignKeys)
            Exec(db, QStringLiteral("PRAGMA foreign_keys = ON"));
    } catch (const RuntimeError &e) {
        errs << e.dbErrors();
        if (e.dbErrors().isEmpty())
            errs << DbErrorEntry{e.number(), e.description()};
    }
}

} // namespace

QStringList RequiredTables()
{
    return {QStringLiteral("Socio"), QStringLiteral("Curso"), QStringLiteral("Cuota"),
            QStringLiteral("Cuenta"), QStringLiteral("Movimiento"), QStringLiteral("Parametro")};
}

QList<std::pair<QString, QStringList>> RequiredColumns()
{
    return {
        {QStringLiteral("Curso"), {QStringLiteral("IDCurso"), QStringLiteral("Nombre")}},
        {QStringLiteral("Socio"),
         {QStringLiteral("IDSocio"), QStringLiteral("Nombre"), QStringLiteral("Alumno"), QStringLiteral("IDCurso"),
          QStringLiteral("Telefono"), QStringLiteral("Email"), QStringLiteral("Direccion"), QStringLiteral("DNI")}},
        {QStringLiteral("Cuota"),
         {QStringLiteral("IDCuota"), QStringLiteral("Descripcion"), QStringLiteral("vigencia"),
          QStringLiteral("Valor"), QStringLiteral("IDCuenta")}},
        {QStringLiteral("Cuenta"),
         {QStringLiteral("IDCuenta"), QStringLiteral("Descripcion"), QStringLiteral("Tipo"),
          QStringLiteral("IDcuentaPadre")}},
        {QStringLiteral("Movimiento"),
         {QStringLiteral("IDMovimiento"), QStringLiteral("Fecha"), QStringLiteral("IDSocio"), QStringLiteral("IDCuota"),
          QStringLiteral("IDCuenta"), QStringLiteral("Tipo"), QStringLiteral("Importe"), QStringLiteral("MedioPago"),
          QStringLiteral("Descripcion"), QStringLiteral("Recibo"), QStringLiteral("ChequeNumero"),
          QStringLiteral("IDContraAsiento")}},
        {QStringLiteral("Parametro"), {QStringLiteral("Parametro"), QStringLiteral("Valor")}},
    };
}

bool ConexionIsReadOnly()
{
    return StorageIsReadOnly(Conexion());
}

QVariant BindableValue(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::QDateTime:
        return DbDateText(v.toDateTime());
    case QMetaType::QDate:
        return DbDateText(QDateTime(v.toDate(), QTime(0, 0)));
    default:
        return v;
    }
}

QString DbDateText(const QDateTime &value)
{
    return value.toString(QLatin1String(kDateFormat));
}

namespace {
// Reads the fixed form "yyyy-MM-dd" and, when `withTime`, " HH:mm:ss" after
// it, digit by digit: the reports read a date on every row, and Qt's general
// parser costs several microseconds each time.
bool readFixedDate(QStringView t, bool withTime, QDate *day, QTime *time)
{
    const qsizetype expected = withTime ? 19 : 10;
    if (t.size() != expected)
        return false;
    auto digits = [&](int at, int n, int *out) {
        int v = 0;
        for (int i = at; i < at + n; ++i) {
            const char16_t c = t[i].unicode();
            if (c < u'0' || c > u'9')
                return false;
            v = v * 10 + (c - u'0');
        }
        *out = v;
        return true;
    };
    int y, mo, d, h = 0, mi = 0, sec = 0;
    if (!digits(0, 4, &y) || t[4] != u'-' || !digits(5, 2, &mo) || t[7] != u'-' || !digits(8, 2, &d))
        return false;
    if (withTime && (t[10] != u' ' || !digits(11, 2, &h) || t[13] != u':' || !digits(14, 2, &mi) || t[16] != u':'
                     || !digits(17, 2, &sec)))
        return false;
    *day = QDate(y, mo, d);
    *time = QTime(h, mi, sec);
    return day->isValid() && time->isValid();
}
} // namespace

namespace {
// A stored date with its time (midnight when it was stored without one).
bool readStoredDate(const QVariant &stored, QDate *day, QTime *time)
{
    if (stored.isNull())
        return false;
    const QString t = stored.toString().trimmed();
    return readFixedDate(t, true, day, time) || readFixedDate(t, false, day, time);
}
} // namespace

QDateTime DbDate(const QVariant &stored)
{
    QDate day;
    QTime time;
    return readStoredDate(stored, &day, &time) ? QDateTime(day, time) : QDateTime();
}

QDate DbDay(const QVariant &stored)
{
    QDate day;
    QTime time;
    return readStoredDate(stored, &day, &time) ? day : QDate();
}

bool DateKey(const QVariant &stored, qint64 *key)
{
    if (stored.isNull())
        return false;
    const QString t = stored.toString();
    // The stored form "YYYY-MM-DD HH:MM:SS" read directly; anything else through DbDate.
    static const char form[] = "0000-00-00 00:00:00";
    bool plain = t.size() == 19;
    for (int i = 0; plain && i < 19; ++i)
        plain = form[i] == '0' ? t.at(i).isDigit() : t.at(i) == QLatin1Char(form[i]);
    if (plain) {
        qint64 k = 0;
        for (int i = 0; i < 19; ++i)
            if (t.at(i).isDigit())
                k = k * 10 + t.at(i).digitValue();
        *key = k;
        return true;
    }
    const QDateTime d = DbDate(stored);
    if (!d.isValid())
        return false;
    const QDate date = d.date();
    const QTime time = d.time();
    *key = ((qint64(date.year()) * 100 + date.month()) * 100 + date.day()) * 1000000
           + time.hour() * 10000 + time.minute() * 100 + time.second();
    return true;
}

namespace {

// The six tables and their columns on the server, read in one statement.
QList<DbErrorEntry> missingOnServer(const QSqlDatabase &db)
{
    QList<DbErrorEntry> errs;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT lower(c.relname), lower(a.attname) FROM pg_class c"
                               " JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped"
                               " WHERE c.relkind IN ('r', 'p') AND pg_table_is_visible(c.oid)")))
        return errorsOf(q.lastError());
    QHash<QString, QSet<QString>> have;
    while (q.next())
        have[q.value(0).toString()].insert(q.value(1).toString());
    for (const auto &[table, columns] : RequiredColumns()) {
        const auto t = have.constFind(table.toLower());
        if (t == have.cend()) {
            errs << DbErrorEntry{kSqliteError, QStringLiteral("no such table: ") + table};
            continue;
        }
        for (const QString &c : columns)
            if (!t->contains(c.toLower()))
                errs << DbErrorEntry{kSqliteError, QStringLiteral("no such column: ") + table + QLatin1Char('.') + c};
    }
    return errs;
}

bool openOnServer(const QString &connectionName, const ConnectionSettings &where, const QString &password,
                  QList<DbErrorEntry> *errors)
{
    QString error;
    QList<DbErrorEntry> errs;
    if (!OpenServerConnection(connectionName, where, &error, password))
        errs << DbErrorEntry{DbCantOpen, error};
    else
        errs = missingOnServer(QSqlDatabase::database(connectionName, false));
    if (!errs.isEmpty())
        CloseConnection(connectionName);
    if (errors)
        *errors = errs;
    return errs.isEmpty();
}

} // namespace

bool OpenConnection(const QString &connectionName, const QString &path,
                    QList<DbErrorEntry> *errors)
{
    CloseConnection(connectionName);
    if (g_server && path == serverConnectionString(*g_server))
        return openOnServer(connectionName, *g_server, g_serverPassword, errors);
    QList<DbErrorEntry> errs;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        const QFileInfo info(path);
        if (path.trimmed().isEmpty() || info.isDir()) {
            errs << RuntimeError::fromSqlite(DbCantOpen, QStringLiteral("unable to open database file")).dbErrors();
        } else {
            // "mode=rw" opens an existing file only: nothing is ever created here.
            QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
            url.setQuery(QStringLiteral("mode=rw"));
            db.setDatabaseName(url.toString(QUrl::FullyEncoded));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
            if (!db.open()) {
                errs << errorsOf(db.lastError());
            } else {
                try {
                    RegisterTextFunctions(db); // without them every screen would fail later
                } catch (const RuntimeError &e) {
                    errs << DbErrorEntry{e.number(), e.description()};
                }
                QSqlQuery q(db);
                QStringList present;
                if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
                    errs << errorsOf(q.lastError());
                } else {
                    while (q.next())
                        present << q.value(0).toString().toLower();
                    for (const QString &t : RequiredTables())
                        if (!present.contains(t.toLower()))
                            errs << DbErrorEntry{kSqliteError, QStringLiteral("no such table: ") + t};
                }
                q.finish();
                // Every column the screens use: a file that lacks one would fail on each of them.
                for (const auto &[table, columns] : RequiredColumns()) {
                    if (!errs.isEmpty())
                        break;
                    QStringList have;
                    if (!q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table))) {
                        errs << errorsOf(q.lastError());
                        break;
                    }
                    while (q.next())
                        have << q.value(1).toString().toLower();
                    for (const QString &c : columns)
                        if (!have.contains(c.toLower()))
                            errs << DbErrorEntry{kSqliteError, QStringLiteral("no such column: ") + table
                                                                   + QLatin1Char('.') + c};
                }
                q.finish();
                // A rollback journal synced in full: a movement reported stored
                // survives a power cut, and the file stays one file that can be copied.
                // Only on a file that answered: any statement on a busy file waits
                // the whole timeout again before it fails.
                if (errs.isEmpty()) {
                    q.exec(QStringLiteral("PRAGMA synchronous = FULL"));
                    upgradeSchema(db, errs);
                }
            }
        }
    }
    if (!errs.isEmpty()) {
        CloseConnection(connectionName);
        if (errors)
            *errors = errs;
        return false;
    }
    if (errors)
        errors->clear();
    return true;
}

void CloseConnection(const QString &connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

void ReconnectIfLost(const QString &connectionName)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (connectionName == QLatin1String(kConexion))
        reconnectIfLost(db);
    else if (StorageConnectionLost(db))
        StorageReopen(db);
}

QSqlDatabase Conexion()
{
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(kConexion), false);
    reconnectIfLost(db);
    return db;
}

bool OpenConexion(const QString &path, QList<DbErrorEntry> *errors)
{
    g_server.reset();
    g_serverPassword.clear();
    g_conexionPath = path;
    ++g_conexionSerial;
    MarkInUse(path); // before opening: a restore cannot swap the file in between
    const bool open = OpenConnection(QLatin1String(kConexion), path, errors);
    if (!open)
        UnmarkInUse();
    return open;
}

bool OpenConexionOnServer(const ConnectionSettings &where, const QString &password, QString *error)
{
    CloseConexion();
    ++g_conexionSerial;
    QList<DbErrorEntry> errs;
    if (!openOnServer(QLatin1String(kConexion), where, password, &errs)) {
        QStringList said;
        for (const DbErrorEntry &e : std::as_const(errs))
            said << e.description;
        *error = errs.size() == 1 && errs.first().nativeNumber == DbCantOpen
                     ? said.first()
                     : QStringLiteral("La base %1 no tiene las tablas de Tesorin (%2). Cópielas con tesorin --migrar.")
                           .arg(where.describe(), said.join(QStringLiteral("; ")));
        return false;
    }
    g_server = where;
    g_serverPassword = password;
    g_conexionPath = serverConnectionString(where);
    // Books made by an earlier version get today's text rules and indexes,
    // and the record of changes, from their owner; until then the same rows
    // come, more slowly, and the table editor says who can add the record
    // when it first has a change to record.
    for (void (*upgrade)(const QSqlDatabase &) : {UpgradePgSchema, EnsurePgChangeRecord}) {
        try {
            upgrade(Conexion());
        } catch (const RuntimeError &) {
        }
    }
    return true;
}

bool ConexionIsOnServer()
{
    return ConexionIsOpen() && EngineOf(Conexion()) == Engine::PostgreSQL;
}

void CloseConexion()
{
    CloseConnection(QLatin1String(kConexion));
    UnmarkInUse();
}

bool ConexionIsOpen()
{
    return QSqlDatabase::contains(QLatin1String(kConexion)) && Conexion().isOpen();
}

quint64 ConexionSerial()
{
    return g_conexionSerial;
}

QString ConnectionString()
{
    return g_conexionPath;
}

QSqlQuery Exec(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    if (!db.isOpen())
        throw RuntimeError(3704, QStringLiteral("La conexión con la base de datos está cerrada."));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw StorageFailure(db, q.lastError());
    for (const QVariant &b : binds)
        q.addBindValue(BindableValue(b));
    if (!q.exec())
        throw StorageFailure(db, q.lastError());
    return q;
}

double NumberOrZero(const QVariant &v)
{
    return v.isNull() ? 0.0 : v.toDouble();
}

QString TextOrEmpty(const QVariant &v)
{
    return v.isNull() ? QString() : v.toString();
}

Transaction::Transaction(QSqlDatabase db, Mode mode) : m_db(std::move(db))
{
    if (!m_db.isOpen())
        throw RuntimeError(3704, QStringLiteral("La conexión con la base de datos está cerrada."));
    QSqlError error;
    if (!begin(mode, &error))
        throw StorageFailure(m_db, error);
}

Transaction::Transaction(QSqlDatabase db, Mode mode, QSqlError *error) : m_db(std::move(db))
{
    begin(mode, error);
}

Transaction::~Transaction()
{
    if (!m_done && m_db.isOpen()) {
        // A failed rollback leaves nothing to do: SQLite has already undone the
        // transaction when the rollback itself fails, and the server undoes it
        // when the connection is gone.
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
    finish();
}

namespace {
bool execOrError(const QSqlDatabase &db, const QString &sql, QSqlError *error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    *error = q.lastError();
    return false;
}
} // namespace

bool Transaction::begin(Mode mode, QSqlError *error)
{
    // On the server, the statements go in one message: one round trip.
    const QStringList begin = Dialect::Begin(EngineOf(m_db), mode == Mode::Immediate);
    m_done = !execOrError(m_db, begin.join(QStringLiteral("; ")), error);
    if (!m_done && m_db.connectionName() == QLatin1String(kConexion)) {
        ++g_conexionTransactions;
        m_counted = true;
    }
    return !m_done;
}

void Transaction::finish()
{
    m_done = true;
    if (m_counted)
        --g_conexionTransactions;
    m_counted = false;
}

void Transaction::commit()
{
    if (!m_db.isOpen())
        throw RuntimeError(3704, QStringLiteral("La conexión con la base de datos está cerrada."));
    // Not prepared: the server prepares no transaction command.
    QSqlError error;
    if (!commit(&error))
        throw StorageFailure(m_db, error, FailedAt::Committing);
}

bool Transaction::commit(QSqlError *error)
{
    if (!execOrError(m_db, QStringLiteral("COMMIT"), error))
        return false;
    finish();
    return true;
}

void CreateSchema(const QSqlDatabase &db)
{
    for (const char *stmt : kSchema)
        Exec(db, QString::fromLatin1(stmt));
    for (const QString &sql : addedIndexes())
        Exec(db, sql);
    for (const QString &sql : changeRecordSchema())
        Exec(db, sql);
    for (const QString &sql : statementSchema())
        Exec(db, sql);
}

QString CreateNewDatabase(const QString &path, const std::function<void(const QSqlDatabase &)> &fill)
{
    if (QFileInfo::exists(path))
        return QStringLiteral("Ya existe un archivo en ") + path + QStringLiteral("; no se modifica.");
    const QString name = QStringLiteral("tesorin-create");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            try {
                Transaction t(db);
                CreateSchema(db);
                fill(db);
                t.commit();
            } catch (const RuntimeError &e) {
                error = ErrorText(e);
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!error.isEmpty())
        QFile::remove(path);
    return error;
}

QString CreateDatabaseFile(const QString &path, const QString &adminPassword)
{
    return CreateNewDatabase(path, [&](const QSqlDatabase &db) {
        const QString ins = QStringLiteral("INSERT INTO Parametro (Parametro, Valor) VALUES (?, ?)");
        Exec(db, ins, {QStringLiteral("PROXIMORECIBO"), QStringLiteral("1")});
        Exec(db, ins, {QStringLiteral("ADMIN"), adminPassword});
    });
}
