#pragma once
// The environment every test runs in: a temporary folder standing for the
// executable's folder, a clock that only moves when asked, scripted dialogs,
// a 1024x768 screen, a fixed locale, and the user "tesorera" on the computer
// "PC-TESORERIA".
#include "data/Environment.h"
#include "support/ScriptedPrompts.h"

#include <QSqlDatabase>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// idle() and advance() move both the wall clock and the monotonic one; set()
// moves the wall clock alone, as a daylight-saving change or a time server does.
class FakeClock : public Clock
{
public:
    explicit FakeClock(QDateTime t) : m_now(std::move(t)) {}
    QDateTime now() const override { return m_now; }
    qint64 elapsedMs() const override { return m_elapsed; }
    void idle() override { advance(m_idleStepMs); }
    void set(const QDateTime &t) { m_now = t; }
    void advance(qint64 ms)
    {
        m_now = m_now.addMSecs(ms);
        m_elapsed += ms;
    }
    void setIdleStep(qint64 ms) { m_idleStepMs = ms; }

private:
    QDateTime m_now;
    qint64 m_elapsed = 0;
    qint64 m_idleStepMs = 1000;
};

class PgTestDb;

class TestEnv
{
public:
    TestEnv();
    ~TestEnv();

    std::shared_ptr<ScriptedPrompts> prompts;
    std::shared_ptr<FakeClock> clock;

    QString path(const QString &name) const;
    // Writes the configuration file "tesorin.ini" (or another name) in the folder.
    void writeIni(const QByteArray &content, const QString &name = QStringLiteral("tesorin.ini"));
    // The usual configuration pointing at `dbPath`.
    void writeIniFor(const QString &dbPath, const QString &nombre = QStringLiteral("Cooperadora Escuela 12"));
    // A new database with the tables, PROXIMORECIBO = 1 and ADMIN = "clave"; `fill` adds rows.
    QString createDb(const QString &name = QStringLiteral("tesorin.db"),
                     const std::function<void(const QSqlDatabase &)> &fill = {});
    // Creates the database and opens the shared connection on it.
    QString openNewDb(const std::function<void(const QSqlDatabase &)> &fill = {});
    // The same books on the engine of the test's row (EngineRows, PgTest.h):
    // the new file, or its copy on a fresh server database; the file's path.
    QString openBooks(const std::function<void(const QSqlDatabase &)> &fill = {});
    // The shared connection opened again on those books.
    bool reopenBooks();
    // A second connection named `name` on those books, as another program
    // would have; closed by the test (CloseConnection) or with the server's database.
    bool openOtherConnection(const QString &name);
    std::unique_ptr<PgTestDb> server; // the row's server database, when on one
    void setLocale(const QLocale &locale);
    // Runs at the end of every test (the tests of windows close them there).
    static void setTeardown(std::function<void()> f);

private:
    QTemporaryDir m_dir;
};

// The first value of the first row a statement on the shared connection gives
// (invalid when it gives no row).
QVariant Scalar(const QString &sql, const QVariantList &binds = {});

// One ledger row, for tests that need movements.
void AddMovimiento(const QSqlDatabase &db, const QString &tipo, const QString &medio, double importe,
                   const QVariant &recibo = QVariant(), const QVariant &idSocio = QVariant(),
                   const QVariant &idCuota = QVariant());
