#pragma once
// The table editor: one whole table in an editable grid. Rows are added on the
// new-row line at the bottom, changed in place and deleted; each row is written
// to the table as soon as the user leaves it (or presses Enter). A click on a
// column header sorts by that column, a double-click on the grid sets or
// removes a filter.
#include "masterdata/FilterCriterion.h"
#include "masterdata/GrillaModel.h"

#include <QStyledItemDelegate>
#include <QTableView>
#include <QWidget>


// The grid: a table view that reports double-clicks anywhere on it, and the
// Escape and Delete keys pressed while no cell is being edited.
class GrillaView : public QTableView
{
    Q_OBJECT
public:
    using QTableView::QTableView;
    // Writes the open cell editor's text to the model and closes it.
    void commitOpenEditor();

signals:
    void gridDoubleClicked();
    void escapePressed();
    void deletePressed();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// Every cell is edited as text in a line editor; the model reads the text as
// the field's kind (number, date, text) in the user's locale.
class GrillaDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
};

class frmGrilla : public QWidget
{
    Q_OBJECT
public:
    explicit frmGrilla(QWidget *parent = nullptr);
    ~frmGrilla() override;

    // Opens `table` on a connection of the window's own and sets the caption.
    // False, after telling the user, when the table cannot be read.
    bool Load(const QString &table);

    QString tableName() const { return m_table; }
    GrillaView *grid() const { return m_grid; }
    GrillaProxy *rows() const { return m_proxy; }
    bool filterOn() const { return m_filterOn; }
    int lastSortedColumn() const { return m_lastSortedColumn; }
    bool ascending() const { return m_ascending; }

    // A double-click on the grid: removes the filter, or asks for one.
    void tdbgGrilla_DblClick();
    // A change of the grid's column selection (a click on a header selects a
    // column): sorts by the selected column, ascending on the first click and
    // alternating on the next ones.
    void tdbgGrilla_SelChange();
    // Deletes the selected rows (or the current one), after asking.
    void DeleteRows();
    // Gives up the changes not yet written of the row being edited.
    void DiscardRowChanges();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // How a refusal is told: now; once the current event is over; as a
    // question whether to close anyway; or, for a row already refused and not
    // changed since, not again (the grid asks to write on every row change,
    // also when it comes back to that row).
    enum class Tell { Now, Later, Closing, Quietly };
    // Writes the row with pending changes. When the table refuses it the row
    // stays in the grid, the user is told, and false is returned.
    bool savePendingRow(Tell tell);
    QString refusalText() const;
    // Whether the other half of a transfer changes with the pending row (the user's answer).
    bool askTransfer(const GrillaTableModel::TransferEdit &transfer);
    // The same question, once the current event is over.
    void askTransferLater();
    // After a ledger row is written or deleted: the balances shown again.
    void ledgerChanged();
    void currentRowChanged(const QModelIndex &current, const QModelIndex &previous);
    void clearColumnSelection();
    // The filter or the order could not be applied: the database's error.
    void showQueryError();
    void showSortIndicator();

    GrillaTableModel *m_model = nullptr; // datGrilla
    GrillaProxy *m_proxy = nullptr;
    GrillaView *m_grid = nullptr; // tdbgGrilla
    QString m_connection;
    QString m_table;

    bool m_filterOn = false;
    qint16 m_lastSortedColumn = 0;
    bool m_ascending = false;

    bool m_refused = false;        // the pending row was refused and not changed since
    bool m_refusalQueued = false;  // a refusal message is waiting to be shown
    bool m_transferQueued = false; // the question about a transfer's other half is waiting
    QString m_refusal;             // why the table refused the pending row
    bool m_sized = false;
};
