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
#include <QRegularExpression>
#include <QSqlDatabase>

// Registers them on an open connection; throws RuntimeError when SQLite refuses.
void RegisterGridFunctions(const QSqlDatabase &db);

// The regular expression of a filter's LIKE pattern.
QRegularExpression LikePattern(const QString &pattern);
