#include "masterdata/GrillaModel.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/Errors.h"
#include "data/TableInfo.h"
#include "masterdata/RowRules.h"

#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cstring>
#include <unordered_map>

namespace {

// Rows read around the one the grid asks for, and the most kept in memory.
constexpr int kBlockBefore = 32;
constexpr int kBlockAfter = 96;
constexpr int kCacheLimit = 4096;

} // namespace

// ---------------------------------------------------------------------------
// GrillaTableModel

const QString GrillaTableModel::kUnreadText = QStringLiteral("#¡Error!");

GrillaTableModel::GrillaTableModel(QObject *parent, const QSqlDatabase &db)
    : QAbstractTableModel(parent), m_db(db)
{
}

void GrillaTableModel::fail(const QString &text, int code)
{
    m_lastError = QSqlError(QString(), text, QSqlError::StatementError, QString::number(code));
}

bool GrillaTableModel::open(const QString &table)
{
    beginResetModel();
    m_table = table;
    m_tableSql = QuotedTableName(m_db, table);
    m_unread.clear();
    m_readFailing = false;
    m_fields.clear();
    m_columns.clear();
    m_cache.clear();
    m_irregular.clear();
    m_keyColumn = -1;
    m_keySql.clear();
    m_textKey = false;
    m_textKeyNumbers.clear();
    m_textKeys.clear();
    clearPending();
    std::vector<qint64> keys;
    bool ok = true;
    // The record of changes is read in its report, never edited.
    if (table.compare(QLatin1String(kChangeTable), Qt::CaseInsensitive) == 0) {
        fail(QStringLiteral("La tabla %1 es el registro de cambios: se consulta en Reportes, Registro de cambios, y "
                            "no se modifica.").arg(table), ErrInvalidUse);
        endResetModel();
        return false;
    }
    try {
        // A server's database holds these functions itself.
        if (!IsServerConnection(m_db))
            RegisterTextFunctions(m_db);
        const QSqlRecord rec = TableColumns(m_db, table);
        for (int i = 0; i < rec.count(); ++i) {
            m_fields << GridField{rec.fieldName(i), KindOfField(table, rec.field(i))};
            m_columns << QuotedTableName(m_db, rec.fieldName(i));
        }
        const QStringList key = PrimaryKeyColumns(m_db, table);
        for (int i = 0; key.size() == 1 && i < m_fields.size(); ++i)
            if (m_fields.at(i).name.compare(key.first(), Qt::CaseInsensitive) == 0)
                m_keyColumn = i;
        if (m_keyColumn >= 0) {
            m_keySql = column(m_keyColumn);
            m_textKey = m_fields.at(m_keyColumn).kind == FieldKind::Text;
        } else if (!IsServerConnection(m_db)) {
            m_keySql = QStringLiteral("rowid"); // a table made elsewhere, without a key of one column
        } else if (!m_fields.isEmpty()) {
            fail(QStringLiteral("La tabla %1 no tiene una clave primaria de una sola columna: "
                                "el editor no puede identificar sus filas.").arg(table), ErrInvalidUse);
            ok = false;
        }
    } catch (const StorageError &e) {
        m_lastError = e.sqlError();
        ok = false;
    } catch (const RuntimeError &e) {
        fail(e.description(), int(e.number()));
        ok = false;
    }
    ok = ok && readKeys(QString(), {}, orderBy(-1, Qt::AscendingOrder), &keys);
    if (ok) {
        m_keys = std::move(keys);
    } else {
        m_fields.clear();
        m_columns.clear();
        m_keys.clear();
    }
    endResetModel();
    return ok;
}

QVariant GrillaTableModel::keyValue(qint64 key) const
{
    return m_textKey ? QVariant(m_textKeys.value(qsizetype(key - 1))) : QVariant(key);
}

qint64 GrillaTableModel::keyOfValue(const QVariant &value) const
{
    if (!m_textKey)
        return value.toLongLong();
    const QString text = value.toString();
    const auto it = m_textKeyNumbers.constFind(text);
    if (it != m_textKeyNumbers.constEnd())
        return *it;
    m_textKeys << text;
    return *m_textKeyNumbers.insert(text, m_textKeys.size());
}

