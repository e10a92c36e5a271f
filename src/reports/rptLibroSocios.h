#pragma once
// The member book: this year's active members (those with a fee paid this
// calendar year) by their pupil's course, and how many they are.
#include "reports/PageFurniture.h"

class rptLibroSocios : public Report
{
public:
    rptLibroSocios();

    PageFurniture furniture;
    ReportBand &grCurso;
    ReportBand &Detail;
    ReportBand &GroupFooter1;
    ReportBand &ReportFooter;

    ReportControl &Field1; // the course
    ReportControl &Field2; // the member
    ReportControl &Field3; // the pupil
    ReportControl &Line1;
    ReportControl &Label3;
    ReportControl &Field4; // the number of members listed

private:
    void ReportStart();
};

// The selection of the member book for the calendar year of `today`: its
// statement and the bounds of that year, bound as values.
ReportDataSource MemberBookSource(const QDateTime &today);
// The same for the members with a fee paid from `start` to `end`, both days whole.
ReportDataSource MemberBookSource(const QDate &start, const QDate &end);
