#pragma once
// The value rules every screen shares: how typed amounts and numbers are read,
// how numbers and dates are shown, and the program's fixed titles.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>

// "Tesorin - Gestion de cooperadoras escolares"
QString AppDescription();
// The caption of every message and input box: the description cut after "escol".
QString AppTitle();

// A stored text as a window shows it: one longer than kDisplayChars (written
// by another tool, say) is cut there and ends with "…", so no list or box
// lays out a million characters. Only the showing is cut, never what is stored.
constexpr int kDisplayChars = 300;
QString DisplayText(const QString &stored);

// Reads the leading number of a text: blanks, tabs and line feeds are skipped
// wherever they are, an optional sign, digits, a point as decimal mark and an
// exponent are accepted; reading stops at the first other character. Nothing
// readable gives 0. `consumed`, when given, receives the count of characters
// used (trailing blanks included), so a caller can tell whether the text was
// read whole.
double Val(const QString &text, int *consumed = nullptr);

// The amount typed in a text box: the leading number of "0" followed by the text.
double ReadAmount(const QString &text);
// The one rule amounts are typed by, in the money windows, the table editor
// and its filter: digits with at most one point as the decimal mark (blanks
// anywhere are ignored), no sign, no exponent, no comma, below kMaxAmount.
// Where the locale writes thousands with a point, a text such as "1.500" or
// "12.345.678" is ambiguous (1.5 or 1500?) and refused; "0.500" is 0.5.
// At most kMaxDecimals decimals (trailing zeros aside) and 15 digits in all:
// what a double keeps exactly, and what the program writes back in plain
// digits, so an amount shown and typed again is the same amount.
enum class AmountReading { Ok, Empty, Unreadable, Ambiguous, TooLarge, TooManyDecimals };
AmountReading ReadUserAmount(const QString &text, const QLocale &locale, double *value = nullptr);
// An association's whole year is far below this; anything at or above it is
// a typing slip (or a number read from a foreign file).
constexpr double kMaxAmount = 1e12;
constexpr int kMaxDecimals = 4;

// Rounds to a 32-bit integer, halves to the even neighbour; nothing when the
// value does not fit.
std::optional<qint32> CLng(double value);
// The numeric value of a text: its leading number (see Val), rounded into 32 bits.
// Nothing when that number does not fit.
std::optional<qint32> NumericValue(const QString &text);
// The numeric test of input boxes: the trimmed text is a number written with
// the locale's separators (or a point), optionally signed, optionally with exponent.
bool IsNumeric(const QString &text, const QLocale &locale);
// The number an IsNumeric text stands for (0 when it is none).
double ToDouble(const QString &text, const QLocale &locale);

// The general number text: at most 15 significant digits, no thousands
// separator, no trailing zeros, the locale's decimal separator.
QString GeneralNumber(double value, const QLocale &locale);
// The general date text: the short date, followed by the time when not midnight.
QString GeneralDate(const QDateTime &value, const QLocale &locale);
// The short date format of the locale, always with a four-digit year.
QString ShortDateFormat(const QLocale &locale);
// The long date text of the locale ("domingo, 6 de diciembre de 2026").
QString LongDate(const QDate &value, const QLocale &locale);
// Whether a value read from the database is a number (an integer or a real),
// as opposed to text, a blob or null.
bool IsNumberValue(const QVariant &v);
