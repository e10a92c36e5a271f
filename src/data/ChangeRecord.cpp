#include "data/ChangeRecord.h"
#include "data/Database.h"
#include "data/Environment.h"
#include "data/TableInfo.h"
#include "data/ValueRules.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

const QStringList kColumns = {QStringLiteral("Fecha"), QStringLiteral("Usuario"), QStringLiteral("Equipo"),
                              QStringLiteral("Operacion"), QStringLiteral("Tabla"), QStringLiteral("Clave"),
                              QStringLiteral("Campo"), QStringLiteral("ValorAnterior"), QStringLiteral("ValorNuevo")};

// The engine's number for a table it cannot find.
constexpr qint64 kNoSuchTable = 3078;

// Rows sent in one statement: an edit is one round trip to a server, and a
// long list stays far below either engine's limit of bound values.
constexpr int kRowsPerStatement = 100;

QVariant nullText()
{
    return QVariant(QMetaType::fromType<QString>());
}

// The record's table missing: SQLite's "no such table", the server's undefined_table.
bool tableMissing(const QSqlError &e)
{
    return e.nativeErrorCode() == QLatin1String("42P01")
           || e.databaseText().contains(QLatin1String("no such table"), Qt::CaseInsensitive);
}

QString missingText()
{
    return QStringLiteral("Estos libros todavía no tienen el registro de cambios (la tabla Cambio), y el usuario de "
                          "esta conexión no puede agregarlo: puede hacerlo el dueño de las tablas (quien hizo "
                          "tesorin --migrar) abriendo el programa una vez. Hasta entonces no se guardan cambios "
                          "hechos a mano.");
}

void insertRows(const QSqlDatabase &db, const QList<ChangeEntry> &entries, qsizetype from, qsizetype count,
                const QVariantList &stamp)
{
    const QString row = QLatin1Char('(') + QStringList(kColumns.size(), QStringLiteral("?")).join(QLatin1Char(','))
                        + QLatin1Char(')');
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                       .arg(QLatin1String(kChangeTable), kColumns.join(QStringLiteral(", ")))
                   + QStringList(count, row).join(QStringLiteral(", ")))) {
        if (tableMissing(q.lastError()))
            throw RuntimeError(kNoSuchTable, missingText());
        throw StorageFailure(db, q.lastError());
    }
    for (qsizetype i = from; i < from + count; ++i) {
        const ChangeEntry &e = entries.at(i);
        for (const QVariant &v : stamp)
            q.addBindValue(v);
        q.addBindValue(e.operation);
        q.addBindValue(e.table);
        q.addBindValue(ChangeText(e.key));
        q.addBindValue(e.column.isEmpty() ? nullText() : QVariant(e.column));
        q.addBindValue(ChangeText(e.before));
        q.addBindValue(ChangeText(e.after));
    }
    if (!q.exec()) {
        if (tableMissing(q.lastError()))
            throw RuntimeError(kNoSuchTable, missingText());
        throw StorageFailure(db, q.lastError());
    }
}

} // namespace

QString ChangeUser()
{
    if (!env().userName.isEmpty())
        return env().userName;
    for (const char *variable : {"USER", "USERNAME", "LOGNAME"})
        if (const QString user = qEnvironmentVariable(variable); !user.isEmpty())
            return user;
#ifdef Q_OS_UNIX
    // Started without a login's variables (a service, a launcher): the account itself.
    if (const passwd *account = getpwuid(geteuid()))
        return QString::fromLocal8Bit(account->pw_name);
#endif
    return QString();
}

QString ChangeMachine()
{
    return env().machineName.isEmpty() ? QSysInfo::machineHostName() : env().machineName;
}

QVariant ChangeText(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return nullText();
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return BindableValue(v).toString();
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

bool SameStoredValue(const QVariant &a, const QVariant &b)
{
    const bool aNull = !a.isValid() || a.isNull(), bNull = !b.isValid() || b.isNull();
    if (aNull || bNull)
        return aNull == bNull;
    if (IsNumberValue(a) || IsNumberValue(b)) {
        bool okA = false, okB = false;
        const double x = a.toDouble(&okA), y = b.toDouble(&okB);
        if (okA && okB)
            return x == y;
    }
    return ChangeText(a).toString() == ChangeText(b).toString();
}

QList<ChangeEntry> RowChanges(const QString &table, const QVariant &key, const QStringList &columns,
                              const QVector<QVariant> &before, const QVector<QVariant> &after)
{
    const QString operation = QLatin1String(before.isEmpty() ? kChangeInsert : after.isEmpty() ? kChangeDelete
                                                                                                : kChangeUpdate);
    QList<ChangeEntry> entries;
    for (int c = 0; c < columns.size(); ++c) {
        const QVariant old = before.value(c), now = after.value(c);
        if (SameStoredValue(old, now))
            continue;
        entries << ChangeEntry{operation, table, key, columns.at(c), old, now};
    }
    return entries;
}

void RecordChanges(const QSqlDatabase &db, const QList<ChangeEntry> &entries)
{
    const QVariantList stamp = {DbDateText(env().clock->now()), ChangeUser(), ChangeMachine()};
    for (qsizetype from = 0; from < entries.size(); from += kRowsPerStatement)
        insertRows(db, entries, from, std::min<qsizetype>(kRowsPerStatement, entries.size() - from), stamp);
}

void RecordChange(const QSqlDatabase &db, const QString &operation, const QString &table, const QVariant &key,
                  const QString &column, const QVariant &before, const QVariant &after)
{
    RecordChanges(db, {ChangeEntry{operation, table, key, column, before, after}});
}

bool ChangeRecordPresent(const QSqlDatabase &db)
{
    return TablePresent(db, QLatin1String(kChangeTable));
}
