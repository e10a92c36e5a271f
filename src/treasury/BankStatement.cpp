#include "treasury/BankStatement.h"
#include "data/Database.h"
#include "data/DelimitedText.h"
#include "data/Storage.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>

namespace {

// The days a bank may book a movement before or after the books date it.
constexpr int kMatchDays = 5;

QString separatorName(QChar c)
{
    return c == QLatin1Char('\t') ? QStringLiteral("tab") : QString(c);
}

QChar separatorOf(const QString &name)
{
    if (name == QLatin1String("tab"))
        return QLatin1Char('\t');
    return name.isEmpty() ? QChar() : name.at(0);
}

// How alike two descriptions are: the words they share, folded, out of the
// longer one's words (0 to 1000).
int likeness(const QString &a, const QString &b)
{
    const QStringList wa = FoldedWords(a).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QStringList wb = FoldedWords(b).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (wa.isEmpty() || wb.isEmpty())
        return 0;
    const QSet<QString> sb(wb.cbegin(), wb.cend());
    int shared = 0;
    for (const QString &w : wa)
        shared += sb.contains(w) ? 1 : 0;
    return shared * 1000 / int(std::max(wa.size(), wb.size()));
}

QString dayText(const QDate &d)
{
    return DbDateText(QDateTime(d, QTime(0, 0)));
}

} // namespace

QString StatementFormat::toText() const
{
    return QStringLiteral("separador=%1|decimal=%2|mesprimero=%3|fecha=%4|descripcion=%5|importe=%6|debito=%7|"
                          "credito=%8|referencia=%9|saldo=%10")
        .arg(separatorName(separator), QString(decimal), QString::number(monthFirst ? 1 : 0), QString::number(fecha),
             QString::number(descripcion), QString::number(importe), QString::number(debito),
             QString::number(credito), QString::number(referencia))
        .arg(saldo);
}

std::optional<StatementFormat> StatementFormat::fromText(const QString &text)
{
    QHash<QString, QString> v;
    for (const QString &part : text.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const int eq = int(part.indexOf(QLatin1Char('=')));
        if (eq > 0)
            v.insert(part.left(eq), part.mid(eq + 1));
    }
    if (!v.contains(QStringLiteral("fecha")))
        return std::nullopt;
    StatementFormat f;
    f.separator = separatorOf(v.value(QStringLiteral("separador"), QStringLiteral(";")));
    const QString decimal = v.value(QStringLiteral("decimal"), QStringLiteral(","));
    f.decimal = decimal.isEmpty() ? QChar() : decimal.at(0);
    if (f.separator.isNull() || (f.decimal != QLatin1Char(',') && f.decimal != QLatin1Char('.')))
        return std::nullopt;
    f.monthFirst = v.value(QStringLiteral("mesprimero")) == QLatin1String("1");
    auto col = [&](const char *key) {
        bool ok = false;
        const int c = v.value(QLatin1String(key)).toInt(&ok);
        return ok && c >= 0 ? c : -1;
    };
    f.fecha = col("fecha");
    f.descripcion = col("descripcion");
    f.importe = col("importe");
    f.debito = col("debito");
    f.credito = col("credito");
    f.referencia = col("referencia");
    f.saldo = col("saldo");
    return f;
}

