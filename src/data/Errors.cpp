#include "data/Errors.h"

#include <QSqlError>
#include <utility>

RuntimeError::RuntimeError(qint64 number, QString description, QList<DbErrorEntry> dbErrors)
    : m_number(number), m_description(std::move(description)), m_dbErrors(std::move(dbErrors)),
      m_what(m_description.toUtf8())
{
}

bool IsServerError(const QSqlError &error)
{
    return error.driverText().startsWith(QLatin1String("QPSQL:"));
}

qint64 DbErrorCode(const QSqlError &error)
{
    const QString state = error.nativeErrorCode();
    if (!IsServerError(error)) {
        bool ok = false;
        const qint64 code = state.toLongLong(&ok);
        return ok ? code : 0;
    }
    // Read as a number, a state such as 42501 (no permission) would pass for
    // another code (42501 & 0xFF is "busy"): each is read by its meaning.
    static const std::pair<const char *, int> kStates[] = {
        {"42501", DbReadOnly}, {"25006", DbReadOnly}, // a role that may only read
        {"55P03", DbBusy}, {"40P01", DbBusy}, {"40001", DbBusy}, {"57014", 9 /* interrupted */}, {"23", DbConstraint}};
    for (const auto &[prefix, code] : kStates)
        if (state.startsWith(QLatin1String(prefix)))
            return code;
    return state.isEmpty() ? 0 : 1; // any other refused statement, as SQLite's SQLITE_ERROR
}

QString DbErrorText(const QSqlError &error)
{
    QString text = error.databaseText();
    if (IsServerError(error) && !text.isEmpty()) {
        // "ERROR:  what happened" and below it where in the statement and the
        // SQLSTATE: only what happened is for the user.
        text = text.section(QLatin1Char('\n'), 0, 0);
        const qsizetype severity = text.indexOf(QLatin1String(":  "));
        if (severity > 0 && severity < 10)
            text = text.mid(severity + 3);
        text = text.trimmed();
    }
    if (text.isEmpty())
        text = error.driverText();
    if (text.isEmpty())
        text = error.text();
    return text;
}

RuntimeError RuntimeError::fromSql(const QSqlError &error)
{
    const qint64 code = DbErrorCode(error);
    // What to do about the two a server says in its own terms: no file is involved.
    QString advice;
    if (IsServerError(error) && code == DbReadOnly)
        advice = QStringLiteral("La base de datos no se puede modificar (su usuario del servidor solo puede consultarla). "
                                "Pida a quien administra el servidor que lo agregue al grupo tesorero.");
    else if (IsServerError(error) && code == DbBusy)
        advice = QStringLiteral("La base de datos está en uso por otro usuario del servidor. Espere unos segundos y "
                                "vuelva a intentar.");
    if (advice.isEmpty())
        return fromSqlite(code, DbErrorText(error));
    const QString text = advice + QStringLiteral(" (") + DbErrorText(error) + QLatin1Char(')');
    return RuntimeError(code, text, {DbErrorEntry{code, text}});
}

RuntimeError RuntimeError::fromSqlite(qint64 code, const QString &driverText)
{
    const QString text = DbErrorDescription(code, driverText);
    return RuntimeError(code, text, {DbErrorEntry{code, text}});
}

QString DbCodeAdvice(qint64 code)
{
    switch (int(code & 0xFF)) {
    case 3: // SQLITE_PERM
        return QStringLiteral("No tiene permiso para usar el archivo de la base de datos. "
                              "Pida a quien administra la computadora que le dé permiso de lectura y escritura.");
    case DbBusy:
    case DbLocked:
    case 15: // SQLITE_PROTOCOL: the locks changed hands too often
        return QStringLiteral("La base de datos está en uso por otro programa (otro Tesorin o una herramienta de "
                              "SQLite). Espere unos segundos y vuelva a intentar; si sigue así, cierre ese programa.");
    case 7: // SQLITE_NOMEM
        return QStringLiteral("No hay memoria suficiente. Cierre otros programas y vuelva a intentar.");
    case DbReadOnly:
        return QStringLiteral("La base de datos no se puede modificar (el archivo o su carpeta son de solo lectura). "
                              "Verifique los permisos del archivo.");
    case 9: // SQLITE_INTERRUPT
        return QStringLiteral("La operación se interrumpió y no se guardó. Vuelva a intentar.");
    case DbIoErr:
        return QStringLiteral("No se pudo leer o escribir el disco de la base de datos. Verifique el disco o la "
                              "unidad de red y vuelva a intentar.");
    case DbCorrupt:
        return QStringLiteral("La base de datos está dañada. No registre más operaciones y restaure la copia de "
                              "seguridad más reciente con tesorin --restaurar.");
    case DbFull:
        return QStringLiteral("El disco está lleno: no se guardó la operación. Libere espacio en el disco y vuelva "
                              "a intentar.");
    case DbCantOpen:
        return QStringLiteral("No se pudo abrir el archivo. Verifique que la ruta exista y que tenga permiso para "
                              "leer y escribir en esa carpeta.");
    case 17: // SQLITE_SCHEMA
        return QStringLiteral("La estructura de la base de datos cambió mientras se la usaba. Vuelva a intentar.");
    case 18: // SQLITE_TOOBIG
        return QStringLiteral("El dato es demasiado grande para guardarlo.");
    case DbConstraint:
        return QStringLiteral("El dato no cumple una regla de la base de datos (un número repetido o un valor no "
                              "permitido) y no se guardó.");
    case DbNotADb:
        return QStringLiteral("El archivo no es una base de datos de Tesorin. Verifique la ruta configurada o "
                              "restaure una copia de seguridad.");
    default:
        return QString();
    }
}

QString DbErrorDescription(qint64 code, const QString &driverText)
{
    const QString advice = code > 0 ? DbCodeAdvice(code) : QString();
    if (advice.isEmpty())
        return driverText;
    if (driverText.isEmpty())
        return advice;
    return advice + QStringLiteral(" (") + driverText + QLatin1Char(')');
}

bool IsDbBusy(qint64 code)
{
    const int primary = int(code & 0xFF);
    return code > 0 && (primary == DbBusy || primary == DbLocked);
}

const char *RuntimeError::what() const noexcept
{
    return m_what.constData();
}

QString ErrorText(const RuntimeError &error)
{
    return QStringLiteral("Error #") + QString::number(error.number()) + QStringLiteral(": ")
           + error.description();
}

QString ADOErrorText(const QList<DbErrorEntry> &errors, const RuntimeError &current)
{
    QString s;
    for (const DbErrorEntry &e : errors) {
        if (e.nativeNumber != 3621)
            s += QStringLiteral("Error #") + QString::number(e.nativeNumber) + QStringLiteral(": ")
                 + e.description + QLatin1Char('\r');
    }
    if (s.isEmpty())
        return QStringLiteral("Este no es un error de ADO.") + QLatin1Char('\r') + ErrorText(current);
    const QString upper = s.toUpper();
    if (upper.contains(QLatin1String("TIMEOUT")) || upper.contains(QLatin1String("TIME OUT")))
        return QStringLiteral(
            "Se ha superado el tiempo de espera, por favor reintente nuevamente en unos segundos.");
    s.chop(1);
    return s;
}

QString ADOErrorText(const RuntimeError &error)
{
    return ADOErrorText(error.dbErrors(), error);
}
