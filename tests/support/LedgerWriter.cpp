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
//
//   ledger_writer DATABASE fee ROUNDS
// waits for a line on its input, then collects fee 1 of members 1 to ROUNDS
// the way the fee window does (asked first, then the ledger), printing
// "F key" for each stored and "Y" for each found already paid.
//
//   ledger_writer DATABASE receipt COUNT
// waits for a line on its input, then collects COUNT fees with a hand-written
// receipt the way the fee window does (the next number proposed, a pause for
// the box, then the ledger), printing "F key number" for each stored and "T"
// for each number another program stored first.
//
// DATABASE "postgresql:NAME" is the database NAME on the test server that
// TESORIN_PG_HOST, TESORIN_PG_PORT and TESORIN_PG_USER name.
#include "data/Database.h"
#include "data/Ledger.h"
#include "data/Parametros.h"

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

int collectFees(int rounds)
{
    char go[8];
    if (!std::fgets(go, sizeof go, stdin))
        return 2;
    Ledger &ledger = Ledger::instance();
    for (int socio = 1; socio <= rounds; ++socio) {
        Movement fee;
        fee.fecha = QDateTime::currentDateTime();
        fee.idSocio = socio;
        fee.idCuota = 1;
        fee.importe = 1500;
        fee.descripcion = QStringLiteral("Cuota");
        qint64 key = 0;
        if (!ledger.feeAlreadyPaid(socio, 1) && ledger.recordFee(fee, &key) == Ledger::FeeOutcome::Recorded)
            std::printf("F %lld\n", key);
        else
            std::printf("Y\n");
    }
    return 0;
}

int collectWithReceipts(int count)
{
    char go[8];
    if (!std::fgets(go, sizeof go, stdin))
        return 2;
    Ledger &ledger = Ledger::instance();
    for (int i = 0; i < count; ++i) {
        Movement fee;
        fee.fecha = QDateTime::currentDateTime();
        fee.idSocio = (QCoreApplication::applicationPid() % 100000) * qint64(1000) + i; // a server key is 32 bits
        fee.idCuota = 1;
        fee.importe = 1500;
        fee.descripcion = QStringLiteral("Cuota");
        const std::optional<qint32> proposed = GetProximoRecibo();
        if (!proposed)
            return 1;
        fee.recibo = *proposed;
        QThread::msleep(5); // "Ingrese numero de recibo"
        qint64 key = 0;
        if (ledger.recordFee(fee, &key) == Ledger::FeeOutcome::Recorded)
            std::printf("F %lld %d\n", key, *proposed);
        else
            std::printf("T\n");
    }
    return 0;
}

bool open(const QString &database)
{
    if (!database.startsWith(QLatin1String("postgresql:"))) {
        QList<DbErrorEntry> errors;
        return OpenConexion(database, &errors);
    }
    ConnectionSettings where;
    where.engine = Engine::PostgreSQL;
    where.host = qEnvironmentVariable("TESORIN_PG_HOST");
    where.port = qEnvironmentVariableIntValue("TESORIN_PG_PORT") ? qEnvironmentVariableIntValue("TESORIN_PG_PORT") : 5432;
    where.user = qEnvironmentVariable("TESORIN_PG_USER");
    where.database = database.mid(int(qstrlen("postgresql:")));
    QString error;
    if (OpenConexionOnServer(where, QString(), &error))
        return true;
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    if (!open(QString::fromLocal8Bit(argv[1])))
        return 1;
    if (argc >= 4 && (qstrcmp(argv[2], "pay") == 0 || qstrcmp(argv[2], "fee") == 0 || qstrcmp(argv[2], "receipt") == 0)) {
        try {
            if (qstrcmp(argv[2], "fee") == 0)
                return collectFees(QByteArray(argv[3]).toInt());
            if (qstrcmp(argv[2], "receipt") == 0)
                return collectWithReceipts(QByteArray(argv[3]).toInt());
            if (argc != 5)
                return 2;
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
                fee.idSocio = (QCoreApplication::applicationPid() % 100000) * qint64(10000) + i;
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