std::optional<QDate> StatementDate(const QString &text, bool monthFirst)
{
    // Compiled once: a statement reads thousands of dates and amounts.
    static const QRegularExpression timeStart(QStringLiteral("[ T]"));
    const QString t = text.trimmed().section(timeStart, 0, 0);
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    static const QRegularExpression parts(QStringLiteral("^(\\d{1,4})[/.-](\\d{1,2})[/.-](\\d{1,4})$"));
    int y = 0, m = 0, d = 0;
    if (const auto c = compact.match(t); c.hasMatch()) {
        y = c.captured(1).toInt();
        m = c.captured(2).toInt();
        d = c.captured(3).toInt();
    } else if (const auto p = parts.match(t); p.hasMatch()) {
        if (p.captured(1).size() == 4) {
            y = p.captured(1).toInt();
            m = p.captured(2).toInt();
            d = p.captured(3).toInt();
        } else {
            if (p.captured(3).size() == 3)
                return std::nullopt;
            const int a = p.captured(1).toInt(), b = p.captured(2).toInt();
            d = monthFirst ? b : a;
            m = monthFirst ? a : b;
            y = p.captured(3).toInt();
            if (p.captured(3).size() <= 2)
                y += 2000;
        }
    } else {
        return std::nullopt;
    }
    const QDate date(y, m, d);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<qint64> StatementCents(const QString &text, QChar decimal)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('(')) && t.endsWith(QLatin1Char(')'))) {
        negative = true;
        t = t.mid(1, t.size() - 2);
    }
    // Currency signs and blanks (a bank's "$ 1.234,56", "ARS -15,00").
    static const QRegularExpression currency(QStringLiteral("[\\s\\x{00A0}$€]|ARS|U\\$S|USD"));
    t.remove(currency);
    if (t.startsWith(QLatin1Char('-'))) {
        negative = !negative;
        t.remove(0, 1);
    } else if (t.endsWith(QLatin1Char('-'))) {
        negative = !negative;
        t.chop(1);
    } else if (t.startsWith(QLatin1Char('+'))) {
        t.remove(0, 1);
    }
    // Thousands marks only between groups of three digits: "1.234,56" read
    // with a decimal point is no amount, never 1,23 or 123456.
    static const QRegularExpression commaNumber(QStringLiteral("^(\\d{1,3}(?:[.']\\d{3})+|\\d+)(?:,(\\d*))?$"));
    static const QRegularExpression pointNumber(QStringLiteral("^(\\d{1,3}(?:[,']\\d{3})+|\\d+)(?:\\.(\\d*))?$"));
    static const QRegularExpression commaMarks(QStringLiteral("[.']"));
    static const QRegularExpression pointMarks(QStringLiteral("[,']"));
    const bool comma = decimal == QLatin1Char(',');
    const auto m = (comma ? commaNumber : pointNumber).match(t);
    if (!m.hasMatch())
        return std::nullopt;
    const QString whole = m.captured(1).remove(comma ? commaMarks : pointMarks);
    if (whole.size() > 15)
        return std::nullopt;
    qint64 cents = whole.toLongLong() * 100;
    const QString fraction = m.captured(2);
    if (!fraction.isEmpty()) {
        cents += fraction.left(2).leftJustified(2, QLatin1Char('0')).toLongLong();
        if (fraction.size() > 2 && fraction.at(2) >= QLatin1Char('5'))
            ++cents; // half a cent and more, up
    }
    return negative ? -cents : cents;
}

Statement ReadStatement(const QList<QStringList> &rows, const StatementFormat &format)
{
    Statement s;
    QHash<QString, int> seen; // identical lines of one file are told apart by their count
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList &row = rows[r];
        auto cell = [&](int c) { return c >= 0 ? row.value(c).trimmed() : QString(); };
        const auto date = StatementDate(cell(format.fecha), format.monthFirst);
        std::optional<qint64> amount;
        if (format.importe >= 0) {
            amount = StatementCents(cell(format.importe), format.decimal);
        } else {
            const auto debit = StatementCents(cell(format.debito), format.decimal);
            const auto credit = StatementCents(cell(format.credito), format.decimal);
            if (debit || credit)
                amount = std::llabs(credit.value_or(0)) - std::llabs(debit.value_or(0));
        }
        if (!date || !amount || *amount == 0) {
            ++s.ignoredRows;
            continue;
        }
        StatementLine line;
        line.row = r + 1;
        line.fecha = *date;
        line.descripcion = cell(format.descripcion).simplified();
        line.centavos = *amount;
        line.referencia = cell(format.referencia).simplified();
        line.saldo = StatementCents(cell(format.saldo), format.decimal);
        const QString base = QStringLiteral("%1|%2|%3|%4")
                                 .arg(date->toString(Qt::ISODate))
                                 .arg(*amount)
                                 .arg(FoldedWords(line.descripcion), FoldedWords(line.referencia));
        line.huella = base + QStringLiteral("|") + QString::number(++seen[base]);
        s.lines << line;
    }
    // Banks list oldest or newest first: the closing balance is the latest line's.
    if (!s.lines.isEmpty()) {
        const bool newestFirst = s.lines.constFirst().fecha > s.lines.constLast().fecha;
        const StatementLine &latest = newestFirst ? s.lines.constFirst() : s.lines.constLast();
        s.closingBalance = latest.saldo;
    }
    return s;
}

