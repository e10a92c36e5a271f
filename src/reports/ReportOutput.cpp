#include "reports/ReportOutput.h"
#include "data/Environment.h"
#include "data/Prompts.h"
#include "reports/ReportPainter.h"
#include "reports/ReportPreview.h"

#include <QPrinter>

namespace {
const Report *g_printing = nullptr;
}

const Report *ReportBeingPrinted()
{
    return g_printing;
}

ReportResult PrintReport(Report &report)
{
    const ReportResult r = report.run();
    if (!r.ok())
        return r;
    struct Printing
    {
        explicit Printing(const Report &r) { g_printing = &r; }
        ~Printing() { g_printing = nullptr; }
    } printing(report);
    QPrinter printer(QPrinter::HighResolution);
    SetUpReportPrinter(printer, report.documentTitle);
    if (!env().prompts->choosePrinter(printer))
        return ReportResult::cancelled();
    return PrintReportDocument(printer, report.document());
}

ReportResult ShowReport(Report &report, PreviewMode mode, QWidget *owner, ReportPreview **window)
{
    const ReportResult r = report.run();
    if (!r.ok())
        return r;
    auto *preview = new ReportPreview(report.sharedDocument(), report.caption, report.documentTitle, owner);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    if (window)
        *window = preview;
    if (mode == PreviewMode::Modeless) {
        if (report.previewMaximized)
            preview->showMaximized();
        else
            preview->show();
        return ReportResult::done();
    }
    preview->setWindowModality(Qt::ApplicationModal);
    if (report.previewMaximized)
        preview->setWindowState(preview->windowState() | Qt::WindowMaximized);
    preview->exec();
    return ReportResult::done();
}
