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
    // The pattern is the same on every row: prepared once per statement.
    auto *like = static_cast<LikeMatcher *>(sqlite3_get_auxdata(ctx, 0));
    if (!like) {
        like = new LikeMatcher(textOf(argv[0]));
        sqlite3_set_auxdata(ctx, 0, like, [](void *p) { delete static_cast<LikeMatcher *>(p); });
        like = static_cast<LikeMatcher *>(sqlite3_get_auxdata(ctx, 0));
        if (!like) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
    }
    sqlite3_result_int(ctx, like->matches(textOf(argv[1])) ? 1 : 0);
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

namespace {
std::vector<char32_t> foldedCodePoints(const QString &text)
{
    const QList<uint> ucs4 = text.toCaseFolded().toUcs4();
    return std::vector<char32_t>(ucs4.begin(), ucs4.end());
}
} // namespace

LikeMatcher::LikeMatcher(const QString &pattern)
{
    std::vector<char32_t> current;
    bool afterAny = false;
    for (char32_t c : foldedCodePoints(pattern)) {
        if (c == U'%' || c == U'*') {
            if (m_segments.empty() && current.empty())
                m_leadingAny = true;
            if (!current.empty() || m_segments.empty())
                m_segments.push_back(std::move(current));
            current.clear();
            m_anyAtAll = true;
            afterAny = true;
            continue;
        }
        afterAny = false;
        current.push_back(c == U'_' || c == U'?' ? kOne : c);
    }
    m_trailingAny = afterAny;
    m_segments.push_back(std::move(current));
    // A leading mark left an empty first stretch: it needs no place.
    if (m_leadingAny && !m_segments.empty() && m_segments.front().empty())
        m_segments.erase(m_segments.begin());
    if (m_trailingAny && !m_segments.empty() && m_segments.back().empty())
        m_segments.pop_back();
}

bool LikeMatcher::matchAt(const std::vector<char32_t> &segment, const std::vector<char32_t> &text, size_t at) const
{
    if (at + segment.size() > text.size())
        return false;
    for (size_t i = 0; i < segment.size(); ++i)
        if (segment[i] != kOne && segment[i] != text[at + i])
            return false;
    return true;
}

bool LikeMatcher::matches(const QString &value) const
{
    const std::vector<char32_t> text = foldedCodePoints(value);
    if (!m_anyAtAll)
        return m_segments.size() == 1 && m_segments[0].size() == text.size() && matchAt(m_segments[0], text, 0);
    size_t first = 0, last = m_segments.size();
    size_t pos = 0, end = text.size();
    if (!m_leadingAny) {
        if (first == last || !matchAt(m_segments[first], text, 0))
            return false;
        pos = m_segments[first].size();
        ++first;
    }
    if (!m_trailingAny && first < last) {
        const std::vector<char32_t> &tail = m_segments[last - 1];
        if (tail.size() > end - pos || !matchAt(tail, text, end - tail.size()))
            return false;
        end -= tail.size();
        --last;
    }
    for (size_t k = first; k < last; ++k) {
        const std::vector<char32_t> &segment = m_segments[k];
        bool found = false;
        for (size_t at = pos; at + segment.size() <= end; ++at) {
            if (matchAt(segment, text, at)) {
                pos = at + segment.size();
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    return pos <= end;
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
