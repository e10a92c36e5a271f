#pragma once
// The painting back end: the pages of a laid-out report drawn with QPainter,
// on a printer (PDF files included) or on the screen.
#include "reports/ReportLayout.h"

class QPainter;
class QPrinter;

// Draws one page. The painter's coordinates must be twips from the paper's
// top-left corner (scale it by device dots per inch / 1440).
void PaintReportPage(QPainter &painter, const ReportPage &page);

// A4 portrait, the whole paper addressable, the document's title as job name.
void SetUpReportPrinter(QPrinter &printer, const QString &documentTitle);

// Prints the pages (those of the printer's page range, when the user chose one)
// in the number of copies asked for. Fails when the printer cannot be used.
ReportResult PrintReportDocument(QPrinter &printer, const ReportDocument &document);

// Writes every page to a PDF file (A4, the same drawing as the print). The
// file is replaced only when it is whole.
ReportResult WriteReportPdf(const ReportDocument &document, const QString &fileName, const QString &documentTitle);
