#pragma once
// A fresh, empty database on the test server for one test, dropped at the
// end. scripts/test.sh starts a throw-away server and names it in
// TESORIN_PG_HOST (socket folder), TESORIN_PG_PORT and TESORIN_PG_USER.
// Without TESORIN_PG_HOST a server test is skipped; with it, a server that
// cannot be reached fails the test.
#include "data/ConnectionSettings.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

class PgTestDb
{
public:
    PgTestDb();
    ~PgTestDb();
    PgTestDb(const PgTestDb &) = delete;
    PgTestDb &operator=(const PgTestDb &) = delete;

    static bool serverConfigured() { return !qEnvironmentVariableIsEmpty("TESORIN_PG_HOST"); }
    const QString &error() const { return m_error; }
    const ConnectionSettings &settings() const { return m_settings; }
    // An open connection to the test's database under `name`, closed at the end.
    QSqlDatabase open(const QString &name = QStringLiteral("pgtest"));
    // The shared connection on this database, holding a copy of the books
    // file `file` (tesorin --migrar's copy); "" or why not.
    QString openConexionOnCopyOf(const QString &file);
    // The first value of the first row of a statement on the test's database.
    QVariant scalar(const QString &sql, const QVariantList &binds = {});

private:
    ConnectionSettings m_settings;
    QString m_error;
    QStringList m_connections;
};

// Runs a statement with bound values on either engine; a failure ends the
// test program with the statement and the error (setting up must not fail).
QSqlQuery RunOrDie(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {});

// The data-layer tests run each case on both engines: their
// initTestCase_data() calls EngineRows(), which gives every case (and every
// row of its own data) the rows "archivo" and "servidor", and the cases open
// their books with TestEnv::openBooks. Without a test server the "servidor"
// rows are left out, saying so once.
void EngineRows();
// Whether the current row is the server's (only in a program with EngineRows).
bool OnServerRow();
// A case about the file itself (its permissions, locks, journal, bytes): the
// server's row is skipped.
#define FILE_ONLY()                                                                                                   \
    if (OnServerRow())                                                                                                \
        QSKIP("Este caso es propio del archivo de SQLite.")

#define PG_TEST_DB(var)                                                                                               \
    if (!PgTestDb::serverConfigured())                                                                                \
        QSKIP("No hay servidor de PostgreSQL de prueba (TESORIN_PG_HOST); scripts/test.sh lo inicia.");              \
    PgTestDb var;                                                                                                     \
    QVERIFY2(var.error().isEmpty(), qPrintable(var.error()))
