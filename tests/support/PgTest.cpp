#include "support/PgTest.h"
#include "data/Database.h"
#include "data/Migrate.h"
#include "data/ServerCheck.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>

namespace {

ConnectionSettings serverSettings(const QString &database)
{
    ConnectionSettings s;
    s.engine = Engine::PostgreSQL;
    s.host = qEnvironmentVariable("TESORIN_PG_HOST");
    s.port = qEnvironmentVariableIntValue("TESORIN_PG_PORT") ? qEnvironmentVariableIntValue("TESORIN_PG_PORT") : 5432;
    s.user = qEnvironmentVariable("TESORIN_PG_USER");
    s.database = database;
    return s;
}

// Runs one statement on the server's maintenance database; "" or why not.
QString onServer(const QString &sql)
{
    const QString name = QStringLiteral("pgtest-admin");
    QString error;
    if (OpenServerConnection(name, serverSettings(QStringLiteral("postgres")), &error)) {
        QSqlQuery q(QSqlDatabase::database(name, false));
        if (!q.exec(sql))
            error = q.lastError().text();
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

} // namespace

PgTestDb::PgTestDb()
{
    static int serial = 0;
    m_settings = serverSettings(QStringLiteral("tesorin_prueba_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial));
    m_error = onServer(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(m_settings.database));
}

PgTestDb::~PgTestDb()
{
    for (const QString &name : std::as_const(m_connections)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    onServer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_settings.database));
}

QSqlDatabase PgTestDb::open(const QString &name)
{
    QString error;
    if (!OpenServerConnection(name, m_settings, &error))
        qFatal("%s", qPrintable(error));
    m_connections << name;
    return QSqlDatabase::database(name, false);
}

QVariant PgTestDb::scalar(const QString &sql, const QVariantList &binds)
{
    QSqlDatabase db = QSqlDatabase::contains(QStringLiteral("pgtest")) ? QSqlDatabase::database(QStringLiteral("pgtest"))
                                                                         : open();
    QSqlQuery q = RunOrDie(db, sql, binds);
    return q.next() ? q.value(0) : QVariant();
}

QSqlQuery RunOrDie(const QSqlDatabase &db, const QString &sql, const QVariantList &binds)
{
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant &b : binds)
        q.addBindValue(b);
    if (!q.exec())
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q;
}

QString PgTestDb::openConexionOnCopyOf(const QString &file)
{
    CloseConexion();
    QString summary, error = MigrateToServer(file, m_settings, &summary);
    if (error.isEmpty())
        OpenConexionOnServer(m_settings, QString(), &error);
    return error;
}

void EngineRows()
{
    QTest::addColumn<bool>("servidor");
    QTest::newRow("archivo") << false;
    if (PgTestDb::serverConfigured())
        QTest::newRow("servidor") << true;
    else
        qInfo("No hay servidor de PostgreSQL de prueba (TESORIN_PG_HOST): sólo se prueba el archivo.");
}

bool OnServerRow()
{
    QFETCH_GLOBAL(bool, servidor);
    return servidor;
}
