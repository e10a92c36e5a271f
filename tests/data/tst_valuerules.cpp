#include "data/ValueRules.h"
#include "masterdata/FilterCriterion.h"
#include "masterdata/GridValues.h"
#include "support/AmountCases.h"

#include <QTest>

class tst_ValueRules : public QObject
{
    Q_OBJECT
private slots:
    void amountReading();
    void roundingIntoThirtyTwoBits();
    void numericValueOfSettings();
    void numericTest();
    void generalNumber_data();
    void generalNumber();
    void dates();
};

void tst_ValueRules::amountReading()
{
    // Read as the Parts read it, once the rule has accepted the text.
    QCOMPARE(ReadAmount(" 1 2 3 "), 123.0);
    QCOMPARE(ReadAmount("12abc"), 12.0);
    QCOMPARE(ReadAmount(""), 0.0);
    // The same text means the same in the table editor and in its filter.
    const GridField valor{QStringLiteral("Valor"), FieldKind::Real};
    for (const AmountCase &c : AmountCases()) {
        const QLocale locale = AmountLocale(c);
        double v = -1;
        QVERIFY2(ReadUserAmount(c.text, locale, &v) == c.reading, c.name);
        QVariant stored;
        QString error;
        const bool taken = ReadTypedValue(c.text, valor, locale, &stored, &error);
        QVERIFY2(taken == (c.reading == AmountReading::Ok || c.reading == AmountReading::Empty), c.name);
        FilterCriterion filter;
        QString why;
        const bool parsed = filter.parse("Valor=" + c.text, {valor}, locale, &why);
        if (c.reading == AmountReading::Ok) {
            QCOMPARE(v, c.value);
            QCOMPARE(ReadAmount(c.text), c.value);
            QCOMPARE(stored.toDouble(), c.value);
            QVERIFY2(!c.inAFilter || (parsed && filter.matches([&](int) { return QVariant(c.value); })), c.name);
        } else if (c.reading != AmountReading::Empty) {
            QCOMPARE(error, NumberRefusal(c.reading, c.text, "Valor"));
            if (c.inAFilter) {
                QVERIFY2(!parsed, c.name);
                QCOMPARE(why, NumberRefusal(c.reading, c.text, "Valor"));
            }
        }
    }
}

void tst_ValueRules::roundingIntoThirtyTwoBits()
{
    QCOMPARE(CLng(7.6).value(), 8);
    QCOMPARE(CLng(0.5).value(), 0);
    QCOMPARE(CLng(1.5).value(), 2);
    QCOMPARE(CLng(2.5).value(), 2);
    QCOMPARE(CLng(-2.5).value(), -2);
    QCOMPARE(CLng(2147483647.0).value(), 2147483647);
    QCOMPARE(CLng(-2147483648.0).value(), -2147483647 - 1);
    QVERIFY(!CLng(2147483647.5).has_value()); // rounds to 2^31
    QVERIFY(!CLng(1e300).has_value());
    QVERIFY(!CLng(qInf()).has_value());
}

void tst_ValueRules::numericValueOfSettings()
{
    QCOMPARE(NumericValue(" 25 ").value(), 25);
    QCOMPARE(NumericValue("12a").value(), 12);
    QCOMPARE(NumericValue("7.6").value(), 8);
    QCOMPARE(NumericValue("abc").value(), 0);
    QCOMPARE(NumericValue("").value(), 0);
    QVERIFY(!NumericValue("99999999999").has_value());
}

void tst_ValueRules::numericTest()
{
    const QLocale comma(QLocale::Spanish, QLocale::Argentina);
    const QLocale point(QLocale::English, QLocale::UnitedStates);
    for (const QLocale &l : {comma, point}) {
        QVERIFY(IsNumeric(" 42 ", l));
        QVERIFY(IsNumeric("-7", l));
        QVERIFY(IsNumeric("1e3", l));
        QVERIFY(!IsNumeric("", l));
        QVERIFY(!IsNumeric("12a", l));
        QVERIFY(!IsNumeric("abc", l));
        QVERIFY(IsNumeric("99999999999", l)); // numeric, though it does not fit 32 bits
    }
    QCOMPARE(ToDouble("1,5", comma), 1.5);
    QCOMPARE(ToDouble("1.5", point), 1.5);
}

void tst_ValueRules::generalNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("comma");
    QTest::addColumn<QString>("point");
    QTest::newRow("whole") << 1500.0 << "1500" << "1500";
    QTest::newRow("decimal") << 1234.5 << "1234,5" << "1234.5";
    QTest::newRow("negative") << -150.0 << "-150" << "-150";
    QTest::newRow("zero") << 0.0 << "0" << "0";
    QTest::newRow("fifteen digits") << 0.1 + 0.2 << "0,3" << "0.3";
    QTest::newRow("large") << 123456789012.25 << "123456789012,25" << "123456789012.25";
    QTest::newRow("exponent") << 1e15 << "1E+15" << "1E+15";
}

void tst_ValueRules::generalNumber()
{
    QFETCH(double, value);
    QFETCH(QString, comma);
    QFETCH(QString, point);
    QCOMPARE(GeneralNumber(value, QLocale(QLocale::Spanish, QLocale::Argentina)), comma);
    QCOMPARE(GeneralNumber(value, QLocale(QLocale::English, QLocale::UnitedStates)), point);
}

void tst_ValueRules::dates()
{
    const QLocale es(QLocale::Spanish, QLocale::Argentina);
    const QDateTime midnight(QDate(2026, 3, 7), QTime(0, 0));
    const QDateTime afternoon(QDate(2026, 3, 7), QTime(15, 4, 5));
    QCOMPARE(GeneralDate(midnight, es), QStringLiteral("7/3/2026"));
    QCOMPARE(GeneralDate(afternoon, es), QStringLiteral("7/3/2026 15:04:05"));
    QCOMPARE(GeneralDate(midnight, QLocale(QLocale::English, QLocale::UnitedStates)),
             QStringLiteral("3/7/2026"));
    QCOMPARE(LongDate(QDate(2026, 12, 6), es), QStringLiteral("domingo, 6 de diciembre de 2026"));
}

QTEST_GUILESS_MAIN(tst_ValueRules)
#include "tst_valuerules.moc"
