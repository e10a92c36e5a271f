#pragma once
// The SQL functions the table editor's filters and orders are written with, so
// that SQLite filters and sorts a large table exactly as the editor compares
// values:
//   es_texto            collation: texts as the user's locale orders them,
//                       without regard to case (the grid's text comparison)
//   like_es(pattern, x) LIKE as the filter writes it: % or * any text, _ or ?
//                       one character, without regard to case
//   date_key(x)         a stored date as the number YYYYMMDDhhmmss, or null
//   sort_es(x)          a text folded for ordering: no accents, no case, ñ
//                       after every n
#include <QString>
#include <vector>
#include <QSqlDatabase>

// Registers them on an open connection; throws RuntimeError when SQLite refuses.
void RegisterGridFunctions(const QSqlDatabase &db);

// A filter's LIKE pattern: % or * any text, _ or ? one character, the rest
// literally, without regard to case. Each stretch between two "any text" marks
// is found at its leftmost place, which is where it serves best, so a match
// takes one pass over the text for each stretch's length: no pattern, however
// many marks it has, makes it slow.
class LikeMatcher
{
public:
    explicit LikeMatcher(const QString &pattern = QString());
    bool matches(const QString &text) const;

private:
    static constexpr char32_t kOne = 0xFFFFFFFF; // stands for one character of any kind
    bool matchAt(const std::vector<char32_t> &segment, const std::vector<char32_t> &text, size_t at) const;

    std::vector<std::vector<char32_t>> m_segments; // the stretches between "any text" marks
    bool m_leadingAny = false;
    bool m_trailingAny = false;
    bool m_anyAtAll = false;
};
