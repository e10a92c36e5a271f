// A member's account statement: every movement of the member, newest first,
// in the receipt document with an empty body; nothing is written.
#include "data/Database.h"
#include "members/MemberStatement.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

void movement(const QSqlDatabase &db, const QString &fecha, const QVariant &descripcion, double importe, qint64 socio)
{
    QSqlQuery q(db);
    q.prepare("INSERT INTO Movimiento (Fecha, Tipo, MedioPago, Importe, Descripcion, IDSocio, IDCuota)"
              " VALUES (?, 'I', 'E', ?, ?, ?, 1)");
    q.addBindValue(fecha);
    q.addBindValue(importe);
    q.addBindValue(descripcion);
    q.addBindValue(socio);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
}

} // namespace

class tst_MemberStatement : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { EngineRows(); }
    void newestFirstWithEmptyBody();
};

void tst_MemberStatement::newestFirstWithEmptyBody()
{
    TestEnv t;
    t.writeIniFor("unused.db", "Cooperadora Escuela 12");
    const QString db = t.openBooks([](const QSqlDatabase &db) {
        movement(db, "2025-03-02 00:00:00", "Cuota 2025", 1200.25, 7);
        movement(db, "2026-05-01 10:00:00", "Cuota 2026", 1500, 7);
        movement(db, "2026-05-01 10:00:00", "Bono", 350.5, 7); // the same moment, recorded after
        movement(db, "2026-01-01 00:00:00", QVariant(), 20, 7);  // no description
        movement(db, "2026-06-01 00:00:00", "Cuota 2026", 1500, 8);
    });
    const ChangeToken before = StorageChangeToken(Conexion());

    std::unique_ptr<rptReciboCuota> doc = MemberStatement(7);
    QCOMPARE(doc->lblCooperadora.caption, QStringLiteral("Cooperadora Escuela 12"));
    QCOMPARE(doc->lblRecibimos.caption, QString());
    QCOMPARE(doc->lblHistorialPagos.caption, QStringLiteral("Historial de pagos: \r\n"
                                                            "Bono - 1/5/2026 10:00:00 - 350,5\r\n"
                                                            "Cuota 2026 - 1/5/2026 10:00:00 - 1500\r\n"
                                                            " - 1/1/2026 - 20\r\n"
                                                            "Cuota 2025 - 2/3/2025 - 1200,25\r\n"));
    QVERIFY(doc->run().ok());

    t.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(MemberStatement(7)->lblHistorialPagos.caption.endsWith("Cuota 2025 - 3/2/2025 - 1200.25\r\n"));
    // A member without movements: the heading alone.
    QCOMPARE(MemberStatement(9)->lblHistorialPagos.caption, QStringLiteral("Historial de pagos: \r\n"));
    QVERIFY(StorageChangeToken(Conexion()) == before);
}

QTEST_MAIN(tst_MemberStatement)
#include "tst_MemberStatement.moc"
