#pragma once
// The one-page document that serves as the receipt of a fee or other income,
// as the payment order of an expense and as the on-screen member statement.
// It has no data source: its detail prints once, with the texts the caller
// wrote into its labels. Each use builds a fresh one, so nothing written for
// one receipt or order can show on the next.
#include "data/Ledger.h"
#include "reports/Report.h"

class QLocale;

class rptReciboCuota : public Report
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

// "Historial de pagos: " and one line per movement, as the receipt shows it:
// description - date - amount, each line ended by CR LF.
QString PaymentHistoryText(const QList<PaymentLine> &lines, const QLocale &locale);

// The body of a fee's receipt: who paid, the amount as typed, which fee.
QString FeeReceiptBody(const QString &socio, const QString &importeTexto, const QString &cuota);

// The body of a payment order: to whom, the amount as typed, what for, and
// how it is paid.
QString PaymentOrderBody(const QString &payee, const QString &importeTexto, const QString &detalle, bool cheque,
                         const QString &chequeNumero);
// The body of an other-income receipt.
QString IncomeReceiptBody(const QString &receiver, const QString &importeTexto, const QString &detalle);
