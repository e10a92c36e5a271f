// A program that records transfers through the ledger until it is killed,
// printing the keys of each one after its commit: the crash test kills it at
// random moments and then checks the file.
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
            const auto [out, in] = Ledger::instance().transfer(from, QDateTime::currentDateTime(), 10 + (i % 97) * 0.25,
                                                               QStringLiteral("Transferencia %1").arg(i));
            std::printf("%lld %lld\n", out, in);
            std::fflush(stdout);
        } catch (const RuntimeError &e) {
            std::fprintf(stderr, "%s\n", qPrintable(ErrorText(e)));
            return 1;
        }
    }
}
