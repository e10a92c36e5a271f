#include "data/PgStorage.h"
#include "data/Database.h"

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
    Cursor(const QSqlDatabase &db, const QString &sql, const QVariantList &binds) : m_query(db)
    {
        m_query.setForwardOnly(true);
        // The driver prepares with PREPARE and runs with EXECUTE, and the
        // server keeps all the rows of an EXECUTE before it sends the first:
        // a statement without values is sent as it is, its rows streamed (a
        // quarter faster for the table editor's million keys).
        if (binds.isEmpty()) {
            if (!m_query.exec(sql))
                throw StorageError(m_query.lastError());
        } else {
            if (!m_query.prepare(sql))
                throw StorageError(m_query.lastError());
            for (const QVariant &b : binds)
                m_query.addBindValue(BindableValue(b));
            if (!m_query.exec())
                throw StorageError(m_query.lastError());
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
            throw StorageError(m_query.lastError());
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

// The server's current snapshot (the transactions begun and those still
// running) moves with every write of any connection, this one's included; a
// read-only statement leaves it as it is. Equal snapshots: nothing was
// written in between. `changes` has no meaning here and stays 0, so a write
// by this connection never passes for "only ours": the sums are read again.
ChangeToken PgChangeToken(const QSqlDatabase &db)
{
    QSqlQuery q = Exec(db, QStringLiteral("SELECT pg_current_snapshot()::text"));
    ChangeToken t;
    t.version = q.next() ? qint64(qHash(q.value(0).toString(), 0)) : -1;
    t.changes = 0;
    return t;
}

bool PgIsReadOnly(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT has_table_privilege('movimiento', 'INSERT')")) && q.next()
           && !q.value(0).toBool();
}
