#pragma once
// The filter criterion the user types in the table editor:
//
//   criterion  := condition { (AND | OR) condition }   AND binds closer than OR
//   condition  := field operator value | "(" criterion ")"
//   field      := name | [name]                         compared without regard to case
//   operator   := = | <> | < | > | <= | >= | LIKE
//   value      := number | 'text' | #date#              '' inside a text is one quote
//
// Numbers use a point or the locale's decimal separator; dates are written as
// the grid shows them; LIKE takes % or * for any text and _ or ? for one
// character. Texts compare, and LIKE matches, without regard to case or
// accents, by the fold the engines order texts by (sort_es, FoldSpanish). The
// criterion is evaluated by the database, as a condition whose values are all
// bound (toSql), or on rows in memory (matches); every engine and the memory
// give the same rows. The typed text never becomes part of a statement.
#include "data/TextRules.h"
#include "masterdata/GridValues.h"

#include <QSqlDatabase>
#include <functional>
#include <string>
#include <vector>

class FilterCriterion
{
public:
    FilterCriterion();

    // Parses `text` for a table with `fields`. On failure returns false and
    // explains in Spanish in `error`; the criterion is then empty.
    bool parse(const QString &text, const QList<GridField> &fields, const QLocale &locale,
               QString *error);
    bool isEmpty() const { return m_root < 0; }
    const QString &text() const { return m_text; }

    // True when a row passes; `stored` gives the row's stored value of a field
    // by its position in `fields`.
    bool matches(const std::function<QVariant(int field)> &stored) const;

    // The criterion as an SQL condition for the engine of `db` (empty for an
    // empty criterion) and its bound values (TableInfo.h).
    // `column` names a field's column in SQL; `irregularDates` tells whether a
    // date field holds any value not in the stored form "YYYY-MM-DD HH:MM:SS".
    void toSql(const QSqlDatabase &db, const std::function<QString(int field)> &column,
               const std::function<bool(int field)> &irregularDates, QString *where,
               QVariantList *binds) const;

private:
    enum class Op { Eq, Ne, Lt, Gt, Le, Ge, Like };
    struct Node
    {
        enum Type { And, Or, Compare } type = Compare;
        int left = -1, right = -1;
        int field = -1;
        FieldKind kind = FieldKind::Text;
        Op op = Op::Eq;
        QVariant value; // a number, a text, or a date as its DateKey
        std::string sortKey; // a text's fold for ordering
        LikeMatcher like;
    };
    bool eval(int node, const std::function<QVariant(int)> &stored) const;
    bool compare(const Node &n, const QVariant &v) const;
    QString sqlOf(const QSqlDatabase &db, int node, const std::function<QString(int)> &column,
                  const std::function<bool(int)> &irregularDates, QVariantList *binds) const;

    friend class CriterionParser;
    std::vector<Node> m_nodes;
    int m_root = -1;
    QString m_text;
};
