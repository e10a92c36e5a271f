#include "data/ColumnChooser.h"
#include "data/FormHelpers.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// Enough rows to see the heading lines and a few records; the file itself may be long.
constexpr int kPreviewRows = 12;
}

ColumnChooser::ColumnChooser(const QList<Field> &fields, QWidget *parent) : QWidget(parent)
{
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    auto *previewLabel = new QLabel(QStringLiteral("&Primeras líneas del archivo:"), this);
    m_preview = Named(new QTableWidget(this), "grdVista");
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setSelectionMode(QAbstractItemView::NoSelection);
    m_preview->verticalHeader()->setDefaultSectionSize(m_preview->fontMetrics().height() + 6);
    m_preview->setAccessibleName(QStringLiteral("Primeras líneas del archivo"));
    // A few lines always in sight, whatever else the window holds.
    m_preview->setMinimumHeight(m_preview->verticalHeader()->defaultSectionSize() * 6);
    previewLabel->setBuddy(m_preview);
    box->addWidget(previewLabel);
    box->addWidget(m_preview, 1);

    auto *grid = new QGridLayout;
    int i = 0;
    for (const Field &f : fields) {
        auto *combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("cbo") + f.key);
        auto *label = new QLabel(f.label, this);
        label->setObjectName(QStringLiteral("lbl") + f.key);
        label->setBuddy(combo);
        combo->setAccessibleName(QString(f.label).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        grid->addWidget(label, i / 2, (i % 2) * 2);
        grid->addWidget(combo, i / 2, (i % 2) * 2 + 1);
        grid->setColumnStretch((i % 2) * 2 + 1, 1);
        connect(combo, &QComboBox::currentIndexChanged, this, &ColumnChooser::changed);
        m_combos.append({f.key, combo});
        ++i;
    }
    box->addLayout(grid);
}

void ColumnChooser::setRows(const QList<QStringList> &rows, int columns)
{
    const int shown = std::min(int(rows.size()), kPreviewRows);
    m_preview->clear();
    m_preview->setRowCount(shown);
    m_preview->setColumnCount(columns);
    QStringList headers;
    for (int c = 0; c < columns; ++c)
        headers << QString::number(c + 1);
    m_preview->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < shown; ++r)
        for (int c = 0; c < rows[r].size() && c < columns; ++c)
            m_preview->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    m_preview->resizeColumnsToContents();

    // Each column named by its number and what the fullest of the first rows
    // holds there: the titles, past a bank's heading lines, or a first record.
    int fullest = 0, most = -1;
    for (int r = 0; r < shown; ++r) {
        int filled = 0;
        for (const QString &v : rows[r])
            filled += v.trimmed().isEmpty() ? 0 : 1;
        if (filled > most) {
            most = filled;
            fullest = r;
        }
    }
    QStringList items{QStringLiteral("(ninguna)")};
    for (int c = 0; c < columns; ++c) {
        QString sample = shown > 0 ? rows[fullest].value(c).simplified() : QString();
        for (int r = fullest + 1; r < shown && sample.isEmpty(); ++r)
            sample = rows[r].value(c).simplified();
        if (sample.size() > 24)
            sample = sample.left(23) + QChar(0x2026);
        items << (sample.isEmpty() ? QStringLiteral("%1").arg(c + 1) : QStringLiteral("%1: %2").arg(c + 1).arg(sample));
    }
    for (auto &[key, combo] : m_combos) {
        const QSignalBlocker block(combo);
        const int was = combo->currentIndex();
        combo->clear();
        combo->addItems(items);
        combo->setCurrentIndex(was > 0 && was < items.size() ? was : 0);
    }
    emit changed();
}

int ColumnChooser::column(const QString &key) const
{
    for (const auto &[k, combo] : m_combos)
        if (k == key)
            return combo->currentIndex() - 1;
    return -1;
}

void ColumnChooser::setColumn(const QString &key, int column)
{
    for (auto &[k, combo] : m_combos)
        if (k == key)
            combo->setCurrentIndex(column + 1 < combo->count() ? column + 1 : 0);
}

QHash<QString, int> ColumnChooser::columns() const
{
    QHash<QString, int> chosen;
    for (const auto &[k, combo] : m_combos)
        chosen.insert(k, combo->currentIndex() - 1);
    return chosen;
}

QList<QWidget *> ColumnChooser::focusChain() const
{
    QList<QWidget *> chain{m_preview};
    for (const auto &[k, combo] : m_combos)
        chain << combo;
    return chain;
}
