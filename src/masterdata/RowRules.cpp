#include "masterdata/RowRules.h"
#include "data/ClosedYear.h"
#include "data/Database.h"

#include <QSqlQuery>

namespace {

bool same(const QString &a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

int fieldIndex(const QList<GridField> &fields, const char *name)
{
    for (int i = 0; i < fields.size(); ++i)
        if (same(fields.at(i).name, name))
            return i;
    return -1;
}

// The rows that hold the key of a course, a fee or an account. Each column
// counted here has an index of its own, so counting takes no time however
// long the ledger is.
struct Use
{
    const char *table, *column, *one, *many;
};
struct Numbered
{
    const char *table, *key, *noun, *pronoun;
    QList<Use> uses;
};

const Numbered *numbered(const QString &table)
{
    static const QList<Numbered> tables = {
        {"Curso", "IDCurso", "el curso", "lo", {{"Socio", "IDCurso", "socio", "socios"}}},
        {"Cuota", "IDCuota", "la cuota", "la", {{"Movimiento", "IDCuota", "movimiento", "movimientos"}}},
        {"Cuenta", "IDCuenta", "la cuenta", "la",
         {{"Movimiento", "IDCuenta", "movimiento", "movimientos"},
          {"Cuota", "IDCuenta", "cuota", "cuotas"},
          {"Cuenta", "IDcuentaPadre", "cuenta hija", "cuentas hijas"}}},
    };
    for (const Numbered &t : tables)
        if (same(table, t.table))
            return &t;
    return nullptr;
}

// The first value a statement gives (null when it gives no row).
bool firstValue(const QSqlDatabase &db, const QString &sql, const QVariantList &binds, QVariant *value,
                QSqlError *error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        *error = q.lastError();
        return false;
    }
    for (const QVariant &b : binds)
        q.addBindValue(b);
    if (!q.exec()) {
        *error = q.lastError();
        return false;
    }
    *value = q.next() ? q.value(0) : QVariant();
    return true;
}

// The key of the row keyed `rowKey`, as the table holds it now (null when the
// row is new or gone).
bool storedKey(const QSqlDatabase &db, const char *table, const char *key, const QVariant &rowKey, QVariant *value,
               QSqlError *error)
{
    if (rowKey.isNull()) {
        *value = QVariant();
        return true;
    }
    return firstValue(db, QStringLiteral("SELECT %1 FROM %2 WHERE %1 = ?").arg(QLatin1String(key), QLatin1String(table)),
                      {rowKey}, value, error);
}

// "la usan 12 movimientos y 2 cuotas"; "" when nothing uses `key`.
bool users(const QSqlDatabase &db, const Numbered &t, const QVariant &key, QString *who, QSqlError *error)
{
    QStringList parts;
    qint64 total = 0;
    for (const Use &u : t.uses) {
        QString sql = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?").arg(QLatin1String(u.table), QLatin1String(u.column));
        QVariantList binds{key};
        if (same(QLatin1String(u.table), t.table)) { // an account given as its own parent is no child
            sql += QStringLiteral(" AND %1 <> ?").arg(QLatin1String(t.key));
            binds << key;
        }
        QVariant count;
        if (!firstValue(db, sql, binds, &count, error))
            return false;
        const qint64 n = count.toLongLong();
        if (n > 0)
            parts << QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? u.one : u.many);
        total += n;
    }
    who->clear();
    if (parts.isEmpty())
        return true;
    const QString last = parts.takeLast();
    *who = QLatin1String(t.pronoun) + QLatin1String(total == 1 ? " usa " : " usan ")
           + (parts.isEmpty() ? last : parts.join(QStringLiteral(", ")) + QStringLiteral(" y ") + last);
    return true;
}

// What the row keyed `rowKey` of a numbered table may not undergo while others use it.
bool usedRowRefusal(const QSqlDatabase &db, const Numbered &t, const QVariant &rowKey, const QString &what,
                    const QVariant &newKey, QString *refusal, QSqlError *error)
{
    QVariant key;
    if (!storedKey(db, t.table, t.key, rowKey, &key, error))
        return false;
    if (key.isNull() || (newKey.isValid() && !newKey.isNull() && newKey.toLongLong() == key.toLongLong()))
        return true;
    QString who;
    if (!users(db, t, key, &who, error))
        return false;
    if (!who.isEmpty())
        *refusal = QString(what + QLatin1String(t.noun)).replace(QStringLiteral(" de el "), QStringLiteral(" del "))
                   + QLatin1Char(' ') + key.toString() + QStringLiteral(": ") + who + QLatin1Char('.');
    return true;
}

