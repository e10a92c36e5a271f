#include "data/TableInfo.h"
#include "data/Database.h"
#include "data/Storage.h"
#include "data/TextRules.h"

#include <QSqlDriver>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlQuery>
#include <optional>

namespace {

QString quotedName(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QSqlQuery run(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw StorageError(db, q.lastError());
    for (const QVariant &b : binds)
        q.addBindValue(b);
    if (!q.exec())
        throw StorageError(db, q.lastError());
    return q;
}

} // namespace

bool TablePresent(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery q = EngineOf(db) == Engine::PostgreSQL
                      ? Exec(db, QStringLiteral("SELECT 1 WHERE to_regclass(?) IS NOT NULL"), {table.toLower()})
                      : Exec(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"),
                             {table});
    return q.next();
}

bool IsServerConnection(const QSqlDatabase &db)
{
    return EngineOf(db) == Engine::PostgreSQL;
}

QSqlRecord TableColumns(const QSqlDatabase &db, const QString &table)
{
    if (!IsServerConnection(db))
        return db.record(table);
    QSqlRecord columns = db.record(table.toLower());
    for (const auto &[name, spelt] : RequiredColumns())
        for (int i = 0; i < columns.count() && name.compare(table, Qt::CaseInsensitive) == 0; ++i)
            for (const QString &c : spelt)
                if (c.compare(columns.fieldName(i), Qt::CaseInsensitive) == 0) {
                    QSqlField f = columns.field(i);
                    f.setName(c);
                    columns.replace(i, f);
                }
    return columns;
}

QStringList PrimaryKeyColumns(const QSqlDatabase &db, const QString &table)
{
    QStringList columns;
    if (IsServerConnection(db)) {
        // The schema writes its names without quotes: the server holds them in lower case.
        QSqlQuery q = run(db,
                          QStringLiteral("SELECT k.column_name FROM information_schema.table_constraints c"
                                         " JOIN information_schema.key_column_usage k"
                                         " ON k.constraint_schema = c.constraint_schema"
                                         " AND k.constraint_name = c.constraint_name"
                                         " WHERE c.constraint_type = 'PRIMARY KEY' AND c.table_schema = current_schema()"
                                         " AND c.table_name = ? ORDER BY k.ordinal_position"),
                          {table.toLower()});
        while (q.next())
            columns << q.value(0).toString();
        return columns;
    }
    QSqlQuery q = run(db, QStringLiteral("SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk"), {table});
    while (q.next())
        columns << q.value(0).toString();
    return columns;
}

QString SqlFoldText(const QSqlDatabase &db, const QString &x)
{
    return IsServerConnection(db) ? QStringLiteral("fold_es(CAST(%1 AS text)) COLLATE \"C\"").arg(x)
                                  : QStringLiteral("fold_es(%1)").arg(x);
}

QString SqlSortText(const QSqlDatabase &db, const QString &x)
{
    return IsServerConnection(db) ? QStringLiteral("sort_es(CAST(%1 AS text)) COLLATE \"C\"").arg(x)
                                  : QStringLiteral("sort_es(%1)").arg(x);
}

QString SqlByteText(const QSqlDatabase &db, const QString &x)
{
    return IsServerConnection(db) ? QStringLiteral("CAST(%1 AS text) COLLATE \"C\"").arg(x)
                                  : QStringLiteral("CAST(%1 AS TEXT) COLLATE BINARY").arg(x);
}

QString SqlIsNumber(const QSqlDatabase &db, const QString &x)
{
    // The server's columns hold only values of their own type.
    return IsServerConnection(db) ? QStringLiteral("%1 IS NOT NULL").arg(x)
                                  : QStringLiteral("typeof(%1) IN ('integer', 'real')").arg(x);
}

QString SqlNotStoredDate(const QSqlDatabase &db, const QString &x)
{
    if (IsServerConnection(db))
        return QStringLiteral("%1 !~ '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$'").arg(x);
    return QStringLiteral("(typeof(%1) <> 'text' OR %1 NOT GLOB "
                          "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]')")
        .arg(x);
}

QString SqlOrderTerm(const QSqlDatabase &db, const QString &x, bool ascending)
{
    // SQLite holds a null below every value; the server above, unless told.
    if (IsServerConnection(db))
        return x + (ascending ? QStringLiteral(" ASC NULLS FIRST") : QStringLiteral(" DESC NULLS LAST"));
    return x + (ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
}

QString SqlLikeCondition(const QSqlDatabase &db, const QString &x)
{
    return IsServerConnection(db) ? SqlFoldText(db, x) + QStringLiteral(" LIKE ?")
                                  : QStringLiteral("like_es(?, %1)").arg(x);
}

QString SqlLikePattern(const QSqlDatabase &db, const QString &pattern)
{
    if (!IsServerConnection(db))
        return pattern; // like_es reads the marks itself
    // The server's LIKE: % and _ are its own marks, \ its escape.
    QString out;
    for (const QChar c : FoldSpanish(pattern, Enye::AsN)) {
        if (c == QLatin1Char('*'))
            out += QLatin1Char('%');
        else if (c == QLatin1Char('?'))
            out += QLatin1Char('_');
        else if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else
            out += c;
    }
    return out;
}

QString QuotedTableName(const QSqlDatabase &db, const QString &table)
{
    return quotedName(IsServerConnection(db) ? table.toLower() : table);
}

namespace {
// The column SQLite names in a constraint's message ("Curso.IDCurso", "Tipo IS NULL OR ...").
QString sqliteColumn(const QString &detail)
{
    return detail.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char(','), 0, 0).section(QLatin1Char('.'), -1);
}

QString firstMatch(const QString &text, const QString &pattern)
{
    return QRegularExpression(pattern).match(text).captured(1);
}
} // namespace

BrokenRule BrokenRuleOf(const QSqlError &error, const QString &table)
{
    using Kind = BrokenRule::Kind;
    const QString text = error.databaseText();
    const QString state = error.nativeErrorCode();
    if (IsServerError(error)) {
        // The server's words change with its language; its names and the key's "(column)=(value)" do not.
        if (state == QLatin1String("23505"))
            return {Kind::Unique, firstMatch(text, QStringLiteral(R"(\((?:\w+\()?(\w+)\)?\)=\()"))};
        if (state == QLatin1String("23502"))
            return {Kind::NotNull, firstMatch(text, QStringLiteral(R"(["«](\w+)["»])"))};
        if (state == QLatin1String("23514"))
            return {Kind::Check, firstMatch(text, QStringLiteral(R"(\b%1_(\w+)_check\b)").arg(QRegularExpression::escape(table.toLower())))};
        return {IsDbBusy(DbErrorCode(error)) ? Kind::Busy : Kind::None, QString()};
    }
    const auto after = [&](const char *prefix) {
        return text.startsWith(QLatin1String(prefix)) ? std::optional(text.mid(qsizetype(qstrlen(prefix)))) : std::nullopt;
    };
    if (const auto d = after("UNIQUE constraint failed:"))
        return {Kind::Unique, sqliteColumn(*d)};
    if (const auto d = after("NOT NULL constraint failed:"))
        return {Kind::NotNull, sqliteColumn(*d)};
    if (const auto d = after("CHECK constraint failed:"))
        return {d->contains(QLatin1String("length(")) ? Kind::OneCharacter : Kind::Check, sqliteColumn(*d)};
    if (text.contains(QLatin1String("database is locked")))
        return {Kind::Busy, QString()};
    if (text.contains(QLatin1String("datatype mismatch")))
        return {Kind::KeyNotInteger, QString()};
    return {};
}
