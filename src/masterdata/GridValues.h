#pragma once
// How the table editor shows, reads and compares the values of a field: whole
// numbers, numbers, texts and dates. Stored values are what the database holds
// (dates as the stored date text); typed values are what the user writes, in
// the user's locale.
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QVariant>

#include "data/Database.h"
#include "data/ValueRules.h"

class QCollator;
class QSqlField;

enum class FieldKind { Integer, Real, Text, Date };

struct GridField
{
    QString name;
    FieldKind kind = FieldKind::Text;
};

// The kind of a field of `table`: the declared number kinds of the database,
// and the fields that hold dates (stored as text).
FieldKind KindOfField(const QString &table, const QSqlField &field);

// The text a stored value is shown as; "" for null. A stored value that does
// not fit its kind (written before the table refused such values) is shown as stored.
QString DisplayText(const QVariant &stored, FieldKind kind, const QLocale &locale);

// A date (and time) written by the user: the locale's short date, optionally
// followed by hours and minutes (and seconds), or the year-month-day form.
// Invalid when the text is no date or the year has not four digits.
QDateTime ReadUserDate(const QString &text, const QLocale &locale);

// Turns what the user typed into the value to store in `field`. An empty text
// stores null. Returns false, with a Spanish explanation in `error`, when the
// field cannot hold the text.
bool ReadTypedValue(const QVariant &typed, const GridField &field, const QLocale &locale,
                    QVariant *stored, QString *error);

// Why a number typed for `field` was refused, for every refusal but Ok/Empty.
QString NumberRefusal(AmountReading reading, const QString &typed, const QString &field);


// What a stored value is ordered by: null first, then values of the field's
// kind (numbers by value, dates by date, texts as the collator says), then
// anything else by its text.
struct SortKey
{
    int rank = 0; // 0 null, 1 a value of the field's kind, 2 anything else
    double number = 0;
    QString text;
};
SortKey MakeSortKey(const QVariant &stored, FieldKind kind);
// Negative, zero or positive.
int CompareKeys(const SortKey &a, const SortKey &b, FieldKind kind, const QCollator &collator);

// A date written the way the user reads it, for messages: "6/12/2026".
QString ExampleDate(const QLocale &locale);
