#pragma once
// The one way the program reaches its database engine. Everything outside
// src/data reads and writes through what is declared here and in Database.h
// (the connections, Exec and Transaction); only the engine's own file behind
// it (SqliteStorage.cpp) speaks the engine's API.
#include "data/ConnectionSettings.h"
#include "data/Errors.h"

#include <QByteArrayView>
#include <QSqlDatabase>
#include <functional>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <memory>

// An error of the engine, with the engine's own code and words as a QSqlError
// (for those that keep the database's error, like the table editor's model).
// True when a server connection has gone (the server stopped or restarted,
// the network dropped, an administrator ended it); never for a file. Asked
// of the connection itself, without a round trip.
bool StorageConnectionLost(const QSqlDatabase &db);

// Opens a connection again in place (same name, settings and password).
bool StorageReopen(QSqlDatabase &db);
// Whether the server of `db` accepts connections now, asked without a
// password and safe to run on another thread (the returned call holds copies
// of the settings only); always true for a file.
std::function<bool()> StorageServerProbe(const QSqlDatabase &db);

// What a failed statement on `db` tells the user: the database's own error,
// or, when the server connection was lost, that the server undid the work in
// progress (`Committing`: that nobody can tell whether the commit arrived).
enum class FailedAt { Statement, Committing };
RuntimeError StorageFailure(const QSqlDatabase &db, const QSqlError &error, FailedAt at = FailedAt::Statement);
// The number of that error when the connection was lost.
inline constexpr qint64 kConnectionLost = 8006;

class StorageError : public RuntimeError
{
public:
    explicit StorageError(const QSqlError &error) : RuntimeError(fromSql(error)), m_sqlError(error) {}
    StorageError(const QSqlDatabase &db, const QSqlError &error)
        : RuntimeError(StorageFailure(db, error)), m_sqlError(error)
    {
    }
    const QSqlError &sqlError() const { return m_sqlError; }

private:
    QSqlError m_sqlError;
};

// The rows of a statement read straight from the engine, forward only: the
// member list, the reports and the table editor read up to a million rows,
// and a driver's row cache (a QVariant for every cell) would double the time.
// Bound values: nulls as null, whole numbers and booleans as integers, reals
// as reals, dates as their stored text, everything else as its text.
class RowReader
{
public:
    enum class Type { Null, Integer, Real, Text, Blob };

    // Throws StorageError when the statement cannot be prepared or bound.
    RowReader(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {});
    ~RowReader();
    RowReader(const RowReader &) = delete;
    RowReader &operator=(const RowReader &) = delete;

    bool next(); // the next row, false after the last; throws StorageError
    int columnCount() const { return m_cursor->columnCount(); }
    QString columnName(int column) const { return m_cursor->columnName(column); }
    Type type(int column) const { return m_cursor->type(column); }
    bool isNull(int column) const { return type(column) == Type::Null; }
    qint64 integer(int column) const { return m_cursor->integer(column); }
    double real(int column) const { return m_cursor->real(column); }
    // A text's UTF-8 bytes (a blob's bytes), valid until the next row.
    QByteArrayView text(int column) const { return m_cursor->text(column); }
    // The value as its own type: qint64, double, QString, QByteArray or null.
    QVariant value(int column) const { return m_cursor->value(column); }

    // What an engine gives the reader.
    class Cursor
    {
    public:
        virtual ~Cursor() = default;
        virtual bool next() = 0;
        virtual int columnCount() const = 0;
        virtual QString columnName(int column) const = 0;
        virtual Type type(int column) const = 0;
        virtual qint64 integer(int column) const = 0;
        virtual double real(int column) const = 0;
        virtual QByteArrayView text(int column) const = 0;
        virtual QVariant value(int column) const = 0;
    };

private:
    std::unique_ptr<Cursor> m_cursor;
};

// How the engines take a value Qt hands them: null, a whole number (booleans
// included), a real, bytes, or else text.
RowReader::Type StorageValueKind(const QVariant &v);

