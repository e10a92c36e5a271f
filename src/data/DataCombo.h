#pragma once
// A combo box over the rows of a query: it shows one column (the list field)
// and its selection is the value of another (the bound column). The rows are
// kept for the window's life and can be searched by key.
#include <QComboBox>
#include <QSqlRecord>
#include <QVector>

class DataCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit DataCombo(QWidget *parent = nullptr);

    void setRows(QVector<QSqlRecord> rows, const QString &boundColumn, const QString &listField);
    const QVector<QSqlRecord> &rows() const { return m_rows; }
    QString boundColumn() const { return m_boundColumn; }
    QString listField() const { return m_listField; }

    // The bound column's value of the selected row, as text; "" with no selection.
    QString boundText() const;
    // Selects the first row whose bound value reads `value`; none when no row does.
    void setBoundText(const QString &value);
    // The row whose `field` equals `key` (compared as text), or nullptr.
    const QSqlRecord *findRow(const QString &field, const QVariant &key) const;
    // The selected row, or nullptr.
    const QSqlRecord *currentRow() const;

private:
    QVector<QSqlRecord> m_rows;
    QString m_boundColumn;
    QString m_listField;
};

// Fills the combo from the statement, chooses the first row when asked (or the
// default value), and returns the rows the combo keeps. On failure returns
// nullptr and sets `errorText` to ErrorText of the failure; "" otherwise.
const QVector<QSqlRecord> *FillDataCombo(QString &errorText, DataCombo &combo,
                                         const QString &statement, const QString &boundColumn,
                                         const QString &listField, bool selectFirst,
                                         const QVariant &defaultValue = QVariant());
