#pragma once
// The PostgreSQL side of the storage seam (Storage.h), over Qt's QPSQL driver.
#include "data/Storage.h"

#include <QSqlError>

// The reader's cursor over a statement on a server connection; throws StorageError.
std::unique_ptr<RowReader::Cursor> PgCursor(const QSqlDatabase &db, const QString &sql, const QVariantList &binds);
ChangeToken PgChangeToken(const QSqlDatabase &db);
bool PgIsReadOnly(const QSqlDatabase &db);
bool PgConnectionLost(const QSqlDatabase &db);
bool PgConnectionLost(const QSqlDatabase &db, const QSqlError &error);
void PgForgetLost(const QSqlDatabase &db);
std::function<bool()> PgServerProbe(const QSqlDatabase &db);
