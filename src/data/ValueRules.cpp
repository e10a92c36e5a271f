#include "data/ValueRules.h"

#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <limits>

QString AppDescription()
{
    return QStringLiteral("Tesorin - Gestion de cooperadoras escolares");
}

QString AppTitle()
{
    return AppDescription().left(39);
}

QString DisplayText(const QString &stored)
{
    if (stored.size() <= kDisplayChars)
        return stored;
    qsizetype n = kDisplayChars;
    if (stored.at(n - 1).isHighSurrogate())
        --n; // never half a character
    return stored.left(n) + QChar(0x2026);
}

namespace {
bool isSkipped(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}
bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

double Val(const QString &text, int *consumed)
{
    QString number;
    int i = 0;
    const int n = text.size();
    auto skip = [&] {
        while (i < n && isSkipped(text.at(i)))
            ++i;
    };
    skip();
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        number += text.at(i++);
        skip();
    }
    int digits = 0;
    bool point = false;
    while (i < n) {
        const QChar c = text.at(i);
        if (isDigit(c)) {
            number += c;
            ++digits;
        } else if (c == QLatin1Char('.') && !point) {
            number += c;
            point = true;
        } else if (!isSkipped(c)) {
            break;
        }
        ++i;
    }
    int end = i;
    if (digits > 0 && i < n) {
        const QChar e = text.at(i).toUpper();
        if (e == QLatin1Char('E') || e == QLatin1Char('D')) {
            int j = i + 1;
            QString exponent = QStringLiteral("e");
            while (j < n && isSkipped(text.at(j)))
                ++j;
            if (j < n && (text.at(j) == QLatin1Char('-') || text.at(j) == QLatin1Char('+')))
                exponent += text.at(j++);
            int expDigits = 0;
            while (j < n && (isDigit(text.at(j)) || isSkipped(text.at(j)))) {
                if (isDigit(text.at(j))) {
                    exponent += text.at(j);
                    ++expDigits;
                }
                ++j;
            }
            if (expDigits > 0) {
                number += exponent;
                end = j;
            }
        }
    }
    if (consumed)
        *consumed = end;
    if (digits == 0)
        return 0.0;
    bool ok = false;
    const double v = number.toDouble(&ok);
    if (!ok) // only an exponent out of range gets here
        return number.startsWith(QLatin1Char('-')) ? -std::numeric_limits<double>::infinity()
                                                   : std::numeric_limits<double>::infinity();
    return v;
}

double ReadAmount(const QString &text)
{
    return Val(QLatin1Char('0') + text);
}

AmountReading ReadUserAmount(const QString &text, const QLocale &locale, double *value)
{
    // Only the blanks the stored reading skips may be dropped here: a text
    // this rule takes must store as the very number it showed.
    QString t = text;
    t.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\n'));
    if (value)
        *value = 0;
    if (t.isEmpty())
        return AmountReading::Empty;
    if (locale.groupSeparator() == QLatin1String(".")) {
        static const QRegularExpression thousands(QStringLiteral("^[1-9][0-9]{0,2}(\\.[0-9]{3})+$"));
        if (thousands.match(t).hasMatch())
            return AmountReading::Ambiguous;
    }
    static const QRegularExpression plain(QStringLiteral("^([0-9]*)(\\.[0-9]*)?$"));
    const QRegularExpressionMatch m = plain.match(t);
    if (!m.hasMatch() || t == QLatin1String("."))
        return AmountReading::Unreadable;
    // Digits only: the integer part tells the size before any rounding.
    const QString whole = m.captured(1);
    int significant = 0;
    for (QChar c : whole)
        if (significant > 0 || c != QLatin1Char('0'))
            ++significant;
    if (significant > 12)
        return AmountReading::TooLarge;
    QString decimals = m.captured(2).mid(1);
    while (decimals.endsWith(QLatin1Char('0')))
        decimals.chop(1);
    if (decimals.size() > kMaxDecimals || significant + decimals.size() > 15)
        return AmountReading::TooManyDecimals;
    const double v = QLocale::c().toDouble(t.startsWith(QLatin1Char('.')) ? QLatin1Char('0') + t : t);
    if (v >= kMaxAmount)
        return AmountReading::TooLarge;
    if (value)
        *value = v;
    return AmountReading::Ok;
}

std::optional<qint32> CLng(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value); // the default rounding mode: halves to even
    if (r < -2147483648.0 || r > 2147483647.0)
        return std::nullopt;
    return static_cast<qint32>(r);
}

std::optional<qint32> NumericValue(const QString &text)
{
    return CLng(Val(text));
}

namespace {
bool parseNumber(const QString &text, const QLocale &locale, double *out)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    double v = locale.toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
    if (ok && out)
        *out = v;
    return ok && std::isfinite(v);
}
} // namespace

bool IsNumeric(const QString &text, const QLocale &locale)
{
    return parseNumber(text, locale, nullptr);
}

double ToDouble(const QString &text, const QLocale &locale)
{
    double v = 0;
    return parseNumber(text, locale, &v) ? v : 0.0;
}

QString GeneralNumber(double value, const QLocale &locale)
{
    if (value == 0 || !std::isfinite(value))
        return QStringLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    QString s = QString::fromLatin1(buf);
    const int e = s.indexOf(QLatin1Char('e'));
    if (e >= 0) { // 1e+15 -> 1E+15
        s[e] = QLatin1Char('E');
    }
    s.replace(QLatin1Char('.'), locale.decimalPoint());
    return s;
}

QString ShortDateFormat(const QLocale &locale)
{
    QString f = locale.dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy")))
        f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

QString GeneralDate(const QDateTime &value, const QLocale &locale)
{
    QString s = locale.toString(value.date(), ShortDateFormat(locale));
    if (value.time() != QTime(0, 0))
        s += QLatin1Char(' ') + value.time().toString(QStringLiteral("HH:mm:ss"));
    return s;
}

QString LongDate(const QDate &value, const QLocale &locale)
{
    return locale.toString(value, QLocale::LongFormat);
}

bool IsNumberValue(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}
