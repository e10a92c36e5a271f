// The bank statement without any window: the bank's words read (dates,
// amounts, the sample file in Windows-1252 with debit and credit columns),
// each line matched with the right bank movement, the statement taken into
// the books at once and never twice (the same file again, or one that
// overlaps it), another program that got there first, and the closed year.
// The books' cases run on a file and on the same books copied to a server.
#include "data/Database.h"
#include "data/DelimitedText.h"
#include "data/Ledger.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"
#include "treasury/BankStatement.h"

#include <QtTest>

namespace {

const QString kSample = QStringLiteral(TESORIN_TESTS_DIR "/samples/extracto-banco.csv");

// The sample's columns: Fecha;Descripción;Débito;Crédito;Referencia;Saldo.
StatementFormat sampleFormat()
{
    StatementFormat f;
    f.fecha = 0;
    f.descripcion = 1;
    f.debito = 2;
    f.credito = 3;
    f.referencia = 4;
    f.saldo = 5;
    return f;
}

Statement readSample()
{
    return ReadStatement(ReadDelimitedFile(kSample).rows, sampleFormat());
}

QDateTime at(int month, int day, int hour = 10)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, 0));
}

// Bank movements around the sample's, and a cash one of the deposit's amount.
void fill(const QSqlDatabase &db)
{
    Exec(db, "INSERT INTO Cuenta VALUES (1, 'Cuotas', 'I', NULL), (2, 'Gastos bancarios', 'E', NULL)");
    auto add = [&](const QDateTime &when, const char *tipo, double importe, const char *medio, const char *desc) {
        Exec(db, QStringLiteral("INSERT INTO Movimiento (Fecha, Tipo, Importe, MedioPago, Descripcion) VALUES (?, ?, ?, ?, ?)"),
             {when, QLatin1String(tipo), importe, QLatin1String(medio), QString::fromUtf8(desc)});
    };
    add(at(6, 30), "I", 20000, "C", "Deposito en banco");        // 1: the deposit, a day before the bank's
    add(at(7, 1), "I", 20000, "E", "Kermesse");                  // 2: cash, never the bank's
    add(at(7, 15), "E", 12500, "C", "Pintura del patio");        // 3: the cheque, a day before
    add(at(7, 18), "E", 12500, "C", "Otro cheque");              // 4: two days after: loses
    add(at(7, 9), "I", 1500, "C", "Cuota de Gómez, María");      // 5: a day before, same names: wins
    add(at(7, 11), "I", 1500, "C", "Donación");                  // 6: a day after, other words
    add(at(6, 20), "I", 1500, "C", "Cuota de Gómez, María");     // 7: twenty days off
}

QList<StatementLine::State> states(const Statement &s)
{
    QList<StatementLine::State> out;
    for (const StatementLine &l : s.lines)
        out << l.state;
    return out;
}

int count(const char *table)
{
    return Scalar(QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table)).toInt();
}

} // namespace

