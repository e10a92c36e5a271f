#pragma once
// The one-page document that serves as the receipt of a fee or other income,
// as the payment order of an expense and as the on-screen member statement.
// It has no data source: its detail prints once, with the texts the caller
// wrote into its labels. Whoever prints or shows it discards the shared
// instance afterwards, so that the next use starts from the design below.
#include "reports/Report.h"

class rptReciboCuota : public Report, public SharedReport<rptReciboCuota>
{
public:
    rptReciboCuota();

    ReportBand &ReportHeader;
    ReportBand &PageHeader;
    ReportBand &Detail;
    ReportBand &PageFooter;
    ReportBand &ReportFooter;

    // Page header.
    ReportControl &lblCooperadora; // the organisation's name
    ReportControl &Image1;         // the logo, "logo.jpg" beside the executable
    // Detail.
    ReportControl &lblRecibimos;      // the body text
    ReportControl &lblHistorialPagos; // the payment history or other free text
    ReportControl &lblTesorero;
    ReportControl &Line1; // the treasurer's signature line
    ReportControl &lblPresidente;
    ReportControl &lnPresidente; // the second signature line, hidden unless a caller shows it

private:
    void PageHeader_Format();
};
