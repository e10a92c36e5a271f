#include "support/TestEnv.h"
#include "data/Database.h"
#include "support/PgTest.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

TestEnv::TestEnv()
{
    Environment &e = env();
    clock = std::make_shared<FakeClock>(QDateTime(QDate(2026, 12, 6), QTime(10, 0, 0)));
    prompts = std::make_shared<ScriptedPrompts>();
    e.clock = clock;
    e.prompts = prompts;
    e.screenSize = [] { return QSize(1024, 768); };
    e.locale = QLocale(QLocale::Spanish, QLocale::Argentina);
    e.appDir = m_dir.path();
    e.exeBaseName = QStringLiteral("tesorin");
    e.userName = QStringLiteral("tesorera");
    e.machineName = QStringLiteral("PC-TESORERIA");
}

namespace {
std::function<void()> &teardown()
{
    static std::function<void()> f;
    return f;
}
} // namespace

void TestEnv::setTeardown(std::function<void()> f)
{
    teardown() = std::move(f);
}

TestEnv::~TestEnv()
{
    if (teardown())
        teardown()();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CloseConexion();
    if (prompts->pending() > 0)
        QTest::qFail(QStringLiteral("Quedaron %1 diálogos esperados sin mostrarse").arg(prompts->pending()).toUtf8().constData(),
                     __FILE__, __LINE__);
}

QString TestEnv::path(const QString &name) const
{
    return m_dir.filePath(name);
}

void TestEnv::writeIni(const QByteArray &content, const QString &name)
{
    QFile f(path(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
}

void TestEnv::writeIniFor(const QString &dbPath, const QString &nombre)
{
    writeIni("[DataSourceName]\nDataSource=" + dbPath.toUtf8() + "\n[Location]\nNombre=" + nombre.toUtf8() + "\n");
}

QString TestEnv::createDb(const QString &name, const std::function<void(const QSqlDatabase &)> &fill)
{
    const QString p = path(name);
    const QString err = CreateNewDatabase(p, [&](const QSqlDatabase &db) {
        const QString ins = QStringLiteral("INSERT INTO Parametro (Parametro, Valor) VALUES (?, ?)");
        Exec(db, ins, {QStringLiteral("PROXIMORECIBO"), QStringLiteral("1")});
        Exec(db, ins, {QStringLiteral("ADMIN"), QStringLiteral("clave")});
        if (fill)
            fill(db);
    });
    if (!err.isEmpty())
        QTest::qFail(err.toUtf8().constData(), __FILE__, __LINE__);
    return p;
}

QString TestEnv::openNewDb(const std::function<void(const QSqlDatabase &)> &fill)
{
    const QString p = createDb(QStringLiteral("tesorin.db"), fill);
    QList<DbErrorEntry> errors;
    if (!OpenConexion(p, &errors))
        QTest::qFail("no se pudo abrir la base de prueba", __FILE__, __LINE__);
    return p;
}

QString TestEnv::openBooks(const std::function<void(const QSqlDatabase &)> &fill)
{
    const QString p = openNewDb(fill);
    if (OnServerRow()) {
        server = std::make_unique<PgTestDb>();
        const QString error = server->error().isEmpty() ? server->openConexionOnCopyOf(p) : server->error();
        if (!error.isEmpty())
            QTest::qFail(qPrintable(error), __FILE__, __LINE__);
    }
    if (ConexionIsOnServer() != OnServerRow())
        QTest::qFail("los libros no están en el motor de la fila", __FILE__, __LINE__);
    return p;
}

bool TestEnv::reopenBooks()
{
    CloseConexion();
    QList<DbErrorEntry> errors;
    QString error;
    return server ? OpenConexionOnServer(server->settings(), QString(), &error)
                  : OpenConexion(path(QStringLiteral("tesorin.db")), &errors);
}

bool TestEnv::openOtherConnection(const QString &name)
{
    if (server)
        return server->open(name).isOpen();
    QList<DbErrorEntry> errors;
    return OpenConnection(name, path(QStringLiteral("tesorin.db")), &errors);
}

void TestEnv::setLocale(const QLocale &locale)
{
    env().locale = locale;
}

QVariant Scalar(const QString &sql, const QVariantList &binds)
{
    QSqlQuery q = Exec(sql, binds);
    return q.next() ? q.value(0) : QVariant();
}

void AddMovimiento(const QSqlDatabase &db, const QString &tipo, const QString &medio, double importe,
                   const QVariant &recibo, const QVariant &idSocio, const QVariant &idCuota)
{
    const QVariant none(QMetaType::fromType<int>());
    Exec(db,
         QStringLiteral("INSERT INTO Movimiento (Fecha, IDSocio, IDCuota, Tipo, Importe, MedioPago, Recibo)"
                        " VALUES (?, ?, ?, ?, ?, ?, ?)"),
         {QDateTime(QDate(2026, 5, 1), QTime(10, 0)), idSocio.isValid() ? idSocio : none,
          idCuota.isValid() ? idCuota : none, tipo, importe, medio, recibo.isValid() ? recibo : none});
}
