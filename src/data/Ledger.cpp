#include "data/Ledger.h"
#include "data/ClosedYear.h"
#include "data/Database.h"

#include <QSqlQuery>
#include <cmath>

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
qint64 millionths(const QSqlDatabase &db, Medium medio, Direction tipo)
{
    const Engine engine = EngineOf(db);
    // A text (or blob) written into Importe by another tool would count as 0;
    // such values sort after every number, so the same index finds them at once.
    if (Dialect::NumbersMayHoldText(engine)) {
        QSqlQuery bad = Exec(db, QStringLiteral("SELECT IDMovimiento, Importe FROM Movimiento"
                                            " WHERE MedioPago = ? AND Tipo = ? AND Importe >= '' LIMIT 1"),
                             {MediumCode(medio), DirectionCode(tipo)});
        if (bad.next())
            throw RuntimeError(ErrTypeMismatch, QStringLiteral("El movimiento %1 tiene un importe que no es un número: \"%2\".")
                                                    .arg(bad.value(0).toString(), bad.value(1).toString()));
    }
    QSqlQuery q = Exec(db, QStringLiteral("SELECT ") + Dialect::MillionthsSum(engine, QStringLiteral("Importe"))
                           + QStringLiteral(" FROM Movimiento WHERE MedioPago = ? AND Tipo = ?"),
                       {MediumCode(medio), DirectionCode(tipo)});
    return q.next() ? q.value(0).toLongLong() : 0;
}

// An amount in millionths exactly as the sum above counts it (SQLite's ROUND
// goes half away from zero); nothing when it could not be counted that way.
std::optional<qint64> asMillionths(double importe)
{
    const double v = importe * 1000000.0;
    if (!std::isfinite(v) || std::fabs(v) >= 4503599627370496.0)
        return std::nullopt;
    return v < 0 ? -qint64(-v + 0.5) : qint64(v + 0.5);
}

int mediumIndex(Medium m) { return m == Medium::Cash ? 0 : 1; }
int directionIndex(Direction d) { return d == Direction::Income ? 0 : 1; }

} // namespace

QString DirectionCode(Direction d)
{
    return d == Direction::Income ? QStringLiteral("I") : QStringLiteral("E");
}

QString MediumCode(Medium m)
{
    return m == Medium::Cash ? QStringLiteral("E") : QStringLiteral("C");
}

// What tells whether the file changed since the sums were read: the
// connection opened again (on any file), or the database's change token.
struct Ledger::FileState
{
    quint64 serial = 0;
    const void *driver = nullptr;
    ChangeToken token;
    bool operator==(const FileState &o) const
    {
        return serial == o.serial && driver == o.driver && token == o.token;
    }
};

Ledger &Ledger::instance()
{
    static Ledger ledger{QString()};
    return ledger;
}

QSqlDatabase Ledger::db() const
{
    return m_connection.isEmpty() ? Conexion() : QSqlDatabase::database(m_connection, false);
}

// The shared connection counts its openings (a new file can reuse the old
// driver's memory); any other is told apart by its driver.
Ledger::FileState Ledger::fileState() const
{
    const QSqlDatabase d = db();
    return FileState{m_connection.isEmpty() ? ConexionSerial() : 0, d.driver(), StorageChangeToken(d)};
}

QString FeesNewestFirst()
{
    return Dialect::OrderedAsFile(EngineOf(Conexion()), QStringLiteral("SELECT * FROM Cuota"),
                                  {{QStringLiteral("vigencia"), true, true}, {QStringLiteral("IDCuota"), false, true}});
}

QString FeePaidCondition(const QString &idSocio)
{
    // The (IDSocio, IDCuota) index answers it with one look-up per member.
    return QStringLiteral("EXISTS (SELECT 1 FROM Movimiento WHERE Movimiento.IDSocio = %1 AND Movimiento.IDCuota = ?)")
        .arg(idSocio);
}

