// The filter criterion of the table editor: what it accepts, what each
// criterion selects (in memory, in a file and on a server, alike), and the
// explanation given for what it refuses.
#include "data/Database.h"
#include "data/Storage.h"
#include "data/TableInfo.h"
#include "masterdata/FilterCriterion.h"
#include "support/PgTest.h"
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

// The same, selected by the database from the books' Cuota holding kRows;
// `irregular` takes the way for dates not all in the stored form.
QString selectedBySql(const FilterCriterion &c, bool irregular)
{
    QString where;
    QVariantList binds;
    c.toSql(Conexion(), [](int f) { return kFields.at(f).name; }, [irregular](int) { return irregular; }, &where, &binds);
    QSqlQuery q = Exec("SELECT IDCuota FROM Cuota" + (where.isEmpty() ? QString() : " WHERE " + where) + " ORDER BY IDCuota",
                       binds);
    QStringList ids;
    while (q.next())
        ids << q.value(0).toString();
    return ids.join(QLatin1Char(','));
}

void fillCuota(const QSqlDatabase &db)
{
    for (const QVariantList &row : kRows)
        Exec(db, "INSERT INTO Cuota (IDCuota, Descripcion, vigencia, Valor) VALUES (?, ?, ?, ?)", row);
}

} // namespace

class tst_FilterCriterion : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { EngineRows(); }
    void parse_data();
    void parse();
    void datesNotInTheStoredForm();
    void hostileCriteriaAreRefusedOrMatchAtOnce();
    void textsOrderAlikeOnBothEngines();
    void keysAlikeOnBothEngines();
};

void tst_FilterCriterion::hostileCriteriaAreRefusedOrMatchAtOnce()
{
    TestEnv env;
    const QLocale locale = ::env().locale;
    auto nested = [](int depth) {
        return QString(depth, '(') + QStringLiteral("IDCuota=1") + QString(depth, ')');
    };
    FilterCriterion c;
    QString why;
    QVERIFY(c.parse(nested(50), kFields, locale, &why));
    // Ten thousand levels once overflowed the stack.
    for (int depth : {51, 10000}) {
        QVERIFY(!c.parse(nested(depth), kFields, locale, &why));
        QCOMPARE(why, QStringLiteral("El criterio tiene demasiados paréntesis uno dentro de otro (como máximo 50)."));
    }
    QStringList many;
    for (int i = 0; i < 201; ++i)
        many << QStringLiteral("IDCuota=%1").arg(i);
    QVERIFY(!c.parse(many.join(" OR "), kFields, locale, &why));
    QCOMPARE(why, QStringLiteral("El criterio tiene demasiadas condiciones (como máximo 200)."));
    QVERIFY(!c.parse(QString(32767, QChar(0)), kFields, locale, &why));
    QVERIFY(!why.isEmpty());

    // A pattern that sends a backtracking matcher into years of work.
    QVERIFY(c.parse("Descripcion LIKE '" + QString("%a").repeated(40) + "%b'", kFields, locale, &why));
    const QVariant text(QString(20000, 'a'));
    QVERIFY(!c.matches([&](int) { return text; }));
    QVERIFY(c.parse("Descripcion LIKE '" + QString("%a").repeated(40) + "%'", kFields, locale, &why));
    QVERIFY(c.matches([&](int) { return text; }));
    // Case and the one-character marks, anchored at both ends.
    QVERIFY(LikeMatcher("Ñ_ndú%").matches("ñandúes"));
    QVERIFY(!LikeMatcher("a%a").matches("a"));
    QVERIFY(LikeMatcher("a%a").matches("aa"));
    QVERIFY(LikeMatcher("%").matches(""));
    QVERIFY(!LikeMatcher("").matches("x"));
}

