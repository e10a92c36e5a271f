// The reading of amounts and the other value rules: never negative, never
// NaN, and a number written as the program writes it reads back as itself.
#include "FuzzSupport.h"
#include "data/ValueRules.h"

#include <cmath>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QLocale locale;
    const QString text = FuzzText(data, size, &locale);
    const double parts = ReadAmount(text);
    FUZZ_ASSERT(!std::isnan(parts));
    FUZZ_ASSERT(parts >= 0);
    double v = -1;
    const AmountReading r = ReadUserAmount(text, locale, &v);
    if (r == AmountReading::Ok) {
        FUZZ_ASSERT(std::isfinite(v) && v >= 0 && v < kMaxAmount);
        FUZZ_ASSERT(v == parts); // the rule and the reading agree on every text the rule takes
        const QString written = GeneralNumber(v, QLocale::c());
        double back = -1;
        FUZZ_ASSERT(ReadUserAmount(written, QLocale::c(), &back) == AmountReading::Ok);
        FUZZ_ASSERT(back == v);
    } else {
        FUZZ_ASSERT(v == 0);
    }
    (void)IsNumeric(text, locale);
    (void)NumericValue(text);
    (void)ToDouble(text, locale);
    return 0;
}
