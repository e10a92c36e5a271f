#pragma once
// The table editor's data. GrillaTableModel is one table, read on a
// connection of the editor's own: it holds only the primary keys of the rows
// selected, in the order shown, and reads the rows' values by key as the grid
// asks for them, so a table of a million rows opens at once. Filtering and
// ordering are the database's, written for its engine (TableInfo.h); each
// changed, added or deleted row is written straight back to the table, found
// by its key, and put in the record of changes (ChangeRecord.h) in the same
// transaction: an edit is stored with its record or not at all. GrillaProxy is what the grid shows: those rows and the empty
// new-row line at the bottom.
#include "data/ChangeRecord.h"
#include "masterdata/FilterCriterion.h"
#include "masterdata/GridValues.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <functional>
#include <vector>

class GrillaTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    GrillaTableModel(QObject *parent, const QSqlDatabase &db);

    // Reads the keys of the whole table. False (with the database's error in
    // lastError()) when it cannot.
    bool open(const QString &table);
    const QList<GridField> &fields() const { return m_fields; }
    QSqlError lastError() const { return m_lastError; }
    // Why the last write or deletion was refused by the editor's own rules
    // (a row that others use, the administrator password); "" when the
    // database refused it (lastError()).
    QString lastRefusal() const { return m_refusal; }

    // Selects again the rows passing `criterion`, ordered by `sortColumn`
    // (-1: the table's own order); rows of equal value keep the table's order.
    // Not while a row has unwritten changes. False (lastError()) on failure,
    // the rows then stay as they were.
    bool select(const FilterCriterion &criterion, int sortColumn, Qt::SortOrder order);

    // What names a row in the model while it is open (its key, or for a
    // table keyed by a text, that text's number here), and the rows of some
    // of those (-1: not shown).
    qint64 keyOf(int row) const { return m_keys[size_t(row)]; }
    std::vector<int> rowsOfKeys(const std::vector<qint64> &keys) const;

    // The value as stored (or as pending to be stored).
    QVariant stored(int row, int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    // Display and edit roles give the value as the user reads it in env().locale.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Takes what the user typed; refuses (valueRefused, false) what the field cannot hold.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // The stored value for what the user typed; emits valueRefused when the field cannot hold it.
    bool readTyped(int column, const QVariant &typed, QVariant *stored);

    // Starts one new row, at the end only.
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    // Deletes rows from the table at once; false (lastRefusal() or lastError()) when refused.
    // One half of a transfer is refused: it goes with its other half (removeTransfer).
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    // The other half of the transfer whose one half is shown at `row`: its
    // key, or null (TransferPartner). False (lastError()) when reading fails.
    bool transferPartner(int row, QVariant *partner);
    // Deletes the row and `partner`, the other half of its transfer as
    // transferPartner gave it, together; false (lastRefusal() or lastError())
    // when refused, also when the transfer changed meanwhile.
    bool removeTransfer(int row, const QVariant &partner);
    // The row showing the row keyed `key` (as the table holds it), or -1.
    int rowOfKey(const QVariant &key) const;
    // Why a row may not be deleted, read now ("" when it may); false (lastError()) when reading fails.
    bool deleteRefusal(int row, QString *refusal);
    // Gives up the changes of the row (a new row leaves the model).
    void revertRow(int row);
    // A transfer's half whose amount or date the pending changes change: the
    // other half's key (null for any other row or change) and those fields.
    struct TransferEdit
    {
        QVariant partner;
        QStringList fields; // "Importe", "Fecha", as the table names them
    };
    // For the pending row, read now; false (lastError()) when reading fails.
    bool pendingTransferEdit(TransferEdit *edit);
    // Writes the row with pending changes; false (lastRefusal() or lastError())
    // when refused. The amount or date of a transfer's half is written only
    // with `alsoPartner`, the other half's key as pendingTransferEdit gave it,
    // which then gets the same amount and date in the same transaction.
    bool writePending(const QVariant &alsoPartner = QVariant());
    // True for a row whose values could not be read: shown as kUnreadText, and
    // read again when the user edits it or the rows are selected again.
    bool unread(int row) const { return m_unread.contains(m_keys[size_t(row)]); }
    static const QString kUnreadText;

    // The row holding changes not yet written, or -1.
    int pendingRow() const { return m_pendingRow; }
    // True when that row is a new one, not yet in the table.
    bool pendingIsNew() const { return m_pendingIsNew; }

signals:
    void valueRefused(const QString &message);
    // Rows could not be read (each failure after a good reading is told once).
    void rowsUnreadable(const QSqlError &error);

private:
    QString column(int field) const { return m_columns.at(field); }
    bool irregularDates(int field) const;
    // The keys a statement selects, in order; with `tieColumn`, also whether
    // each row's value there equals the previous row's.
    bool readKeys(const QString &where, const QVariantList &binds, const QString &orderBy,
                  std::vector<qint64> *keys, const QString &tieColumn = QString(),
                  std::vector<bool> *sameAsPrevious = nullptr);
    QString orderBy(int sortColumn, Qt::SortOrder order) const;
    // The row's values as stored; nullptr when they cannot be read.
    const QVector<QVariant> *rowValues(int row) const;
    void fail(const QString &text, int code);
    void clearPending();
    void rowChanged(int row);
    // The row keyed `key` as the table holds it now, every field; empty when
    // it is gone. False (m_lastError) when reading fails.
    bool readRow(const QVariant &key, QVector<QVariant> *values);
    // Deletes the row keyed `key` and records it, inside the caller's transaction.
    bool deleteAndRecord(const QVariant &key);
    // Records entries inside the caller's transaction; false (m_refusal) when it cannot.
    bool record(const QList<ChangeEntry> &entries);
    // Whether the transfer of the row keyed `key` is still the one the user was asked about.
    bool sameTransfer(const QVariant &key, const QVariant &asked, bool deleting);
    bool isLedger() const;
    int fieldIndex(const QString &name) const;
    QStringList fieldNames() const;
    // A row left the table (or was changed by the editor): the model follows.
    void dropKey(qint64 key);
    void refreshKey(qint64 key);

    QSqlDatabase m_db;
    QString m_tableSql;        // the table's name, quoted for SQL
    QStringList m_columns;     // each field's name, quoted for SQL
    QList<GridField> m_fields;
    // The row's key as bound in SQL, and the one the model holds.
    QVariant keyValue(qint64 key) const;
    qint64 keyOfValue(const QVariant &value) const;

    int m_keyColumn = -1;      // the field that is the primary key
    QString m_keySql;          // its name, quoted for SQL
    bool m_textKey = false;    // a key that is a text, numbered here in order of reading
    mutable QHash<QString, qint64> m_textKeyNumbers;
    mutable QStringList m_textKeys;    // the text of number n at n - 1
    std::vector<qint64> m_keys; // the rows shown, in order (a new row's entry is 0)
    mutable QHash<qint64, QVector<QVariant>> m_cache;
    mutable QSet<qint64> m_unread;  // rows whose reading failed
    mutable bool m_readFailing = false;
    mutable QHash<int, bool> m_irregular;
    QVector<QVariant> m_edit;  // the pending row's values
    QVector<bool> m_editSet;   // which of them the user set
    int m_pendingRow = -1;
    bool m_pendingIsNew = false;
    QSqlError m_lastError;
    QString m_refusal;
    QString m_table;
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
    int shownRows() const { return m_source->rowCount(); }
    bool isNewRowLine(int row) const { return row == shownRows(); }
    int sourceRow(int row) const { return row >= 0 && row < shownRows() ? row : -1; }
    int rowOfSource(int sourceRow) const { return sourceRow >= 0 && sourceRow < shownRows() ? sourceRow : -1; }

    // Shows only the rows passing `criterion` (an empty one shows all), in the
    // current order. False (the source's lastError()) when SQLite fails.
    bool setCriterion(const FilterCriterion &criterion);
    // Orders the rows shown by a column; -1 keeps the table's own order.
    bool sortBy(int column, Qt::SortOrder order);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_order; }

    // The row marked as current in the record selector.
    void setCurrentRow(int row);

    // Called before a new row is started; false keeps it from starting.
    std::function<bool()> beforeNewRow;
    // Called when the grid asks to write the row being edited.
    std::function<bool()> onSubmit;

private:
    bool rebuild();

    GrillaTableModel *m_source;
    FilterCriterion m_criterion;
    int m_sortColumn = -1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
    int m_currentRow = -1;
    bool m_startingRow = false;
};