// The administrator password guards the settings and the ledger editor: without
// it, or with one that cannot be typed, nobody could open them again.
bool isAdmin(const QVariant &name)
{
    return !name.isNull() && same(name.toString(), "ADMIN");
}
const char16_t *const kAdminNeeded = u": es la contraseña de administrador, sin la cual nadie podría abrir Parametros "
                                 u"ni editar los movimientos.";

// The closing day is set and cleared only through its own window, which asks
// the question, keeps the record and waits for every writer of movements.
bool isClosing(const QVariant &name)
{
    return !name.isNull() && same(name.toString(), kClosingSetting);
}
QString closingRefusal()
{
    return QStringLiteral("El parámetro %1 se cambia sólo desde Maestros, Cerrar ejercicio.")
        .arg(QLatin1String(kClosingSetting));
}

// The closing day as the books hold it now. A setting that holds no date is
// itself the refusal: no day is known to be open.
bool closing(const QSqlDatabase &db, std::optional<QDate> *day, QString *refusal, QSqlError *error)
{
    try {
        *day = ClosingDate(db);
        return true;
    } catch (const StorageError &e) {
        *error = e.sqlError();
        return false;
    } catch (const RuntimeError &e) {
        *refusal = e.description();
        return true;
    }
}

// A movement of the closed year stays as the assembly saw it.
bool closedMovementRefusal(const QSqlDatabase &db, const QVariant &rowKey, const std::optional<QDate> &day,
                           QString *refusal, QSqlError *error)
{
    QVariant fecha;
    if (!day || rowKey.isNull())
        return true;
    if (!firstValue(db, QStringLiteral("SELECT Fecha FROM Movimiento WHERE IDMovimiento = ?"), {rowKey}, &fecha, error))
        return false;
    if (!ClosedRefusal(day, fecha).isEmpty())
        *refusal = QStringLiteral("El ejercicio está cerrado hasta el %1: el movimiento %2, del %3, no se puede "
                                  "cambiar ni eliminar.")
                       .arg(day->toString(QStringLiteral("dd/MM/yyyy")), ChangeText(rowKey).toString(),
                            DbDay(fecha).toString(QStringLiteral("dd/MM/yyyy")));
    return true;
}

struct Code
{
    const char *field, *letters, *meaning;
};
const Code kCodes[] = {
    {"Tipo", "IE", "I (ingreso) o E (egreso)"},
    {"MedioPago", "EC", "E (efectivo, la caja) o C (la cuenta bancaria)"},
};

QString emptyCode(const QString &field, const Code &code)
{
    return QStringLiteral("El campo ") + field + QStringLiteral(" no puede quedar vacío: sólo admite ")
           + QLatin1String(code.meaning) + QLatin1Char('.');
}

} // namespace

bool DeleteRefusal(const QSqlDatabase &db, const QString &table, const QVariant &rowKey, QString *refusal,
                   QSqlError *error)
{
    refusal->clear();
    if (const Numbered *t = numbered(table))
        return usedRowRefusal(db, *t, rowKey, QStringLiteral("No se puede eliminar "), QVariant(), refusal, error);
    if (same(table, "Parametro")) {
        QVariant name;
        if (!storedKey(db, "Parametro", "Parametro", rowKey, &name, error))
            return false;
        if (isAdmin(name))
            *refusal = QStringLiteral("No se puede eliminar el parámetro ADMIN") + QString::fromUtf16(kAdminNeeded);
        else if (isClosing(name))
            *refusal = closingRefusal();
    }
    if (same(table, "Movimiento")) {
        std::optional<QDate> day;
        return closing(db, &day, refusal, error)
               && (!refusal->isEmpty() || closedMovementRefusal(db, rowKey, day, refusal, error));
    }
    return true;
}

