#pragma once
// The SQLite side of the storage seam (Storage.h). Only the seam's own files
// (the connections, copies and checks) and the tests and benchmarks that
// measure against raw SQLite reach the handle.
#include "data/Storage.h"

struct sqlite3;

// The SQLite handle under an open connection; nullptr when the connection is
// closed or is not SQLite's.
sqlite3 *SqliteHandle(const QSqlDatabase &db);

// The reader's cursor over a statement on `handle`; throws StorageError.
std::unique_ptr<RowReader::Cursor> SqliteCursor(sqlite3 *handle, const QString &sql, const QVariantList &binds);

// The seam's SQLite answers (Storage.h says what each gives).
ChangeToken SqliteChangeToken(const QSqlDatabase &db);
bool SqliteIsReadOnly(const QSqlDatabase &db);
void SqliteRegisterTextFunctions(const QSqlDatabase &db);
