#pragma once
// The plain-text back end: the text lines of a laid-out report, page by page.
#include "reports/ReportLayout.h"

// One text column stands for this many twips of the page.
constexpr int kTwipsPerTextColumn = 120;

// Each page's text, line by line from the top: texts whose tops lie within half
// a line of each other share a line, each at the column of its left position
// (counted from the left margin), one blank apart at least when an earlier text
// runs long. Lines, pictures and trailing blanks are left out. A line holding a
// lone form feed separates the pages.
QString ReportDocumentText(const ReportDocument &document);

// Writes that text to `fileName` in UTF-8, replacing the file only once the
// whole text is written.
ReportResult WriteReportText(const ReportDocument &document, const QString &fileName);

// Writes the bytes to `fileName`, replacing the file only once all of them are
// on the disk. On failure the previous file stays as it was, no other file is
// left behind, and the error names the file, what to do (a full disk says so)
// and the system's words.
ReportResult WriteReportFile(const QString &fileName, const QByteArray &bytes);
