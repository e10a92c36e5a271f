#include "app/MDIForm1.h"
#include "data/Database.h"
#include "data/Ledger.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QDialog>
#include <QSignalSpy>
#include <QTest>

class tst_MDIForm1 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { EngineRows(); } // the status bar follows on both engines
    void statusBarInBothSeparators();
    void aSumTooLargeIsAnErrorNotZero();
    void statusBarFollowsAnotherProgram();
};



void tst_MDIForm1::statusBarFollowsAnotherProgram()
{
    TestEnv t;
    t.openBooks();
    QVERIFY(t.openOtherConnection(QStringLiteral("otro")));
    MDIForm1 *main = MDIForm1::instance();
    const auto other = [] { return QSqlDatabase::database(QStringLiteral("otro"), false); };
    QSignalSpy refreshed(&Ledger::instance(), &Ledger::changed);
    AddMovimiento(other(), "I", "E", 250);
    QTRY_COMPARE_WITH_TIMEOUT(main->panelText(1), QStringLiteral("Saldo Caja: 250"), 2000);
    QCOMPARE(refreshed.count(), 1);

    // The program's own write shows at once, and is not read again when the file is next looked at.
    Movement m;
    m.fecha = t.clock->now();
    m.importe = 50;
    Ledger::instance().recordIncome(m);
    QCOMPARE(main->panelText(1), QStringLiteral("Saldo Caja: 300"));
    QTest::qWait(1500);
    QCOMPARE(refreshed.count(), 2);

    // Under an open question the bar waits, and follows once it is closed.
    QDialog question;
    question.setModal(true);
    question.show();
    AddMovimiento(other(), "E", "E", 100);
    QTest::qWait(1500);
    QCOMPARE(main->panelText(1), QStringLiteral("Saldo Caja: 300"));
    question.close();
    QTRY_COMPARE_WITH_TIMEOUT(main->panelText(1), QStringLiteral("Saldo Caja: 200"), 2000);
    if (!t.server)
        CloseConnection(QStringLiteral("otro"));
}

void tst_MDIForm1::aSumTooLargeIsAnErrorNotZero()
{
    TestEnv t;
    t.openNewDb([](const QSqlDatabase &db) {
        // Written by another tool: no window of ours takes such amounts.
        AddMovimiento(db, "I", "E", 1e308);
        AddMovimiento(db, "I", "E", 1e308);
    });
    t.prompts->expectMessage("Se produjo un Error al leer los Datos.\r\rError #1: integer overflow", MsgIcon::None,
                             MsgButtons::OK);
    RefreshSaldos();
    QCOMPARE(MDIForm1::existing()->panelText(1), QStringLiteral("Saldo Caja: no disponible"));
}

void tst_MDIForm1::statusBarInBothSeparators()
{
    TestEnv t;
    t.openNewDb();
    RefreshSaldos();
    MDIForm1 *main = MDIForm1::existing();
    QVERIFY(!main->isVisible());
    QCOMPARE(main->panelText(1), QStringLiteral("Saldo Caja: 0"));
    QCOMPARE(main->panelText(2), QStringLiteral("Saldo Banco: 0"));

    AddMovimiento(Conexion(), "I", "E", 1234.5);
    AddMovimiento(Conexion(), "E", "C", 150);
    RefreshSaldos();
    QCOMPARE(main->panelText(1), QStringLiteral("Saldo Caja: 1234,5"));
    QCOMPARE(main->panelText(2), QStringLiteral("Saldo Banco: -150"));
    t.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    RefreshSaldos();
    QCOMPARE(main->panelText(1), QStringLiteral("Saldo Caja: 1234.5"));

    // A movement the ledger records shows at once, with no refresh asked for.
    Movement m;
    m.fecha = t.clock->now();
    m.importe = 0.1;
    Ledger::instance().recordIncome(m);
    QCOMPARE(main->panelText(1), QStringLiteral("Saldo Caja: 1234.6"));
}

QTEST_MAIN(tst_MDIForm1)
#include "tst_MDIForm1.moc"
