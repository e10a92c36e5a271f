#include "data/Storage.h"
#include "data/TableInfo.h"
#include "data/Database.h"
#include "data/PgSchema.h"
#include "data/PgStorage.h"
#include "data/SqliteStorage.h"
#include "data/TextRules.h"

#include <QSqlDriver>

Engine EngineOf(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Engine::PostgreSQL : Engine::SQLite;
}

RowReader::RowReader(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    if (!db.isOpen())
        throw RuntimeError(3704, QStringLiteral("La conexión con la base de datos está cerrada."));
    if (EngineOf(db) == Engine::PostgreSQL) {
        m_cursor = PgCursor(db, sql, binds);
        return;
    }
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

RowReader::Type StorageValueKind(const QVariant &v)
{
    if (v.isNull())
        return RowReader::Type::Null;
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return RowReader::Type::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return RowReader::Type::Real;
    case QMetaType::QByteArray:
        return RowReader::Type::Blob;
    default:
        return RowReader::Type::Text;
    }
}

QVariant InsertReturningKey(const QSqlDatabase &db, const QString &insert, const QVariantList &binds,
                            const QString &keyColumn)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(insert + QStringLiteral(" RETURNING ") + QuotedTableName(db, keyColumn)))
        throw StorageError(db, q.lastError());
    for (const QVariant &b : binds)
        q.addBindValue(BindableValue(b));
    if (!q.exec())
        throw StorageError(db, q.lastError());
    if (!q.next())
        throw StorageError(QSqlError(QString(), QStringLiteral("La base de datos no informó la clave de la fila agregada."),
                                     QSqlError::StatementError));
    return q.value(0);
}

bool StorageConnectionLost(const QSqlDatabase &db)
{
    return EngineOf(db) == Engine::PostgreSQL && PgConnectionLost(db);
}

std::function<bool()> StorageServerProbe(const QSqlDatabase &db)
{
    if (EngineOf(db) != Engine::PostgreSQL)
        return [] { return true; };
    return PgServerProbe(db);
}

bool StorageReopen(QSqlDatabase &db)
{
    db.close();
    if (EngineOf(db) == Engine::PostgreSQL)
        PgForgetLost(db);
    return db.open();
}

RuntimeError StorageFailure(const QSqlDatabase &db, const QSqlError &error, FailedAt at)
{
    if (EngineOf(db) != Engine::PostgreSQL || !PgConnectionLost(db, error))
        return RuntimeError::fromSql(error);
    QString said = error.databaseText().simplified();
    if (said.isEmpty())
        said = error.text().simplified();
    const QString text =
        at == FailedAt::Committing
            ? QStringLiteral("Se perdió la conexión con el servidor mientras se guardaba: no se sabe si la operación "
                             "llegó a guardarse. Revise los movimientos antes de volver a registrarla; la próxima "
                             "acción vuelve a conectar. (%1)")
            : QStringLiteral("Se perdió la conexión con el servidor: la operación en curso no se guardó (el servidor "
                             "la deshizo entera). Vuelva a intentar; la próxima acción vuelve a conectar. (%1)");
    return RuntimeError(kConnectionLost, text.arg(said), {DbErrorEntry{kConnectionLost, text.arg(said)}});
}

ChangeToken StorageChangeToken(const QSqlDatabase &db)
{
    return EngineOf(db) == Engine::PostgreSQL ? PgChangeToken(db) : SqliteChangeToken(db);
}

bool StorageIsReadOnly(const QSqlDatabase &db)
{
    return EngineOf(db) == Engine::PostgreSQL ? PgIsReadOnly(db) : SqliteIsReadOnly(db);
}

void RegisterTextFunctions(const QSqlDatabase &db)
{
    // The server's database holds its own (made with its schema).
    if (EngineOf(db) == Engine::SQLite)
        SqliteRegisterTextFunctions(db);
}

namespace Dialect {

QStringList Begin(Engine engine, bool immediate)
{
    if (engine == Engine::SQLite)
        return {immediate ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN")};
    if (!immediate)
        return {QStringLiteral("BEGIN")};
    // The server's writers queue on one lock, as the file's writers do on its
    // write lock: SHARE ROW EXCLUSIVE conflicts with itself and with every
    // plain INSERT, UPDATE or DELETE of movements (ROW EXCLUSIVE), and not with
    // readers. Under READ COMMITTED each statement after it sees every row
    // committed before the lock was granted, so a check made here (the fee
    // already paid, the cash left, the highest receipt) still holds when the
    // row is written. A serializable transaction would need every caller to
    // run its work again after a conflict; the lock needs nothing of them.
    return {QStringLiteral("BEGIN"), QStringLiteral("LOCK TABLE movimiento IN SHARE ROW EXCLUSIVE MODE")};
}

QString NoCaseOrder(Engine engine, const QString &expr)
{
    if (engine == Engine::SQLite)
        return expr + QStringLiteral(" COLLATE NOCASE");
    // NOCASE folds the 26 ASCII letters and compares bytes; nulls come first.
    return QStringLiteral("translate(%1, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') COLLATE \"C\""
                          " NULLS FIRST")
        .arg(expr);
}

QString OrderedAsFile(Engine engine, const QString &select, const QList<OrderKey> &keys)
{
    QStringList order;
    for (const OrderKey &k : keys) {
        if (engine == Engine::SQLite)
            order << k.column + (k.descending ? QStringLiteral(" DESC") : QString());
        else if (k.text && !k.descending)
            order << NoCaseOrder(engine, k.column);
        else
            order << (k.text ? QStringLiteral("translate(%1, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"
                                              " COLLATE \"C\"").arg(k.column)
                             : k.column)
                         + (k.descending ? QStringLiteral(" DESC NULLS LAST") : QStringLiteral(" NULLS FIRST"));
    }
    if (engine == Engine::SQLite)
        return select + QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    // The server orders a UNION by its output columns only, never by an expression of them.
    return QStringLiteral("SELECT * FROM (%1) AS filas ORDER BY %2").arg(select, order.join(QStringLiteral(", ")));
}

QString KeyAsText(Engine engine, const QString &column)
{
    return engine == Engine::SQLite ? column : QStringLiteral("CAST(%1 AS text) AS %1").arg(column);
}

QString MemberOrder(Engine engine, const QString &column)
{
    return engine == Engine::SQLite ? SocioOrderKey(column) : PgOrderKey(column) + QStringLiteral(" NULLS FIRST");
}

QString SameNoCase(Engine engine, const QString &column)
{
    // The file's column compares without case by itself; the server's index is on upper().
    return engine == Engine::SQLite ? column + QStringLiteral(" = ?")
                                    : QStringLiteral("upper(%1) = upper(?)").arg(column);
}

QString MillionthsSum(Engine engine, const QString &column)
{
    // numeric sums exactly on the server; bigint refuses what 64 bits cannot hold.
    return engine == Engine::SQLite ? QStringLiteral("SUM(CAST(ROUND(%1 * 1000000) AS INTEGER))").arg(column)
                                    : QStringLiteral("CAST(SUM(ROUND(%1 * 1000000)) AS bigint)").arg(column);
}

bool NumbersMayHoldText(Engine engine)
{
    return engine == Engine::SQLite;
}

bool DatesMayHoldOtherText(Engine engine)
{
    return engine == Engine::SQLite;
}

} // namespace Dialect
