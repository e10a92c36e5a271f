#pragma once
// The page header and footer the member book and the balance share: the
// organisation, the title and the logo on top; "Pag. N de M" and the day it
// was printed at the foot.
#include "reports/Report.h"

struct PageFurniture
{
    ReportBand &PageHeader;
    ReportBand &PageFooter;
    ReportControl &lblCooperadora;
    ReportControl &lblLibro; // the report's title
    ReportControl &Image1;   // the logo
    ReportControl &lblPage;
    ReportControl &txtPage;
    ReportControl &lblOf;
    ReportControl &txtPageCount;
    ReportControl &lblDate;
};

// Adds the page header (`headerHeight` twips, logo at `logoLeft`) and the page
// footer to the report. The header reads the logo each time it is laid out;
// the footer writes the day of the program's clock in the long date form.
PageFurniture AddPageFurniture(Report &report, int headerHeight, int logoLeft, const QString &title);

// Reads "logo.jpg" beside the executable into the picture, at the picture's
// size; a missing or unreadable file leaves it empty. Every document reads it
// at each page header, so a new logo shows at once.
void LoadAppLogo(ReportControl &picture);

// "Impresa: " and the day in the locale's long form.
QString PrintedOn(const QDateTime &now, const QLocale &locale);
