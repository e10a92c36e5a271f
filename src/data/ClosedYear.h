#pragma once
// The closed year. After the assembly approves the accounts, the treasurer
// closes the books up to a day: from then on no movement dated on or before
// that day is recorded, changed or deleted, so the balance the assembly saw
// stays the balance. The day is the Parametro row CIERRE, which every PC on
// the same books reads; the rule is checked inside each write's transaction,
// so a year another PC closes meanwhile is respected.
#include "data/Errors.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <optional>

// The setting that holds the closing day, as Parametro names it.
inline const char *const kClosingSetting = "CIERRE";
// What the record of changes says was done.
inline const char *const kChangeClose = "Cierre de ejercicio";
inline const char *const kChangeReopen = "Reapertura de ejercicio";

// The error number of a movement refused because its day is closed; its
// description is the sentence the user reads.
enum : int { ErrClosedPeriod = 32010 };

// The closing day; nothing while no year is closed. Throws RuntimeError when
// it cannot be read or the setting holds no date.
std::optional<QDate> ClosingDate(const QSqlDatabase &db);

// "El ejercicio está cerrado hasta el 31/12/2025: no se registran movimientos
// con esa fecha o anterior."
QString ClosedPeriodText(const QDate &closing);

// Throws RuntimeError(ErrClosedPeriod) when the day of `fecha` is on or
// before the closing day. Run it inside the writing transaction.
void RefuseIfClosed(const QSqlDatabase &db, const QDateTime &fecha);

// The same for a value as a table stores it (a date, or its stored text); a
// value that is no date is no closed day. "" when the day is open.
QString ClosedRefusal(const std::optional<QDate> &closing, const QVariant &fecha);

// Closes the books up to `day`, or reopens them all, each with its entry in
// the record of changes, in one transaction that waits for every writer of
// movements. Throws RuntimeError.
void CloseBooks(const QSqlDatabase &db, const QDate &day);
void ReopenBooks(const QSqlDatabase &db);

// The year a closing day ends: the twelve months up to it, that day included.
QDate YearStart(const QDate &closing);

// The income and expenses of a period as the balance report adds them: the
// movements charged to an account, both days whole, summed exactly.
struct PeriodTotals
{
    double ingresos = 0;
    double egresos = 0;
    double saldo() const { return ingresos - egresos; }
};
PeriodTotals TotalsOf(const QSqlDatabase &db, const QDate &start, const QDate &end); // throws RuntimeError
