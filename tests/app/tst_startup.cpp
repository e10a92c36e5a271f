#include "app/MDIForm1.h"
#include "app/MainLocal.h"
#include "app/frmSplash.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "data/PgSchema.h"
#include "data/ValueRules.h"
#include "data/ServerCheck.h"
#include "support/DbTrouble.h"
#include "support/PgTest.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

namespace {

// Records every step the splash shows, from the moment it appears.
class SplashRecorder : public QObject
{
public:
    SplashRecorder() { qApp->installEventFilter(this); }
    ~SplashRecorder() override { qApp->removeEventFilter(this); }
    QList<double> progress;
    QStringList messages;
    QString company;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        auto *splash = qobject_cast<frmSplash *>(o);
        if (splash && e->type() == QEvent::Show && !m_seen.contains(splash)) {
            m_seen << splash;
            company = splash->findChild<QLabel *>("lblCompanyName")->text();
            connect(splash, &frmSplash::progressChanged, this, [this, splash](double p) {
                progress << p;
                if (messages.isEmpty() || messages.last() != splash->message())
                    messages << splash->message();
            });
        }
        return false;
    }

private:
    QList<QPointer<frmSplash>> m_seen;
};

const QString kNoConnection = QStringLiteral("No se ha podido establecer la Conexión con la Base de Datos.");

// Starts as the program does and waits for the checks that follow the main window.
bool startUp()
{
    QSignalSpy done(&BackgroundChecks::instance(), &BackgroundChecks::finished);
    if (!RunStartup())
        return false;
    return done.count() > 0 || done.wait(20000);
}

bool anyWindowLeft()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget *w : QApplication::topLevelWidgets())
        if (!w->parentWidget() && w->isVisible())
            return true;
    return false;
}

} // namespace

class tst_Startup : public QObject
{
    Q_OBJECT
private slots:
    void screenWidth();
    void configurationFailuresEndTheProgram();
    void connectionFailureRetryAndCancel();
    void stepsAndMinimumDisplayTime();
    void slowStartDoesNotWait();
    void mainWindowMenuAndStatusBar();
    void closingTheMainWindowClosesEverything();
    void aDailyCopyAndADamagedFile();
    void aFileInUseIsNotDamaged();
    void commandLineCopyCheckAndRestore();
    void commandLineAdminPassword();
    void theBooksOnAServer();
};

void tst_Startup::screenWidth()
{
    TestEnv t;
    env().screenSize = [] { return QSize(799, 2000); };
    QCOMPARE(CheckScreenResolution().toString(),
             QStringLiteral("La Resolución de Pantalla Mínima debe ser de 800 x 600 pixels."));
    t.prompts->expectMessage("La Resolución de Pantalla Mínima debe ser de 800 x 600 pixels.",
                             MsgIcon::Critical, MsgButtons::OK);
    QVERIFY(!RunStartup());
    QVERIFY(!anyWindowLeft());

    env().screenSize = [] { return QSize(800, 100); };
    QCOMPARE(CheckScreenResolution().metaType().id(), QMetaType::Int);
    QCOMPARE(CheckScreenResolution().toInt(), 0);
}

void tst_Startup::configurationFailuresEndTheProgram()
{
    TestEnv t;
    const QString db = t.createDb();
    const QString ini = t.path("tesorin.INI");

    t.prompts->expectMessage("No existe el archivo de inicialización.\r\r" + ini, MsgIcon::Critical, MsgButtons::OK);
    QVERIFY(!RunStartup());
    QVERIFY(!anyWindowLeft());

    const QString missing = "Falta la entrada DataSource de la sección DataSourceName en el archivo INI.\r\r" + ini;
    for (const QByteArray &content : {QByteArray("[Location]\nNombre=Coop\n"),
                                      QByteArray("[DataSourceName]\nDataSource=\n"),
                                      QByteArray("[DataSourceName]\nOtra=" + db.toUtf8() + "\n"),
                                      QByteArray(2000, '\0')}) {
        t.writeIni(content);
        t.prompts->expectMessage(missing, MsgIcon::Critical, MsgButtons::OK);
        QVERIFY(!RunStartup());
        QVERIFY(!anyWindowLeft());
        QVERIFY(!ConexionIsOpen());
    }
}

