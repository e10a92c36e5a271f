#pragma once
// What the windows that read a spreadsheet's text share: the first rows of the
// file, as they are, and for each field the window needs a list choosing the
// column that holds it ("(ninguna)" when none does).
#include <QHash>
#include <QList>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QTableWidget;

class ColumnChooser : public QWidget
{
    Q_OBJECT
public:
    struct Field
    {
        QString key;   // the list's objectName is "cbo" + key
        QString label; // its label, with & before the Alt letter
    };
    explicit ColumnChooser(const QList<Field> &fields, QWidget *parent = nullptr);

    // Shows the first rows of the file (`columns` wide) and offers its columns.
    void setRows(const QList<QStringList> &rows, int columns);
    // The column (0 the first) chosen for the field; -1 when none.
    int column(const QString &key) const;
    void setColumn(const QString &key, int column);
    QHash<QString, int> columns() const;
    // The lists in the order of the fields, for the window's focus order.
    QList<QWidget *> focusChain() const;

signals:
    void changed();

private:
    QTableWidget *m_preview;
    QList<std::pair<QString, QComboBox *>> m_combos;
};
