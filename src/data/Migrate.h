#pragma once
// Moves the books from an SQLite file into an empty database on a PostgreSQL
// server: the schema is created, every row copied with its key in one
// transaction, and the copy checked (rows per table, exact sums of the
// amounts) before it is committed. Any failure leaves the server as it was.
#include "data/ConnectionSettings.h"

#include <QString>

class QTextStream;

// Copies `file` into the server's database, which must be empty. Returns ""
// and sets `summary` ("Se copiaron ..."), or returns why nothing was copied.
QString MigrateToServer(const QString &file, const ConnectionSettings &server, QString *summary);

// tesorin --migrar ARCHIVO, to the server of the configuration file beside
// the executable: 0 when copied and checked, 1 when not (saying why on `err`).
int MigrarCommand(const QString &file, QTextStream &out, QTextStream &err);
