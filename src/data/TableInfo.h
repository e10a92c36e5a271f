#pragma once
// What statements built at run time (the table editor's reading, filter and
// order) need to know of a table and of the engine under a connection: a
// table's primary key, the key of an inserted row, and the few expressions
// the two engines write differently. The text rules behind them are the ones
// both engines share (Storage.h, PgSchema.h): fold_es for searching, sort_es
// for ordering, compared byte by byte.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

// True for a connection to a PostgreSQL server, false for a SQLite file.
bool IsServerConnection(const QSqlDatabase &db);

// Whether the books hold `table` (named as the file names it): books of an
// earlier version opened read-only, or a server's database its owner has not
// opened since, may lack a table added later. Throws RuntimeError.
bool TablePresent(const QSqlDatabase &db, const QString &table);

// The columns of `table` in their order, each named as the file names it
// ("IDMovimiento", "Fecha"): the server holds the schema's names in lower
// case, and the books' columns are given back in their own spelling. Empty
// when the table is missing.
QSqlRecord TableColumns(const QSqlDatabase &db, const QString &table);

// The columns of `table`'s primary key, in order, as the database spells
// them; empty when it has none. Throws StorageError.
QStringList PrimaryKeyColumns(const QSqlDatabase &db, const QString &table);

// Expressions over an SQL expression `x`:
// x folded for searching (accents and case ignored, ñ as n), compared byte by byte.
QString SqlFoldText(const QSqlDatabase &db, const QString &x);
// x folded for ordering (ñ after every n), compared byte by byte.
QString SqlSortText(const QSqlDatabase &db, const QString &x);
// x as a text compared byte by byte (the order of a text key).
QString SqlByteText(const QSqlDatabase &db, const QString &x);
// True when x holds a number (a file's column may hold anything).
QString SqlIsNumber(const QSqlDatabase &db, const QString &x);
// True when x, not null, is not a date in the stored form "YYYY-MM-DD HH:MM:SS".
QString SqlNotStoredDate(const QSqlDatabase &db, const QString &x);
// An ORDER BY term: x ascending or descending, nulls before every value
// when ascending and after them when descending, on both engines.
QString SqlOrderTerm(const QSqlDatabase &db, const QString &x, bool ascending);

// The filter's LIKE: a condition over x with one bound value, and that value
// for a pattern where % or * stand for any text and _ or ? for one character;
// texts and pattern are folded for searching.
QString SqlLikeCondition(const QSqlDatabase &db, const QString &x);
QString SqlLikePattern(const QSqlDatabase &db, const QString &pattern);

// A table's (or a column's) name quoted for SQL, as the engine holds it: the
// server holds the schema's names in lower case.
QString QuotedTableName(const QSqlDatabase &db, const QString &table);

// The rule of `table` a refused write broke, read from either engine's error
// (SQLite's "UNIQUE constraint failed: Curso.IDCurso", the server's SQLSTATE
// with its constraint and key, in any language the server speaks): its kind
// and the column it names, as the database spells it. A file's one-character
// column says so (OneCharacter); the server's checks say only which column.
struct BrokenRule
{
    enum class Kind { None, Unique, NotNull, Check, OneCharacter, Busy, KeyNotInteger };
    Kind kind = Kind::None;
    QString column;
};
BrokenRule BrokenRuleOf(const QSqlError &error, const QString &table);