void MatchStatement(const QSqlDatabase &db, Statement &statement)
{
    if (statement.lines.isEmpty())
        return;
    QDate first = statement.lines.constFirst().fecha, last = first;
    for (const StatementLine &l : std::as_const(statement.lines)) {
        first = std::min(first, l.fecha);
        last = std::max(last, l.fecha);
    }
    // The lines taken before, read by the date range (indexed), not one by one.
    QSet<QString> taken;
    {
        RowReader r(db, QStringLiteral("SELECT Huella FROM ExtractoLinea WHERE Fecha >= ? AND Fecha < ?"),
                    {dayText(first), dayText(last.addDays(1))});
        while (r.next())
            taken.insert(QString::fromUtf8(r.text(0)));
    }
    // The bank movements near the statement's days that no line reconciles yet.
    struct Candidate
    {
        qint64 id;
        QDateTime fecha;
        QString descripcion;
        bool used = false;
    };
    QHash<qint64, QList<Candidate>> byAmount; // signed cents
    {
        // The bank is told apart here, not in the statement: with MedioPago
        // in it, SQLite (whose file has no statistics) reads every bank
        // movement of ten years along the (MedioPago, Tipo, Importe) index
        // instead of the statement's days along the date's.
        RowReader r(db,
                    QStringLiteral("SELECT m.IDMovimiento, m.Fecha, m.Tipo, m.Importe, m.Descripcion, m.MedioPago"
                                   " FROM Movimiento m WHERE m.Fecha >= ? AND m.Fecha < ? AND NOT EXISTS"
                                   " (SELECT 1 FROM ExtractoLinea x WHERE x.IDMovimiento = m.IDMovimiento)"),
                    {dayText(first.addDays(-kMatchDays)), dayText(last.addDays(kMatchDays + 1))});
        const QByteArray bank = MediumCode(Medium::Bank).toLatin1();
        while (r.next()) {
            // The file's column compares without case.
            if (r.text(5).compare(bank, Qt::CaseInsensitive) != 0)
                continue;
            const double importe = r.type(3) == RowReader::Type::Text ? QString::fromUtf8(r.text(3)).toDouble()
                                                                       : r.real(3);
            const qint64 cents = std::llround(importe * 100);
            const bool income = r.value(2).toString() == DirectionCode(Direction::Income);
            byAmount[income ? cents : -cents].append(
                Candidate{r.integer(0), DbDate(r.value(1)), QString::fromUtf8(r.text(4))});
        }
    }
    // Every possible pair, best first; each line and each movement taken once.
    struct Pair
    {
        int days, unlike;
        qint64 id;
        int line;
        Candidate *candidate;
    };
    std::vector<Pair> pairs;
    for (int i = 0; i < statement.lines.size(); ++i) {
        StatementLine &l = statement.lines[i];
        l.state = taken.contains(l.huella) ? StatementLine::State::Imported : StatementLine::State::Unmatched;
        if (l.state == StatementLine::State::Imported)
            continue;
        auto it = byAmount.find(l.centavos);
        if (it == byAmount.end())
            continue;
        for (Candidate &c : *it) {
            const int days = int(std::llabs(c.fecha.date().daysTo(l.fecha)));
            if (days <= kMatchDays)
                pairs.push_back(Pair{days, 1000 - likeness(l.descripcion, c.descripcion), c.id, i, &c});
        }
    }
    std::sort(pairs.begin(), pairs.end(), [](const Pair &a, const Pair &b) {
        return std::tie(a.days, a.unlike, a.id, a.line) < std::tie(b.days, b.unlike, b.id, b.line);
    });
    for (const Pair &p : pairs) {
        StatementLine &l = statement.lines[p.line];
        if (p.candidate->used || l.state != StatementLine::State::Unmatched)
            continue;
        p.candidate->used = true;
        l.state = StatementLine::State::Matched;
        l.idMovimiento = p.candidate->id;
        l.fechaMovimiento = p.candidate->fecha;
        l.descripcionMovimiento = p.candidate->descripcion;
    }
    // The account of the last line of the same description, once per description.
    QHash<QString, std::optional<qint64>> accounts;
    for (StatementLine &l : statement.lines) {
        if (l.state != StatementLine::State::Unmatched || l.descripcion.isEmpty())
            continue;
        if (!accounts.contains(l.descripcion)) {
            QSqlQuery q = Exec(db, QStringLiteral("SELECT m.IDCuenta FROM ExtractoLinea x JOIN Movimiento m"
                                                  " ON m.IDMovimiento = x.IDMovimiento WHERE x.Descripcion = ?"
                                                  " AND m.IDCuenta IS NOT NULL ORDER BY x.IDExtractoLinea DESC LIMIT 1"),
                               {l.descripcion});
            accounts.insert(l.descripcion, q.next() ? std::optional<qint64>(q.value(0).toLongLong()) : std::nullopt);
        }
        l.idCuenta = accounts.value(l.descripcion);
        l.crear = l.idCuenta.has_value();
    }
}

