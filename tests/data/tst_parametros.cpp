#include "data/Database.h"
#include "data/Parametros.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QTest>

class tst_Parametros : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { EngineRows(); }
    void settings();
    void balances();
    void receiptNumbers_data();
    void receiptNumbers();
    void receiptNumbersRunOut();
    void readErrorsAreReportedNotNumbers();
    void textInNumberColumnsIsNamedNotCounted();
};

void tst_Parametros::settings()
{
    TestEnv t;
    t.openBooks([](const QSqlDatabase &db) {
        Exec(db, "INSERT INTO Parametro VALUES ('Blancos', '  con blancos  '), ('Nulo', NULL)");
    });
    QCOMPARE(GetParametro("blancos"), QStringLiteral("con blancos"));
    QCOMPARE(GetParametro("Nulo"), QString());
    QCOMPARE(GetParametro("NoExiste"), QString());
    QCOMPARE(GetParametro("x' OR '1'='1"), QString());
}

// The balance, or NaN when it could not be read.
static double saldo(const char *medio)
{
    return GetSaldo(medio).value_or(qQNaN());
}

void tst_Parametros::balances()
{
    TestEnv t;
    t.openBooks();
    QCOMPARE(saldo("CAJA"), 0.0);
    QCOMPARE(saldo("BANCO"), 0.0);

    AddMovimiento(Conexion(), "I", "E", 100);
    AddMovimiento(Conexion(), "E", "E", 250);
    QCOMPARE(saldo("CAJA"), -150.0);
    QCOMPARE(saldo("BANCO"), 0.0);

    // A transfer of 300 from the cash box to the bank.
    AddMovimiento(Conexion(), "E", "E", 300);
    AddMovimiento(Conexion(), "I", "C", 300);
    QCOMPARE(saldo("CAJA"), -450.0);
    QCOMPARE(saldo("BANCO"), 300.0);
    // Any text but "CAJA" exactly is the bank.
    QCOMPARE(saldo("caja"), 300.0);
}

void tst_Parametros::receiptNumbers_data()
{
    QTest::addColumn<QVariant>("proximo"); // invalid: no row
    QTest::addColumn<QVariantList>("recibos");
    QTest::addColumn<int>("expected");
    QTest::newRow("setting used unchanged") << QVariant("1000") << QVariantList{} << 1000;
    QTest::newRow("highest receipt plus one") << QVariant("5") << QVariantList{1000, 7} << 1001;
    QTest::newRow("receipt zero counts as none") << QVariant("40") << QVariantList{0} << 40;
    QTest::newRow("setting missing") << QVariant() << QVariantList{} << 0;
    QTest::newRow("setting empty") << QVariant("") << QVariantList{} << 0;
    QTest::newRow("setting letters") << QVariant("abc") << QVariantList{} << 0;
    QTest::newRow("setting with blanks") << QVariant(" 25 ") << QVariantList{} << 25;
    QTest::newRow("setting 12a") << QVariant("12a") << QVariantList{} << 12;
    QTest::newRow("setting 7.6") << QVariant("7.6") << QVariantList{} << 8;
}

void tst_Parametros::receiptNumbers()
{
    QFETCH(QVariant, proximo);
    QFETCH(QVariantList, recibos);
    QFETCH(int, expected);
    TestEnv t;
    t.openBooks([&](const QSqlDatabase &db) {
        Exec(db, "DELETE FROM Parametro WHERE Parametro = 'PROXIMORECIBO'");
        if (proximo.isValid())
            Exec(db, "INSERT INTO Parametro VALUES ('ProximoRecibo', ?)", {proximo});
        for (const QVariant &r : recibos)
            AddMovimiento(db, "I", "E", 10, r);
        AddMovimiento(db, "E", "E", 10); // a movement without receipt
    });
    QCOMPARE(GetProximoRecibo().value_or(-1), expected);
}

void tst_Parametros::receiptNumbersRunOut()
{
    TestEnv t;
    t.openBooks([](const QSqlDatabase &db) {
        AddMovimiento(db, "I", "E", 10, 5);
        AddMovimiento(db, "I", "E", 10, 2147483647);
        AddMovimiento(db, "I", "E", 10, 2147483647);
    });
    // Said plainly, naming the first movement that took the last number.
    t.prompts->expectMessage("No quedan números de recibo: el movimiento 2 tiene el recibo 2147483647 y el último "
                             "posible es 2147483647.",
                             MsgIcon::Exclamation, MsgButtons::OK);
    QVERIFY(!GetProximoRecibo());
    // Beyond it (written by another tool; the server's column cannot hold it) is no number to go on from either.
    if (OnServerRow())
        return;
    Exec("UPDATE Movimiento SET Recibo = 9000000000 WHERE IDMovimiento = 3");
    t.prompts->expectMessage("No quedan números de recibo: el movimiento 3 tiene el recibo 9000000000 y el último "
                             "posible es 2147483647.",
                             MsgIcon::Exclamation, MsgButtons::OK);
    QVERIFY(!GetProximoRecibo());
}

void tst_Parametros::readErrorsAreReportedNotNumbers()
{
    TestEnv t;
    t.openBooks();
    for (const char *table : {"Movimiento", "Parametro"}) // not prepared: the server prepares no definition
        QSqlQuery(Conexion()).exec(QStringLiteral("DROP TABLE %1").arg(table));
    // Each engine's own words after the number; the server's without the statement and its code.
    const auto told = [&](const QString &table) {
        t.prompts->expectMessage("Se produjo un Error al leer los Datos.\r\rError #1: "
                                     + (OnServerRow() ? "relation \"" + table.toLower() + "\" does not exist"
                                                      : "no such table: " + table),
                                 MsgIcon::None, MsgButtons::OK);
    };
    told("Movimiento");
    QVERIFY(!GetSaldo("CAJA"));
    told("Movimiento");
    QVERIFY(!GetProximoRecibo());
    told("Parametro");
    QCOMPARE(GetParametro("ADMIN"), QString());
}

// Written by another tool, past the checks of our own schema.
void tst_Parametros::textInNumberColumnsIsNamedNotCounted()
{
    FILE_ONLY(); // the server's number columns refuse texts
    TestEnv t;
    t.openBooks([](const QSqlDatabase &db) {
        Exec(db, "PRAGMA ignore_check_constraints = ON");
        AddMovimiento(db, "I", "E", 100, 7);
        Exec(db, "INSERT INTO Movimiento (Tipo, MedioPago, Importe, Recibo) VALUES ('I', 'E', 'mil pesos', 'R-12')");
    });
    t.prompts->expectMessage("Se produjo un Error al leer los Datos.\r\rEste no es un error de ADO.\rError #13: El movimiento 2 tiene un importe que no "
                             "es un número: \"mil pesos\".",
                             MsgIcon::None, MsgButtons::OK);
    QVERIFY(!GetSaldo("CAJA"));
    t.prompts->expectMessage("Se produjo un Error al leer los Datos.\r\rEste no es un error de ADO.\rError #13: El movimiento 2 tiene un número de "
                             "recibo que no es un número: \"R-12\".",
                             MsgIcon::None, MsgButtons::OK);
    QVERIFY(!GetProximoRecibo());
}

QTEST_MAIN(tst_Parametros)
#include "tst_parametros.moc"