void tst_FilterCriterion::parse_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<QString>("ids");   // the rows selected by an accepted criterion
    QTest::addColumn<QString>("error"); // the explanation for a refused one
    const QLocale comma(QLocale::Spanish, QLocale::Argentina);      // day/month/year
    const QLocale point(QLocale::English, QLocale::UnitedStates);   // month/day/year
    const auto ok = [](const char *name, const QLocale &l, const QString &criterion, const QString &ids) {
        QTest::newRow(name) << l << criterion << ids << QString();
    };
    const auto bad = [](const char *name, const QLocale &l, const QString &criterion, const QString &error) {
        QTest::newRow(name) << l << criterion << QString() << error;
    };
    ok("signs and blanks", comma, "  idcuota  >=  +2 ", "2,3,4,5");
    bad("decimal comma", comma, "Valor>1500,25",
        "\"1500,25\" no es un número: el campo Valor sólo admite números, con punto decimal (por ejemplo 1500.50).");
    bad("point thousands", comma, "Valor=1.500",
        "\"1.500\" es ambiguo en el campo Valor: escriba 1500 si son mil quinientos, o 1.5 si es uno y medio.");
    ok("decimal point", comma, "Valor<=0.25", "5");
    ok("doubled quote", comma, "Descripcion='Bono D''Angelo'", "3");
    ok("double quotes", comma, "Descripcion=\"Bono D'Angelo\"", "3");
    ok("like percent", comma, "Descripcion LIKE 'cuota%'", "1,2");
    ok("like star and question", comma, "Descripcion like '*d?angelo'", "3");
    ok("like is whole text", comma, "Descripcion LIKE 'uota'", "");
    ok("like folds accents", comma, "Descripcion LIKE 'NANDU' OR Descripcion LIKE '%d?ángelo'", "3,5");
    ok("ñ is no n", comma, "Descripcion='nandu' OR Descripcion>'nz'", "5");
    ok("case ignored, accented too", comma, "Descripcion='ÑANDÚ'", "5");
    ok("null matches nothing", comma, "Descripcion<>'x'", "1,2,3,5");
    ok("date and time", comma, "vigencia>=#1/6/2026 10:30#", "3,5");
    ok("stored date form", comma, "vigencia<#2026-01-01#", "1");
    ok("point locale", point, "vigencia=#3/1/2026# OR Valor=0.25", "2,5");
    ok("and before or", comma, "IDCuota=1 OR IDCuota>2 AND Valor<1000", "1,3,5");
    ok("parentheses", comma, "(IDCuota=1 OR IDCuota>2) AND Valor>300", "1,3");
    ok("bracketed field", comma, "[Valor]=350", "3");
    bad("untouched default", comma, "Descripcion=", "Falta el valor con el que se compara el campo Descripcion.");
    bad("unknown field", comma, "Nombre='x'", "No existe el campo \"Nombre\" en esta tabla.");
    bad("no operator", comma, "Valor 3", "Después del campo Valor falta un operador de comparación: =, <>, <, >, <=, >= o LIKE.");
    bad("bare word", comma, "Descripcion=Bono", "El texto Bono debe ir entre comillas simples: 'Bono'.");
    bad("open quote", comma, "Descripcion='Bono", "Falta la comilla que cierra el texto 'Bono.");
    bad("open date", comma, "vigencia=#1/3", "Falta el # que cierra la fecha #1/3.");
    bad("no date", comma, "vigencia=#31/2/2026#", "\"31/2/2026\" no es una fecha válida; escríbala como 6/12/2026.");
    bad("two-digit year", comma, "vigencia=#1/3/26#", "\"1/3/26\" no es una fecha válida; escríbala como 6/12/2026.");
    bad("number for date", comma, "vigencia>2026", "El campo vigencia es una fecha: escríbala entre numerales, por ejemplo vigencia=#6/12/2026#.");
    bad("bare word for number", comma, "Valor=mucho", "El campo Valor es numérico: compárelo con un número, por ejemplo Valor=3.");
    bad("text for number", comma, "Valor='mucho'", "El campo Valor es numérico: compárelo con un número, por ejemplo Valor=3.");
    bad("like on number", comma, "Valor LIKE '1%'", "LIKE sólo se usa con campos de texto, y el campo Valor no lo es.");
    bad("missing join", comma, "IDCuota=1 IDCuota=2", "Falta AND u OR antes de \"IDCuota\".");
    bad("trailing and", comma, "IDCuota=1 AND", "Falta una condición al final del criterio.");
    bad("unclosed parenthesis", comma, "(IDCuota=1", "Falta cerrar un paréntesis.");
    bad("extra parenthesis", comma, "IDCuota=1)", "Hay un paréntesis de cierre de más.");
    bad("statement text", comma, "IDCuota=1; DROP TABLE Cuota", "El carácter \";\" no se entiende en el criterio.");
    bad("comma under point locale", point, "Valor=0,25", "El carácter \",\" no se entiende en el criterio.");
}