bool GrillaTableModel::readKeys(const QString &where, const QVariantList &binds, const QString &order,
                                std::vector<qint64> *keys, const QString &tieColumn,
                                std::vector<bool> *sameAsPrevious)
{
    QString sql = QStringLiteral("SELECT ") + m_keySql + (tieColumn.isEmpty() ? QString() : QStringLiteral(", ") + tieColumn)
                  + QStringLiteral(" FROM ") + m_tableSql;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    sql += QStringLiteral(" ORDER BY ") + order;
    keys->clear();
    if (sameAsPrevious)
        sameAsPrevious->clear();
    // The previous row's value, as its type and bytes, in one buffer used again.
    std::string previous;
    auto previousType = RowReader::Type::Null;
    try {
        // A million keys take a few tens of milliseconds this way, against
        // seconds through QSqlQuery.
        RowReader rows(m_db, sql, binds);
        while (rows.next()) {
            if (m_textKey) {
                const QByteArrayView text = rows.text(0);
                keys->push_back(keyOfValue(QString::fromUtf8(text.data(), text.size())));
            } else {
                keys->push_back(rows.integer(0));
            }
            if (!sameAsPrevious)
                continue;
            auto type = rows.type(1);
            QByteArrayView bytes;
            double number = 0;
            if (type == RowReader::Type::Integer || type == RowReader::Type::Real) {
                number = rows.real(1); // 2 and 2.0 are equal values
                type = RowReader::Type::Real;
                bytes = QByteArrayView(reinterpret_cast<const char *>(&number), sizeof number);
            } else if (type != RowReader::Type::Null) {
                bytes = rows.text(1);
            }
            const bool same = keys->size() > 1 && type == previousType && previous.size() == size_t(bytes.size())
                              && (bytes.empty() || std::memcmp(previous.data(), bytes.data(), previous.size()) == 0);
            sameAsPrevious->push_back(same);
            if (!same) {
                previousType = type;
                previous.assign(bytes.data(), size_t(bytes.size()));
            }
        }
    } catch (const StorageError &e) {
        fail(DbErrorText(e.sqlError()), int(DbErrorCode(e.sqlError()) & 0xff));
        return false;
    } catch (const RuntimeError &e) {
        fail(e.description(), int(e.number()));
        return false;
    }
    return true;
}

bool GrillaTableModel::irregularDates(int field) const
{
    const auto it = m_irregular.constFind(field);
    if (it != m_irregular.constEnd())
        return *it;
    // Once per field and window: the editor itself only ever stores the plain
    // form. Where the engine takes no other, no row is read (a million of them
    // take seconds).
    if (!Dialect::DatesMayHoldOtherText(EngineOf(m_db))) {
        m_irregular.insert(field, false);
        return false;
    }
    QSqlQuery q(m_db);
    const QString c = column(field);
    const bool irregular = !q.exec(QStringLiteral("SELECT 1 FROM ") + m_tableSql + QStringLiteral(" WHERE ") + c
                                   + QStringLiteral(" IS NOT NULL AND ") + SqlNotStoredDate(m_db, c)
                                   + QStringLiteral(" LIMIT 1"))
                           || q.next();
    m_irregular.insert(field, irregular);
    return irregular;
}

QString GrillaTableModel::orderBy(int sortColumn, Qt::SortOrder order) const
{
    // Equal values keep the table's order: that of the keys.
    const QString byKey = m_textKey ? SqlByteText(m_db, m_keySql) : m_keySql;
    if (sortColumn < 0 || sortColumn >= m_fields.size())
        return byKey;
    const bool up = order == Qt::AscendingOrder;
    const QString c = column(sortColumn);
    QStringList terms;
    switch (m_fields.at(sortColumn).kind) {
    case FieldKind::Integer:
    case FieldKind::Real:
        // Nulls, then numbers, then anything else (in a file).
        terms << SqlOrderTerm(m_db, c, up);
        break;
    case FieldKind::Date:
        if (!irregularDates(sortColumn)) {
            terms << SqlOrderTerm(m_db, c, up);
            break;
        }
        terms << SqlOrderTerm(m_db, QStringLiteral("CASE WHEN %1 IS NULL THEN 0 WHEN date_key(%1) IS NOT NULL THEN 1 ELSE 2 END").arg(c), up)
              << SqlOrderTerm(m_db, QStringLiteral("date_key(%1)").arg(c), up)
              << SqlOrderTerm(m_db, SqlSortText(m_db, c), up);
        break;
    case FieldKind::Text:
        terms << SqlOrderTerm(m_db, QStringLiteral("(%1 IS NOT NULL)").arg(c), up)
              << SqlOrderTerm(m_db, SqlSortText(m_db, c), up);
        break;
    }
    terms << byKey;
    return terms.join(QStringLiteral(", "));
}

