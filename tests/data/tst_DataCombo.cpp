#include "data/DataCombo.h"
#include "data/Database.h"
#include "support/TestEnv.h"

#include <QTest>

class tst_DataCombo : public QObject
{
    Q_OBJECT
private slots:
    void fillsFromAQuery();
};

void tst_DataCombo::fillsFromAQuery()
{
    TestEnv t;
    t.openNewDb();
    DataCombo combo;
    QString err = "x";
    const char *todos = "SELECT '' AS IDCurso, ' <TODOS>' as Nombre from Curso UNION  SELECT * FROM Curso ORDER BY Nombre";

    // No rows: empty combo, empty value, no error.
    QVERIFY(FillDataCombo(err, combo, "SELECT * FROM Cuota ORDER BY vigencia DESC", "IDCuota", "Descripcion", false));
    QCOMPARE(err, QString());
    QCOMPARE(combo.count(), 0);
    QCOMPARE(combo.boundText(), QString());

    Exec("INSERT INTO Curso (IDCurso, Nombre) VALUES (4, '2do B'), (7, '1ro A')");
    const auto *rows = FillDataCombo(err, combo, todos, "IDCurso", "Nombre", true);
    QVERIFY(rows);
    QCOMPARE(rows->size(), 3);
    QCOMPARE(combo.itemText(0), QStringLiteral(" <TODOS>"));
    QCOMPARE(combo.currentText(), QStringLiteral(" <TODOS>"));
    QCOMPARE(combo.boundText(), QString());
    combo.setBoundText("4");
    QCOMPARE(combo.currentText(), QStringLiteral("2do B"));
    QCOMPARE(combo.findRow("IDCurso", 7)->value("Nombre").toString(), QStringLiteral("1ro A"));
    QVERIFY(!combo.findRow("IDCurso", 99));

    // Not selecting the first row leaves nothing chosen; a default is chosen when given.
    QVERIFY(FillDataCombo(err, combo, "SELECT * FROM Curso ORDER BY Nombre", "IDCurso", "Nombre", false));
    QCOMPARE(combo.currentIndex(), -1);
    QVERIFY(FillDataCombo(err, combo, "SELECT * FROM Curso ORDER BY Nombre", "IDCurso", "Nombre", false, 4));
    QCOMPARE(combo.currentText(), QStringLiteral("2do B"));

    QVERIFY(!FillDataCombo(err, combo, "SELECT * FROM Cursos", "IDCurso", "Nombre", true));
    QCOMPARE(err, QStringLiteral("Error #1: no such table: Cursos"));
}

QTEST_MAIN(tst_DataCombo)
#include "tst_DataCombo.moc"
