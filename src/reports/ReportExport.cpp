#include "reports/ReportExport.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/Prompts.h"
#include "data/ValueRules.h"
#include "data/WaitCursor.h"

#include "reports/ReportText.h"

#include <QRegularExpression>
#include <algorithm>
#include <memory>

namespace {

// True for a text a spreadsheet would run as a formula: one that begins with
// "=", "+", "-", "@", a tab or a carriage return and is not just a number.
bool readsAsFormula(const QString &s)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+([.][0-9]+)?$"));
    return !s.isEmpty() && QStringView(u"=+-@\t\r").contains(s.front()) && !number.match(s).hasMatch();
}

QString csvCell(const QVariant &v)
{
    QString s;
    if (v.isNull())
        return s;
    bool quote = false;
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        s = GeneralNumber(v.toDouble(), QLocale::c());
        break;
    case QMetaType::QDateTime:
        s = DbDateText(v.toDateTime());
        break;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        s = v.toString();
        // A quote in front keeps such a text a text, inside a quoted cell.
        if (readsAsFormula(s)) {
            s.prepend(QLatin1Char('\''));
            quote = true;
        }
        break;
    default:
        s = v.toString();
    }
    if (quote || s.contains(QLatin1Char(',')) || s.contains(QLatin1Char('"')) || s.contains(QLatin1Char('\n'))
        || s.contains(QLatin1Char('\r')))
        s = QLatin1Char('"') + s.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return s;
}

// The columns of the file: the group keys, then the detail's fields by position.
QStringList csvColumns(const Report &report)
{
    QStringList columns;
    for (int level = 0; level < report.groupCount(); ++level)
        columns << report.groupHeader(level).groupField;
    if (const ReportBand *detail = report.bandOf(BandKind::Detail)) {
        std::vector<const ReportControl *> fields;
        for (const auto &c : detail->controls())
            if (c->kind == ControlKind::Field && c->summary == FieldSummary::None && !c->dataField.isEmpty())
                fields.push_back(c.get());
        std::stable_sort(fields.begin(), fields.end(),
                         [](const ReportControl *a, const ReportControl *b) { return a->left < b->left; });
        for (const ReportControl *c : fields)
            if (!columns.contains(c->dataField, Qt::CaseInsensitive))
                columns << c->dataField;
    }
    return columns;
}

void showError(std::unique_ptr<WaitCursor> &wait, const ReportResult &r)
{
    wait.reset();
    MsgBox(ErrorText(*r.error()), MsgIcon::Critical);
}

} // namespace

QString ReportExportFilter()
{
    return QStringLiteral("Texto|*.txt|Planilla (CSV)|*.csv");
}

QString ReportCsv(const Report &report)
{
    const ReportRows &rows = report.rows();
    const QStringList columns = csvColumns(report);
    std::vector<int> at;
    QStringList heading;
    for (const QString &c : columns) {
        at.push_back(rows.column(c));
        heading << csvCell(c);
    }
    QString out = heading.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const QVector<QVariant> &row : rows.rows) {
        QStringList cells;
        for (int col : at)
            cells << (col >= 0 ? csvCell(row.at(col)) : QString());
        out += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out;
}

ReportResult WriteReportCsv(const Report &report, const QString &fileName)
{
    return WriteReportFile(fileName, QByteArray("\xEF\xBB\xBF") + ReportCsv(report).toUtf8());
}

void ExportReport(Report &report)
{
    auto wait = std::make_unique<WaitCursor>();
    const QString fileName = ShowSaveFileDialog(ReportExportFilter(), QStringLiteral("txt"));
    if (fileName.isEmpty())
        return;
    const ReportResult ran = report.run();
    if (ran.wasCancelled())
        return;
    if (ran.failed())
        return showError(wait, ran);
    if (report.pageCount() > 0) {
        const bool csv = fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
        const ReportResult written = csv ? WriteReportCsv(report, fileName) : report.exportText(fileName);
        if (written.failed())
            return showError(wait, written);
    }
    wait.reset();
    MsgBox(QStringLiteral("Exportacion finalizada"), MsgIcon::Information);
}
