#pragma once
// The record of changes made by hand (ChangeRecord.h) for a range of days:
// each day, then every column added, changed or deleted in the table editor,
// with the time, the computer's user, the computer, the table, the row's key
// and the values before and after.
#include "reports/PageFurniture.h"

class rptCambios : public Report
{
public:
    rptCambios();

    PageFurniture furniture;
    ReportBand &grDia;
    ReportBand &Detail;
    ReportBand &grDiaFT;
    ReportBand &ReportFooter;

    ReportControl &txtDia;
    ReportControl &txtHora;
    ReportControl &txtUsuario;
    ReportControl &txtEquipo;
    ReportControl &txtOperacion;
    ReportControl &txtTabla;
    ReportControl &txtClave;
    ReportControl &txtCampo;
    ReportControl &txtAnterior;
    ReportControl &txtNuevo;
    ReportControl &Line1;
    ReportControl &lblTotal;
    ReportControl &txtTotal; // the number of entries listed

private:
    void ReportStart();
};

// The entries recorded from the start day to the end day, both whole days,
// in the order they were recorded.
ReportDataSource ChangeRecordSource(const QDate &start, const QDate &end);
