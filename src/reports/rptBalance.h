#pragma once
// The balance of a period: expenses, then income, by parent account and
// account, with a subtotal for each and a total for each kind; the movements
// themselves only when the user asks for details.
#include "reports/PageFurniture.h"

#include <optional>

class rptBalance : public Report
{
public:
    rptBalance();

    PageFurniture furniture;
    ReportBand &grIngresoEgreso;
    ReportBand &grCuentaPadre;
    ReportBand &grCuenta;
    ReportBand &Detail;
    ReportBand &grCuentaFT;
    ReportBand &grCuentaPadreFT;
    ReportBand &grIngresoEgresoFT;

    ReportControl &txtEgreso;
    ReportControl &Field3; // parent account
    ReportControl &Field1; // account
    ReportControl &lblFecha;
    ReportControl &lblDetalle;
    ReportControl &lblImporte;
    ReportControl &Field7;
    ReportControl &Field2; // the account's subtotal
    ReportControl &Line1;
    ReportControl &Field8;
    ReportControl &Field4; // the parent account's subtotal
    ReportControl &Line2;
    ReportControl &txtIngresoFT;
    ReportControl &txtTotalIngresoSuma;
    ReportControl &Line3;

private:
    void ReportStart();
    void grIngresoEgreso_Format();
    void grIngresoEgresoFT_Format();
};

// A date typed day first ("dd/mm/aaaa", one-digit day and month too); nothing
// when the text is no real date.
std::optional<QDate> ReadTypedDate(const QString &text);

// The movements of the balance from the start day to the end day, both whole
// days, as bound values.
ReportDataSource BalanceSource(const QDate &start, const QDate &end);
