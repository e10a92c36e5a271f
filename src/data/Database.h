#pragma once
// The database: the shared connection `Conexion`, the connections of their own
// that the table editor and the reports open, statements with bound values,
// the transaction guard and the one conversion of dates to stored text.
#include "data/Errors.h"
#include "data/Storage.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <utility>

// The six tables every database holds, and the columns of each the program uses.
QStringList RequiredTables();
QList<std::pair<QString, QStringList>> RequiredColumns();

// Dates are stored as the text "YYYY-MM-DD HH:MM:SS"; these two are the only
// place where that text is written or read.
QString DbDateText(const QDateTime &value);
QDateTime DbDate(const QVariant &stored); // invalid when the text is no date
// The day of a stored date, without the clock time or the time zone.
QDate DbDay(const QVariant &stored);
// A stored date as a number that orders dates: YYYYMMDDhhmmss. False when the
// stored value is no date.
bool DateKey(const QVariant &stored, qint64 *key);

// Opens an existing database file as the connection `connectionName`, without
// creating anything: a missing file, a folder, a file that is not SQLite, or one
// without the six tables fails with the database's errors in `errors`. A locked
// database is waited for a few seconds. The SQL functions the statements use are
// registered on the connection, and a writable file of an earlier version is
// brought up to today's schema (the indexes added since; courses, fees and
// accounts numbered so that no number is ever given twice; the record of
// changes). A read-only file is read as it is.
bool OpenConnection(const QString &connectionName, const QString &path,
                    QList<DbErrorEntry> *errors);
void CloseConnection(const QString &connectionName);

// The program-wide connection.
QSqlDatabase Conexion();
// Makes the named server connection again when the server lost it and no
// transaction of the program is open on it (the shared connection does so by
// itself at the start of each action).
void ReconnectIfLost(const QString &connectionName);
bool OpenConexion(const QString &path, QList<DbErrorEntry> *errors);
// Opens the program-wide connection on the server `where` names (`password`
// empty: libpq's password file) and checks that the six tables are there;
// a database made before the record of changes gets it when the user may.
// The password is kept in memory only, for the connections of their own that
// the reports open on the same books. false, with `error` in Spanish (never
// the password), when it cannot.
bool OpenConexionOnServer(const ConnectionSettings &where, const QString &password, QString *error);
// Whether the shared connection is on a server.
bool ConexionIsOnServer();
void CloseConexion();
bool ConexionIsOpen();
// True when the books were opened but cannot be written (the file's
// permissions, a read-only disk, a server role that may only read): they can
// be read, and every write will fail.
bool ConexionIsReadOnly();
// Changes each time the shared connection is opened again (on any file), so
// whatever was read through the previous one is known to be stale.
quint64 ConexionSerial();
// The "connection string" other components open their own connection from
// (OpenConnection takes it): the path, or on a server a name for its books.
QString ConnectionString();

// A value as it is bound: dates (and days, at midnight) as their stored text,
// everything else as it is.
QVariant BindableValue(const QVariant &value);

// Runs a statement with bound values (dates are bound through DbDateText).
// Throws RuntimeError with the database's error on failure.
QSqlQuery Exec(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {});
inline QSqlQuery Exec(const QString &sql, const QVariantList &binds = {})
{
    return Exec(Conexion(), sql, binds);
}

// Null-safe readings: a null number reads 0, a null text reads "".
double NumberOrZero(const QVariant &v);
QString TextOrEmpty(const QVariant &v);

// Rolls back unless committed. An immediate transaction takes the write lock
// at once (for a check that must still hold when the write follows it).
class Transaction
{
public:
    enum class Mode { Deferred, Immediate };
    explicit Transaction(QSqlDatabase db = Conexion(), Mode mode = Mode::Deferred); // throws RuntimeError
    // The same without exceptions, for callers that read the database's own
    // error: a failed BEGIN leaves it in `error` and the guard not active.
    Transaction(QSqlDatabase db, Mode mode, QSqlError *error);
    ~Transaction();
    bool active() const { return !m_done; }
    void commit(); // throws RuntimeError
    bool commit(QSqlError *error); // false, with the database's error, when the commit fails
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    bool begin(Mode mode, QSqlError *error);
    void finish();
    QSqlDatabase m_db;
    bool m_done = false;
    bool m_counted = false;
};

// Creates the six tables, their indexes and the record of changes (Cambio,
// ChangeRecord.h) on an empty database.
void CreateSchema(const QSqlDatabase &db); // throws RuntimeError
// Creates a new database file with the tables, then lets `fill` add rows, all
// in one transaction. Refuses to touch an existing file; leaves no file behind
// on failure. Returns "" or an error text.
QString CreateNewDatabase(const QString &path, const std::function<void(const QSqlDatabase &)> &fill);
// Creates a new database file with the tables, PROXIMORECIBO = 1 and the given
// ADMIN password. Refuses to touch an existing file. Returns "" or an error text.
QString CreateDatabaseFile(const QString &path, const QString &adminPassword);
