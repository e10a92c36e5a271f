#include "data/SqliteStorage.h"
#include "data/Database.h"
#include "data/TextRules.h"

#include <QSqlDriver>
#include <cstring>
#include <sqlite3.h>

sqlite3 *SqliteHandle(const QSqlDatabase &db)
{
    const QVariant v = db.isOpen() && db.driver() ? db.driver()->handle() : QVariant();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.constData());
}

namespace {

StorageError sqliteError(sqlite3 *h)
{
    return StorageError(QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(h)), QSqlError::StatementError,
                                  QString::number(sqlite3_extended_errcode(h))));
}

int bindValue(sqlite3_stmt *st, int i, const QVariant &v)
{
    switch (StorageValueKind(v)) {
    case RowReader::Type::Null:
        return sqlite3_bind_null(st, i);
    case RowReader::Type::Integer:
        return sqlite3_bind_int64(st, i, v.toLongLong());
    case RowReader::Type::Real:
        return sqlite3_bind_double(st, i, v.toDouble());
    default: { // bytes are bound as the text they hold, as they always were
        const QByteArray t = BindableValue(v).toString().toUtf8();
        return sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    }
    }
}

class Cursor final : public RowReader::Cursor
{
public:
    Cursor(sqlite3 *h, const QString &sql, const QVariantList &binds) : m_db(h)
    {
        const QByteArray utf8 = sql.toUtf8();
        sqlite3_stmt *st = nullptr;
        const int rc = sqlite3_prepare_v2(h, utf8.constData(), int(utf8.size()), &st, nullptr);
        m_st.reset(st);
        if (rc != SQLITE_OK)
            throw sqliteError(h);
        for (int i = 0; i < binds.size(); ++i)
            if (bindValue(st, i + 1, binds.at(i)) != SQLITE_OK)
                throw sqliteError(h);
    }
    bool next() override
    {
        const int rc = sqlite3_step(m_st.get());
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            throw sqliteError(m_db);
        return rc == SQLITE_ROW;
    }
    int columnCount() const override { return sqlite3_column_count(m_st.get()); }
    QString columnName(int c) const override { return QString::fromUtf8(sqlite3_column_name(m_st.get(), c)); }
    RowReader::Type type(int c) const override
    {
        switch (sqlite3_column_type(m_st.get(), c)) {
        case SQLITE_INTEGER:
            return RowReader::Type::Integer;
        case SQLITE_FLOAT:
            return RowReader::Type::Real;
        case SQLITE_TEXT:
            return RowReader::Type::Text;
        case SQLITE_BLOB:
            return RowReader::Type::Blob;
        default:
            return RowReader::Type::Null;
        }
    }
    qint64 integer(int c) const override { return sqlite3_column_int64(m_st.get(), c); }
    double real(int c) const override { return sqlite3_column_double(m_st.get(), c); }
    QByteArrayView text(int c) const override
    {
        const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(m_st.get(), c));
        return t ? QByteArrayView(t, sqlite3_column_bytes(m_st.get(), c)) : QByteArrayView();
    }
    QVariant value(int c) const override
    {
        sqlite3_stmt *st = m_st.get();
        switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER:
            return qint64(sqlite3_column_int64(st, c));
        case SQLITE_FLOAT:
            return sqlite3_column_double(st, c);
        case SQLITE_TEXT:
            return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c)),
                                     sqlite3_column_bytes(st, c));
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char *>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c));
        default:
            return QVariant();
        }
    }

private:
    struct Finalize
    {
        void operator()(sqlite3_stmt *s) const { sqlite3_finalize(s); }
    };
    sqlite3 *m_db;
    std::unique_ptr<sqlite3_stmt, Finalize> m_st;
};

QByteArrayView textOf(sqlite3_value *v)
{
    const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return QByteArrayView(t ? t : "", sqlite3_value_bytes(v));
}

QString stringOf(sqlite3_value *v)
{
    const QByteArrayView t = textOf(v);
    return QString::fromUtf8(t.data(), t.size());
}

template <Enye enye>
void fold(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    thread_local std::string out;
    out.clear();
    FoldSpanish(textOf(argv[0]), enye, out);
    sqlite3_result_text(ctx, out.data(), int(out.size()), SQLITE_TRANSIENT);
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
        like = new LikeMatcher(stringOf(argv[0]));
        sqlite3_set_auxdata(ctx, 0, like, [](void *p) { delete static_cast<LikeMatcher *>(p); });
        like = static_cast<LikeMatcher *>(sqlite3_get_auxdata(ctx, 0));
        if (!like) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
    }
    sqlite3_result_int(ctx, like->matchesUtf8(textOf(argv[1])) ? 1 : 0);
}

void dateKey(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    qint64 key = 0;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || !DateKey(stringOf(argv[0]), &key))
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int64(ctx, key);
}

int esTexto(void *, int na, const void *a, int nb, const void *b)
{
    if (na == nb && std::memcmp(a, b, size_t(na)) == 0) // the same text: no need to ask the collator
        return 0;
    return CompareTexts(QString::fromUtf8(static_cast<const char *>(a), na),
                        QString::fromUtf8(static_cast<const char *>(b), nb));
}

} // namespace

std::unique_ptr<RowReader::Cursor> SqliteCursor(sqlite3 *handle, const QString &sql, const QVariantList &binds)
{
    return std::make_unique<Cursor>(handle, sql, binds);
}

ChangeToken SqliteChangeToken(const QSqlDatabase &db)
{
    ChangeToken t;
    QSqlQuery q = Exec(db, QStringLiteral("PRAGMA data_version"));
    t.version = q.next() ? q.value(0).toLongLong() : -1;
    sqlite3 *h = SqliteHandle(db);
    t.changes = h ? sqlite3_total_changes64(h) : -1;
    return t;
}

bool SqliteIsReadOnly(const QSqlDatabase &db)
{
    sqlite3 *h = SqliteHandle(db);
    return h && sqlite3_db_readonly(h, "main") == 1;
}

void SqliteRegisterTextFunctions(const QSqlDatabase &db)
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
    check(sqlite3_create_function(h, "fold_es", 1, pure, nullptr, fold<Enye::AsN>, nullptr, nullptr), "fold_es");
    check(sqlite3_create_function(h, "sort_es", 1, pure, nullptr, fold<Enye::AfterN>, nullptr, nullptr), "sort_es");
    check(sqlite3_create_function(h, "like_es", 2, pure, nullptr, likeEs, nullptr, nullptr), "like_es");
    check(sqlite3_create_function(h, "date_key", 1, pure, nullptr, dateKey, nullptr, nullptr), "date_key");
    check(sqlite3_create_collation(h, "es_texto", SQLITE_UTF8, nullptr, esTexto), "es_texto");
}
