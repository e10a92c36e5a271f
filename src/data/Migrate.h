#pragma once
// Moves the books between an SQLite file and a database on a PostgreSQL
// server. --migrar fills an empty server database from a file: the schema is
// created, every row copied with its key in one transaction, and the copy
// checked (rows per table, exact sums of the amounts) before it is committed.
// --restaurar on a server puts a copy's rows in place of the server's the same
// way. Any failure leaves the server as it was.
#include "data/ConnectionSettings.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>

class QTextStream;

// Copies `file` into the server's database, which must be empty. Returns ""
// and sets `summary` ("Se copiaron ..."), or returns why nothing was copied.
QString MigrateToServer(const QString &file, const ConnectionSettings &server, QString *summary);

// tesorin --migrar ARCHIVO, to the server of the configuration file beside
// the executable: 0 when copied and checked, 1 when not (saying why on `err`).
int MigrarCommand(const QString &file, QTextStream &out, QTextStream &err);

// Puts the rows of the copy `file` (checked in full first) in place of the
// server's, keys kept, in one transaction: refused while any other program is
// connected to the database (naming each user and PC). The numbering goes on
// past the highest key either side ever gave. "" and `summary`, or why not.
QString RestoreServerFromFile(const QString &file, const ConnectionSettings &server, QString *summary);

// The configuration's settings, read for a command run from the command line. "" or why not.
QString ReadCommandSettings(ConnectionSettings &where);

// ---- What the copies between the two engines share ----

// Throws RuntimeError with `text`.
[[noreturn]] void CopyFail(const QString &text);

// One of the books' tables as a copy moves it.
struct BookTable
{
    QString name;        // as the file names it
    QStringList columns; // in the file's order
    QString key;         // its numbered key; "" for Parametro
    QString amount;      // the amount column summed; "" when none
    QString noun;        // what a summary calls its rows
    // Books of an earlier version may lack it (the record of changes): a copy
    // carries its rows where it is, and makes it empty where it is not.
    bool optional = false;
};
// The six and the record of changes, in the order a copy moves them.
QList<BookTable> BookTables();
// The key of a table's sum: the movements' per medium and direction.
QString SumKey(const BookTable &t, const QVariant &medio, const QVariant &tipo);

// An exact sum of decimal amounts. Each amount is the shortest decimal text
// that reads back as the stored double (what was typed: at most 15 digits),
// kept as an integer count of its own last decimal place; the counts are
// added per place and joined at the end, so nothing is rounded on the way.
class DecimalSum
{
public:
    static QString textOf(double v);
    void add(const QString &text);
    // The sum as plain decimal text without trailing zeros ("1234.57", "0").
    QString text() const;
    // A decimal text without trailing zeros after its point.
    static QString Normalized(QString t);

private:
    std::map<int, __int128> m_byScale;
};

// The server's exact sums of a table's amounts, by SumKey, as plain decimal text.
std::map<QString, QString> ServerSums(const QSqlDatabase &db, const BookTable &t);

// A statement on the server with bound values; throws RuntimeError saying the server's reason.
QSqlQuery ServerQuery(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {});

// Throws RuntimeError with the server's reason for `e` (a table held too long: "in use").
[[noreturn]] void ServerFail(const QSqlError &e);

// Guards a server transaction begun with `begin`: rolled back unless committed.
class ServerTransaction
{
public:
    explicit ServerTransaction(const QSqlDatabase &db, const QString &begin = QStringLiteral("BEGIN"));
    ~ServerTransaction();
    void commit();
    ServerTransaction(const ServerTransaction &) = delete;
    ServerTransaction &operator=(const ServerTransaction &) = delete;

private:
    QSqlDatabase m_db;
    bool m_done = false;
};
