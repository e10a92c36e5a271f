#pragma once
// The table editor's data: GrillaTableModel holds every row of one table, read
// on a connection of the editor's own, and writes each changed, added or
// deleted row straight back to the table; GrillaProxy is what the grid shows:
// the rows in the chosen order, those passing the filter, and the empty
// new-row line at the bottom.
#include "masterdata/FilterCriterion.h"
#include "masterdata/GridValues.h"

#include <QAbstractTableModel>
#include <QSet>
#include <QSqlTableModel>
#include <functional>

class GrillaTableModel : public QSqlTableModel
{
    Q_OBJECT
public:
    GrillaTableModel(QObject *parent, const QSqlDatabase &db);

    // Reads the whole table. False (with the database's error in lastError()) when it cannot.
    bool open(const QString &table);
    const QList<GridField> &fields() const { return m_fields; }

    // The value as stored (or as pending to be stored).
    QVariant stored(int row, int column) const;
    // Display and edit roles give the value as the user reads it in env().locale.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Takes what the user typed; refuses (valueRefused, false) what the field cannot hold.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // The stored value for what the user typed; emits valueRefused when the field cannot hold it.
    bool readTyped(int column, const QVariant &typed, QVariant *stored);

    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    void revertRow(int row) override;
    // Writes the row with pending changes; false (details in lastError()) when the table refuses it.
    bool writePending();

    // The row holding changes not yet written, or -1.
    int pendingRow() const { return m_pendingRow; }
    // True when that row is a new one, not yet in the table.
    bool pendingIsNew() const { return m_pendingIsNew; }
    // Rows deleted from the table (they stay in the model, empty, until the next read).
    bool isDeleted(int row) const { return m_deleted.contains(row); }

signals:
    void valueRefused(const QString &message);

protected:
    bool deleteRowFromTable(int row) override;

private:
    QList<GridField> m_fields;
    int m_pendingRow = -1;
    bool m_pendingIsNew = false;
    QSet<int> m_deleted;
};

class GrillaProxy : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit GrillaProxy(GrillaTableModel *source, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool submit() override;
    void revert() override {}

    // Rows of the table shown (the new-row line not counted).
    int shownRows() const { return int(m_rows.size()); }
    bool isNewRowLine(int row) const { return row == shownRows(); }
    int sourceRow(int row) const;
    int rowOfSource(int sourceRow) const;

    // Shows only the rows passing `criterion` (an empty one shows all), in the current order.
    void setCriterion(const FilterCriterion &criterion);
    // Orders the rows shown by a column; -1 keeps the table's own order.
    void sortBy(int column, Qt::SortOrder order);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_order; }

    // The row marked as current in the record selector.
    void setCurrentRow(int row);

    // Called before a new row is started; false keeps it from starting.
    std::function<bool()> beforeNewRow;
    // Called when the grid asks to write the row being edited.
    std::function<bool()> onSubmit;

private:
    void rebuild();
    std::vector<int> filteredRows() const;
    void sortRows(std::vector<int> &rows) const;
    void sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void sourceRowsInserted(const QModelIndex &parent, int first, int last);
    void sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void sourceRowsRemoved(const QModelIndex &parent, int first, int last);
    void dropRow(int row);
    void remap();

    GrillaTableModel *m_source;
    std::vector<int> m_rows; // source rows in the order shown
    std::vector<int> m_pos;  // for each source row its row shown, or -1
    FilterCriterion m_criterion;
    int m_sortColumn = -1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
    int m_currentRow = -1;
    bool m_startingRow = false;
};
