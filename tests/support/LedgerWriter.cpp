// A program that records fee payments and transfers through the ledger until
// it is killed, printing the keys of each after its commit: the crash test
// kills it at random moments and then checks the file.
//
//   ledger_writer DATABASE
#include "data/Database.h"
#include "data/Ledger.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QList<DbErrorEntry> errors;
    if (!OpenConexion(QString::fromLocal8Bit(argv[1]), &errors))
        return 1;
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
