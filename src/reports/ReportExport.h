#pragma once
// The exports of the listing reports: the report's lines as a text file, or
// its rows as a spreadsheet file (CSV), to a file the user names.
#include "reports/Report.h"

// The save dialog's choices: the report's text, or its rows for a spreadsheet.
QString ReportExportFilter();

// Asks for the file (the hourglass shows meanwhile), runs the report (which
// may ask its own questions), writes it and says "Exportacion finalizada".
// A cancelled dialog or question does nothing more; a failure is shown as
// the error it is, and no file is left half-written.
void ExportReport(Report &report);

// One line per row the report ran over: the keys of its groups (outermost
// first), then the fields of its detail in their left-to-right order, with a
// heading line of field names. Comma-separated, quoted where needed, dates as
// stored (year first) and numbers with a point, in UTF-8 with its mark so
// spreadsheets read the accents. A text a spreadsheet would take for a
// formula gets a single quote in front, so it opens as the text it is.
QString ReportCsv(const Report &report);
ReportResult WriteReportCsv(const Report &report, const QString &fileName);
