#include "data/ServerCheck.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>

namespace {

// What libpq said, as advice. Its words may come in English or, with the
// client's translations, in Spanish; what is not recognised gets the general
// advice, and the driver's words always follow.
QString advice(const ConnectionSettings &w, const QString &said)
{
    const QString user = w.user.isEmpty() ? QStringLiteral("de esta sesión") : w.user;
    const auto has = [&](std::initializer_list<const char *> words) {
        for (const char *word : words)
            if (said.contains(QString::fromUtf8(word), Qt::CaseInsensitive))
                return true;
        return false;
    };
    if (has({"no password supplied", "no se entregó una contraseña", "no se proporcionó"}))
        return QStringLiteral("El servidor pide una clave para el usuario ") + user
               + QStringLiteral(": escríbala, o guárdela en ~/.pgpass.");
    if (has({"password authentication failed", "autentificación password falló",
             "autenticación password falló", "autenticación de contraseña falló"}))
        return QStringLiteral("El servidor rechazó la clave del usuario ") + user
               + QStringLiteral(". Revise la clave (o la línea de ~/.pgpass).");
    if (has({"permission denied", "permiso denegado", "no pg_hba.conf entry", "no hay una línea en pg_hba.conf"}))
        return QStringLiteral("El usuario ") + user + QStringLiteral(" no tiene permiso para usar la base ")
               + w.database
               + QStringLiteral(". Pida a quien administra el servidor que le dé acceso (grupo tesorero o consulta).");
    if (has({"role", "rol"}) && has({"does not exist", "no existe"}))
        return QStringLiteral("El servidor no conoce al usuario ") + user + QStringLiteral(".");
    if (has({"database", "base de datos"}) && has({"does not exist", "no existe"}))
        return QStringLiteral("El servidor no tiene la base ") + w.database + QStringLiteral(".");
    return QStringLiteral("No se pudo llegar al servidor ") + w.host + QLatin1Char(':') + QString::number(w.port)
           + QStringLiteral(". Revise que esté encendido y que el nombre y el puerto sean los correctos.");
}

} // namespace

// The program's name carries the PC's, so that a restore refused while others
// are connected can say which PC (the server sees no address through a socket
// or a tunnel). Only characters that need no quoting in libpq's options.
QString ServerConnectOptions(const ConnectionSettings &where)
{
    QString pc = QSysInfo::machineHostName();
    pc.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")));
    const QString program = (QStringLiteral("tesorin@") + pc).left(63);
    return QStringLiteral("connect_timeout=10;application_name=%1;sslmode=%2").arg(program, where.sslMode);
}

bool OpenServerConnection(const QString &name, const ConnectionSettings &where, QString *error,
                          const QString &password)
{
    if (QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        *error = QStringLiteral("No está instalado el controlador de PostgreSQL de Qt (paquete libqt6sql6-psql).");
        return false;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(where.host);
        db.setPort(where.port);
        db.setDatabaseName(where.database);
        db.setUserName(where.user);
        if (!password.isEmpty())
            db.setPassword(password);
        db.setConnectOptions(ServerConnectOptions(where));
        if (db.open())
            return true;
        const QString said = db.lastError().databaseText().simplified();
        *error = advice(where, said) + QStringLiteral(" (") + said + QLatin1Char(')');
    }
    QSqlDatabase::removeDatabase(name);
    return false;
}

QString TestServerConnection(const ConnectionSettings &where, const QString &password)
{
    const QString name = QStringLiteral("tesorin-prueba-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString result;
    if (!OpenServerConnection(name, where, &result, password))
        return result;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        // An empty base is fine: tesorin --migrar fills it. Tables the user may not read are not.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT bool_and(has_table_privilege(c.oid, 'SELECT')) FROM pg_class c "
                                   "WHERE lower(c.relname) = 'movimiento' AND c.relkind IN ('r', 'p') "
                                   "AND pg_table_is_visible(c.oid)")))
            result = QStringLiteral("El servidor respondió, pero no se pudieron leer los permisos. (")
                     + q.lastError().databaseText().trimmed() + QLatin1Char(')');
        else if (q.next() && !q.value(0).isNull() && !q.value(0).toBool())
            result = advice(where, QStringLiteral("permission denied"))
                     + QStringLiteral(" (sin permiso de lectura sobre la tabla Movimiento)");
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}