bool GrillaTableModel::select(const FilterCriterion &criterion, int sortColumn, Qt::SortOrder order)
{
    if (m_pendingRow >= 0)
        return false;
    QString where;
    QVariantList binds;
    criterion.toSql(m_db, [this](int f) { return column(f); }, [this](int f) { return irregularDates(f); }, &where,
                    &binds);
    std::vector<qint64> keys;
    // A descending order on a column the file orders by itself is read ascending,
    // straight along the column's index, and turned round here; rows of equal
    // value keep the table's order. The server reads it as asked (the date has
    // an index each way): the values it would send to find rows of equal value
    // cost more than its own ordering.
    const bool turned = order == Qt::DescendingOrder && !IsServerConnection(m_db) && sortColumn >= 0
                        && sortColumn < m_fields.size()
                        && m_fields.at(sortColumn).kind != FieldKind::Text
                        && (m_fields.at(sortColumn).kind != FieldKind::Date || !irregularDates(sortColumn));
    std::vector<bool> same;
    if (!readKeys(where, binds, orderBy(sortColumn, turned ? Qt::AscendingOrder : order), &keys,
                  turned ? column(sortColumn) : QString(), turned ? &same : nullptr))
        return false;
    if (turned) {
        std::vector<qint64> down;
        down.reserve(keys.size());
        for (size_t end = keys.size(); end > 0;) {
            size_t begin = end - 1;
            while (begin > 0 && same[begin])
                --begin;
            down.insert(down.end(), keys.begin() + qsizetype(begin), keys.begin() + qsizetype(end));
            end = begin;
        }
        keys = std::move(down);
    }

    // Rows that could not be read are tried again.
    m_unread.clear();
    m_readFailing = false;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<qint64> kept;
    kept.reserve(size_t(before.size()));
    for (const QModelIndex &i : before)
        kept.push_back(m_keys[size_t(i.row())]);
    m_keys = std::move(keys);
    const std::vector<int> rows = rowsOfKeys(kept);
    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i)
        after << (rows[size_t(i)] >= 0 ? index(rows[size_t(i)], before.at(i).column()) : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return true;
}

std::vector<int> GrillaTableModel::rowsOfKeys(const std::vector<qint64> &keys) const
{
    std::vector<int> rows(keys.size(), -1);
    if (keys.empty())
        return rows;
    std::unordered_map<qint64, std::vector<size_t>> wanted;
    for (size_t i = 0; i < keys.size(); ++i)
        wanted[keys[i]].push_back(i);
    for (size_t r = 0; r < m_keys.size(); ++r) {
        const auto it = wanted.find(m_keys[r]);
        if (it != wanted.end())
            for (size_t i : it->second)
                rows[i] = int(r);
    }
    return rows;
}

