#include "data/Errors.h"

#include <QTest>

class tst_Errors : public QObject
{
    Q_OBJECT
private slots:
    void errorTexts();
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

QTEST_GUILESS_MAIN(tst_Errors)
#include "tst_errors.moc"
