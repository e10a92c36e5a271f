#pragma once
// Moves the books from an SQLite file into an empty database on a PostgreSQL
// server: the schema is created, every row copied with its key in one
// transaction, and the copy checked (rows per table, exact sums of the
// amounts) before it is committed. Any failure leaves the server as it was.
#include "data/ConnectionSettings.h"

#include <QString>
#include <optional>

class QTextStream;

// The server that the configuration file's [DataSourceName] names: Servidor=,
// Puerto= (5432), Base=, Usuario=, SSL= (prefer). The password never comes
// from the file: libpq reads it from ~/.pgpass or PGPASSFILE. Nothing, and
// `error` set, when the file names no server or a value is unusable.
std::optional<ConnectionSettings> ReadServerSettings(const QString &iniPath, QString *error);

// Opens the connection `name` to the server; false and `error` (Spanish,
// naming the database but never a password) when it cannot.
bool OpenServerConnection(const QString &name, const ConnectionSettings &server, QString *error);

// Copies `file` into the server's database, which must be empty. Returns ""
// and sets `summary` ("Se copiaron ..."), or returns why nothing was copied.
QString MigrateToServer(const QString &file, const ConnectionSettings &server, QString *summary);

// tesorin --migrar ARCHIVO, to the server of the configuration file beside
// the executable: 0 when copied and checked, 1 when not (saying why on `err`).
int MigrarCommand(const QString &file, QTextStream &out, QTextStream &err);