bool Ledger::feeAlreadyPaid(qint64 idSocio, qint64 idCuota) const
{
    return Exec(db(), QStringLiteral("SELECT 1 WHERE ") + FeePaidCondition(QStringLiteral("?")), {idSocio, idCuota})
        .next();
}

// The four sums are kept between two readings while nothing but the ledger
// itself wrote to the file: the status bar then follows a fee collection
// without adding up a million rows again. Any other write, by this
// connection or another, makes the next reading add them up again.
struct Ledger::Sums
{
    bool valid = false;
    FileState state;
    qint64 millionths[2][2] = {};
};

Ledger::Ledger(const QString &connectionName) : m_connection(connectionName), m_sums(std::make_unique<Sums>()) {}
Ledger::~Ledger() = default;

const Ledger::Sums &Ledger::sums() const
{
    const FileState now = fileState();
    if (m_sums->valid && m_sums->state == now)
        return *m_sums;
    m_sums->valid = false;
    const QSqlDatabase d = db();
    if (EngineOf(d) == Engine::PostgreSQL) {
        // The server adds the four in one pass over the index, in half the time of four passes.
        for (auto &row : m_sums->millionths)
            row[0] = row[1] = 0;
        QSqlQuery q = Exec(d, QStringLiteral("SELECT MedioPago, Tipo, ")
                           + Dialect::MillionthsSum(Engine::PostgreSQL, QStringLiteral("Importe"))
                           + QStringLiteral(" FROM Movimiento WHERE MedioPago IN ('E', 'C') AND Tipo IN ('I', 'E')"
                                            " GROUP BY MedioPago, Tipo"));
        while (q.next())
            m_sums->millionths[q.value(0).toString() == MediumCode(Medium::Cash) ? 0 : 1]
                              [q.value(1).toString() == DirectionCode(Direction::Income) ? 0 : 1] = q.value(2).toLongLong();
    } else {
        for (Medium m : {Medium::Cash, Medium::Bank})
            for (Direction dir : {Direction::Income, Direction::Expense})
                m_sums->millionths[mediumIndex(m)][directionIndex(dir)] = millionths(d, m, dir);
    }
    m_sums->state = now;
    m_sums->valid = true;
    return *m_sums;
}

Ledger::Kept Ledger::keepSums() const
{
    Kept k;
    k.valid = m_sums->valid && m_sums->state == fileState();
    return k;
}

void Ledger::addToSums(const Kept &kept, const QList<Movement> &written, int changes)
{
    bool ok = kept.valid;
    qint64 delta[2][2] = {};
    for (const Movement &m : written) {
        const auto v = asMillionths(m.importe);
        if (!v) {
            ok = false;
            break;
        }
        delta[mediumIndex(m.medio)][directionIndex(m.tipo)] += *v;
    }
    FileState now;
    if (ok) {
        now = fileState();
        FileState expected = m_sums->state;
        expected.token.changes += changes;
        ok = now == expected;
    }
    if (!ok) {
        m_sums->valid = false;
        return;
    }
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            m_sums->millionths[i][j] += delta[i][j];
    m_sums->state = now;
}

qint64 Ledger::insert(const Movement &m)
{
    return InsertReturningKey(
        db(),
        QStringLiteral("INSERT INTO Movimiento (Fecha, IDSocio, IDCuota, IDCuenta, Tipo, Importe, MedioPago,"
                       " ChequeNumero, Descripcion, Recibo, IDContraAsiento) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {m.fecha, keyOrNull(m.idSocio), keyOrNull(m.idCuota), keyOrNull(m.idCuenta), DirectionCode(m.tipo),
         m.importe, MediumCode(m.medio), textOrNull(m.chequeNumero), m.descripcion, keyOrNull(m.recibo),
         keyOrNull(m.idContraAsiento)},
        QStringLiteral("IDMovimiento"))
        .toLongLong();
}

void Ledger::refuseIfClosed(const QDateTime &fecha) const
{
    RefuseIfClosed(db(), fecha);
}

