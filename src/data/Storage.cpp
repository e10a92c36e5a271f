#include "data/Storage.h"
#include "data/SqliteStorage.h"

RowReader::RowReader(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    // The engine is the connection's: SQLite's is the only one read this way yet.
    sqlite3 *h = SqliteHandle(db);
    if (!h)
        throw RuntimeError(3704, QStringLiteral("La conexión con la base de datos está cerrada."));
    m_cursor = SqliteCursor(h, sql, binds);
}

RowReader::~RowReader() = default;

bool RowReader::next()
{
    return m_cursor->next();
}

qint64 InsertedKey(const QSqlQuery &insert)
{
    const QVariant key = insert.lastInsertId();
    if (!key.isValid())
        throw RuntimeError(ErrInvalidUse, QStringLiteral("La base de datos no informó la clave de la fila agregada."));
    return key.toLongLong();
}
