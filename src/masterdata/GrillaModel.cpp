#include "masterdata/GrillaModel.h"
#include "data/Environment.h"

#include <QCollator>
#include <QSqlField>
#include <QSqlRecord>
#include <algorithm>

// ---------------------------------------------------------------------------
// GrillaTableModel

GrillaTableModel::GrillaTableModel(QObject *parent, const QSqlDatabase &db) : QSqlTableModel(parent, db)
{
    setEditStrategy(OnRowChange);
    // A pending new row that is given up leaves the model: later rows move up.
    connect(this, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex &, int first, int last) {
        QSet<int> moved;
        for (int r : std::as_const(m_deleted))
            if (r < first)
                moved.insert(r);
            else if (r > last)
                moved.insert(r - (last - first + 1));
        m_deleted = moved;
    });
}

bool GrillaTableModel::open(const QString &table)
{
    setTable(table);
    m_fields.clear();
    m_deleted.clear();
    m_pendingRow = -1;
    const QSqlRecord rec = record();
    if (rec.isEmpty() || !select())
        return false;
    // The whole table is read: sorting and filtering work on the rows read,
    // and the read leaves no statement open on the database.
    while (canFetchMore())
        fetchMore();
    for (int i = 0; i < rec.count(); ++i)
        m_fields << GridField{rec.fieldName(i), KindOfField(table, rec.field(i))};
    return true;
}

QVariant GrillaTableModel::stored(int row, int column) const
{
    return QSqlTableModel::data(index(row, column), Qt::EditRole);
}

QVariant GrillaTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= m_fields.size())
        return QSqlTableModel::data(index, role);
    const FieldKind kind = m_fields.at(index.column()).kind;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return DisplayText(stored(index.row(), index.column()), kind, env().locale);
    case Qt::TextAlignmentRole:
        if (kind == FieldKind::Integer || kind == FieldKind::Real)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QSqlTableModel::data(index, role);
    }
}

bool GrillaTableModel::readTyped(int column, const QVariant &typed, QVariant *value)
{
    if (column < 0 || column >= m_fields.size())
        return false;
    QString error;
    if (ReadTypedValue(typed, m_fields.at(column), env().locale, value, &error))
        return true;
    emit valueRefused(error);
    return false;
}

bool GrillaTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole)
        return QSqlTableModel::setData(index, value, role);
    QVariant toStore;
    if (!index.isValid() || !readTyped(index.column(), value, &toStore))
        return false;
    if (!QSqlTableModel::setData(index, toStore, role))
        return false;
    if (isDirty() && m_pendingRow != index.row()) {
        m_pendingRow = index.row();
        m_pendingIsNew = false;
    }
    return true;
}

bool GrillaTableModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (!QSqlTableModel::insertRows(row, count, parent))
        return false;
    m_pendingRow = row;
    m_pendingIsNew = true;
    return true;
}

void GrillaTableModel::revertRow(int row)
{
    if (row == m_pendingRow)
        m_pendingRow = -1;
    QSqlTableModel::revertRow(row);
}

bool GrillaTableModel::writePending()
{
    if (!QSqlTableModel::submitAll())
        return false;
    m_pendingRow = -1;
    return true;
}

bool GrillaTableModel::deleteRowFromTable(int row)
{
    if (!QSqlTableModel::deleteRowFromTable(row))
        return false;
    m_deleted.insert(row);
    return true;
}

// ---------------------------------------------------------------------------
// GrillaProxy

GrillaProxy::GrillaProxy(GrillaTableModel *source, QObject *parent)
    : QAbstractTableModel(parent), m_source(source)
{
    connect(source, &QAbstractItemModel::dataChanged, this, &GrillaProxy::sourceDataChanged);
    connect(source, &QAbstractItemModel::rowsInserted, this, &GrillaProxy::sourceRowsInserted);
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, &GrillaProxy::sourceRowsAboutToBeRemoved);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &GrillaProxy::sourceRowsRemoved);
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(source, &QAbstractItemModel::modelReset, this, [this] {
        m_rows = filteredRows();
        sortRows(m_rows);
        remap();
        endResetModel();
    });
    connect(source, &QAbstractItemModel::headerDataChanged, this,
            [this](Qt::Orientation o, int first, int last) {
                if (o == Qt::Horizontal) {
                    emit headerDataChanged(o, first, last);
                    return;
                }
                for (int s = first; s <= last; ++s)
                    if (rowOfSource(s) >= 0)
                        emit headerDataChanged(o, rowOfSource(s), rowOfSource(s));
            });
    m_rows = filteredRows();
    remap();
}

int GrillaProxy::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shownRows() + 1;
}

int GrillaProxy::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_source->columnCount();
}

int GrillaProxy::sourceRow(int row) const
{
    return row >= 0 && row < shownRows() ? m_rows[size_t(row)] : -1;
}

int GrillaProxy::rowOfSource(int sourceRow) const
{
    return sourceRow >= 0 && sourceRow < int(m_pos.size()) ? m_pos[size_t(sourceRow)] : -1;
}

