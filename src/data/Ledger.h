#pragma once
// The ledger: every movement the treasury windows record goes through here,
// on the shared connection, and nothing here asks the user anything. Each
// operation that writes more than one thing writes it in one transaction;
// after each commit `changed()` is emitted, so whatever shows the balances
// follows without the windows having to remember it.
// A movement dated on or before the closing day (ClosedYear.h) is refused by
// every write with RuntimeError(ErrClosedPeriod), checked in its transaction.
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// Which way the money goes, and where it is kept. These two are the only place
// that knows the letters the file stores for them.
enum class Direction { Income, Expense };
enum class Medium { Cash, Bank };
QString DirectionCode(Direction d); // "I" / "E"
QString MediumCode(Medium m);       // "E" (cash) / "C" (bank)

// One movement as a window records it; unset keys are stored as null.
struct Movement
{
    QDateTime fecha;
    std::optional<qint64> idSocio;
    std::optional<qint64> idCuota;
    std::optional<qint64> idCuenta;
    Direction tipo = Direction::Income;
    double importe = 0;
    Medium medio = Medium::Cash;
    QString descripcion;
    std::optional<qint64> recibo;
    std::optional<QString> chequeNumero;
    std::optional<qint64> idContraAsiento; // the other row of a transfer
};

// One line of a member's payment history.
struct PaymentLine
{
    QString descripcion;
    QDateTime fecha;
    double importe = 0;
};

// The fees, every column, newest first (by vigencia, those without one last;
// of one vigencia the last entered first), as the shared connection's engine
// orders them: the fee window's list and the unpaid-fee report's question.
QString FeesNewestFirst();

// "The member paid the fee", inside a statement: a movement of the member
// carries the fee, whatever its date or kind. `idSocio` is the member's key
// as the statement names it ("?" when bound); the fee is the bound value that
// follows it. The fee window's refusal and the unpaid-fee report share it.
QString FeePaidCondition(const QString &idSocio);

// One line of a bank statement as the books take it: it reconciles a bank
// movement already recorded, or records a new one.
struct StatementEntry
{
    QDateTime fecha;
    QString descripcion;
    double importe = 0; // as the bank signs it: a credit positive, a debit negative
    QString referencia;
    QString huella;                     // the line's fingerprint: it is taken once
    std::optional<qint64> idMovimiento; // the movement it reconciles
    std::optional<Movement> nuevo;      // or the bank movement it records
};

struct Balances
{
    double caja = 0;
    double banco = 0;
};

class Ledger : public QObject
{
    Q_OBJECT
public:
    // The ledger over the shared connection (made again when a server
    // connection was lost), which the program's windows use.
    static Ledger &instance();
    // A ledger over another open connection, by its name: a second program's
    // books in the same process, for a tool or a test.
    explicit Ledger(const QString &connectionName);
    ~Ledger() override;

    // True when the member already has a movement for that fee.
    bool feeAlreadyPaid(qint64 idSocio, qint64 idCuota) const; // throws RuntimeError

    enum class FeeOutcome { Recorded, AlreadyPaid, ReceiptTaken };
    // Whether a receipt number another movement already carries may be stored
    // again (the user said so) or refuses the fee.
    enum class ReceiptUse { MustBeNew, MayRepeat };
    // Records a member's fee as one cash income, unless a movement for the same
    // member and fee exists, or (`MustBeNew`) one carrying the same receipt
    // number: the checks and the insert are one write transaction, so two
    // programs never both collect the fee nor both store the receipt.
    // `movement` must carry idSocio and idCuota. `id` receives the new key.
    FeeOutcome recordFee(const Movement &movement, qint64 *id = nullptr,
                         ReceiptUse receipt = ReceiptUse::MustBeNew); // throws RuntimeError

    // Records one income (other income).
    qint64 recordIncome(const Movement &movement); // throws RuntimeError

    enum class PaymentOutcome { Recorded, NotEnoughMoney };
    // Records one expense (a payment), unless its medium holds less than the
    // amount: the balance is read and the row inserted in one write
    // transaction, so two programs paying at once never both spend the same
    // money. `id` receives the new key.
    PaymentOutcome recordPayment(const Movement &movement, qint64 *id = nullptr); // throws RuntimeError

    enum class StatementOutcome { Recorded, ChangedMeanwhile };
    // Takes a bank statement's lines into the books, all of them or none: the
    // new movements are recorded and every line is kept, naming its movement.
    // `ChangedMeanwhile`, writing nothing, when a line was taken meanwhile or
    // a movement to reconcile is no longer a bank movement of that amount and
    // direction not yet reconciled (another program got there first). The
    // bank's debits are recorded whatever the balance: they already happened.
    // `newKeys` receives the keys of the new movements, in order.
    StatementOutcome recordStatement(const QList<StatementEntry> &entries, const QDateTime &importado,
                                     QList<qint64> *newKeys = nullptr); // throws RuntimeError

    // Moves money between the media: an expense from `from`, then an income
    // into the other naming the expense in IDContraAsiento, then the expense
    // made to name the income; both rows or neither.
    // `chequeOfExpense` is written on the expense row only. Returns the keys
    // of the expense and the income rows.
    std::pair<qint64, qint64> transfer(Medium from, const QDateTime &fecha, double importe,
                                       const QString &descripcion,
                                       const std::optional<QString> &chequeOfExpense = std::nullopt);

    // The member's movements in the order they were made.
    // The member's movements by date, oldest first (the receipt's history) or
    // newest first (the statement); movements of the same moment follow the
    // order they were recorded in, the same way round.
    enum class HistoryOrder { OldestFirst, NewestFirst };
    QList<PaymentLine> paymentHistory(qint64 idSocio, HistoryOrder order = HistoryOrder::OldestFirst) const; // throws RuntimeError

    // Income less expenses of one medium, summed exactly (to the millionth).
    double balance(Medium medio) const; // throws RuntimeError
    // Whether a balance pays an amount. They are compared in whole cents, so
    // binary leftovers of a sum never refuse a payment equal to the balance.
    static bool covers(double balance, double amount);

    // The movement that carries a receipt number, if any (the oldest of several).
    std::optional<qint64> movementWithReceipt(qint64 recibo) const; // throws RuntimeError
    Balances balances() const;          // throws RuntimeError

    // For writers outside the ledger (the table editor): the movements changed.
    void notifyChanged() { emit changed(); }

signals:
    void changed();

private:
    QSqlDatabase db() const;
    struct FileState;
    FileState fileState() const;
    struct Sums;
    struct Kept
    {
        bool valid = false;
    };
    qint64 insert(const Movement &movement);
    // Throws RuntimeError(ErrClosedPeriod) when `fecha` falls in the closed
    // year; every write calls it under its write lock, before writing.
    void refuseIfClosed(const QDateTime &fecha) const;
    // Inserts `movement` unless `refused()`, asked under the write lock;
    // whether it was inserted.
    bool recordUnless(const Movement &movement, const std::function<bool()> &refused, qint64 *id);
    const Sums &sums() const;
    // Before a write: whether the kept sums are those of the file as it is.
    Kept keepSums() const;
    // After it: adds what was written, or drops the sums when anything else
    // changed the file meanwhile (`changes`: the rows the write itself changed).
    void addToSums(const Kept &kept, const QList<Movement> &written, int changes);

    QString m_connection; // empty: the shared connection
    std::unique_ptr<Sums> m_sums;
};