const QVector<QVariant> *GrillaTableModel::rowValues(int row) const
{
    const qint64 key = m_keys[size_t(row)];
    auto it = m_cache.constFind(key);
    if (it != m_cache.constEnd())
        return &*it;
    if (m_unread.contains(key))
        return nullptr;
    if (m_cache.size() > kCacheLimit)
        m_cache.clear();
    // The rows around this one, in one statement: the grid asks for its rows a screen at a time.
    const int first = std::max(0, row - kBlockBefore);
    const int last = std::min(int(m_keys.size()) - 1, row + kBlockAfter);
    QVariantList binds;
    QStringList marks;
    std::vector<qint64> asked;
    for (int r = first; r <= last; ++r) {
        if ((r == m_pendingRow && m_pendingIsNew) || m_cache.contains(m_keys[size_t(r)]))
            continue;
        asked.push_back(m_keys[size_t(r)]);
        binds << keyValue(asked.back());
        marks << QStringLiteral("?");
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    bool read = q.prepare(QStringLiteral("SELECT ") + m_keySql + QStringLiteral(", ") + m_columns.join(QStringLiteral(", "))
                          + QStringLiteral(" FROM ") + m_tableSql + QStringLiteral(" WHERE ") + m_keySql + QStringLiteral(" IN (")
                          + marks.join(QLatin1Char(',')) + QLatin1Char(')'));
    if (read) {
        for (const QVariant &b : std::as_const(binds))
            q.addBindValue(b);
        read = q.exec();
    }
    if (!read) {
        // Never shown empty, which would read as stored values and could be
        // saved over the real ones. The grid asks while it paints, when no
        // message can open: the window tells the user afterwards.
        for (qint64 k : asked)
            m_unread.insert(k);
        if (!m_readFailing) {
            m_readFailing = true;
            emit const_cast<GrillaTableModel *>(this)->rowsUnreadable(q.lastError());
        }
        return nullptr;
    }
    m_readFailing = false;
    while (q.next()) {
        QVector<QVariant> values(m_fields.size());
        for (int c = 0; c < m_fields.size(); ++c)
            values[c] = q.value(c + 1);
        m_cache.insert(keyOfValue(q.value(0)), values);
    }
    it = m_cache.constFind(key);
    if (it != m_cache.constEnd())
        return &*it;
    // Gone from the table (deleted by another program): shown empty.
    return &*m_cache.insert(key, QVector<QVariant>(m_fields.size()));
}

QVariant GrillaTableModel::stored(int row, int column) const
{
    if (row < 0 || row >= int(m_keys.size()) || column < 0 || column >= m_fields.size())
        return QVariant();
    if (row == m_pendingRow)
        return m_edit.at(column);
    const QVector<QVariant> *values = rowValues(row);
    return values ? values->at(column) : QVariant();
}

int GrillaTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_keys.size());
}

int GrillaTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant GrillaTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const FieldKind kind = m_fields.at(index.column()).kind;
    if ((role == Qt::DisplayRole || role == Qt::EditRole) && index.row() != m_pendingRow && !rowValues(index.row()))
        return kUnreadText;
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(stored(index.row(), index.column()), kind, env().locale);
    case Qt::EditRole:
        // Offered for editing the way amounts are typed: with a point in every locale.
        return DisplayText(stored(index.row(), index.column()), kind,
                           kind == FieldKind::Integer || kind == FieldKind::Real ? QLocale::c() : env().locale);
    case Qt::TextAlignmentRole:
        if (kind == FieldKind::Integer || kind == FieldKind::Real)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant GrillaTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_fields.size())
        return m_fields.at(section).name;
    return QVariant();
}

Qt::ItemFlags GrillaTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool GrillaTableModel::readTyped(int column, const QVariant &typed, QVariant *value)
{
    if (column < 0 || column >= m_fields.size())
        return false;
    QString error;
    if (ReadTypedValue(typed, m_fields.at(column), env().locale, value, &error)
        && ReadCode(m_table, m_fields.at(column).name, value, &error))
        return true;
    emit valueRefused(error);
    return false;
}

bool GrillaTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    QVariant toStore;
    if (!readTyped(index.column(), value, &toStore))
        return false;
    const int row = index.row();
    if (m_pendingRow >= 0 && m_pendingRow != row && !writePending())
        return false;
    if (m_pendingRow != row) {
        // Read again, and told again when that fails: an edit never starts from values not read.
        m_unread.remove(m_keys[size_t(row)]);
        m_readFailing = false;
        const QVector<QVariant> *values = rowValues(row);
        if (!values)
            return false;
        m_edit = *values;
        m_editSet = QVector<bool>(m_fields.size(), false);
        m_pendingRow = row;
        m_pendingIsNew = false;
    }
    m_edit[index.column()] = toStore;
    m_editSet[index.column()] = true;
    emit dataChanged(index, index);
    emit headerDataChanged(Qt::Vertical, row, row);
    return true;
}

bool GrillaTableModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || count != 1 || row != rowCount() || m_pendingRow >= 0)
        return false;
    beginInsertRows(QModelIndex(), row, row);
    m_keys.push_back(0);
    m_edit = QVector<QVariant>(m_fields.size());
    m_editSet = QVector<bool>(m_fields.size(), false);
    m_pendingRow = row;
    m_pendingIsNew = true;
    endInsertRows();
    return true;
}

bool GrillaTableModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > rowCount())
        return false;
    for (int r = row + count - 1; r >= row; --r) {
        if (r == m_pendingRow && m_pendingIsNew) {
            revertRow(r);
            continue;
        }
        if (!removeTransfer(r, QVariant()))
            return false;
    }
    return true;
}