void tst_Startup::connectionFailureRetryAndCancel()
{
    TestEnv t;
    const QString db = t.path("coop.db");
    t.writeIniFor("coop.db"); // relative to the configuration file's folder

    // Cancel ends the program and leaves no empty database behind.
    // The message names the path tried, whole.
    t.prompts->expectMessage(kNoConnection + "\r\rError #14: " + DbErrorDescription(14, "unable to open database file") + "\r\rArchivo: " + db,
                             MsgIcon::Critical, MsgButtons::RetryCancel, MsgResult::Cancel);
    QVERIFY(!RunStartup());
    QVERIFY(!anyWindowLeft());
    QVERIFY(!QFile::exists(db));

    // A text file: Retry after the database is mended continues the start-up.
    QFile f(db);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'z'));
    f.close();
    SplashRecorder rec;
    t.prompts->expectMessage(kNoConnection + "\r\rError #26: " + DbErrorDescription(26, "file is not a database") + "\r\rArchivo: " + db,
                             MsgIcon::Critical, MsgButtons::RetryCancel, MsgResult::Retry);
    t.prompts->onNextPrompt([&] {
        QFile::remove(db);
        t.createDb("coop.db", [](const QSqlDatabase &d) { AddMovimiento(d, "I", "E", 75); });
    });
    QVERIFY(startUp());
    QVERIFY(rec.messages.contains("Cargando Parámetros de la Aplicación..."));
    QVERIFY(ConexionIsOpen());
    QCOMPARE(MDIForm1::existing()->panelText(1), QStringLiteral("Saldo Caja: 75"));
}

void tst_Startup::stepsAndMinimumDisplayTime()
{
    TestEnv t;
    t.writeIniFor(t.createDb(), QStringLiteral("Cooperadora Escuela 12"));
    // The wall clock goes back an hour during the wait: the wait stays four seconds.
    struct SteppingBack : FakeClock {
        using FakeClock::FakeClock;
        void idle() override { FakeClock::idle(); set(now().addSecs(m_stepped ? 0 : -3600)); m_stepped = true; }
        bool m_stepped = false;
    };
    env().clock = std::make_shared<SteppingBack>(QDateTime(QDate(2026, 4, 5), QTime(2, 59, 57)));
    SplashRecorder rec;
    QVERIFY(startUp());
    QCOMPARE(rec.progress, (QList<double>{10, 20, 30, 50, 70, 80, 69, 71.5, 74, 76.5, 90}));
    QCOMPARE(rec.messages, (QStringList{"Verificando Requerimientos Mínimos...",
                                        "Cargando Parámetros de Conexión...",
                                        "Conectando a la Base de Datos...",
                                        "Cargando Parámetros de la Aplicación...",
                                        "Cargando y Diseñando Toolbars...",
                                        "Calculando Saldos...",
                                        "Cargando Recursos Gráficos..."}));
    QCOMPARE(rec.company, QStringLiteral("Cooperadora Escuela 12"));
    QVERIFY(!anyWindowLeft() || MDIForm1::existing()->isVisible());
    const auto splashes = QApplication::topLevelWidgets();
    for (QWidget *w : splashes)
        QVERIFY(!qobject_cast<frmSplash *>(w) || !w->isVisible());
}

void tst_Startup::slowStartDoesNotWait()
{
    TestEnv t;
    t.writeIniFor(t.createDb());
    // Every look at the clock finds four more seconds gone.
    t.clock->setIdleStep(0);
    struct Slow : FakeClock {
        using FakeClock::FakeClock;
        qint64 elapsedMs() const override { const_cast<Slow *>(this)->advance(4000); return FakeClock::elapsedMs(); }
    };
    env().clock = std::make_shared<Slow>(QDateTime(QDate(2026, 12, 6), QTime(10, 0, 0)));
    SplashRecorder rec;
    QVERIFY(startUp());
    QCOMPARE(rec.progress, (QList<double>{10, 20, 30, 50, 70, 80, 90}));
}