qint64 ReconciledCents(const QSqlDatabase &db)
{
    // Each line's own amount is its movement's, signed as the bank signs it.
    QSqlQuery q = Exec(db, QStringLiteral("SELECT SUM(ROUND(Importe * 100)) FROM ExtractoLinea WHERE IDMovimiento IS NOT NULL"));
    return q.next() ? std::llround(q.value(0).toDouble()) : 0;
}

StatementSummary Summarize(const Statement &statement)
{
    StatementSummary s;
    for (const StatementLine &l : statement.lines) {
        switch (l.state) {
        case StatementLine::State::Imported:
            ++s.imported;
            break;
        case StatementLine::State::Matched:
            ++s.matched;
            break;
        case StatementLine::State::Unmatched:
            if (l.crear && l.idCuenta)
                ++s.created;
            else
                ++s.leftOut;
            break;
        }
    }
    return s;
}

Ledger::StatementOutcome RecordStatement(Ledger &ledger, const Statement &statement, const QDateTime &now)
{
    QList<StatementEntry> entries;
    for (const StatementLine &l : statement.lines) {
        StatementEntry e;
        e.fecha = QDateTime(l.fecha, QTime(0, 0));
        e.descripcion = l.descripcion;
        e.importe = double(l.centavos) / 100.0;
        e.referencia = l.referencia;
        e.huella = l.huella;
        if (l.state == StatementLine::State::Matched) {
            e.idMovimiento = l.idMovimiento;
        } else if (l.state == StatementLine::State::Unmatched && l.crear && l.idCuenta) {
            Movement m;
            m.fecha = e.fecha;
            m.idCuenta = l.idCuenta;
            m.tipo = l.centavos < 0 ? Direction::Expense : Direction::Income;
            m.importe = double(std::llabs(l.centavos)) / 100.0;
            m.medio = Medium::Bank;
            m.descripcion = l.descripcion;
            e.nuevo = m;
        } else {
            continue;
        }
        entries << e;
    }
    return ledger.recordStatement(entries, now);
}

std::optional<StatementFormat> SavedStatementFormat(const QSqlDatabase &db)
{
    QSqlQuery q = Exec(db, QStringLiteral("SELECT Valor FROM Parametro WHERE ")
                               + Dialect::SameNoCase(EngineOf(db), QStringLiteral("Parametro")),
                       {QLatin1String(kStatementFormatSetting)});
    if (!q.next())
        return std::nullopt;
    return StatementFormat::fromText(q.value(0).toString());
}

void SaveStatementFormat(const QSqlDatabase &db, const StatementFormat &format)
{
    if (StorageIsReadOnly(db))
        return;
    Transaction t(db, Transaction::Mode::Immediate);
    const QString name = QLatin1String(kStatementFormatSetting);
    if (Exec(db, QStringLiteral("UPDATE Parametro SET Valor = ? WHERE ")
                     + Dialect::SameNoCase(EngineOf(db), QStringLiteral("Parametro")),
             {format.toText(), name})
            .numRowsAffected()
        == 0)
        Exec(db, QStringLiteral("INSERT INTO Parametro (Parametro, Valor) VALUES (?, ?)"), {name, format.toText()});
    t.commit();
}