bool Ledger::recordUnless(const Movement &movement, const std::function<bool()> &refused, qint64 *id)
{
    {
        // Immediate: the write lock is taken before the check, so no other
        // program can write between the check and the insert (a second
        // payment of the same fee, or a payment of the same money).
        Transaction t(db(), Transaction::Mode::Immediate);
        refuseIfClosed(movement.fecha);
        if (refused())
            return false;
        const Kept kept = keepSums();
        const qint64 key = insert(movement);
        t.commit();
        addToSums(kept, {movement}, 1);
        if (id)
            *id = key;
    }
    emit changed();
    return true;
}

Ledger::FeeOutcome Ledger::recordFee(const Movement &movement, qint64 *id, ReceiptUse receipt)
{
    FeeOutcome refusal = FeeOutcome::Recorded;
    recordUnless(
        movement,
        [&] {
            if (feeAlreadyPaid(movement.idSocio.value_or(0), movement.idCuota.value_or(0)))
                refusal = FeeOutcome::AlreadyPaid;
            else if (movement.recibo && receipt == ReceiptUse::MustBeNew && movementWithReceipt(*movement.recibo))
                refusal = FeeOutcome::ReceiptTaken;
            return refusal != FeeOutcome::Recorded;
        },
        id);
    return refusal;
}

qint64 Ledger::recordIncome(const Movement &movement)
{
    Movement m = movement;
    m.tipo = Direction::Income;
    qint64 key = 0;
    {
        Transaction t(db(), Transaction::Mode::Immediate);
        refuseIfClosed(m.fecha);
        const Kept kept = keepSums();
        key = insert(m);
        t.commit();
        addToSums(kept, {m}, 1);
    }
    emit changed();
    return key;
}

Ledger::PaymentOutcome Ledger::recordPayment(const Movement &movement, qint64 *id)
{
    Movement m = movement;
    m.tipo = Direction::Expense;
    const bool recorded = recordUnless(m, [&] { return !covers(balance(m.medio), m.importe); }, id);
    return recorded ? PaymentOutcome::Recorded : PaymentOutcome::NotEnoughMoney;
}

std::pair<qint64, qint64> Ledger::transfer(Medium from, const QDateTime &fecha, double importe,
                                           const QString &descripcion,
                                           const std::optional<QString> &chequeOfExpense)
{
    std::pair<qint64, qint64> keys;
    {
        Transaction t(db(), Transaction::Mode::Immediate);
        refuseIfClosed(fecha);
        const Kept kept = keepSums();
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
        in.idContraAsiento = keys.first;
        keys.second = insert(in);

        Exec(db(), QStringLiteral("UPDATE Movimiento SET IDContraAsiento = ? WHERE IDMovimiento = ?"),
             {keys.second, keys.first});
        t.commit();
        addToSums(kept, {out, in}, 3);
    }
    emit changed();
    return keys;
}