void tst_Startup::mainWindowMenuAndStatusBar()
{
    TestEnv t;
    t.writeIniFor(t.createDb());
    QVERIFY(startUp());
    MDIForm1 *main = MDIForm1::existing();
    QVERIFY(main && main->isVisible());
    QCOMPARE(main->windowTitle(), QStringLiteral("Tesorin - Gestion de cooperadoras escolares"));
    QCOMPARE(main->panelText(1), QStringLiteral("Saldo Caja: 0"));
    QCOMPARE(main->panelText(2), QStringLiteral("Saldo Banco: 0"));

    QCOMPARE(main->menuItem("mnuPagocuota")->shortcut(), QKeySequence(Qt::Key_F6));
    QCOMPARE(main->menuItem("mnuPago")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    QVERIFY(main->mdiArea());
}

void tst_Startup::closingTheMainWindowClosesEverything()
{
    TestEnv t;
    t.writeIniFor(t.createDb());
    QVERIFY(startUp());
    QPointer<MDIForm1> main = MDIForm1::existing();
    QPointer<QWidget> other = new QWidget;
    other->setObjectName("frmOtra");
    other->show();
    QPointer<QWidget> child = new QWidget;
    main->mdiArea()->addSubWindow(child)->show();

    // A window that keeps unsaved work keeps the program running.
    struct Keeps : QWidget {
        void closeEvent(QCloseEvent *e) override { e->setAccepted(closable); }
        bool closable = false;
    };
    QPointer<Keeps> keeps = new Keeps;
    keeps->show();
    QVERIFY(!main->close());
    QVERIFY(main && keeps && ConexionIsOpen());
    keeps->closable = true;

    QVERIFY(main->close());
    QVERIFY(!anyWindowLeft());
    QVERIFY(!main);
    QVERIFY(!other);
    QVERIFY(!child);
    QVERIFY(!ConexionIsOpen());
}

void tst_Startup::aDailyCopyAndADamagedFile()
{
    TestEnv t;
    const QString db = t.createDb("coop.db", [](const QSqlDatabase &d) {
        for (int i = 0; i < 2000; ++i)
            AddMovimiento(d, "I", "E", i);
    });
    t.writeIniFor(db);
    QVERIFY(startUp());
    QCOMPARE(CopiesOf(db).size(), 1);
    QCOMPARE(MDIForm1::existing()->statusBar()->currentMessage(), QStringLiteral("Base de datos verificada."));
    MDIForm1::existing()->close();

    // A page overwritten: said at start-up, naming the good copy; nothing more is written.
    CloseConexion();
    {
        QFile f(db);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(4096 * 3);
        f.write(QByteArray(4096, '\x5a'));
    }
    const DbCheck problem = CheckDatabase(db);
    QCOMPARE(problem.state, DbCheck::State::Damaged);
    t.prompts->expectMessage("La base de datos " + db + " está dañada. No se guardará nada en ella.\r\r"
                                 "La copia sana más reciente es " + CopiesOf(db).first()
                                 + "; puede restaurarla con tesorin --restaurar, con el programa cerrado.\r\r"
                                   "Detalle para soporte técnico: " + problem.raw,
                             MsgIcon::Critical, MsgButtons::OK);
    QVERIFY(startUp());
    QCOMPARE(CopiesOf(db).size(), 1); // one a day
    QVERIFY_THROWS_EXCEPTION(RuntimeError, AddMovimiento(Conexion(), "I", "E", 1));
}

void tst_Startup::aFileInUseIsNotDamaged()
{
    TestEnv t;
    const QString db = t.createDb("coop.db");
    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(db, &errors));
    t.writeIniFor(db);
    HeldDatabase tool("lock", db);
    QVERIFY(tool.held());
    QCOMPARE(RunCommandLine({"--verificar"}), 3);
    QCOMPARE(RunCommandLine({"--copia", t.path("copia.db")}), 1); // waits seconds, not for ever
    QVERIFY(!QFile::exists(t.path("copia.db")) && !QFile::exists(t.path("copia.db.parcial")));

    const StartupChecks found = RunStartupChecks(db, t.clock->now(), 200);
    const QString locked = DbErrorDescription(DbBusy, "database is locked");
    QCOMPARE(found.check.state, DbCheck::State::InUse);
    QCOMPARE(QDir(CopiesFolder(db)).entryList(QDir::Files), QStringList());
    t.prompts->expectMessage(found.copy.warning, MsgIcon::Exclamation, MsgButtons::OK);
    QVERIFY(found.copy.warning.startsWith("Hoy no se hizo la copia de seguridad de la base de datos. No se pudo "
                                          "copiar la base de datos en " + CopiesFolder(db) + "/tesorin-"));
    QVERIFY(found.copy.warning.endsWith(".db. " + locked));
    t.prompts->expectMessage("No se pudo verificar la base de datos " + db
                                 + " ahora; se verificará la próxima vez que abra Tesorin. "
                                   "No hace falta restaurar ninguna copia.\r\r" + locked,
                             MsgIcon::Exclamation, MsgButtons::OK);
    ReportStartupChecks(db, found);
    tool.release();
    AddMovimiento(Conexion(), "I", "E", 1); // still writable
    QCOMPARE(RunCommandLine({"--verificar"}), 0);
}

