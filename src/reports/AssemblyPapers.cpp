#include "reports/AssemblyPapers.h"
#include "data/ClosedYear.h"
#include "data/Database.h"
#include "data/IniFile.h"
#include "data/Ledger.h"
#include "reports/rptBalance.h"
#include "reports/rptCuotaImpaga.h"
#include "reports/rptLibroSocios.h"

namespace {

QString dayText(const QDate &d)
{
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

// Runs a report with its questions replaced by the answers given here, and
// adds its pages to the document.
ReportResult append(Report &report, const std::function<void()> &start, ReportDocument *document)
{
    report.onReportStart = start;
    const ReportResult r = report.run();
    if (!r.ok())
        return r;
    if (document->pages.empty())
        document->page = report.document().page;
    document->pages.insert(document->pages.end(), report.document().pages.begin(), report.document().pages.end());
    return r;
}

} // namespace

AssemblyFees FeesOfYear(const QDate &start, const QDate &end)
{
    AssemblyFees fees;
    bool found = false;
    QSqlQuery q = Exec(FeesNewestFirst());
    while (q.next()) {
        const qint64 id = q.value(QStringLiteral("IDCuota")).toLongLong();
        const QString name = TextOrEmpty(q.value(QStringLiteral("Descripcion"))).trimmed();
        const QDate vigencia = DbDay(q.value(QStringLiteral("vigencia")));
        if (!found && vigencia.isValid() && vigencia >= start && vigencia <= end) {
            fees.proposed = int(fees.ids.size());
            found = true;
        }
        fees.names << (name.isEmpty() ? QStringLiteral("Cuota %1").arg(id) : name);
        fees.ids << id;
    }
    return fees;
}

ReportResult AssemblyPapers(const QDate &closing, qint64 idCuota, const QString &feeName, ReportDocument *document)
{
    *document = ReportDocument();
    const QDate start = YearStart(closing);
    const QString period = dayText(start) + QStringLiteral(" - ") + dayText(closing);

    rptBalance balance;
    ReportResult r = append(balance, [&] {
        balance.furniture.lblCooperadora.caption = OrganisationName();
        balance.furniture.lblLibro.caption = QStringLiteral("Balance periodo ") + period;
        balance.dataSource = BalanceSource(start, closing);
    }, document);
    if (!r.ok())
        return r;

    rptLibroSocios book;
    r = append(book, [&] {
        book.furniture.lblCooperadora.caption = OrganisationName();
        book.furniture.lblLibro.caption = start.dayOfYear() == 1 && start.year() == closing.year()
                                              ? QStringLiteral("Libro de socios año ") + QString::number(closing.year())
                                              : QStringLiteral("Libro de socios periodo ") + period;
        book.dataSource = MemberBookSource(start, closing);
    }, document);
    if (!r.ok())
        return r;

    rptCuotaImpaga unpaid;
    return append(unpaid, [&] {
        unpaid.furniture.lblCooperadora.caption = OrganisationName();
        unpaid.furniture.lblLibro.caption = QStringLiteral("Socios con cuota impaga: ") + feeName;
        unpaid.dataSource = UnpaidFeeSource(idCuota);
    }, document);
}