Ledger::StatementOutcome Ledger::recordStatement(const QList<StatementEntry> &entries, const QDateTime &importado,
                                                 QList<qint64> *newKeys)
{
    QList<Movement> written;
    QList<qint64> keys;
    {
        Transaction t(db(), Transaction::Mode::Immediate);
        // A statement holds thousands of lines: each query is prepared once
        // for them all (on the server a preparation is a round trip of its
        // own), and the closing date read once under the lock.
        auto prepared = [this](const QString &sql) {
            QSqlQuery q(db());
            q.setForwardOnly(true);
            if (!q.prepare(sql))
                throw StorageFailure(db(), q.lastError());
            return q;
        };
        auto run = [this](QSqlQuery &q, const QVariantList &binds) {
            for (int i = 0; i < binds.size(); ++i)
                q.bindValue(i, BindableValue(binds.at(i)));
            if (!q.exec())
                throw StorageFailure(db(), q.lastError());
        };
        QSqlQuery taken = prepared(QStringLiteral("SELECT 1 FROM ExtractoLinea WHERE Huella = ?"));
        QSqlQuery unreconciled = prepared(QStringLiteral("SELECT Tipo, Importe FROM Movimiento m WHERE IDMovimiento = ?"
                                                 " AND MedioPago = ? AND NOT EXISTS (SELECT 1 FROM ExtractoLinea x"
                                                 " WHERE x.IDMovimiento = m.IDMovimiento)"));
        const std::optional<QDate> closing = ClosingDate(db());
        // The checks read under the write lock, as the fee's do.
        for (const StatementEntry &e : entries) {
            if (e.nuevo) {
                const QString refusal = ClosedRefusal(closing, e.nuevo->fecha);
                if (!refusal.isEmpty())
                    throw RuntimeError(ErrClosedPeriod, refusal);
            }
            run(taken, {e.huella});
            if (taken.next())
                return StatementOutcome::ChangedMeanwhile;
            if (!e.idMovimiento)
                continue;
            run(unreconciled, {*e.idMovimiento, MediumCode(Medium::Bank)});
            const Direction way = e.importe < 0 ? Direction::Expense : Direction::Income;
            if (!unreconciled.next() || unreconciled.value(0).toString() != DirectionCode(way)
                || std::llround(NumberOrZero(unreconciled.value(1)) * 100) != std::llround(std::fabs(e.importe) * 100))
                return StatementOutcome::ChangedMeanwhile;
        }
        taken.finish();
        unreconciled.finish();
        const Kept kept = keepSums();
        QSqlQuery line = prepared(QStringLiteral("INSERT INTO ExtractoLinea (Fecha, Descripcion, Importe, Referencia,"
                                                 " Huella, IDMovimiento, Importado) VALUES (?, ?, ?, ?, ?, ?, ?)"));
        for (const StatementEntry &e : entries) {
            std::optional<qint64> movement = e.idMovimiento;
            if (e.nuevo) {
                Movement m = *e.nuevo;
                m.medio = Medium::Bank;
                movement = insert(m);
                written << m;
                keys << *movement;
            }
            run(line, {e.fecha, e.descripcion, e.importe, e.referencia, e.huella, keyOrNull(movement), importado});
        }
        line.finish();
        t.commit();
        // The file counts every row written; the server, the statements on movements.
        const int changes = int(written.size()) + (EngineOf(db()) == Engine::SQLite ? int(entries.size()) : 0);
        addToSums(kept, written, changes);
    }
    if (newKeys)
        *newKeys = keys;
    if (!written.isEmpty())
        emit changed();
    return StatementOutcome::Recorded;
}

QList<PaymentLine> Ledger::paymentHistory(qint64 idSocio, HistoryOrder order) const
{
    QList<PaymentLine> lines;
    QSqlQuery q = Exec(db(), order == HistoryOrder::OldestFirst
                           ? QStringLiteral("SELECT Descripcion, Fecha, Importe FROM Movimiento WHERE IDSocio = ?"
                                            " ORDER BY Fecha, IDMovimiento")
                           : QStringLiteral("SELECT Descripcion, Fecha, Importe FROM Movimiento WHERE IDSocio = ?"
                                            " ORDER BY Fecha DESC, IDMovimiento DESC"),
                       {idSocio});
    while (q.next())
        lines.append({TextOrEmpty(q.value(0)), DbDate(q.value(1)), NumberOrZero(q.value(2))});
    return lines;
}

double Ledger::balance(Medium medio) const
{
    const Sums &s = sums();
    const qint64 n = s.millionths[mediumIndex(medio)][0] - s.millionths[mediumIndex(medio)][1];
    return double(n) / 1e6;
}

bool Ledger::covers(double balance, double amount)
{
    return std::llround(balance * 100.0) >= std::llround(amount * 100.0);
}

std::optional<qint64> Ledger::movementWithReceipt(qint64 recibo) const
{
    QSqlQuery q = Exec(db(), QStringLiteral("SELECT IDMovimiento FROM Movimiento WHERE Recibo = ? ORDER BY IDMovimiento LIMIT 1"),
                       {recibo});
    if (!q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

Balances Ledger::balances() const
{
    return {balance(Medium::Cash), balance(Medium::Bank)};
}
