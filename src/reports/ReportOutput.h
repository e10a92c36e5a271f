#pragma once
// What a laid-out report becomes on a device: printed after the printer
// dialog, or shown in a preview window. The window that owns a preview is
// the caller's to name; the engine knows no window of the program.
#include "reports/Report.h"

class QWidget;
class ReportPreview;

enum class PreviewMode {
    Modeless, // a window of its own, deleted when the user closes it
    Modal     // ShowReport returns once the user closes it
};

// Runs the report, offers the printer dialog and prints every page.
ReportResult PrintReport(Report &report);
// The report PrintReport is printing (its pages laid out), while its printer
// dialog is open or its pages are printed; nullptr otherwise.
const Report *ReportBeingPrinted();

// Runs the report and shows its pages in a preview window owned by `owner`
// (nullptr: a window of its own), maximised when the report asks for it. The
// preview keeps the pages: the report may be destroyed while it is open.
// `window`, when given, receives the preview (it deletes itself when closed).
ReportResult ShowReport(Report &report, PreviewMode mode, QWidget *owner = nullptr,
                        ReportPreview **window = nullptr);
