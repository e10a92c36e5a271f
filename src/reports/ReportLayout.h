#pragma once
// The layout: a design and its data rows become pages of positioned text
// lines, lines and pictures, all in twips from the paper's top-left corner.
// Painting and the plain-text output only read these pages.
#include "reports/ReportDesign.h"
#include "reports/ReportResult.h"

#include <QLine>
#include <QRect>
#include <QStringList>
#include <vector>

// A4 portrait. Margins of 2 cm leave 9638 twips of width, more than the widest
// design (9240) needs.
struct PageSetup
{
    int width = 11906;
    int height = 16838;
    int leftMargin = 1134;
    int topMargin = 1134;
    int rightMargin = 1134;
    int bottomMargin = 1134;
};

enum class PrimitiveKind { Text, Line, Picture };

struct ReportPrimitive
{
    PrimitiveKind kind = PrimitiveKind::Text;
    QString control; // the name of the control it comes from
    QRect rect;      // text (one line of it) and picture
    QLine line;      // line
    QString text;
    QFont font;
    QColor color;
    Qt::Alignment alignment = Qt::AlignLeft;
    int lineWidth = 0;
    QImage image;
    // While laying out: the page-count field whose text waits for the last page.
    const ReportControl *pendingPageCount = nullptr;

    int top() const { return kind == PrimitiveKind::Line ? qMin(line.y1(), line.y2()) : rect.top(); }
    int bottom() const
    {
        return kind == PrimitiveKind::Line ? qMax(line.y1(), line.y2()) : rect.top() + rect.height();
    }
};

struct ReportPage
{
    std::vector<ReportPrimitive> items;
};

struct ReportDocument
{
    PageSetup page;
    std::vector<ReportPage> pages;
};

// The rows a report runs over. A design without data source has no rows of
// its own (`bound` false): its detail is laid out exactly once.
struct ReportRows
{
    QStringList fields;
    std::vector<QVector<QVariant>> rows;
    bool bound = false;

    int column(const QString &field) const; // -1 when absent; names compare without case
};

// Lays the design out over the rows: the report header and the page header on
// the first page, on every later page the page header; a group header at each
// change of its key (and of any outer key), the detail once per row, the group
// footers with the values of the group that ended, the report footer after the
// last row; the page footer at the foot of every page, its room kept free.
// A band that does not fit on the rest of a page starts the next page; a band
// taller than a whole page is cut between its lines. The band notifications
// run as each band is laid out. Fails when a field names no column of the rows
// or a notification fails.
ReportResult LayoutReport(ReportDesign &design, const ReportRows &rows, const PageSetup &page,
                          ReportDocument *out);

// The text a field shows for a value: empty for null, numbers in the general
// number form of the user's locale, dates in the general date form, text as it is.
QString DefaultFieldText(const QVariant &value);
