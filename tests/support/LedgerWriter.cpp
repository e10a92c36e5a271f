// A program that writes through the ledger, for the tests that need another
// program on the same file.
//
//   ledger_writer DATABASE
// records fee payments and transfers until it is killed, printing the keys of
// each after its commit: the crash test kills it at random moments.
//
//   ledger_writer DATABASE pay AMOUNT COUNT
// waits for a line on its input, then makes COUNT cash payments of AMOUNT the
// way the payment window does (the balance looked at first, a pause for the
// question, then the ledger), printing "P key" for each stored and "R" for
// each refused.
#include "data/Database.h"
#include "data/Ledger.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>

namespace {

int pay(double amount, int count)
{
    char go[8];
    if (!std::fgets(go, sizeof go, stdin))
        return 2;
    Ledger &ledger = Ledger::instance();
    for (int i = 0; i < count; ++i) {
        Movement m;
        m.fecha = QDateTime::currentDateTime();
        m.idCuenta = 20;
        m.importe = amount;
        m.descripcion = QStringLiteral("Pago %1").arg(i);
        qint64 key = 0;
        if (Ledger::covers(ledger.balance(Medium::Cash), amount)) {
            QThread::msleep(20); // "Esta seguro?"
            if (ledger.recordPayment(m, &key) == Ledger::PaymentOutcome::Recorded) {
                std::printf("P %lld\n", key);
                continue;
            }
        }
        std::printf("R\n");
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QList<DbErrorEntry> errors;
    if (!OpenConexion(QString::fromLocal8Bit(argv[1]), &errors))
        return 1;
    if (argc == 5 && qstrcmp(argv[2], "pay") == 0) {
        try {
            return pay(QByteArray(argv[3]).toDouble(), QByteArray(argv[4]).toInt());
        } catch (const RuntimeError &e) {
            std::fprintf(stderr, "%s\n", qPrintable(ErrorText(e)));
            return 1;
        }
    }
    for (int i = 0;; ++i) {
        const Medium from = i % 2 ? Medium::Bank : Medium::Cash;
        try {
            if (i % 3 == 0) {
                Movement fee;
                fee.fecha = QDateTime::currentDateTime();
                // A member of its own per run, so a restarted writer is never refused as a second payment.
                fee.idSocio = QCoreApplication::applicationPid() * qint64(1000000) + i;
                fee.idCuota = 1;
                fee.importe = 1500;
                fee.descripcion = QStringLiteral("Cuota %1").arg(i);
                qint64 key = 0;
                if (Ledger::instance().recordFee(fee, &key) != Ledger::FeeOutcome::Recorded)
                    return 3;
                std::printf("F %lld\n", key);
            } else {
                const auto [out, in] = Ledger::instance().transfer(
                    from, QDateTime::currentDateTime(), 10 + (i % 97) * 0.25, QStringLiteral("Transferencia %1").arg(i));
                std::printf("T %lld %lld\n", out, in);
            }
            std::fflush(stdout);
        } catch (const RuntimeError &e) {
            std::fprintf(stderr, "%s\n", qPrintable(ErrorText(e)));
            return 1;
        }
    }
}