void GrillaProxy::remap()
{
    m_pos.assign(size_t(m_source->rowCount()), -1);
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i] >= 0 && m_rows[i] < int(m_pos.size()))
            m_pos[size_t(m_rows[i])] = int(i);
}

QVariant GrillaProxy::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || isNewRowLine(index.row()))
        return QVariant();
    return m_source->data(m_source->index(sourceRow(index.row()), index.column()), role);
}

bool GrillaProxy::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    if (!isNewRowLine(index.row()))
        return m_source->setData(m_source->index(sourceRow(index.row()), index.column()), value, role);

    // Typing on the new-row line starts a new row, which takes the line's
    // place; a fresh new-row line appears below it.
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
    if (isNewRowLine(index.row()))
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    return m_source->flags(m_source->index(sourceRow(index.row()), index.column()));
}

QVariant GrillaProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal)
        return m_source->headerData(section, orientation, role);
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    // The record selector: the new-row line, the row with unwritten changes, the current row.
    if (isNewRowLine(section))
        return QStringLiteral("*");
    if (sourceRow(section) >= 0 && sourceRow(section) == m_source->pendingRow())
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

void GrillaProxy::setCriterion(const FilterCriterion &criterion)
{
    m_criterion = criterion;
    rebuild();
}

void GrillaProxy::sortBy(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_order = order;
    rebuild();
}

std::vector<int> GrillaProxy::filteredRows() const
{
    std::vector<int> rows;
    const int n = m_source->rowCount();
    rows.reserve(size_t(n));
    for (int s = 0; s < n; ++s) {
        if (m_source->isDeleted(s))
            continue;
        if (m_criterion.matches([&](int column) { return m_source->stored(s, column); }))
            rows.push_back(s);
    }
    return rows;
}

void GrillaProxy::sortRows(std::vector<int> &rows) const
{
    if (m_sortColumn < 0 || m_sortColumn >= m_source->fields().size()) {
        std::sort(rows.begin(), rows.end());
        return;
    }
    const FieldKind kind = m_source->fields().at(m_sortColumn).kind;
    QCollator collator(env().locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(rows.begin(), rows.end()); // equal values keep the table's order
    std::vector<std::pair<SortKey, int>> keyed;
    keyed.reserve(rows.size());
    for (int s : rows)
        keyed.emplace_back(MakeSortKey(m_source->stored(s, m_sortColumn), kind), s);
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto &a, const auto &b) {
        const int c = CompareKeys(a.first, b.first, kind, collator);
        if (c != 0)
            return m_order == Qt::AscendingOrder ? c < 0 : c > 0;
        return a.second < b.second;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        rows[i] = keyed[i].second;
}

void GrillaProxy::rebuild()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> sources; // source row of each, -2 for the new-row line
    sources.reserve(size_t(before.size()));
    for (const QModelIndex &i : before)
        sources.push_back(isNewRowLine(i.row()) ? -2 : sourceRow(i.row()));

    m_rows = filteredRows();
    sortRows(m_rows);
    remap();

    QModelIndexList after;
    after.reserve(before.size());
    for (int i = 0; i < before.size(); ++i) {
        const int s = sources[size_t(i)];
        const int row = s == -2 ? shownRows() : rowOfSource(s);
        after << (row >= 0 ? index(row, before.at(i).column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void GrillaProxy::dropRow(int row)
{
    if (row < 0 || row >= shownRows())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    remap();
    endRemoveRows();
}

void GrillaProxy::sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    int first = -1, last = -1;
    for (int s = topLeft.row(); s <= bottomRight.row(); ++s) {
        if (m_source->isDeleted(s)) {
            dropRow(rowOfSource(s));
            continue;
        }
        const int row = rowOfSource(s);
        if (row < 0)
            continue;
        first = first < 0 ? row : std::min(first, row);
        last = std::max(last, row);
    }
    if (first >= 0)
        emit dataChanged(index(first, topLeft.column()), index(last, bottomRight.column()));
}

void GrillaProxy::sourceRowsInserted(const QModelIndex &, int first, int last)
{
    const int count = last - first + 1;
    for (int &s : m_rows)
        if (s >= first)
            s += count;
    for (int s = first; s <= last; ++s) {
        // A row started on the new-row line keeps the line's place.
        const int at = m_startingRow ? shownRows() + 1 : shownRows();
        beginInsertRows(QModelIndex(), at, at);
        m_rows.push_back(s);
        remap();
        endInsertRows();
        if (m_startingRow)
            emit headerDataChanged(Qt::Vertical, at - 1, at);
    }
}

void GrillaProxy::sourceRowsAboutToBeRemoved(const QModelIndex &, int first, int last)
{
    for (int s = last; s >= first; --s)
        dropRow(rowOfSource(s));
}

void GrillaProxy::sourceRowsRemoved(const QModelIndex &, int first, int last)
{
    const int count = last - first + 1;
    for (int &s : m_rows)
        if (s > last)
            s -= count;
    remap();
}