// The key of the row an INSERT just stored (SQLite's connections).
qint64 InsertedKey(const QSqlQuery &insert); // throws RuntimeError
// Runs an INSERT with bound values and gives the value of `keyColumn` in the
// row it stored, the number given to it included. Both engines say it with
// RETURNING (SQLite since 3.35), so a key that is a text reads the same way.
// Throws StorageError with the database's error.
QVariant InsertReturningKey(const QSqlDatabase &db, const QString &insert, const QVariantList &binds,
                            const QString &keyColumn);

// The engine behind an open connection.
Engine EngineOf(const QSqlDatabase &db);

// The few pieces of SQL the two engines write differently. Each gives the
// text for `engine`; the statements around them are the same on both.
namespace Dialect {
// The first statements of a transaction. An immediate one holds, from its
// start to its commit, the right to write the movements: SQLite's write lock
// (BEGIN IMMEDIATE), and on the server a lock on the movements table that
// every other writer of it waits for.
QStringList Begin(Engine engine, bool immediate);
// An ordering key of a text without regard to ASCII case, nulls first, as the
// file's NOCASE columns order. `expr` may not be an output column's alias.
QString NoCaseOrder(Engine engine, const QString &expr);
// One key of OrderedAsFile: an output column, a text or not, up or down.
struct OrderKey
{
    QString column;
    bool text = true;
    bool descending = false;
};
// `select` (one SELECT or a UNION of them) in the order of `keys` as the file
// orders it: texts without regard to ASCII case, nulls first going up and
// last going down. On the file it is `select ORDER BY keys` as written.
QString OrderedAsFile(Engine engine, const QString &select, const QList<OrderKey> &keys);
// A key column as text on the server, where a UNION with a text ('' for "all")
// needs both of one type; as it is on the file.
QString KeyAsText(Engine engine, const QString &column);
// The member list's order key (see SocioOrderKey), nulls first.
QString MemberOrder(Engine engine, const QString &column);
// `column = ?` without regard to case (a setting's name).
QString SameNoCase(Engine engine, const QString &column);
// The exact sum of `column` in millionths, as a 64-bit integer.
QString MillionthsSum(Engine engine, const QString &column);
// Whether a number column may hold a text another tool wrote there: only the
// file lets it, the server's numeric and integer columns refuse it.
bool NumbersMayHoldText(Engine engine);
// Whether a date column may hold a text that is not a stored date
// ("YYYY-MM-DD HH:MM:SS"): only the file lets another tool write one there,
// the server's date columns check the form.
bool DatesMayHoldOtherText(Engine engine);
} // namespace Dialect

// What tells whether the database changed: a write by another connection
// (another program, the table editor) moves `version`; a write by this one
// moves `changes`. Equal tokens: nothing was written in between.
struct ChangeToken
{
    qint64 version = -1;
    qint64 changes = -1;
    bool operator==(const ChangeToken &o) const { return version == o.version && changes == o.changes; }
};
ChangeToken StorageChangeToken(const QSqlDatabase &db); // throws RuntimeError

// True when the database was opened but cannot be written (its permissions, a
// read-only disk, a server role that may only read): it can be read, and every
// write will fail.
bool StorageIsReadOnly(const QSqlDatabase &db);

// Gives an open connection the SQL functions the statements are written with
// (the rules of TextRules.h, so that the engine filters and sorts exactly as
// the program compares):
//   fold_es(x)          x folded for searching (ñ as n); null stays null
//   sort_es(x)          x folded for ordering (ñ after every n)
//   like_es(pattern, x) the table editor's LIKE (LikeMatcher)
//   date_key(x)         a stored date as the number YYYYMMDDhhmmss, or null
//   es_texto            collation: texts as the user's locale orders them,
//                       without regard to case
// Throws RuntimeError when the engine refuses one.
void RegisterTextFunctions(const QSqlDatabase &db);
