#include "masterdata/GridValues.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/ValueRules.h"

#include <QCollator>
#include <QSqlField>
#include <cmath>

namespace {

// Fields stored as text that hold dates.
bool isDateField(const QString &table, const QString &field)
{
    static const char *const dates[][2] = {{"Cuota", "vigencia"}, {"Movimiento", "Fecha"}};
    for (const auto &d : dates)
        if (table.compare(QLatin1String(d[0]), Qt::CaseInsensitive) == 0
            && field.compare(QLatin1String(d[1]), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

FieldKind KindOfField(const QString &table, const QSqlField &field)
{
    if (isDateField(table, field.name()))
        return FieldKind::Date;
    switch (field.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return FieldKind::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldKind::Real;
    default:
        return FieldKind::Text;
    }
}

QString DisplayText(const QVariant &stored, FieldKind kind, const QLocale &locale)
{
    if (stored.isNull())
        return QString();
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::Real:
        if (IsNumberValue(stored))
            return GeneralNumber(stored.toDouble(), locale);
        break;
    case FieldKind::Date: {
        const QDateTime d = DbDate(stored);
        if (d.isValid())
            return GeneralDate(d, locale);
        break;
    }
    case FieldKind::Text:
        break;
    }
    return stored.toString();
}

QDateTime ReadUserDate(const QString &text, const QLocale &locale)
{
    const QString t = text.simplified();
    if (t.isEmpty())
        return QDateTime();
    const QString date = ShortDateFormat(locale);
    const QString formats[] = {
        date + QStringLiteral(" H:mm:ss"), date + QStringLiteral(" H:mm"), date,
        QStringLiteral("yyyy-MM-dd H:mm:ss"), QStringLiteral("yyyy-MM-dd H:mm"), QStringLiteral("yyyy-MM-dd"),
    };
    for (const QString &f : formats) {
        QDateTime d = locale.toDateTime(t, f);
        if (!d.isValid())
            d = QLocale::c().toDateTime(t, f);
        if (d.isValid())
            return d.date().year() >= 1000 ? d : QDateTime();
    }
    return QDateTime();
}

QString ExampleDate(const QLocale &locale)
{
    const QDate today = env().clock ? env().clock->now().date() : QDate::currentDate();
    return GeneralDate(QDateTime(today, QTime(0, 0)), locale);
}

bool ReadTypedValue(const QVariant &typed, const GridField &field, const QLocale &locale,
                    QVariant *stored, QString *error)
{
    const bool isText = typed.metaType().id() == QMetaType::QString;
    const QString text = typed.toString();
    if (typed.isNull() || (isText && text.trimmed().isEmpty() && field.kind != FieldKind::Text)
        || (isText && text.isEmpty())) {
        *stored = QVariant();
        return true;
    }

    switch (field.kind) {
    case FieldKind::Text:
        *stored = text;
        return true;

    case FieldKind::Integer:
    case FieldKind::Real: {
        // Typed the way amounts are typed everywhere in the program.
        double v = 0;
        const AmountReading reading = IsNumberValue(typed)
            ? (std::isfinite(typed.toDouble()) && std::fabs(typed.toDouble()) < kMaxAmount ? AmountReading::Ok
                                                                                          : AmountReading::TooLarge)
            : ReadUserAmount(text, locale, &v);
        if (IsNumberValue(typed))
            v = typed.toDouble();
        if (reading != AmountReading::Ok) {
            *error = NumberRefusal(reading, text, field.name);
            return false;
        }
        if (field.kind == FieldKind::Real) {
            *stored = v;
            return true;
        }
        const std::optional<qint32> whole = CLng(v);
        if (!whole || double(*whole) != v) {
            *error = quoted(text) + QStringLiteral(" no sirve: el campo ") + field.name
                     + QStringLiteral(" sólo admite números enteros entre -2147483648 y 2147483647.");
            return false;
        }
        *stored = qlonglong(*whole);
        return true;
    }

    case FieldKind::Date: {
        QDateTime d;
        if (typed.metaType().id() == QMetaType::QDateTime)
            d = typed.toDateTime();
        else if (typed.metaType().id() == QMetaType::QDate)
            d = QDateTime(typed.toDate(), QTime(0, 0));
        else
            d = ReadUserDate(text, locale);
        if (!d.isValid()) {
            const QString example = ExampleDate(locale);
            *error = quoted(text) + QStringLiteral(" no es una fecha: el campo ") + field.name
                     + QStringLiteral(" sólo admite fechas, por ejemplo ") + example
                     + QStringLiteral(" o ") + example + QStringLiteral(" 18:30.");
            return false;
        }
        *stored = DbDateText(d);
        return true;
    }
    }
    return false;
}

QString NumberRefusal(AmountReading reading, const QString &typed, const QString &field)
{
    switch (reading) {
    case AmountReading::Ambiguous:
        return quoted(typed) + QStringLiteral(" es ambiguo en el campo ") + field
               + QStringLiteral(": escriba 1500 si son mil quinientos, o 1.5 si es uno y medio.");
    case AmountReading::TooLarge:
        return quoted(typed) + QStringLiteral(" es demasiado grande: el campo ") + field
               + QStringLiteral(" admite números menores que 1000000000000.");
    case AmountReading::TooManyDecimals:
        return quoted(typed) + QStringLiteral(" tiene demasiados decimales: el campo ") + field
               + QStringLiteral(" admite hasta %1 decimales y 15 cifras en total.").arg(kMaxDecimals);
    default:
        return quoted(typed) + QStringLiteral(" no es un número: el campo ") + field
               + QStringLiteral(" sólo admite números, con punto decimal (por ejemplo 1500.50).");
    }
}

SortKey MakeSortKey(const QVariant &stored, FieldKind kind)
{
    SortKey k;
    if (stored.isNull())
        return k;
    k.rank = 2;
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::Real:
        if (IsNumberValue(stored)) {
            k.rank = 1;
            k.number = stored.toDouble();
            return k;
        }
        break;
    case FieldKind::Date: {
        qint64 date = 0;
        if (DateKey(stored, &date)) {
            k.rank = 1;
            k.number = double(date);
            return k;
        }
        break;
    }
    case FieldKind::Text:
        k.rank = 1;
        break;
    }
    k.text = stored.toString();
    return k;
}

int CompareKeys(const SortKey &a, const SortKey &b, FieldKind kind, const QCollator &collator)
{
    if (a.rank != b.rank)
        return a.rank < b.rank ? -1 : 1;
    if (a.rank == 0)
        return 0;
    if (a.rank == 1 && kind != FieldKind::Text)
        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    return collator.compare(a.text, b.text);
}
