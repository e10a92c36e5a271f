#include "data/Errors.h"

#include <QSqlError>

RuntimeError::RuntimeError(qint64 number, QString description, QList<DbErrorEntry> dbErrors)
    : m_number(number), m_description(std::move(description)), m_dbErrors(std::move(dbErrors)),
      m_what(m_description.toUtf8())
{
}

RuntimeError RuntimeError::fromSql(const QSqlError &error)
{
    bool ok = false;
    qint64 code = error.nativeErrorCode().toLongLong(&ok);
    if (!ok)
        code = 0;
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.driverText();
    if (text.isEmpty())
        text = error.text();
    return fromSqlite(code, text);
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