void tst_Startup::commandLineCopyCheckAndRestore()
{
    TestEnv t;
    const QString db = t.createDb("coop.db", [](const QSqlDatabase &d) { AddMovimiento(d, "I", "E", 10); });
    t.writeIniFor(db);
    QCOMPARE(RunCommandLine({"--verificar"}), 0);
    QCOMPARE(RunCommandLine({"--copia", t.path("copia.db")}), 0);
    QCOMPARE(RunCommandLine({"--copia", t.path("copia.db")}), 1); // never over an existing file
    QCOMPARE(RunCommandLine({"--copia"}), 2);

    // Refused while the program has the database open, even idle, then done,
    // the current file kept aside.
    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(db, &errors));
    Exec("INSERT INTO Curso (Nombre) VALUES ('despues de la copia')");
    QCOMPARE(RunCommandLine({"--restaurar", t.path("copia.db")}), 1);
    CloseConexion();
    QCOMPARE(RunCommandLine({"--restaurar", t.path("no-existe.db")}), 1);
    QCOMPARE(RunCommandLine({"--restaurar", t.path("copia.db")}), 0);
    QVERIFY(OpenConexion(db, &errors));
    QCOMPARE(Scalar("SELECT COUNT(*) FROM Curso").toInt(), 0);
    CloseConexion();
    QCOMPARE(QDir(t.path(".")).entryList({"coop.db.antes-*"}).size(), 1);

    // A damage only the full check finds.
    QVERIFY(EmptyTheDateIndex(db));
    QCOMPARE(RunCommandLine({"--verificar"}), 1);
}

void tst_Startup::commandLineAdminPassword()
{
    TestEnv t;
    const QString db = t.createDb("coop.db");
    t.writeIniFor(db);
    auto admin = [&] {
        QList<DbErrorEntry> errors;
        OpenConexion(db, &errors);
        const QVariant v = Scalar("SELECT Valor FROM Parametro WHERE Parametro = 'ADMIN'");
        CloseConexion();
        return v;
    };
    for (const QString &bad : {"", " nueva", "nueva ", "   "})
        QCOMPARE(RunCommandLine({"--clave-admin", bad}), 2);
    QCOMPARE(RunCommandLine({"--crear-base", t.path("nueva.db"), "--clave-admin", "nueva "}), 2);
    {
        HeldDatabase program("open", db);
        QVERIFY(program.held());
        QCOMPARE(RunCommandLine({"--clave-admin", "nueva"}), 1);
    }
    QCOMPARE(admin().toString(), "clave");
    QCOMPARE(RunCommandLine({"--clave-admin", "nueva"}), 0);
    QCOMPARE(admin().toString(), "nueva");

    // A row that was deleted is added again.
    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(db, &errors));
    Exec("DELETE FROM Parametro WHERE Parametro = 'ADMIN'");
    CloseConexion();
    QCOMPARE(RunCommandLine({"--clave-admin", "otra"}), 0);
    QCOMPARE(admin().toString(), "otra");
}

namespace {
QByteArray serverIni(const ConnectionSettings &s)
{
    return QStringLiteral("[DataSourceName]\nServidor=%1\nPuerto=%2\nBase=%3\nUsuario=%4\n")
        .arg(s.host)
        .arg(s.port)
        .arg(s.database, s.user)
        .toUtf8();
}
} // namespace

