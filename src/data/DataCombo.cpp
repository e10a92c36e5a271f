#include "data/DataCombo.h"
#include "data/Database.h"

DataCombo::DataCombo(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
}

void DataCombo::setRows(QVector<QSqlRecord> rows, const QString &boundColumn,
                        const QString &listField)
{
    m_rows = std::move(rows);
    m_boundColumn = boundColumn;
    m_listField = listField;
    const QSignalBlocker block(this);
    clear();
    for (const QSqlRecord &r : m_rows)
        addItem(TextOrEmpty(r.value(m_listField)));
    setCurrentIndex(-1);
}

QString DataCombo::boundText() const
{
    const QSqlRecord *r = currentRow();
    return r && !m_boundColumn.isEmpty() ? TextOrEmpty(r->value(m_boundColumn)) : QString();
}

void DataCombo::setBoundText(const QString &value)
{
    int found = -1;
    if (!m_boundColumn.isEmpty()) {
        for (int i = 0; i < m_rows.size(); ++i) {
            if (TextOrEmpty(m_rows.at(i).value(m_boundColumn)) == value) {
                found = i;
                break;
            }
        }
    }
    setCurrentIndex(found);
}

const QSqlRecord *DataCombo::findRow(const QString &field, const QVariant &key) const
{
    const QString k = TextOrEmpty(key);
    for (const QSqlRecord &r : m_rows)
        if (TextOrEmpty(r.value(field)) == k)
            return &r;
    return nullptr;
}

const QSqlRecord *DataCombo::currentRow() const
{
    const int i = currentIndex();
    return i >= 0 && i < m_rows.size() ? &m_rows.at(i) : nullptr;
}

const QVector<QSqlRecord> *FillDataCombo(QString &errorText, DataCombo &combo,
                                         const QString &statement, const QString &boundColumn,
                                         const QString &listField, bool selectFirst,
                                         const QVariant &defaultValue)
{
    try {
        combo.setBoundText(QString());
        QSqlQuery q = Exec(statement);
        QVector<QSqlRecord> rows;
        while (q.next())
            rows << q.record();
        combo.setRows(std::move(rows), boundColumn, listField);
        const auto &kept = combo.rows();
        if (kept.isEmpty()) {
            combo.setBoundText(QString());
        } else if (selectFirst) {
            if (!boundColumn.isEmpty())
                combo.setBoundText(TextOrEmpty(kept.first().value(boundColumn)));
        } else if (defaultValue.isValid()) {
            combo.setBoundText(TextOrEmpty(defaultValue));
        }
        errorText.clear();
        return &combo.rows();
    } catch (const RuntimeError &e) {
        errorText = ErrorText(e);
        return nullptr;
    }
}
