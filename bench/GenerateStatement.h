#pragma once
// A bank statement over the large association, as home banking exports it:
// Windows-1252, ";" between fields, decimal comma, a debit and a credit
// column and a running balance, oldest line first. Most lines are the bank's
// side of the newest bank movements, booked 0 to 3 days after the books date
// them; the rest are the bank's own charges, which match nothing.
#include "data/Database.h"
#include "data/Ledger.h"
#include "treasury/BankStatement.h"

#include <QFile>
#include <QLocale>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <vector>

struct BenchStatement
{
    StatementFormat format;
    int lines = 0;
    QDate first, last;
};

// Writes `matched` lines for the newest bank movements of `db` and `charges`
// lines of the bank's charges to `file`.
inline BenchStatement WriteBenchStatement(const QSqlDatabase &db, const QString &file, int matched, int charges)
{
    struct Line
    {
        QDate fecha;
        QString descripcion;
        qint64 centavos;
    };
    std::vector<Line> lines;
    QSqlQuery q = Exec(db,
                       QStringLiteral("SELECT Fecha, Tipo, Importe, Descripcion FROM Movimiento WHERE MedioPago = ?"
                                      " ORDER BY Fecha DESC, IDMovimiento DESC LIMIT ?"),
                       {MediumCode(Medium::Bank), matched});
    for (int i = 0; q.next(); ++i) {
        const qint64 cents = std::llround(NumberOrZero(q.value(2)) * 100);
        const bool income = q.value(1).toString() == DirectionCode(Direction::Income);
        lines.push_back({DbDate(q.value(0)).date().addDays(i % 4),
                         (income ? QStringLiteral("CRÉDITO TRANSF. ") : QStringLiteral("DÉBITO TRANSF. "))
                             + q.value(3).toString().toUpper(),
                         income ? cents : -cents});
    }
    BenchStatement s;
    s.first = lines.back().fecha;
    s.last = lines.front().fecha;
    static const char *const bank[] = {"COMISIÓN MANTENIMIENTO CUENTA", "IMP. LEY 25413 S/DÉBITOS",
                                       "IVA 21% S/COMISIÓN", "PERCEPCIÓN IIBB", "COMISIÓN TRANSFERENCIA"};
    const int days = int(s.first.daysTo(s.last)) + 1;
    for (int i = 0; i < charges; ++i)
        lines.push_back({s.first.addDays(i % days), QString::fromUtf8(bank[i % 5]), -(1000 + (i * 7919) % 400000)});
    std::stable_sort(lines.begin(), lines.end(), [](const Line &a, const Line &b) { return a.fecha < b.fecha; });

    const QLocale es(QLocale::Spanish, QLocale::Argentina);
    auto amount = [&](qint64 cents) { return es.toString(double(cents) / 100.0, 'f', 2); };
    QString text = QStringLiteral("Fecha;Concepto;Referencia;Débito;Crédito;Saldo\r\n");
    qint64 balance = 250000000;
    int n = 0;
    for (const Line &l : lines) {
        balance += l.centavos;
        text += QStringLiteral("%1;%2;%3;%4;%5;%6\r\n")
                    .arg(l.fecha.toString(QStringLiteral("dd/MM/yyyy")), l.descripcion, QString::number(900000 + ++n),
                         l.centavos < 0 ? amount(-l.centavos) : QString(), l.centavos > 0 ? amount(l.centavos) : QString(),
                         amount(balance));
    }
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toLatin1()) < 0)
        return s;
    s.lines = int(lines.size());
    s.format.separator = QLatin1Char(';');
    s.format.decimal = QLatin1Char(',');
    s.format.fecha = 0;
    s.format.descripcion = 1;
    s.format.referencia = 2;
    s.format.debito = 3;
    s.format.credito = 4;
    s.format.saldo = 5;
    return s;
}

// What the user does with the lines that match nothing: each made a new
// movement of the services account.
inline void TakeBankCharges(Statement &s, qint64 idCuenta)
{
    for (StatementLine &l : s.lines)
        if (l.state == StatementLine::State::Unmatched) {
            l.crear = true;
            l.idCuenta = idCuenta;
        }
}
