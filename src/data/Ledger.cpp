#include "data/Ledger.h"
#include "data/Database.h"

#include <QSqlQuery>

namespace {

QVariant keyOrNull(const std::optional<qint64> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<qint64>());
}

QVariant textOrNull(const std::optional<QString> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<QString>());
}

// The sum of one medium and direction in millionths: SQLite adds integers
// exactly, where a floating-point SUM over a million rows drifts. The
// (MedioPago, Tipo, Importe) index answers it without reading the table.
qint64 millionths(Medium medio, Direction tipo)
{
    QSqlQuery q = Exec(QStringLiteral("SELECT SUM(CAST(ROUND(Importe * 1000000) AS INTEGER)) FROM Movimiento"
                                      " WHERE MedioPago = ? AND Tipo = ?"),
                       {MediumCode(medio), DirectionCode(tipo)});
    return q.next() ? q.value(0).toLongLong() : 0;
}

} // namespace

QString DirectionCode(Direction d)
{
    return d == Direction::Income ? QStringLiteral("I") : QStringLiteral("E");
}

QString MediumCode(Medium m)
{
    return m == Medium::Cash ? QStringLiteral("E") : QStringLiteral("C");
}

Ledger &Ledger::instance()
{
    static Ledger ledger;
    return ledger;
}

bool Ledger::feeAlreadyPaid(qint64 idSocio, qint64 idCuota) const
{
    return Exec(QStringLiteral("SELECT 1 FROM Movimiento WHERE IDSocio = ? AND IDCuota = ? LIMIT 1"),
                {idSocio, idCuota})
        .next();
}

qint64 Ledger::insert(const Movement &m)
{
    const QSqlQuery q = Exec(
        QStringLiteral("INSERT INTO Movimiento (Fecha, IDSocio, IDCuota, IDCuenta, Tipo, Importe, MedioPago,"
                       " ChequeNumero, Descripcion, Recibo) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {m.fecha, keyOrNull(m.idSocio), keyOrNull(m.idCuota), keyOrNull(m.idCuenta), DirectionCode(m.tipo),
         m.importe, MediumCode(m.medio), textOrNull(m.chequeNumero), m.descripcion, keyOrNull(m.recibo)});
    return q.lastInsertId().toLongLong();
}

Ledger::FeeOutcome Ledger::recordFee(const Movement &movement, qint64 *id)
{
    {
        // Immediate: the write lock is taken before the check, so no other
        // program can add the same fee between the check and the insert.
        Transaction t(Conexion(), Transaction::Mode::Immediate);
        if (feeAlreadyPaid(movement.idSocio.value_or(0), movement.idCuota.value_or(0)))
            return FeeOutcome::AlreadyPaid;
        const qint64 key = insert(movement);
        t.commit();
        if (id)
            *id = key;
    }
    emit changed();
    return FeeOutcome::Recorded;
}

qint64 Ledger::recordIncome(const Movement &movement)
{
    Movement m = movement;
    m.tipo = Direction::Income;
    const qint64 key = insert(m);
    emit changed();
    return key;
}

qint64 Ledger::recordPayment(const Movement &movement)
{
    Movement m = movement;
    m.tipo = Direction::Expense;
    const qint64 key = insert(m);
    emit changed();
    return key;
}

std::pair<qint64, qint64> Ledger::transfer(Medium from, const QDateTime &fecha, double importe,
                                           const QString &descripcion,
                                           const std::optional<QString> &chequeOfExpense)
{
    std::pair<qint64, qint64> keys;
    {
        Transaction t(Conexion(), Transaction::Mode::Immediate);
        Movement out;
        out.fecha = fecha;
        out.tipo = Direction::Expense;
        out.importe = importe;
        out.medio = from;
        out.descripcion = descripcion;
        out.chequeNumero = chequeOfExpense;
        keys.first = insert(out);

        Movement in = out;
        in.tipo = Direction::Income;
        in.medio = from == Medium::Cash ? Medium::Bank : Medium::Cash;
        in.chequeNumero.reset();
        keys.second = insert(in);

        Exec(QStringLiteral("UPDATE Movimiento SET IDContraAsiento = ? WHERE IDMovimiento = ?"),
             {keys.first, keys.second});
        Exec(QStringLiteral("UPDATE Movimiento SET IDContraAsiento = ? WHERE IDMovimiento = ?"),
             {keys.second, keys.first});
        t.commit();
    }
    emit changed();
    return keys;
}

QList<PaymentLine> Ledger::paymentHistory(qint64 idSocio) const
{
    QList<PaymentLine> lines;
    QSqlQuery q = Exec(QStringLiteral("SELECT Descripcion, Fecha, Importe FROM Movimiento WHERE IDSocio = ?"
                                      " ORDER BY Fecha, IDMovimiento"),
                       {idSocio});
    while (q.next())
        lines.append({TextOrEmpty(q.value(0)), DbDate(q.value(1)), NumberOrZero(q.value(2))});
    return lines;
}

double Ledger::balance(Medium medio) const
{
    const qint64 n = millionths(medio, Direction::Income) - millionths(medio, Direction::Expense);
    return double(n) / 1e6;
}

Balances Ledger::balances() const
{
    return {balance(Medium::Cash), balance(Medium::Bank)};
}
