#pragma once
// The members with a course who have not paid one fee, by their pupil's
// course, with their phone: whom the commission asks about before the
// assembly, where only members up to date may vote. Each course and the
// whole list end with how many they are and what they owe at the fee's value.
#include "reports/PageFurniture.h"

class rptCuotaImpaga : public Report
{
public:
    rptCuotaImpaga();

    PageFurniture furniture;
    ReportBand &grCurso;
    ReportBand &Detail;
    ReportBand &GroupFooter1;
    ReportBand &ReportFooter;

    ReportControl &Field1; // the course
    ReportControl &Field2; // the member
    ReportControl &Field3; // the pupil
    ReportControl &Field4; // the phone
    ReportControl &lblCantidadCurso;
    ReportControl &txtCantidadCurso; // the course's members listed
    ReportControl &lblDeudaCurso;
    ReportControl &txtDeudaCurso; // what they owe
    ReportControl &Line1;
    ReportControl &lblCantidad;
    ReportControl &txtCantidad; // every member listed
    ReportControl &lblDeuda;
    ReportControl &txtDeuda; // what they all owe

private:
    void ReportStart();
};

// The members with a course (IDCurso set, even one whose course was deleted)
// without a movement of the fee, by course name and member name. Every row
// carries the fee's value as Importe, which the totals add up.
ReportDataSource UnpaidFeeSource(qint64 idCuota);