bool GrillaTableModel::removeTransfer(int row, const QVariant &partner)
{
    const qint64 key = m_keys[size_t(row)];
    // Whether other rows use this one is asked under the write lock, so
    // that no other program can start using it before it goes.
    m_refusal.clear();
    Transaction t(m_db, Transaction::Mode::Immediate, &m_lastError);
    if (!t.active() || !DeleteRefusal(m_db, m_table, keyValue(key), &m_refusal, &m_lastError) || !m_refusal.isEmpty()
        || !sameTransfer(keyValue(key), partner, true) || !deleteAndRecord(keyValue(key))
        || (!partner.isNull() && !deleteAndRecord(partner)) || !t.commit(&m_lastError))
        return false;
    if (!partner.isNull())
        dropKey(keyOfValue(partner));
    dropKey(key);
    return true;
}

bool GrillaTableModel::transferPartner(int row, QVariant *partner)
{
    return TransferPartner(m_db, m_table, keyValue(m_keys[size_t(row)]), partner, &m_lastError);
}

int GrillaTableModel::rowOfKey(const QVariant &key) const
{
    if (key.isNull())
        return -1;
    return rowsOfKeys({const_cast<GrillaTableModel *>(this)->keyOfValue(key)}).front();
}

void GrillaTableModel::dropKey(qint64 key)
{
    m_cache.remove(key);
    const int r = rowsOfKeys({key}).front();
    if (r < 0)
        return;
    beginRemoveRows(QModelIndex(), r, r);
    m_keys.erase(m_keys.begin() + r);
    if (m_pendingRow == r)
        clearPending();
    else if (m_pendingRow > r)
        --m_pendingRow;
    endRemoveRows();
}

void GrillaTableModel::refreshKey(qint64 key)
{
    m_cache.remove(key);
    const int r = rowsOfKeys({key}).front();
    if (r >= 0)
        rowChanged(r);
}

bool GrillaTableModel::isLedger() const
{
    return m_table.compare(QLatin1String("Movimiento"), Qt::CaseInsensitive) == 0;
}

int GrillaTableModel::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QStringList GrillaTableModel::fieldNames() const
{
    QStringList names;
    for (const GridField &f : m_fields)
        names << f.name;
    return names;
}

bool GrillaTableModel::readRow(const QVariant &key, QVector<QVariant> *values)
{
    values->clear();
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT ") + m_columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + m_tableSql
                   + QStringLiteral(" WHERE ") + m_keySql + QStringLiteral(" = ?"))) {
        m_lastError = q.lastError();
        return false;
    }
    q.addBindValue(key);
    if (!q.exec()) {
        m_lastError = q.lastError();
        return false;
    }
    if (q.next())
        for (int c = 0; c < m_fields.size(); ++c)
            *values << q.value(c);
    return true;
}

bool GrillaTableModel::record(const QList<ChangeEntry> &entries)
{
    try {
        RecordChanges(m_db, entries);
    } catch (const RuntimeError &e) {
        m_refusal = QStringLiteral("No se pudo anotar el cambio en el registro de cambios, y sin anotarlo no se "
                                   "guarda.\r\r")
                    + ErrorText(e);
        return false;
    }
    return true;
}

bool GrillaTableModel::deleteAndRecord(const QVariant &key)
{
    QVector<QVariant> before;
    if (!readRow(key, &before))
        return false;
    QSqlQuery q(m_db);
    if (!q.prepare(QStringLiteral("DELETE FROM ") + m_tableSql + QStringLiteral(" WHERE ") + m_keySql + QStringLiteral(" = ?"))) {
        m_lastError = q.lastError();
        return false;
    }
    q.addBindValue(key);
    if (!q.exec()) {
        m_lastError = q.lastError();
        return false;
    }
    // Gone already (another program deleted it): nothing to record.
    QList<ChangeEntry> entries = RowChanges(m_table, key, fieldNames(), before, {});
    HideAdminPassword(m_table, m_fields, before, {}, &entries);
    return before.isEmpty() || record(entries);
}

