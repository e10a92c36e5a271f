#pragma once
// One table of typed amounts, run against every place an amount is read: the
// rule itself, the money windows, the table editor and its filter.
#include "data/ValueRules.h"

#include <QLocale>
#include <QString>
#include <vector>

struct AmountCase
{
    const char *name;
    QString text;
    bool pointThousands; // typed under a locale that writes thousands with a point
    AmountReading reading;
    double value;     // when read
    bool inAFilter;   // also a filter's value (blanks inside split a filter's words)
};

inline QLocale AmountLocale(const AmountCase &c)
{
    return c.pointThousands ? QLocale(QLocale::Spanish, QLocale::Argentina)
                            : QLocale(QLocale::English, QLocale::UnitedStates);
}

inline const std::vector<AmountCase> &AmountCases()
{
    using R = AmountReading;
    static const std::vector<AmountCase> cases = {
        {"whole", "1500", true, R::Ok, 1500, true},
        {"decimals", "1500.50", true, R::Ok, 1500.5, true},
        {"blanks", " 1 500 ", true, R::Ok, 1500, false},
        {"leading point", ".25", false, R::Ok, 0.25, true},
        {"empty", "", true, R::Empty, 0, false},
        {"zero point", "0.500", true, R::Ok, 0.5, true},
        {"point thousands", "1.500", true, R::Ambiguous, 0, true},
        {"point decimals elsewhere", "1.500", false, R::Ok, 1.5, true},
        {"two groups", "12.345.678", true, R::Ambiguous, 0, true},
        {"comma decimals", "1500,50", true, R::Unreadable, 0, true},
        {"sign", "-50", true, R::Unreadable, 0, false},
        {"letters after", "12abc", false, R::Unreadable, 0, false},
        {"exponent", "1e3", false, R::Unreadable, 0, false},
        {"huge exponent", "1e303", true, R::Unreadable, 0, false},
        {"largest", "999999999999.99", false, R::Ok, 999999999999.99, true},
        {"a trillion", "1000000000000", false, R::TooLarge, 0, true},
        {"carriage return", "\r10", true, R::Unreadable, 0, false}, // stored reading would give 0
        {"four decimals", "0.0001", false, R::Ok, 0.0001, true},
        {"trailing zeros", "1500.5000000", false, R::Ok, 1500.5, true},
        {"five decimals", "0.00001", false, R::TooManyDecimals, 0, true}, // would show as 1E-05
        {"sixteen digits", "999999999999.9999", false, R::TooManyDecimals, 0, true},
        {"other digits", QString::fromUtf8("\u0663"), false, R::Unreadable, 0, false},
    };
    return cases;
}
