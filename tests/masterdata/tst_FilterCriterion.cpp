// The filter criterion of the table editor: what it accepts, what each
// criterion selects, and the explanation given for what it refuses.
#include "data/Database.h"
#include "masterdata/FilterCriterion.h"
#include "support/TestEnv.h"

#include <QtTest>

namespace {

const QList<GridField> kFields = {
    {QStringLiteral("IDCuota"), FieldKind::Integer},
    {QStringLiteral("Descripcion"), FieldKind::Text},
    {QStringLiteral("vigencia"), FieldKind::Date},
    {QStringLiteral("Valor"), FieldKind::Real},
};

// IDCuota, Descripcion, vigencia, Valor
const QList<QVariantList> kRows = {
    {1, QStringLiteral("Cuota 2025"), QStringLiteral("2025-03-01 00:00:00"), 1200.0},
    {2, QStringLiteral("Cuota 2026"), QStringLiteral("2026-03-01 00:00:00"), 1500.5},
    {3, QStringLiteral("Bono D'Angelo"), QStringLiteral("2026-06-01 10:30:00"), 350.0},
    {4, QVariant(), QVariant(), QVariant()},
    {5, QStringLiteral("ñandú"), QStringLiteral("2026-12-06 00:00:00"), 0.25},
};

// The IDCuota of the rows a criterion selects, as "1,3".
QString selected(const FilterCriterion &c)
{
    QStringList ids;
    for (const QVariantList &row : kRows)
        if (c.matches([&](int f) { return row.at(f); }))
            ids << row.at(0).toString();
    return ids.join(QLatin1Char(','));
}

} // namespace

class tst_FilterCriterion : public QObject
{
    Q_OBJECT
private slots:
    void selects_data();
    void selects();
    void refuses_data();
    void refuses();
    void pointLocale();
};

void tst_FilterCriterion::selects_data()
{
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<QString>("ids");
    QTest::newRow("number") << "IDCuota=3" << "3";
    QTest::newRow("signs and blanks") << "  idcuota  >=  +2 " << "2,3,4,5";
    QTest::newRow("decimal comma") << "Valor>1500,25" << "2";
    QTest::newRow("decimal point") << "Valor<=0.25" << "5";
    QTest::newRow("numeric text") << "IDCuota<>'1'" << "2,3,4,5";
    QTest::newRow("text ignores case") << "Descripcion='CUOTA 2026'" << "2";
    QTest::newRow("doubled quote") << "Descripcion='Bono D''Angelo'" << "3";
    QTest::newRow("double quotes") << "Descripcion=\"Bono D'Angelo\"" << "3";
    QTest::newRow("like percent") << "Descripcion LIKE 'cuota%'" << "1,2";
    QTest::newRow("like star and question") << "Descripcion like '*d?angelo'" << "3";
    QTest::newRow("like is whole text") << "Descripcion LIKE 'uota'" << "";
    QTest::newRow("accents count") << "Descripcion='ÑANDÚ'" << "5";
    QTest::newRow("null matches nothing") << "Descripcion<>'x'" << "1,2,3,5";
    QTest::newRow("date") << "vigencia=#1/3/2026#" << "2";
    QTest::newRow("date and time") << "vigencia>=#1/6/2026 10:30#" << "3,5";
    QTest::newRow("stored date form") << "vigencia<#2026-01-01#" << "1";
    QTest::newRow("and before or") << "IDCuota=1 OR IDCuota>2 AND Valor<1000" << "1,3,5";
    QTest::newRow("parentheses") << "(IDCuota=1 OR IDCuota>2) AND Valor>300" << "1,3";
    QTest::newRow("nested") << "((Descripcion LIKE 'C%') and (Valor>1300 or IDCuota=1))" << "1,2";
    QTest::newRow("bracketed field") << "[Valor]=350" << "3";
}

void tst_FilterCriterion::selects()
{
    TestEnv env; // es_AR: comma decimals, day/month/year
    QFETCH(QString, criterion);
    QFETCH(QString, ids);
    FilterCriterion c;
    QString error;
    QVERIFY2(c.parse(criterion, kFields, ::env().locale, &error), qPrintable(error));
    QCOMPARE(selected(c), ids);
}

void tst_FilterCriterion::refuses_data()
{
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<QString>("error");
    QTest::newRow("untouched default") << "Descripcion=" << "Falta el valor con el que se compara el campo Descripcion.";
    QTest::newRow("unknown field") << "Nombre='x'" << "No existe el campo \"Nombre\" en esta tabla.";
    QTest::newRow("no operator") << "Valor 3" << "Después del campo Valor falta un operador de comparación: =, <>, <, >, <=, >= o LIKE.";
    QTest::newRow("bare word") << "Descripcion=Bono" << "El texto Bono debe ir entre comillas simples: 'Bono'.";
    QTest::newRow("open quote") << "Descripcion='Bono" << "Falta la comilla que cierra el texto 'Bono.";
    QTest::newRow("open date") << "vigencia=#1/3" << "Falta el # que cierra la fecha #1/3.";
    QTest::newRow("no date") << "vigencia=#31/2/2026#" << "\"31/2/2026\" no es una fecha válida; escríbala como 6/12/2026.";
    QTest::newRow("two-digit year") << "vigencia=#1/3/26#" << "\"1/3/26\" no es una fecha válida; escríbala como 6/12/2026.";
    QTest::newRow("number for date") << "vigencia>2026" << "El campo vigencia es una fecha: escríbala entre numerales, por ejemplo vigencia=#6/12/2026#.";
    QTest::newRow("text for number") << "Valor='mucho'" << "El campo Valor es numérico: compárelo con un número, por ejemplo Valor=3.";
    QTest::newRow("like on number") << "Valor LIKE '1%'" << "LIKE sólo se usa con campos de texto, y el campo Valor no lo es.";
    QTest::newRow("missing join") << "IDCuota=1 IDCuota=2" << "Falta AND u OR antes de \"IDCuota\".";
    QTest::newRow("trailing and") << "IDCuota=1 AND" << "Falta una condición al final del criterio.";
    QTest::newRow("unclosed parenthesis") << "(IDCuota=1" << "Falta cerrar un paréntesis.";
    QTest::newRow("extra parenthesis") << "IDCuota=1)" << "Hay un paréntesis de cierre de más.";
    QTest::newRow("statement text") << "IDCuota=1; DROP TABLE Cuota" << "El carácter \";\" no se entiende en el criterio.";
}

void tst_FilterCriterion::refuses()
{
    TestEnv env;
    QFETCH(QString, criterion);
    QFETCH(QString, error);
    FilterCriterion c;
    QString why;
    QVERIFY(!c.parse(criterion, kFields, ::env().locale, &why));
    QCOMPARE(why, error);
    QVERIFY(c.isEmpty());
}

void tst_FilterCriterion::pointLocale()
{
    TestEnv env;
    env.setLocale(QLocale(QLocale::English, QLocale::UnitedStates)); // month/day/year, decimal point
    FilterCriterion c;
    QString why;
    QVERIFY(c.parse(QStringLiteral("vigencia=#3/1/2026# OR Valor=0.25"), kFields, ::env().locale, &why));
    QCOMPARE(selected(c), QStringLiteral("2,5"));
    QVERIFY(!c.parse(QStringLiteral("Valor=0,25"), kFields, ::env().locale, &why));
    QCOMPARE(why, QStringLiteral("El carácter \",\" no se entiende en el criterio."));
}

QTEST_MAIN(tst_FilterCriterion)
#include "tst_FilterCriterion.moc"
