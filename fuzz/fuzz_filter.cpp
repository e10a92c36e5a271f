// The table editor's filter parser and the typed grid values: a criterion
// either parses or says why, never both and never neither; no input crashes.
#include "FuzzSupport.h"
#include "masterdata/FilterCriterion.h"
#include "masterdata/GridValues.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QLocale locale;
    const QString text = FuzzText(data, size, &locale);
    static const QList<GridField> fields = {{QStringLiteral("IDCuota"), FieldKind::Integer},
                                            {QStringLiteral("Descripcion"), FieldKind::Text},
                                            {QStringLiteral("vigencia"), FieldKind::Date},
                                            {QStringLiteral("Valor"), FieldKind::Real}};
    FilterCriterion c;
    QString why;
    const bool parsed = c.parse(text, fields, locale, &why);
    FUZZ_ASSERT(parsed == why.isEmpty());
    if (parsed) {
        const QVariantList row{1, QStringLiteral("Cuota 2026"), QStringLiteral("2026-03-01 00:00:00"), 1500.5};
        (void)c.matches([&](int f) { return row.at(f); });
        QString where;
        QVariantList binds;
        c.toSql([](int f) { return fields.at(f).name; }, [](int) { return false; }, &where, &binds);
        FUZZ_ASSERT(!where.contains(text) || text.size() < 3); // the typed text never enters the SQL
    }
    for (const GridField &f : fields) {
        QVariant stored;
        QString error;
        const bool taken = ReadTypedValue(text, f, locale, &stored, &error);
        FUZZ_ASSERT(taken == error.isEmpty());
    }
    return 0;
}