// The configuration names a server: the books open there, a refusal is told
// with Reintentar, and a role that may only read is told so.
void tst_Startup::theBooksOnAServer()
{
    PG_TEST_DB(pg);
    TestEnv t;
    QVERIFY(pg.openConexionOnCopyOf(t.createDb("coop.db", [](const QSqlDatabase &d) { AddMovimiento(d, "I", "E", 75); }))
                .isEmpty());
    CloseConexion();

    ConnectionSettings missing = pg.settings();
    missing.database += QStringLiteral("_no");
    t.writeIni(serverIni(missing));
    const QString refused = kNoConnection + "\r\r" + TestServerConnection(missing, QString()) + "\r\rServidor: "
                            + missing.describe();
    t.prompts->expectMessage(refused, MsgIcon::Critical, MsgButtons::RetryCancel, MsgResult::Retry);
    t.prompts->expectMessage(refused, MsgIcon::Critical, MsgButtons::RetryCancel, MsgResult::Cancel);
    QVERIFY(!RunStartup());
    QVERIFY(!anyWindowLeft());
    QVERIFY(!ConexionIsOpen());

    t.writeIni(serverIni(pg.settings()));
    QVERIFY(startUp());
    QVERIFY(ConexionIsOnServer());
    QCOMPARE(MDIForm1::existing()->panelText(1), QStringLiteral("Saldo Caja: 75"));
    // Copied, not checked: nothing claims a check that did not run.
    QVERIFY2(MDIForm1::existing()->statusBar()->currentMessage().startsWith(QStringLiteral("Copia del día hecha en ")),
             qPrintable(MDIForm1::existing()->statusBar()->currentMessage()));
    MDIForm1::existing()->close();

    const QString role = QStringLiteral("consulta_%1").arg(QCoreApplication::applicationPid());
    PgRun(pg.open(), QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE %2").arg(role, QLatin1String(kPgRoleRead)));
    ConnectionSettings reader = pg.settings();
    reader.user = role;
    t.writeIni(serverIni(reader));
    t.prompts->expectMessage("La base de datos no se puede modificar (su usuario del servidor solo puede consultarla). "
                             "Puede consultarla, pero no registrar ni cambiar datos.\r\rServidor: " + reader.describe(),
                             MsgIcon::Exclamation, MsgButtons::OK);
    QVERIFY(startUp());
    QCOMPARE(MDIForm1::existing()->panelText(1), QStringLiteral("Saldo Caja: 75"));
    MDIForm1::existing()->close();
    PgRun(pg.open(), QStringLiteral("DROP ROLE %1").arg(role));

    // A role the server asks a password of: asked in a box that hides it,
    // asked again after a refusal, and never written anywhere.
    const QString hba = pg.scalar(QStringLiteral("SELECT current_setting('hba_file')")).toString();
    QFile file(hba);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray rules = file.readAll();
    file.close();
    const QString user = QStringLiteral("clave_%1").arg(QCoreApplication::applicationPid());
    PgRun(pg.open(), QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'secreta' IN ROLE %2").arg(user, QLatin1String(kPgRoleWrite)));
    auto restore = qScopeGuard([&] {
        QFile back(hba);
        if (back.open(QIODevice::WriteOnly))
            back.write(rules);
        back.close();
        pg.scalar(QStringLiteral("SELECT pg_reload_conf()"));
        PgRun(pg.open(), QStringLiteral("DROP ROLE %1").arg(user));
    });
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("local all " + user.toUtf8() + " scram-sha-256\n" + rules);
    file.close();
    pg.scalar(QStringLiteral("SELECT pg_reload_conf()"));
    qputenv("PGPASSFILE", t.path("sin-pgpass").toUtf8());
    ConnectionSettings secret = pg.settings();
    secret.user = user;
    t.writeIni(serverIni(secret));
    const QString ask = "Clave del usuario " + user + " en el servidor " + secret.describe() + ":";
    t.prompts->expectPassword(ask, AppTitle(), "mala");
    t.prompts->expectMessage(kNoConnection + "\r\r" + TestServerConnection(secret, "mala") + "\r\rServidor: "
                                 + secret.describe(),
                             MsgIcon::Critical, MsgButtons::RetryCancel, MsgResult::Retry);
    t.prompts->expectPassword(ask, AppTitle(), "secreta");
    QVERIFY(startUp());
    QCOMPARE(MDIForm1::existing()->panelText(1), QStringLiteral("Saldo Caja: 75"));
    MDIForm1::existing()->close();
    t.prompts->expectPassword(ask, AppTitle(), QString(), true);
    QVERIFY(!RunStartup()); // cancelled: the program ends
    QVERIFY(!anyWindowLeft());
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