bool GrillaTableModel::sameTransfer(const QVariant &key, const QVariant &asked, bool deleting)
{
    QVariant partner;
    if (!TransferPartner(m_db, m_table, key, &partner, &m_lastError))
        return false;
    if (SameStoredValue(partner, asked))
        return true;
    if (!partner.isNull())
        m_refusal = (deleting ? QStringLiteral("El movimiento %1 es una mitad de una transferencia: se elimina junto "
                                               "con la otra mitad (el movimiento %2).")
                              : QStringLiteral("El movimiento %1 es una mitad de una transferencia: su importe y su "
                                               "fecha cambian junto con los de la otra mitad (el movimiento %2)."))
                        .arg(ChangeText(key).toString(), ChangeText(partner).toString());
    else
        m_refusal = QStringLiteral("La transferencia del movimiento %1 cambió mientras tanto: otro programa la "
                                   "modificó. No se guardó nada.")
                        .arg(ChangeText(key).toString());
    return false;
}

bool GrillaTableModel::deleteRefusal(int row, QString *refusal)
{
    return DeleteRefusal(m_db, m_table, keyValue(m_keys[size_t(row)]), refusal, &m_lastError);
}

void GrillaTableModel::clearPending()
{
    m_pendingRow = -1;
    m_pendingIsNew = false;
    m_edit.clear();
    m_editSet.clear();
}

void GrillaTableModel::rowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

void GrillaTableModel::revertRow(int row)
{
    if (row < 0 || row != m_pendingRow)
        return;
    if (m_pendingIsNew) {
        beginRemoveRows(QModelIndex(), row, row);
        m_keys.erase(m_keys.begin() + row);
        clearPending();
        endRemoveRows();
        return;
    }
    clearPending();
    rowChanged(row);
}

bool GrillaTableModel::pendingTransferEdit(TransferEdit *edit)
{
    *edit = TransferEdit();
    if (m_pendingRow < 0 || m_pendingIsNew || !isLedger())
        return true;
    const QVector<QVariant> *shown = rowValues(m_pendingRow);
    if (!shown)
        return true; // not read: writing it reads it again, under the lock
    for (const QString &name : {QStringLiteral("Importe"), QStringLiteral("Fecha")}) {
        const int c = fieldIndex(name);
        if (c >= 0 && m_editSet.at(c) && !SameStoredValue(shown->at(c), m_edit.at(c)))
            edit->fields << m_fields.at(c).name;
    }
    if (edit->fields.isEmpty())
        return true;
    return TransferPartner(m_db, m_table, keyValue(m_keys[size_t(m_pendingRow)]), &edit->partner, &m_lastError);
}

