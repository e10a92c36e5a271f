#include "data/ClosedYear.h"
#include "data/ChangeRecord.h"
#include "data/Database.h"

namespace {

QString dayText(const QDate &d)
{
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

QString settingIs(const QSqlDatabase &db)
{
    return Dialect::SameNoCase(EngineOf(db), QStringLiteral("Parametro"));
}

// The stored value of the setting; null when the row is missing.
QVariant storedClosing(const QSqlDatabase &db)
{
    QSqlQuery q = Exec(db, QStringLiteral("SELECT Valor FROM Parametro WHERE ") + settingIs(db),
                       {QString::fromLatin1(kClosingSetting)});
    return q.next() ? q.value(0) : QVariant();
}

} // namespace

std::optional<QDate> ClosingDate(const QSqlDatabase &db)
{
    const QVariant stored = storedClosing(db);
    if (stored.isNull() || stored.toString().trimmed().isEmpty())
        return std::nullopt;
    const QDate day = DbDay(stored);
    // Another tool may have written anything there; guessing would open or
    // close days nobody chose, so every write is refused until it is a date.
    if (!day.isValid())
        throw RuntimeError(ErrTypeMismatch,
                           QStringLiteral("El parámetro %1 no tiene una fecha: \"%2\". Escriba la fecha de cierre como "
                                          "AAAA-MM-DD.")
                               .arg(QLatin1String(kClosingSetting), stored.toString()));
    return day;
}

QString ClosedPeriodText(const QDate &closing)
{
    return QStringLiteral("El ejercicio está cerrado hasta el %1: no se registran movimientos con esa fecha o anterior.")
        .arg(dayText(closing));
}

QString ClosedRefusal(const std::optional<QDate> &closing, const QVariant &fecha)
{
    if (!closing)
        return QString();
    const QDate day = DbDay(BindableValue(fecha));
    return day.isValid() && day <= *closing ? ClosedPeriodText(*closing) : QString();
}

void RefuseIfClosed(const QSqlDatabase &db, const QDateTime &fecha)
{
    const QString refusal = ClosedRefusal(ClosingDate(db), fecha);
    if (!refusal.isEmpty())
        throw RuntimeError(ErrClosedPeriod, refusal);
}

void CloseBooks(const QSqlDatabase &db, const QDate &day)
{
    // Immediate: every writer of movements waits, so none is recorded in the
    // closed days between the check of its date and this commit.
    Transaction t(db, Transaction::Mode::Immediate);
    const QVariant before = storedClosing(db);
    const QString after = DbDateText(QDateTime(day, QTime(0, 0)));
    QSqlQuery q = Exec(db, QStringLiteral("UPDATE Parametro SET Valor = ? WHERE ") + settingIs(db),
                       {after, QString::fromLatin1(kClosingSetting)});
    if (q.numRowsAffected() < 1)
        Exec(db, QStringLiteral("INSERT INTO Parametro (Parametro, Valor) VALUES (?, ?)"),
             {QString::fromLatin1(kClosingSetting), after});
    RecordChange(db, QString::fromLatin1(kChangeClose), QStringLiteral("Parametro"), QString::fromLatin1(kClosingSetting),
                 QStringLiteral("Valor"), before, after);
    t.commit();
}

void ReopenBooks(const QSqlDatabase &db)
{
    Transaction t(db, Transaction::Mode::Immediate);
    const QVariant before = storedClosing(db);
    if (before.isNull())
        return; // nothing closed: nothing to record
    Exec(db, QStringLiteral("DELETE FROM Parametro WHERE ") + settingIs(db), {QString::fromLatin1(kClosingSetting)});
    RecordChange(db, QString::fromLatin1(kChangeReopen), QStringLiteral("Parametro"),
                 QString::fromLatin1(kClosingSetting), QStringLiteral("Valor"), before, QVariant());
    t.commit();
}

QDate YearStart(const QDate &closing)
{
    return closing.addYears(-1).addDays(1);
}

PeriodTotals TotalsOf(const QSqlDatabase &db, const QDate &start, const QDate &end)
{
    // The balance report's selection: codes compared without case, only the
    // movements charged to an existing account (a transfer is none).
    const Engine engine = EngineOf(db);
    QSqlQuery q = Exec(db,
                       QStringLiteral("SELECT upper(Movimiento.Tipo), ")
                           + Dialect::MillionthsSum(engine, QStringLiteral("Movimiento.Importe"))
                           + QStringLiteral(" FROM Movimiento INNER JOIN Cuenta ON Cuenta.IDCuenta = Movimiento.IDCuenta"
                                            " WHERE Movimiento.Fecha >= ? AND Movimiento.Fecha < ?"
                                            " AND Movimiento.Tipo IN ('E', 'I') AND Movimiento.MedioPago IN ('E', 'C')"
                                            " GROUP BY upper(Movimiento.Tipo)"),
                       {QDateTime(start, QTime(0, 0)), QDateTime(end.addDays(1), QTime(0, 0))});
    PeriodTotals totals;
    while (q.next())
        (q.value(0).toString() == QLatin1String("I") ? totals.ingresos : totals.egresos) =
            double(q.value(1).toLongLong()) / 1e6;
    return totals;
}
