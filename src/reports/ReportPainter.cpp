#include "reports/ReportPainter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include "reports/ReportText.h"

#include <QBuffer>

void PaintReportPage(QPainter &painter, const ReportPage &page)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const ReportPrimitive &p : page.items) {
        switch (p.kind) {
        case PrimitiveKind::Text:
            if (p.text.isEmpty())
                break;
            painter.setFont(p.font);
            painter.setPen(p.color);
            // The line was measured with this very font: it is drawn whole, as measured.
            painter.drawText(QRectF(p.rect), int(p.alignment | Qt::AlignTop) | Qt::TextSingleLine | Qt::TextDontClip,
                             p.text);
            break;
        case PrimitiveKind::Line: {
            QPen pen(p.color);
            pen.setWidthF(qMax(1, p.lineWidth));
            pen.setCapStyle(Qt::FlatCap);
            painter.setPen(pen);
            painter.drawLine(p.line);
            break;
        }
        case PrimitiveKind::Picture:
            painter.drawImage(QRectF(p.rect), p.image);
            break;
        }
    }
    painter.restore();
}

void SetUpReportPrinter(QPrinter &printer, const QString &documentTitle)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setDocName(documentTitle);
}

ReportResult PrintReportDocument(QPrinter &printer, const ReportDocument &document)
{
    const int count = int(document.pages.size());
    if (count == 0)
        return ReportResult::done();
    printer.setFullPage(true); // our coordinates start at the paper's corner
    int first = 1;
    int last = count;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = qBound(1, printer.fromPage(), count);
        last = qBound(first, printer.toPage() > 0 ? printer.toPage() : count, count);
    }
    const int copies = printer.supportsMultipleCopies() ? 1 : qMax(1, printer.copyCount());
    const QString where = printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
    auto failure = [&] {
        return ReportResult::failed(
            RuntimeError(ErrReportPrinter, QStringLiteral("No se pudo imprimir en \"%1\".").arg(where)));
    };

    QPainter painter;
    if (!painter.begin(&printer))
        return failure();
    const double sx = printer.logicalDpiX() / 1440.0;
    const double sy = printer.logicalDpiY() / 1440.0;
    bool firstSheet = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int i = first; i <= last; ++i) {
            if (!firstSheet && !printer.newPage()) {
                painter.end();
                return failure();
            }
            firstSheet = false;
            painter.save();
            painter.scale(sx, sy);
            PaintReportPage(painter, document.pages[size_t(i - 1)]);
            painter.restore();
        }
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return failure();
    return ReportResult::done();
}

ReportResult WriteReportPdf(const ReportDocument &document, const QString &fileName, const QString &documentTitle)
{
    auto failure = [&] {
        return ReportResult::failed(
            RuntimeError(ErrReportPrinter, QStringLiteral("No se pudo guardar el PDF en \"%1\".").arg(fileName)));
    };
    // Drawn in memory first, then written as the text exports are: whole or not at all.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buffer);
        pdf.setTitle(documentTitle);
        pdf.setCreator(QStringLiteral("Tesorin"));
        pdf.setResolution(1200);
        const PageSetup &ps = document.page;
        pdf.setPageLayout(QPageLayout(QPageSize(QSizeF(ps.width / 1440.0, ps.height / 1440.0), QPageSize::Inch),
                                      QPageLayout::Portrait, QMarginsF()));
        QPainter painter;
        if (!painter.begin(&pdf))
            return failure();
        const double scale = pdf.resolution() / 1440.0;
        for (size_t i = 0; i < document.pages.size(); ++i) {
            if (i > 0 && !pdf.newPage()) {
                painter.end();
                return failure();
            }
            painter.save();
            painter.scale(scale, scale);
            PaintReportPage(painter, document.pages[i]);
            painter.restore();
        }
        if (!painter.end())
            return failure();
    }
    return WriteReportFile(fileName, bytes);
}
