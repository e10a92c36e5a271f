#pragma once
// The books' six tables (and the record of changes) on a PostgreSQL server, with the same names and
// columns as in the SQLite file. Names are written without quotes, so the
// server keeps them in lower case and every statement finds them however it
// spells them ("IDcuota", "tipo"), as the file does.
//
// Amounts are `numeric` (exact); dates stay text "YYYY-MM-DD HH:MM:SS", the
// same text on both engines, so that they compare, sort and convert alike and
// only one place in the program turns them into dates. Keys are identity
// columns: a number once given is never given again.
//
// The schema also creates the text rules both engines order and search by:
//   fold_es(t)      no accents, no case ("Gómez", "GOMEZ" -> "gomez"; "Núñez" -> "nunez"),
//                   with its indexes over the members' names and the movements' descriptions
//   sort_es(t)      fold_es with ñ after every n ("n~"), for ordering
//   socio_orden(t)  the member list's order key, as the file's index orders it
// Ordered with COLLATE "C" (PgOrderKey), they give the file's byte order.
#include <QSqlDatabase>
#include <QString>

// The group roles each volunteer's own login role is made a member of.
inline const char *const kPgRoleWrite = "tesorero"; // reads and writes the books
inline const char *const kPgRoleRead = "consulta";  // reads them only

// Creates the tables, indexes and text functions on the connection's database,
// and the two group roles (when missing) with their rights on it. Runs in the
// caller's transaction; throws RuntimeError with the server's reason. A copy
// of many rows leaves the indexes `Later` (CreatePgIndexes after the rows):
// built once over all the rows, they cost far less than row by row.
enum class PgIndexes { Now, Later };
void CreatePgSchema(const QSqlDatabase &db, PgIndexes indexes = PgIndexes::Now);
void CreatePgIndexes(const QSqlDatabase &db);

// Every write to one of the six tables tells the programs listening on this
// channel (NOTIFY, once per statement, the table's name as payload, delivered
// when the writer commits). CreatePgSchema makes the triggers that send it.
inline const char *const kPgChangeChannel = "tesorin_cambios";
// The same triggers count, in this one-row table, the committed statements
// that changed movimiento (the server's change token).
inline const char *const kPgVersionTable = "tesorin_version";
// Makes those triggers (and the count) on a database made before them, when missing: only the
// tables' owner may. Runs in a transaction of its own; throws RuntimeError with
// the server's reason when it cannot.
void EnsurePgChangeNotices(const QSqlDatabase &db);

// Brings the text rules and the indexes of a database made by an earlier
// version up to today's: the rules give the same texts, many times faster;
// the searches find a part of a name without reading every row (with the
// server's pg_trgm); the member list and the table editor's order by date
// are read along their indexes. Only the tables' owner may; for anyone else,
// or when it is done already, it does nothing. Runs in a transaction of its
// own; throws RuntimeError with the server's reason.
void UpgradePgSchema(const QSqlDatabase &db);

// The record of changes made by hand (the table cambio, ChangeRecord.h):
// tesorero may add rows and read them, never change or delete them;
// consulta reads them. CreatePgSchema makes it. On a database made before it,
// EnsurePgChangeRecord adds it when missing, in a transaction of its own
// (only the tables' owner may: throws RuntimeError with the server's reason);
// CreatePgChangeRecord does the same in the caller's transaction. Both also
// add the bank statement's lines (extractolinea), which tesorero adds to.
bool PgChangeRecordPresent(const QSqlDatabase &db); // throws RuntimeError
void EnsurePgChangeRecord(const QSqlDatabase &db);
void CreatePgChangeRecord(const QSqlDatabase &db);

// Runs one statement that takes no values (a definition, a transaction
// command); throws RuntimeError saying what failed and the server's reason.
void PgRun(const QSqlDatabase &db, const QString &sql);

// "socio_orden(column) COLLATE "C"": what the member list is ordered by on the server.
QString PgOrderKey(const QString &column);
