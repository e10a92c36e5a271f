// Being told what other connections write to the books, on a file and on a server.
#include "data/ChangeWatch.h"
#include "data/Database.h"
#include "data/PgSchema.h"
#include "data/ServerCheck.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QPointer>
#include <QtTest>

namespace {
QSqlDatabase connection(const char *name)
{
    return QSqlDatabase::database(QLatin1String(name), false);
}
} // namespace

class tst_ChangeWatch : public QObject
{
    Q_OBJECT
private slots:
    void aFileTellsWhatOthersWrite();
    void aServerTellsWhatOthersWrite();
};

void tst_ChangeWatch::aFileTellsWhatOthersWrite()
{
    TestEnv t;
    const QString path = t.createDb();
    QList<DbErrorEntry> errors;
    QVERIFY(OpenConnection(QStringLiteral("mine"), path, &errors));
    QVERIFY(OpenConnection(QStringLiteral("other"), path, &errors));
    QObject context;
    int told = 0, depth = 0, deepest = 0;
    bool ready = true;
    QPointer<QObject> watch = WatchChanges(connection("mine"), &context, [&] {
        ++told;
        deepest = std::max(deepest, ++depth);
        // The first time it waits as a question would, while another write comes.
        if (told == 1) {
            AddMovimiento(connection("other"), "I", "E", 1);
            QTest::qWait(kChangeCheckMs * 13 / 10);
        }
        --depth;
        return ready;
    });
    // Nothing written, or written by the watched connection itself: nothing told.
    AddMovimiento(connection("mine"), "I", "E", 5);
    QTest::qWait(kChangeCheckMs * 3 / 2);
    QCOMPARE(told, 0);

    AddMovimiento(connection("other"), "I", "E", 5);
    QTRY_COMPARE_WITH_TIMEOUT(told, 2, 4000); // the write made during the first telling follows it
    QCOMPARE(deepest, 1);
    QTest::qWait(kChangeCheckMs * 3 / 2);
    QCOMPARE(told, 2);

    // "Not now" is asked again until it is acted upon, then no more.
    ready = false;
    AddMovimiento(connection("other"), "E", "E", 1);
    QTRY_COMPARE_WITH_TIMEOUT(told, 4, 3000);
    ready = true;
    QTRY_COMPARE_WITH_TIMEOUT(told, 5, 2000);
    QTest::qWait(kChangeCheckMs * 3 / 2);
    QCOMPARE(told, 5);

    // Closing the connection ends the watch, and the watch never kept it open.
    CloseConnection(QStringLiteral("mine"));
    QTRY_VERIFY_WITH_TIMEOUT(watch.isNull(), 2000);
    CloseConnection(QStringLiteral("other"));
}

void tst_ChangeWatch::aServerTellsWhatOthersWrite()
{
    PG_TEST_DB(pg);
    QSqlDatabase a = pg.open(QStringLiteral("a")), b = pg.open(QStringLiteral("b"));
    CreatePgSchema(a);
    QObject context;
    int toldB = 0, toldA = 0;
    QPointer<QObject> watch = WatchChanges(b, &context, [&] {
        ++toldB;
        return true;
    });
    AddMovimiento(a, "I", "E", 10);
    QTRY_COMPARE_WITH_TIMEOUT(toldB, 1, 2000);
    AddMovimiento(b, "I", "E", 10); // its own
    QTest::qWait(kChangeCheckMs * 3 / 2);
    QCOMPARE(toldB, 1);

    // A database made before the notices gets them from the first watch of its
    // tables' owner; a volunteer who does not own them is told why nothing follows.
    PgRun(a, QStringLiteral("DROP TRIGGER tesorin_cambios ON movimiento"));
    const QString volunteer = QStringLiteral("voluntario_%1").arg(QCoreApplication::applicationPid());
    PgRun(a, QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE tesorero").arg(volunteer));
    ConnectionSettings asVolunteer = pg.settings();
    asVolunteer.user = volunteer;
    QString error;
    QVERIFY2(OpenServerConnection(QStringLiteral("v"), asVolunteer, &error), qPrintable(error));
    try {
        WatchChanges(connection("v"), &context, [] { return true; });
        QFAIL("a volunteer made the owner's triggers");
    } catch (const RuntimeError &e) {
        QVERIFY2(e.description().startsWith(QStringLiteral("Esta base del servidor no avisa de lo que registran otros "
                                                           "equipos, y el usuario de esta conexión no puede")),
                 qPrintable(e.description()));
    }
    connection("v").close();
    QSqlDatabase::removeDatabase(QStringLiteral("v"));
    PgRun(a, QStringLiteral("DROP ROLE %1").arg(volunteer));

    WatchChanges(a, &context, [&] {
        ++toldA;
        return true;
    });
    AddMovimiento(b, "E", "E", 3);
    QTRY_COMPARE_WITH_TIMEOUT(toldA, 1, 2000);

    b.close();
    QTRY_VERIFY_WITH_TIMEOUT(watch.isNull(), 2000);
}

QTEST_GUILESS_MAIN(tst_ChangeWatch)
#include "tst_ChangeWatch.moc"