bool GrillaTableModel::writePending(const QVariant &alsoPartner)
{
    if (m_pendingRow < 0)
        return true;
    const int row = m_pendingRow;
    QStringList names, marks;
    QVariantList values;
    for (int c = 0; c < m_fields.size(); ++c) {
        if (!m_editSet.at(c))
            continue;
        names << column(c);
        marks << QStringLiteral("?");
        values << m_edit.at(c);
    }
    QString sql;
    if (m_pendingIsNew) {
        sql = names.isEmpty() ? QStringLiteral("INSERT INTO ") + m_tableSql + QStringLiteral(" DEFAULT VALUES")
                              : QStringLiteral("INSERT INTO ") + m_tableSql + QStringLiteral(" (")
                                    + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
                                    + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    } else {
        if (names.isEmpty()) {
            clearPending();
            rowChanged(row);
            return true;
        }
        sql = QStringLiteral("UPDATE ") + m_tableSql + QStringLiteral(" SET ")
              + names.join(QStringLiteral(" = ?, ")) + QStringLiteral(" = ? WHERE ") + m_keySql + QStringLiteral(" = ?");
        values << keyValue(m_keys[size_t(row)]);
    }
    // The rules that depend on other rows are checked under the write lock.
    m_refusal.clear();
    Transaction t(m_db, Transaction::Mode::Immediate, &m_lastError);
    const QVariant rowKey = m_pendingIsNew ? QVariant() : keyValue(m_keys[size_t(row)]);
    if (!t.active()
        || !WriteRefusal(m_db, m_table, m_fields, rowKey, m_edit, m_editSet, &m_refusal, &m_lastError)
        || !m_refusal.isEmpty())
        return false;
    const qint64 oldKey = m_keys[size_t(row)];
    qint64 key = oldKey;
    QList<ChangeEntry> entries;
    QVariant partner; // the other half of a transfer that changes with this row
    QStringList partnerColumns;
    QVariantList partnerValues;
    if (m_pendingIsNew) {
        QVector<QVariant> after;
        try {
            key = keyOfValue(InsertReturningKey(m_db, sql, values,
                                                m_keyColumn >= 0 ? m_fields.at(m_keyColumn).name : m_keySql));
        } catch (const StorageError &e) {
            m_lastError = e.sqlError();
            return false;
        }
        // As the table stored it, with the key it gave.
        if (!readRow(keyValue(key), &after))
            return false;
        entries = RowChanges(m_table, keyValue(key), fieldNames(), {}, after);
        HideAdminPassword(m_table, m_fields, {}, after, &entries);
    } else {
        // What the row holds now, under the lock: what the record says it held.
        QVector<QVariant> before;
        if (!readRow(rowKey, &before))
            return false;
        // Another program may have deleted the row since it was shown: an update
        // that changes nothing must not pass for a stored edit.
        if (before.isEmpty()) {
            m_refusal = QStringLiteral("Este registro ya no está en la tabla %1: otro programa lo eliminó. "
                                       "Sus cambios no se guardaron.").arg(m_table);
            return false;
        }
        QVector<QVariant> after = before;
        for (int c = 0; c < m_fields.size(); ++c)
            if (m_editSet.at(c))
                after[c] = m_edit.at(c);
        // A transfer's amount and date are its two halves'.
        if (isLedger()) {
            for (const QString &name : {QStringLiteral("Importe"), QStringLiteral("Fecha")}) {
                const int c = fieldIndex(name);
                if (c >= 0 && !SameStoredValue(before.at(c), after.at(c))) {
                    partnerColumns << column(c);
                    partnerValues << after.at(c);
                }
            }
            if (!partnerColumns.isEmpty()) {
                if (!sameTransfer(rowKey, alsoPartner, false))
                    return false;
                partner = alsoPartner;
            }
        }
        QSqlQuery q(m_db);
        if (!q.prepare(sql)) {
            m_lastError = q.lastError();
            return false;
        }
        for (const QVariant &v : std::as_const(values))
            q.addBindValue(v);
        if (!q.exec()) {
            m_lastError = q.lastError();
            return false;
        }
        if (q.numRowsAffected() == 0) {
            m_refusal = QStringLiteral("Este registro ya no está en la tabla %1: otro programa lo eliminó. "
                                       "Sus cambios no se guardaron.").arg(m_table);
            return false;
        }
        entries = RowChanges(m_table, rowKey, fieldNames(), before, after);
        HideAdminPassword(m_table, m_fields, before, after, &entries);
        // A changed key moves the row's key.
        if (m_keyColumn >= 0 && m_editSet.at(m_keyColumn) && !m_edit.at(m_keyColumn).isNull())
            key = keyOfValue(m_edit.at(m_keyColumn));
    }
    if (!partner.isNull()) {
        QVector<QVariant> before;
        if (!readRow(partner, &before))
            return false;
        QVector<QVariant> after = before;
        for (int i = 0; i < partnerColumns.size(); ++i)
            after[m_columns.indexOf(partnerColumns.at(i))] = partnerValues.at(i);
        QSqlQuery q(m_db);
        if (!q.prepare(QStringLiteral("UPDATE ") + m_tableSql + QStringLiteral(" SET ")
                       + partnerColumns.join(QStringLiteral(" = ?, ")) + QStringLiteral(" = ? WHERE ") + m_keySql
                       + QStringLiteral(" = ?"))) {
            m_lastError = q.lastError();
            return false;
        }
        for (const QVariant &v : std::as_const(partnerValues))
            q.addBindValue(v);
        q.addBindValue(partner);
        if (!q.exec()) {
            m_lastError = q.lastError();
            return false;
        }
        entries += RowChanges(m_table, partner, fieldNames(), before, after);
    }
    if (!record(entries) || !t.commit(&m_lastError))
        return false;
    m_cache.remove(oldKey);
    m_cache.remove(key);
    m_keys[size_t(row)] = key;
    clearPending();
    rowChanged(row); // shown again as the table now holds it
    if (!partner.isNull())
        refreshKey(keyOfValue(partner));
    return true;
}

// ---------------------------------------------------------------------------
// GrillaProxy: the source's rows one to one, and the new-row line below them.

