#include "data/Errors.h"

#include <QTest>

class tst_Errors : public QObject
{
    Q_OBJECT
private slots:
    void errorTexts();
    void databaseCodesSpeakSpanish();
};

void tst_Errors::errorTexts()
{
    const RuntimeError current(13, QStringLiteral("No coinciden los tipos"));
    QCOMPARE(ErrorText(current), QStringLiteral("Error #13: No coinciden los tipos"));

    // Two errors: one carriage return between them, none at the end.
    QCOMPARE(ADOErrorText({{19, QStringLiteral("UNIQUE constraint failed")}, {1, QStringLiteral("no such table: X")}}, current),
             QStringLiteral("Error #19: UNIQUE constraint failed\rError #1: no such table: X"));
    // Only an error numbered 3621: not a database error.
    QCOMPARE(ADOErrorText({{3621, QStringLiteral("La instrucción ha terminado.")}}, current),
             QStringLiteral("Este no es un error de ADO.\rError #13: No coinciden los tipos"));
    QCOMPARE(ADOErrorText({}, current),
             QStringLiteral("Este no es un error de ADO.\rError #13: No coinciden los tipos"));
    // A timeout in any letter case, or "time out", gives the waiting-time message only.
    const QString wait = QStringLiteral(
        "Se ha superado el tiempo de espera, por favor reintente nuevamente en unos segundos.");
    QCOMPARE(ADOErrorText({{5, QStringLiteral("Query Timeout expired")}}, current), wait);
    QCOMPARE(ADOErrorText({{5, QStringLiteral("lock time out")}, {1, QStringLiteral("x")}}, current), wait);
    // A database error carries its own collection.
    const RuntimeError db(14, QStringLiteral("unable to open database file"),
                          {{14, QStringLiteral("unable to open database file")}});
    QCOMPARE(ADOErrorText(db), QStringLiteral("Error #14: unable to open database file"));
}

// The user reads what happened and what to do; the driver's words stay for support.
void tst_Errors::databaseCodesSpeakSpanish()
{
    const RuntimeError busy = RuntimeError::fromSqlite(5, QStringLiteral("database is locked"));
    QVERIFY(ErrorText(busy).startsWith(QStringLiteral("Error #5: La base de datos está en uso por otro programa")));
    QVERIFY(ErrorText(busy).endsWith(QStringLiteral(" (database is locked)")));
    QVERIFY(IsDbBusy(5) && IsDbBusy(6) && IsDbBusy(261) && !IsDbBusy(11) && !IsDbBusy(0));
    // Extended codes read by their primary code; unknown codes keep the driver's text alone.
    QCOMPARE(DbCodeAdvice(266), DbCodeAdvice(10));
    for (int code : {5, 8, 10, 11, 13, 14, 19, 26})
        QVERIFY2(!DbCodeAdvice(code).isEmpty(), qPrintable(QString::number(code)));
    QVERIFY(DbErrorDescription(13, QStringLiteral("database or disk is full")).startsWith(QStringLiteral("El disco está lleno")));
    QCOMPARE(DbErrorDescription(1, QStringLiteral("no such table: X")), QStringLiteral("no such table: X"));
}

QTEST_GUILESS_MAIN(tst_Errors)
#include "tst_errors.moc"