bool WriteRefusal(const QSqlDatabase &db, const QString &table, const QList<GridField> &fields, const QVariant &rowKey,
                  const QVector<QVariant> &values, const QVector<bool> &set, QString *refusal, QSqlError *error)
{
    refusal->clear();
    if (const Numbered *t = numbered(table)) {
        const int key = fieldIndex(fields, t->key);
        if (rowKey.isNull() || key < 0 || !set.at(key))
            return true;
        return usedRowRefusal(db, *t, rowKey, QStringLiteral("No se puede cambiar el número de "), values.at(key),
                              refusal, error);
    }
    if (same(table, "Parametro")) {
        const int name = fieldIndex(fields, "Parametro"), value = fieldIndex(fields, "Valor");
        QVariant stored;
        if (name < 0 || value < 0)
            return true;
        if (!storedKey(db, "Parametro", "Parametro", rowKey, &stored, error))
            return false;
        if (isClosing(stored) || (set.at(name) && isClosing(values.at(name)))) {
            *refusal = closingRefusal();
            return true;
        }
        if (isAdmin(stored) && set.at(name) && !isAdmin(values.at(name))) {
            *refusal = QStringLiteral("No se puede cambiar el nombre del parámetro ADMIN") + QString::fromUtf16(kAdminNeeded);
            return true;
        }
        if (!isAdmin(set.at(name) ? values.at(name) : stored) || !(set.at(value) || rowKey.isNull()))
            return true;
        const QString password = values.at(value).toString();
        if (password.isEmpty())
            *refusal = QStringLiteral("La contraseña de administrador (ADMIN) no puede quedar vacía: nadie podría "
                                      "abrir Parametros ni editar los movimientos.");
        else if (password != password.trimmed())
            *refusal = QStringLiteral("La contraseña de administrador (ADMIN) no puede empezar ni terminar con "
                                      "espacios en blanco: al pedirla se la rechazaría sin aviso.");
        return true;
    }
    if (same(table, "Movimiento")) {
        std::optional<QDate> day;
        if (!closing(db, &day, refusal, error)
            || (refusal->isEmpty() && !closedMovementRefusal(db, rowKey, day, refusal, error)))
            return false;
        // The new date must be an open day too (a date that is none is the table's to refuse).
        const int fecha = fieldIndex(fields, "Fecha");
        if (refusal->isEmpty() && fecha >= 0 && set.at(fecha))
            *refusal = ClosedRefusal(day, values.at(fecha));
        if (!refusal->isEmpty())
            return true;
    }
    if (same(table, "Movimiento") && rowKey.isNull()) {
        for (const Code &code : kCodes) {
            const int c = fieldIndex(fields, code.field);
            if (c >= 0 && values.at(c).isNull()) {
                *refusal = emptyCode(fields.at(c).name, code);
                break;
            }
        }
    }
    return true;
}

bool TransferPartner(const QSqlDatabase &db, const QString &table, const QVariant &key, QVariant *partner,
                     QSqlError *error)
{
    *partner = QVariant();
    if (!same(table, "Movimiento") || key.isNull())
        return true;
    return firstValue(db,
                      QStringLiteral("SELECT o.IDMovimiento FROM Movimiento m JOIN Movimiento o"
                                     " ON o.IDMovimiento = m.IDContraAsiento AND o.IDContraAsiento = m.IDMovimiento"
                                     " WHERE m.IDMovimiento = ? AND o.IDMovimiento <> m.IDMovimiento"),
                      {key}, partner, error);
}

void HideAdminPassword(const QString &table, const QList<GridField> &fields, const QVector<QVariant> &before,
                       const QVector<QVariant> &after, QList<ChangeEntry> *entries)
{
    const int name = fieldIndex(fields, "Parametro"), value = fieldIndex(fields, "Valor");
    if (!same(table, "Parametro") || name < 0 || value < 0
        || !(isAdmin(before.value(name)) || isAdmin(after.value(name))))
        return;
    const QString valor = fields.at(value).name;
    for (ChangeEntry &e : *entries) {
        if (e.column != valor)
            continue;
        for (QVariant *v : {&e.before, &e.after})
            if (!v->isNull())
                *v = QString::fromUtf8(kHiddenPassword);
    }
}

bool ReadCode(const QString &table, const QString &field, QVariant *value, QString *error)
{
    if (!same(table, "Movimiento"))
        return true;
    for (const Code &code : kCodes) {
        if (!same(field, code.field))
            continue;
        if (value->isNull()) {
            *error = emptyCode(field, code);
            return false;
        }
        const QString letter = value->toString().trimmed().toUpper();
        if (letter.size() != 1 || !QLatin1String(code.letters).contains(letter)) {
            *error = QLatin1Char('"') + value->toString() + QStringLiteral("\" no sirve: el campo ") + field
                     + QStringLiteral(" sólo admite ") + QLatin1String(code.meaning) + QLatin1Char('.');
            return false;
        }
        *value = letter;
    }
    return true;
}