GrillaProxy::GrillaProxy(GrillaTableModel *source, QObject *parent)
    : QAbstractTableModel(parent), m_source(source)
{
    connect(source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &a, const QModelIndex &b) {
                emit dataChanged(index(a.row(), a.column()), index(b.row(), b.column()));
            });
    connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this, [this](const QModelIndex &, int first, int last) {
        // A row started on the new-row line takes the line's place; a fresh
        // line appears below it.
        const int at = m_startingRow ? first + 1 : first;
        beginInsertRows(QModelIndex(), at, at + (last - first));
    });
    connect(source, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int) {
        endInsertRows();
        if (m_startingRow)
            emit headerDataChanged(Qt::Vertical, first, first + 1);
    });
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { beginRemoveRows(QModelIndex(), first, last); });
    connect(source, &QAbstractItemModel::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(source, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); });
    connect(source, &QAbstractItemModel::headerDataChanged, this, [this](Qt::Orientation o, int first, int last) {
        emit headerDataChanged(o, first, last);
    });
    // A new selection or order: the current cell and the selection stay on
    // their rows, wherever those now are.
    auto kept = std::make_shared<std::pair<QModelIndexList, std::vector<qint64>>>();
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, [this, kept] {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        kept->first = persistentIndexList();
        kept->second.clear();
        for (const QModelIndex &i : std::as_const(kept->first))
            kept->second.push_back(isNewRowLine(i.row()) ? -1 : m_source->keyOf(i.row()));
    });
    connect(source, &QAbstractItemModel::layoutChanged, this, [this, kept] {
        const std::vector<int> rows = m_source->rowsOfKeys(kept->second);
        QModelIndexList after;
        for (int i = 0; i < kept->first.size(); ++i) {
            const int row = kept->second[size_t(i)] == -1 && isNewRowLine(kept->first.at(i).row())
                                ? shownRows()
                                : rows[size_t(i)];
            after << (row >= 0 ? index(row, kept->first.at(i).column()) : QModelIndex());
        }
        changePersistentIndexList(kept->first, after);
        kept->first.clear();
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    });
}

int GrillaProxy::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shownRows() + 1;
}

int GrillaProxy::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_source->columnCount();
}

QVariant GrillaProxy::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (isNewRowLine(index.row())) // shown as a row whose every value is empty
        return role == Qt::DisplayRole || role == Qt::EditRole ? QVariant(QString()) : QVariant();
    return m_source->data(m_source->index(index.row(), index.column()), role);
}

bool GrillaProxy::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    if (!isNewRowLine(index.row()))
        return m_source->setData(m_source->index(index.row(), index.column()), value, role);

    // Typing on the new-row line starts a new row.
    QVariant toStore;
    if (!m_source->readTyped(index.column(), value, &toStore))
        return false;
    if (toStore.isNull())
        return true; // nothing typed: no row started
    if (beforeNewRow && !beforeNewRow())
        return false;
    m_startingRow = true;
    const bool started = m_source->insertRow(m_source->rowCount());
    m_startingRow = false;
    if (!started)
        return false;
    return m_source->setData(m_source->index(m_source->rowCount() - 1, index.column()), value, role);
}

Qt::ItemFlags GrillaProxy::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant GrillaProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal)
        return m_source->headerData(section, orientation, role);
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignCenter);
    if (role != Qt::DisplayRole || section < 0 || section >= rowCount())
        return QVariant();
    // The record selector: the new-row line, the row with unwritten changes, the current row.
    if (isNewRowLine(section))
        return QStringLiteral("*");
    if (section == m_source->pendingRow())
        return QStringLiteral("\u270E");
    if (section == m_currentRow)
        return QStringLiteral("\u25BA");
    return QString();
}

bool GrillaProxy::submit()
{
    return onSubmit ? onSubmit() : true;
}

void GrillaProxy::setCurrentRow(int row)
{
    const int old = m_currentRow;
    m_currentRow = row;
    if (old >= 0 && old < rowCount())
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < rowCount())
        emit headerDataChanged(Qt::Vertical, row, row);
}

bool GrillaProxy::setCriterion(const FilterCriterion &criterion)
{
    const FilterCriterion before = m_criterion;
    m_criterion = criterion;
    if (rebuild())
        return true;
    m_criterion = before;
    return false;
}

bool GrillaProxy::sortBy(int column, Qt::SortOrder order)
{
    const int beforeColumn = m_sortColumn;
    const Qt::SortOrder beforeOrder = m_order;
    m_sortColumn = column;
    m_order = order;
    if (rebuild())
        return true;
    m_sortColumn = beforeColumn;
    m_order = beforeOrder;
    return false;
}

bool GrillaProxy::rebuild()
{
    return m_source->select(m_criterion, m_sortColumn, m_order);
}
