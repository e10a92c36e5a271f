#pragma once
// The papers the assembly reads when a year is closed, in one document: the
// year's balance with its movements, its member book, and the members who
// have not paid the year's fee. Each part is the report the menu shows,
// numbered on its own pages.
#include "reports/Report.h"

#include <QDate>
#include <QStringList>

// The fees to choose the year's from, newest first (as the unpaid-fee report
// lists them), and the one to propose: the newest whose vigencia falls in the
// year, or else the newest of all.
struct AssemblyFees
{
    QStringList names;
    QList<qint64> ids;
    int proposed = 0;
};
AssemblyFees FeesOfYear(const QDate &start, const QDate &end); // throws RuntimeError

// Lays the three parts out for the year that ends on `closing` (YearStart),
// the unpaid list for the fee `idCuota` named `feeName`.
ReportResult AssemblyPapers(const QDate &closing, qint64 idCuota, const QString &feeName, ReportDocument *document);
