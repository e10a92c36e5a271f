#include "data/PgStorage.h"
#include "data/Database.h"
#include "data/PgSchema.h"

#include <QSqlDriver>
#include <libpq-fe.h>
#include <QSqlRecord>
#include <algorithm>
#include <vector>

namespace {

// The rows come through the driver one at a time (forward only), so no row
// cache of QVariants is built; each value of the current row is converted
// once, when first asked.
class Cursor final : public RowReader::Cursor
{
public:
    Cursor(const QSqlDatabase &db, const QString &sql, const QVariantList &binds) : m_db(db), m_query(db)
    {
        m_query.setForwardOnly(true);
        // The driver prepares with PREPARE and runs with EXECUTE, and the
        // server keeps all the rows of an EXECUTE before it sends the first:
        // a statement without values is sent as it is, its rows streamed (a
        // quarter faster for the table editor's million keys).
        if (binds.isEmpty()) {
            if (!m_query.exec(sql))
                throw StorageError(m_db, m_query.lastError());
        } else {
            if (!m_query.prepare(sql))
                throw StorageError(m_db, m_query.lastError());
            for (const QVariant &b : binds)
                m_query.addBindValue(BindableValue(b));
            if (!m_query.exec())
                throw StorageError(m_db, m_query.lastError());
        }
        const QSqlRecord r = m_query.record();
        for (int c = 0; c < r.count(); ++c)
            m_names << r.fieldName(c);
        m_text.resize(size_t(r.count()));
        m_cells.resize(size_t(r.count()));
        m_read.resize(size_t(r.count()));
    }
    bool next() override
    {
        std::fill(m_read.begin(), m_read.end(), false);
        if (m_query.next())
            return true;
        if (m_query.lastError().isValid())
            throw StorageError(m_db, m_query.lastError());
        return false;
    }
    int columnCount() const override { return int(m_names.size()); }
    QString columnName(int c) const override { return m_names.value(c); }
    RowReader::Type type(int c) const override { return StorageValueKind(cell(c)); }
    qint64 integer(int c) const override { return cell(c).toLongLong(); }
    double real(int c) const override { return cell(c).toDouble(); }
    QByteArrayView text(int c) const override
    {
        const QVariant &v = cell(c);
        QByteArray &kept = m_text[size_t(c)];
        kept = v.metaType().id() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
        return v.isNull() ? QByteArrayView() : QByteArrayView(kept);
    }
    QVariant value(int c) const override
    {
        const QVariant &v = cell(c);
        if (v.isNull())
            return QVariant();
        switch (type(c)) {
        case RowReader::Type::Integer:
            return v.toLongLong();
        case RowReader::Type::Real:
            return v.toDouble();
        case RowReader::Type::Blob:
            return v.toByteArray();
        default:
            return v.toString();
        }
    }

private:
    QSqlDatabase m_db;
    const QVariant &cell(int c) const
    {
        if (!m_read[size_t(c)]) {
            m_cells[size_t(c)] = m_query.value(c);
            m_read[size_t(c)] = true;
        }
        return m_cells[size_t(c)];
    }

    mutable QSqlQuery m_query;
    QStringList m_names;
    mutable std::vector<QByteArray> m_text;
    mutable std::vector<QVariant> m_cells; // the current row's values read so far
    mutable std::vector<bool> m_read;
};

} // namespace

std::unique_ptr<RowReader::Cursor> PgCursor(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    return std::make_unique<Cursor>(db, sql, binds);
}

// The committed count of statements that changed movimiento (PgSchema's
// triggers keep it), in `changes`: a write of this connection moves it by as
// many statements as the ledger made, so the ledger tells "only ours" from
// "someone else wrote too" as it does with SQLite's own count.
//
// A database made before that count, or a role that may not read it, falls
// back to the server's current snapshot (the transactions begun and those
// still running), which moves with every write of any connection, this one's
// included: `changes` then stays 0, so a write never passes for "only ours"
// and the sums are read again.
//
// Whether the count can be read is asked once per connection and without a
// statement that could fail: a failed statement would spoil the ledger's
// transaction that asks.
ChangeToken PgChangeToken(const QSqlDatabase &db)
{
    QSqlDriver *driver = db.driver();
    QVariant counted = driver->property("tesorin_version");
    if (!counted.isValid()) {
        QSqlQuery q = Exec(db, QStringLiteral("SELECT CASE WHEN to_regclass(?) IS NULL THEN false"
                                              " ELSE has_table_privilege(to_regclass(?)::oid, 'SELECT') END"),
                           {QLatin1String(kPgVersionTable), QLatin1String(kPgVersionTable)});
        counted = q.next() && q.value(0).toBool();
        driver->setProperty("tesorin_version", counted);
    }
    ChangeToken t;
    if (counted.toBool()) {
        QSqlQuery q = Exec(db, QStringLiteral("SELECT movimientos FROM ") + QLatin1String(kPgVersionTable));
        if (q.next()) { // a row deleted by hand counts nothing
            t.version = 0;
            t.changes = q.value(0).toLongLong();
            return t;
        }
    }
    QSqlQuery q = Exec(db, QStringLiteral("SELECT pg_current_snapshot()::text"));
    t.version = q.next() ? qint64(qHash(q.value(0).toString(), 0)) : -1;
    t.changes = 0;
    return t;
}

// libpq marks a connection bad once it finds the server gone. A server that
// ends the connection says so first (the FATAL error of the failed
// statement), before libpq has read the end: that error marks it here.
// Qt's driver reports such a connection as not open; one the program closed
// has no libpq connection left at all.
bool PgConnectionLost(const QSqlDatabase &db)
{
    if (!db.driver())
        return false;
    if (db.driver()->property("tesorin_lost").toBool())
        return true;
    const QVariant handle = db.driver()->handle();
    // Qt names the type by libpq's struct: "pg_conn*" (its documentation says "PGconn*").
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return false;
    PGconn *connection = *static_cast<PGconn *const *>(handle.constData());
    return connection && PQstatus(connection) == CONNECTION_BAD;
}

bool PgConnectionLost(const QSqlDatabase &db, const QSqlError &error)
{
    // Class 08 (connection exception), and the server shutting down or
    // ending this connection (57P01-57P03).
    const QString state = error.nativeErrorCode();
    if (db.driver() && (state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01")
                        || state == QLatin1String("57P02") || state == QLatin1String("57P03")))
        db.driver()->setProperty("tesorin_lost", true);
    return PgConnectionLost(db);
}

std::function<bool()> PgServerProbe(const QSqlDatabase &db)
{
    // libpq's own quoting of a connection value: 'a b' with \ and ' escaped.
    const auto quoted = [](const QString &v) {
        QString q = v;
        q.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
        return QLatin1Char('\'') + q + QLatin1Char('\'');
    };
    QString info = QStringLiteral("connect_timeout=5 dbname=") + quoted(db.databaseName());
    if (!db.hostName().isEmpty())
        info += QStringLiteral(" host=") + quoted(db.hostName());
    if (db.port() > 0)
        info += QStringLiteral(" port=") + QString::number(db.port());
    return [conninfo = info.toUtf8()] { return PQping(conninfo.constData()) == PQPING_OK; };
}

void PgForgetLost(const QSqlDatabase &db)
{
    if (db.driver())
        db.driver()->setProperty("tesorin_lost", QVariant());
}

bool PgIsReadOnly(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT has_table_privilege('movimiento', 'INSERT')")) && q.next()
           && !q.value(0).toBool();
}