void tst_FilterCriterion::parse()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, criterion);
    QFETCH(QString, ids);
    QFETCH(QString, error);
    TestEnv env;
    env.setLocale(locale);
    FilterCriterion c;
    QString why;
    QCOMPARE(c.parse(criterion, kFields, ::env().locale, &why), error.isEmpty());
    QCOMPARE(why, error);
    if (!error.isEmpty()) {
        QVERIFY(c.isEmpty());
        return;
    }
    QCOMPARE(selected(c), ids);
    env.openBooks(fillCuota);
    QCOMPARE(selectedBySql(c, false), ids);
    if (!OnServerRow()) // the server's dates are all in the stored form
        QCOMPARE(selectedBySql(c, true), ids);
}

// A date stored without its time (written by another program) is still a date.
void tst_FilterCriterion::datesNotInTheStoredForm()
{
    FILE_ONLY(); // the server's column refuses them
    TestEnv env;
    env.openBooks([](const QSqlDatabase &db) {
        fillCuota(db);
        Exec(db, "PRAGMA ignore_check_constraints = ON");
        Exec(db, "UPDATE Cuota SET vigencia='2026-03-01' WHERE IDCuota=2");
    });
    FilterCriterion c;
    QString why;
    QVERIFY(c.parse("vigencia=#1/3/2026#", kFields, ::env().locale, &why));
    QCOMPARE(selectedBySql(c, true), QStringLiteral("2"));
}

// The editor's order of texts (nulls first, case and accents aside, ñ after
// every n, then the key) is the same in a file and on a server.
void tst_FilterCriterion::textsOrderAlikeOnBothEngines()
{
    TestEnv env;
    env.openBooks([](const QSqlDatabase &db) {
        const QStringList texts = {"Ñu", "nube", "NUBE", "Núñez", "nunez", "Nuñez", "Zeta", "árbol", "Arce", "_x", "10", "9"};
        for (int i = 0; i < texts.size(); ++i)
            Exec(db, "INSERT INTO Cuota (IDCuota, Descripcion) VALUES (?, ?)", {texts.size() - i, texts.at(i)});
        Exec(db, "INSERT INTO Cuota (IDCuota) VALUES (99)");
    });
    QStringList orders;
    for (bool up : {true, false}) {
        const QSqlDatabase db = Conexion();
        QSqlQuery q = Exec(QStringLiteral("SELECT IDCuota FROM Cuota ORDER BY %1, %2, IDCuota")
                               .arg(SqlOrderTerm(db, "(Descripcion IS NOT NULL)", up),
                                    SqlOrderTerm(db, SqlSortText(db, "Descripcion"), up)));
        QStringList ids;
        while (q.next())
            ids << q.value(0).toString();
        orders << ids.join(',');
    }
    QCOMPARE(orders, QStringList({"99,2,1,3,5,4,10,11,8,7,9,12,6", "6,12,7,9,8,10,11,4,5,3,1,2,99"}));
}

// The editor's rows are named by each table's key, read and returned alike by
// a file and a server, a text key included.
void tst_FilterCriterion::keysAlikeOnBothEngines()
{
    TestEnv env;
    env.openBooks();
    const QSqlDatabase db = Conexion();
    QStringList keys;
    for (const char *table : {"Curso", "Socio", "Cuota", "Cuenta", "Movimiento", "Parametro"})
        keys << PrimaryKeyColumns(db, table).join('+').toLower();
    QCOMPARE(keys.join(','), QStringLiteral("idcurso,idsocio,idcuota,idcuenta,idmovimiento,parametro"));
    QCOMPARE(InsertReturningKey(db, "INSERT INTO " + QuotedTableName(db, "Curso") + " (Nombre) VALUES (?)", {"1ro"},
                                "IDCurso").toInt(), 1);
    QCOMPARE(InsertReturningKey(db, "INSERT INTO Parametro (Parametro, Valor) VALUES (?, ?)", {"ZONA", "sur"},
                                "Parametro").toString(), QStringLiteral("ZONA"));
    QVERIFY_THROWS_EXCEPTION(StorageError, InsertReturningKey(db, "INSERT INTO Parametro (Parametro) VALUES ('ZONA')",
                                                               {}, "Parametro"));
}

QTEST_MAIN(tst_FilterCriterion)
#include "tst_FilterCriterion.moc"
