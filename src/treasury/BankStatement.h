#pragma once
// The bank statement taken into the books: the lines that home banking
// exports read with the columns the user chose, each matched with a bank
// movement not yet reconciled, or made a new movement, and nothing written
// until the whole statement is accepted. Every line once taken is kept with
// its fingerprint, so the same statement, or one that overlaps it, adds
// nothing a second time. No widgets here: the window only shows and asks.
#include "data/Ledger.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

// The setting that remembers the last file's columns for the next one.
inline const char *const kStatementFormatSetting = "EXTRACTO";

// How a bank's file is read. Columns count from 0; -1: the file has none.
struct StatementFormat
{
    QChar separator = QLatin1Char(';');
    QChar decimal = QLatin1Char(',');
    bool monthFirst = false; // 03/01/2026 is the 1st of March
    int fecha = -1;
    int descripcion = -1;
    int importe = -1; // one signed amount...
    int debito = -1;  // ...or a debit and a credit column
    int credito = -1;
    int referencia = -1;
    int saldo = -1; // the running balance, when the bank gives it

    // A date and some amount are chosen.
    bool usable() const { return fecha >= 0 && (importe >= 0 || debito >= 0 || credito >= 0); }
    QString toText() const;
    static std::optional<StatementFormat> fromText(const QString &text);
};

// A date as banks write it: day/month/year (month/day/year with
// `monthFirst`), with "/", "-" or "."; a year first, or 8 digits, is read as
// year, month, day. A time after it is left aside. Nothing when it is no date.
std::optional<QDate> StatementDate(const QString &text, bool monthFirst);
// An amount in cents, with `decimal` as the decimal mark and the other one as
// thousands marks; "-" before or after it, or brackets, make it negative; a
// currency sign is left aside. Nothing when empty or no number.
std::optional<qint64> StatementCents(const QString &text, QChar decimal);

struct StatementLine
{
    int row = 0; // the file's record, 1 the first
    QDate fecha;
    QString descripcion;
    qint64 centavos = 0; // a credit positive, a debit negative
    QString referencia;
    std::optional<qint64> saldo;
    QString huella;

    enum class State { Imported, Matched, Unmatched };
    State state = State::Unmatched;
    // Matched: the bank movement it reconciles.
    qint64 idMovimiento = 0;
    QDateTime fechaMovimiento;
    QString descripcionMovimiento;
    // Unmatched: whether it becomes a new movement, and of which account.
    bool crear = false;
    std::optional<qint64> idCuenta;
};

struct Statement
{
    QList<StatementLine> lines;
    int ignoredRows = 0;                  // titles, totals: rows without a date or an amount
    std::optional<qint64> closingBalance; // cents, from the running balance of the latest line
};

// The file's rows read with `format` (pure: no books).
Statement ReadStatement(const QList<QStringList> &rows, const StatementFormat &format);

// Reads the books for the statement: lines taken before are marked Imported;
// each other line is matched with a bank movement not yet reconciled, of the
// same amount and direction, dated within 5 days (the closest date wins, then
// the closest description, then the older movement); an unmatched line gets
// the account of the last line of the same description taken before, and is
// then proposed as a new movement. Throws RuntimeError.
void MatchStatement(const QSqlDatabase &db, Statement &statement);

// The bank's balance as the reconciled lines make it, in cents. Throws RuntimeError.
qint64 ReconciledCents(const QSqlDatabase &db);

// What taking a statement did.
struct StatementSummary
{
    int matched = 0;
    int created = 0;
    int imported = 0; // taken before
    int leftOut = 0;  // unmatched lines not made movements
};
StatementSummary Summarize(const Statement &statement);

// Takes the statement into the books through the ledger, in one transaction:
// the matched lines reconcile their movements, the unmatched ones marked
// `crear` with an account become bank movements dated on their day. The
// others are left for another time.
Ledger::StatementOutcome RecordStatement(Ledger &ledger, const Statement &statement, const QDateTime &now); // throws RuntimeError

// The remembered format, or nothing when none was saved; and saving it,
// silently skipped on books that cannot be written.
std::optional<StatementFormat> SavedStatementFormat(const QSqlDatabase &db);
void SaveStatementFormat(const QSqlDatabase &db, const StatementFormat &format);
