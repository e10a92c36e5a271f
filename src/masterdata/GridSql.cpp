#include "masterdata/GridSql.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "masterdata/GridValues.h"

#include <QCollator>
#include <cstring>
#include <string>
#include <sqlite3.h>

namespace {

QString textOf(sqlite3_value *v)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

// The collator of the locale in use, made again only when the locale changes.
const QCollator &collator()
{
    thread_local QString name;
    thread_local std::unique_ptr<QCollator> c;
    if (!c || name != env().locale.name()) {
        name = env().locale.name();
        c = std::make_unique<QCollator>(env().locale);
        c->setCaseSensitivity(Qt::CaseInsensitive);
    }
    return *c;
}

int esTexto(void *, int na, const void *a, int nb, const void *b)
{
    if (na == nb && std::memcmp(a, b, size_t(na)) == 0) // the same text: no need to ask the collator
        return 0;
    return collator().compare(QString::fromUtf8(static_cast<const char *>(a), na),
                              QString::fromUtf8(static_cast<const char *>(b), nb));
}

void likeEs(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    // The pattern is the same on every row: compiled once per statement.
    auto *re = static_cast<QRegularExpression *>(sqlite3_get_auxdata(ctx, 0));
    if (!re) {
        re = new QRegularExpression(LikePattern(textOf(argv[0])));
        sqlite3_set_auxdata(ctx, 0, re, [](void *p) { delete static_cast<QRegularExpression *>(p); });
        re = static_cast<QRegularExpression *>(sqlite3_get_auxdata(ctx, 0));
        if (!re) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
    }
    sqlite3_result_int(ctx, re->match(textOf(argv[1])).hasMatch() ? 1 : 0);
}

void dateKey(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    qint64 key = 0;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || !DateKey(textOf(argv[0]), &key))
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int64(ctx, key);
}

void sortEs(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    thread_local std::string ascii;
    ascii.assign(bytes ? bytes : "", size_t(size));
    bool plain = true;
    for (char &c : ascii) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            plain = false;
            break;
        }
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    }
    if (plain) { // the frequent case: nothing to take apart
        sqlite3_result_text(ctx, ascii.data(), int(ascii.size()), SQLITE_TRANSIENT);
        return;
    }
    QString folded;
    const QString t = textOf(argv[0]);
    folded.reserve(t.size());
    for (const QChar c : t) {
        if (c == QChar(0xF1) || c == QChar(0xD1)) { // ñ after every n
            folded += QStringLiteral("n~");
            continue;
        }
        const QString d = QString(c).normalized(QString::NormalizationForm_D);
        for (const QChar part : d)
            if (part.category() != QChar::Mark_NonSpacing)
                folded += part.toLower();
    }
    const QByteArray u = folded.toUtf8();
    sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
}

} // namespace

QRegularExpression LikePattern(const QString &pattern)
{
    QString re = QStringLiteral("\\A");
    for (const QChar c : pattern) {
        if (c == QLatin1Char('%') || c == QLatin1Char('*'))
            re += QStringLiteral(".*");
        else if (c == QLatin1Char('_') || c == QLatin1Char('?'))
            re += QLatin1Char('.');
        else
            re += QRegularExpression::escape(QString(c));
    }
    re += QStringLiteral("\\z");
    QRegularExpression expression(re, QRegularExpression::CaseInsensitiveOption
                                          | QRegularExpression::DotMatchesEverythingOption);
    expression.optimize();
    return expression;
}

void RegisterGridFunctions(const QSqlDatabase &db)
{
    sqlite3 *h = SqliteHandle(db);
    if (!h)
        throw RuntimeError(SQLITE_MISUSE, QStringLiteral("la conexión no es de SQLite"));
    auto check = [](int rc, const char *name) {
        if (rc != SQLITE_OK)
            throw RuntimeError(rc, QStringLiteral("no se pudo registrar la función %1: %2")
                                       .arg(QLatin1String(name), QString::fromUtf8(sqlite3_errstr(rc))));
    };
    const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    check(sqlite3_create_collation(h, "es_texto", SQLITE_UTF8, nullptr, esTexto), "es_texto");
    check(sqlite3_create_function(h, "like_es", 2, pure, nullptr, likeEs, nullptr, nullptr), "like_es");
    check(sqlite3_create_function(h, "date_key", 1, pure, nullptr, dateKey, nullptr, nullptr), "date_key");
    check(sqlite3_create_function(h, "sort_es", 1, pure, nullptr, sortEs, nullptr, nullptr), "sort_es");
}
