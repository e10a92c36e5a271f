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
    return RuntimeError(code, text, {DbErrorEntry{code, text}});
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