class tst_BankStatement : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { EngineRows(); }
    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup() { m_env.reset(); }

    void theBanksWordsAreRead()
    {
        FILE_ONLY();
        QCOMPARE(StatementDate("03/07/2026", false), QDate(2026, 7, 3));
        QCOMPARE(StatementDate("07/03/2026 14:05", true), QDate(2026, 7, 3));
        QCOMPARE(StatementDate("2026-07-03", false), QDate(2026, 7, 3));
        QCOMPARE(StatementDate("20260703", false), QDate(2026, 7, 3));
        QCOMPARE(StatementDate("3.7.26", false), QDate(2026, 7, 3));
        QVERIFY(!StatementDate("31/02/2026", false));
        QVERIFY(!StatementDate("Fecha", false));
        const QList<std::tuple<const char *, char, std::optional<qint64>>> amounts = {
            {"1.234,56", ',', 123456}, {"-15,00", ',', -1500}, {"15,00-", ',', -1500},
            {"(1.234,56)", ',', -123456}, {"$ 1.234,5", ',', 123450}, {"1,234.56", '.', 123456},
            {"-0.125", '.', -13}, {"1.234,56", '.', std::nullopt}, {"12a", ',', std::nullopt},
            {"", ',', std::nullopt}};
        for (const auto &[text, mark, cents] : amounts)
            QVERIFY2(StatementCents(QString::fromUtf8(text), QLatin1Char(mark)) == cents, text);

        const DelimitedText file = ReadDelimitedFile(kSample);
        QCOMPARE(file.encoding, TextEncoding::Windows1252);
        QCOMPARE(file.separator, QChar(QLatin1Char(';')));
        const Statement s = ReadStatement(file.rows, sampleFormat());
        QCOMPARE(s.lines.size(), 9);
        QCOMPARE(s.ignoredRows, 6); // the heading, the titles, the opening balance and the totals
        QCOMPARE(s.lines[0].descripcion, QStringLiteral("DEPÓSITO EN EFECTIVO"));
        QCOMPARE(s.lines[0].centavos, 2000000);
        QCOMPARE(s.lines[1].centavos, -125000);
        QCOMPARE(s.closingBalance, std::optional<qint64>(608000));
        // Two equal charges of one day are two lines.
        QCOMPARE(s.lines[6].descripcion, s.lines[7].descripcion);
        QVERIFY(s.lines[6].huella != s.lines[7].huella);
        // Newest first, the closing balance is the first line's.
        QList<QStringList> reversed = ReadDelimitedFile(kSample).rows;
        std::reverse(reversed.begin(), reversed.end());
        QCOMPARE(ReadStatement(reversed, sampleFormat()).closingBalance, std::optional<qint64>(608000));

        StatementFormat f = sampleFormat();
        f.separator = QLatin1Char('\t');
        f.decimal = QLatin1Char('.');
        f.monthFirst = true;
        const auto back = StatementFormat::fromText(f.toText());
        QVERIFY(back && back->toText() == f.toText() && back->separator == QLatin1Char('\t'));
        QVERIFY(!StatementFormat::fromText(QStringLiteral("basura")));
    }

    void theStatementIsMatchedAndTakenOnce()
    {
        m_env->openBooks(fill);
        Statement s = readSample();
        MatchStatement(Conexion(), s);
        using S = StatementLine::State;
        QCOMPARE(states(s), (QList<S>{S::Matched, S::Unmatched, S::Unmatched, S::Unmatched, S::Matched, S::Matched,
                                      S::Unmatched, S::Unmatched, S::Unmatched}));
        QCOMPARE(s.lines[0].idMovimiento, 1);  // the bank's deposit, not the cash one
        QCOMPARE(s.lines[4].idMovimiento, 5);  // the closest date, then the closest words
        QCOMPARE(s.lines[5].idMovimiento, 3);  // the closest date
        QVERIFY(!s.lines[1].crear && !s.lines[1].idCuenta); // nothing taken before to propose from
        for (StatementLine &l : s.lines)
            if (l.state == S::Unmatched && l.row != 14) { // the last commission is left for later
                l.idCuenta = 2;
                l.crear = true;
            }
        const double bankBefore = Ledger::instance().balance(Medium::Bank);
        QCOMPARE(RecordStatement(Ledger::instance(), s, at(8, 1)), Ledger::StatementOutcome::Recorded);
        QCOMPARE(count("Movimiento"), 7 + 5);
        QCOMPARE(count("ExtractoLinea"), 8);
        QCOMPARE(Ledger::instance().balance(Medium::Bank), bankBefore - 1250 - 262.5 - 7.5 - 75 - 75);
        QCOMPARE(Scalar("SELECT COUNT(*) FROM Movimiento WHERE MedioPago = 'C' AND Tipo = 'E' AND IDCuenta = 2"
                        " AND Descripcion = 'COMISIÓN MANTENIMIENTO CUENTA' AND Fecha = '2026-07-03 00:00:00'").toInt(),
                 1);
        QCOMPARE(ReconciledCents(Conexion()), 608000 + 125000); // the last commission is not in yet

        // The same file again: the taken lines are known, the one left is offered with its account.
        Statement again = readSample();
        MatchStatement(Conexion(), again);
        QCOMPARE(Summarize(again).imported, 8);
        QCOMPARE(again.lines[8].state, S::Unmatched);
        QVERIFY(again.lines[8].crear && again.lines[8].idCuenta == 2);
        again.lines[8].crear = false;
        QCOMPARE(RecordStatement(Ledger::instance(), again, at(8, 2)), Ledger::StatementOutcome::Recorded);
        QCOMPARE(count("Movimiento"), 12);
        QCOMPARE(count("ExtractoLinea"), 8);

        // A statement that overlaps it: its lines of 17/07 are the same two charges.
        const QList<QStringList> next = SplitDelimited(
            QStringLiteral("17/07/2026;IMP. LEY 25413 DÉB.;75,00;;;7.405,00\n"
                           "17/07/2026;IMP. LEY 25413 DÉB.;75,00;;;7.330,00\n"
                           "04/08/2026;IMP. LEY 25413 DÉB.;9,00;;;7.321,00\n"),
            QLatin1Char(';'));
        Statement overlap = ReadStatement(next, sampleFormat());
        MatchStatement(Conexion(), overlap);
        QCOMPARE(states(overlap), (QList<S>{S::Imported, S::Imported, S::Unmatched}));
        QCOMPARE(overlap.lines[2].idCuenta, std::optional<qint64>(2));
        QCOMPARE(RecordStatement(Ledger::instance(), overlap, at(8, 5)), Ledger::StatementOutcome::Recorded);
        QCOMPARE(count("Movimiento"), 13);
        QCOMPARE(count("ExtractoLinea"), 9);
    }

    void anotherProgramOrAClosedYearWritesNothing()
    {
        m_env->openBooks(fill);
        QVERIFY(m_env->openOtherConnection(QStringLiteral("otra")));
        Statement mine = readSample();
        MatchStatement(Conexion(), mine);
        // Another PC takes the deposit's line first, reconciling the same movement.
        {
            Ledger other(QStringLiteral("otra"));
            Statement theirs = readSample();
            MatchStatement(QSqlDatabase::database(QStringLiteral("otra")), theirs);
            theirs.lines = {theirs.lines.first()};
            QCOMPARE(RecordStatement(other, theirs, at(8, 1)), Ledger::StatementOutcome::Recorded);
        }
        CloseConnection(QStringLiteral("otra"));
        for (StatementLine &l : mine.lines)
            if (l.state == StatementLine::State::Unmatched) {
                l.idCuenta = 2;
                l.crear = true;
            }
        QCOMPARE(RecordStatement(Ledger::instance(), mine, at(8, 1)), Ledger::StatementOutcome::ChangedMeanwhile);
        QCOMPARE(count("Movimiento"), 7);
        QCOMPARE(count("ExtractoLinea"), 1);

        // Read again, it is all to do but that line; with July closed, none of it is written.
        MatchStatement(Conexion(), mine);
        QCOMPARE(Summarize(mine).imported, 1);
        for (StatementLine &l : mine.lines)
            if (l.state == StatementLine::State::Unmatched) {
                l.idCuenta = 2;
                l.crear = true;
            }
        Exec(QStringLiteral("INSERT INTO Parametro (Parametro, Valor) VALUES ('CIERRE', '2026-07-05 00:00:00')"));
        try {
            RecordStatement(Ledger::instance(), mine, at(8, 1));
            QFAIL("a movement was dated in a closed year");
        } catch (const RuntimeError &e) {
            QVERIFY2(e.description().contains(QStringLiteral("05/07/2026")), qPrintable(e.description()));
        }
        QCOMPARE(count("Movimiento"), 7);
        QCOMPARE(count("ExtractoLinea"), 1);
    }

private:
    std::unique_ptr<TestEnv> m_env;
};

QTEST_GUILESS_MAIN(tst_BankStatement)
#include "tst_BankStatement.moc"
