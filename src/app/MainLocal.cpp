#include "app/MainLocal.h"
#include "app/MDIForm1.h"
#include "app/frmConfigurar.h"
#include "app/frmSplash.h"
#include "data/Backup.h"
#include "data/ConfigFile.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Environment.h"
#include "data/FormHelpers.h"
#include "data/IniFile.h"
#include "data/InUse.h"
#include "data/Migrate.h"
#include "data/Parametros.h"
#include "data/Prompts.h"
#include "data/QtPrompts.h"
#include "data/ServerCopy.h"
#include <QSqlQuery>
#include "data/ValueRules.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QTextStream>
#include <QTranslator>

namespace {

bool isNumericResult(const QVariant &r)
{
    return r.metaType().id() != QMetaType::QString;
}

void step(frmSplash *splash, const QString &text, double progress)
{
    if (splash)
        splash->setStep(text, progress);
    QCoreApplication::processEvents();
}

void failureExit(const QString &text)
{
    MsgBox(text, MsgIcon::Critical, MsgButtons::OK);
    UnloadAllForms({});
    ResetMousePointer();
}

// The configured books, or the reason start-up or a command cannot go on: a
// configuration that fails its checks, or one naming a server.
QString configuredFile(QString &database)
{
    ConnectionSettings where;
    if (const QString problem = ReadConnectionSettings(where); !problem.isEmpty())
        return problem;
    if (where.isServer())
        return QStringLiteral("Esta versión de Tesorin abre solo un archivo de base de datos, y la configuración "
                              "nombra un servidor PostgreSQL (")
               + where.describe() + QStringLiteral("). Ponga en DataSource la ruta del archivo.\r\r")
               + IniPathForMessages();
    database = where.file;
    return QString();
}

const char *const kUsage =
    "Uso: tesorin [--ini CONFIGURACION] [opciones]\n"
    "Sin opciones abre el programa.\n"
    "  --ini CONFIGURACION                     usa ese archivo de configuración en lugar del que\n"
    "                                          está junto al programa (con cualquier opción)\n"
    "  --configurar                            abre una ventana para elegir la base de datos y\n"
    "                                          escribe la configuración del usuario (o la de --ini)\n"
    "  --crear-base RUTA --clave-admin CLAVE   crea una base de datos vacía en RUTA\n"
    "                                          (PROXIMORECIBO = 1, ADMIN = CLAVE)\n"
    "  --clave-admin CLAVE                     cambia la clave de administrador de la base de\n"
    "                                          datos configurada (con el programa cerrado)\n"
    "  --demo RUTA                             crea una base de datos de demostración en RUTA\n"
    "  --copia RUTA_DESTINO                    copia la base de datos configurada en RUTA_DESTINO\n"
    "                                          (también con el programa abierto)\n"
    "  --verificar                             verifica la base de datos configurada; termina con\n"
    "                                          0 si está sana, 1 si está dañada o no se puede\n"
    "                                          abrir, 3 si otro programa la está usando\n"
    "  --restaurar COPIA                       pone COPIA en lugar de la base de datos configurada,\n"
    "                                          que queda aparte con la fecha en su nombre (la de\n"
    "                                          un servidor, en copias/antes-de-restaurar-...)\n"
    "                                          (con el programa cerrado en todas las PC)\n"
    "  --migrar ARCHIVO                        copia ARCHIVO en la base de datos vacía del servidor\n"
    "                                          que indica la configuración, y verifica la copia\n"
    "  --help                                  muestra esta ayuda\n"
    "Solo --restaurar reemplaza la base de datos, y la conserva aparte.\n"
    "Las demás opciones terminan con 0 si se hizo, 1 si no (el mensaje dice por qué)\n"
    "y 2 si faltan datos en la línea de órdenes.\n";

// Exit status of --verificar when another program holds the database.
const int kExitInUse = 3;

const QString kBadPassword = BadAdminPasswordText() + QLatin1Char('\n');

// A new administrator password (the row 'ADMIN', added when missing) for an
// existing database; refused while any instance has it open, since a window
// may be asking for the old one. "" or why.
QString setAdminPassword(const QString &database, const QString &clave)
{
    const ExclusiveUse alone(database);
    if (!alone.held())
        return QStringLiteral("No se cambió la clave de administrador. ") + OpenElsewhereText(database);
    const QString name = QStringLiteral("tesorin-clave-admin");
    QList<DbErrorEntry> errors;
    if (!OpenConnection(name, database, &errors))
        return QStringLiteral("No se pudo abrir la base de datos ") + database + QStringLiteral(". ")
               + (errors.isEmpty() ? QString() : errors.first().description);
    QString error;
    try {
        const QSqlDatabase db = QSqlDatabase::database(name, false);
        Transaction t(db, Transaction::Mode::Immediate);
        if (Exec(db, QStringLiteral("UPDATE Parametro SET Valor = ? WHERE Parametro = 'ADMIN'"), {clave})
                .numRowsAffected()
            == 0)
            Exec(db, QStringLiteral("INSERT INTO Parametro (Parametro, Valor) VALUES ('ADMIN', ?)"), {clave});
        t.commit();
    } catch (const RuntimeError &e) {
        error = QStringLiteral("No se cambió la clave de administrador. ") + e.description();
    }
    CloseConnection(name);
    return error;
}

// The database the configuration file names, whole; "" after saying why.
QString configuredDatabase(QTextStream &err)
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    if (env().appDir.isEmpty()) {
        env().appDir = exe.absolutePath();
        env().exeBaseName = exe.completeBaseName();
    }
    QString database;
    if (QString problem = configuredFile(database); !problem.isEmpty()) {
        err << problem.replace(QLatin1Char('\r'), QLatin1Char('\n')) << "\n";
        return QString();
    }
    return database;
}

} // namespace

bool TakeIniOption(QStringList &args, QString *problem)
{
    const int i = args.indexOf(QLatin1String("--ini"));
    if (i < 0)
        return true;
    if (i + 1 >= args.size() || args.at(i + 1).isEmpty()) {
        *problem = QStringLiteral("Falta la ruta del archivo de configuración de --ini.");
        return false;
    }
    env().iniFile = QFileInfo(args.at(i + 1)).absoluteFilePath();
    args.remove(i, 2);
    return true;
}

int RunCommandLine(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = arguments;
    if (QString problem; !TakeIniOption(args, &problem)) {
        err << problem << "\n" << kUsage;
        return 2;
    }
    auto valueOf = [&](const QString &opt) -> QString {
        const int i = args.indexOf(opt);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
    };
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        out << kUsage;
        return 0;
    }
    if (args.contains(QLatin1String("--demo"))) {
        const QString path = valueOf(QStringLiteral("--demo"));
        if (path.isEmpty()) {
            err << "Falta la RUTA de --demo.\n" << kUsage;
            return 2;
        }
        const QString e = CreateDemoDatabase(path, QDate::currentDate());
        if (!e.isEmpty()) {
            err << e << "\n";
            return 1;
        }
        out << "Base de demostración creada en " << path << " (clave de administrador: "
            << DemoAdminPassword() << ").\n";
        return 0;
    }
    if (args.contains(QLatin1String("--migrar"))) {
        const QString file = valueOf(QStringLiteral("--migrar"));
        if (file.isEmpty()) {
            err << "Falta el ARCHIVO de --migrar.\n" << kUsage;
            return 2;
        }
        return MigrarCommand(file, out, err);
    }
    if (args.contains(QLatin1String("--crear-base"))) {
        const QString path = valueOf(QStringLiteral("--crear-base"));
        const QString clave = valueOf(QStringLiteral("--clave-admin"));
        if (path.isEmpty() || clave.isEmpty()) {
            err << "--crear-base necesita RUTA y --clave-admin CLAVE.\n" << kUsage;
            return 2;
        }
        if (!UsableAdminPassword(clave)) {
            err << kBadPassword;
            return 2;
        }
        const QString e = CreateDatabaseFile(path, clave);
        if (!e.isEmpty()) {
            err << e << "\n";
            return 1;
        }
        out << "Base de datos creada en " << path << ".\n";
        return 0;
    }
    if (args.contains(QLatin1String("--clave-admin"))) {
        const QString clave = valueOf(QStringLiteral("--clave-admin"));
        if (!UsableAdminPassword(clave)) {
            err << kBadPassword;
            return 2;
        }
        const QString database = configuredDatabase(err);
        if (database.isEmpty())
            return 1;
        const QString e = setAdminPassword(database, clave);
        if (!e.isEmpty()) {
            err << e << "\n";
            return 1;
        }
        out << "Clave de administrador cambiada en " << database << ".\n";
        return 0;
    }
    for (const char *option : {"--copia", "--verificar", "--restaurar"}) {
        if (!args.contains(QLatin1String(option)))
            continue;
        const QString argument = valueOf(QLatin1String(option));
        if (qstrcmp(option, "--verificar") != 0 && argument.isEmpty()) {
            err << "Falta la ruta de " << option << ".\n" << kUsage;
            return 2;
        }
        // On a server the copy is an ordinary file, and the restore and the check work on the server's tables.
        if (const int code = ServerCopyCommand(QLatin1String(option), argument, out, err); code >= 0)
            return code;
        const QString database = configuredDatabase(err);
        if (database.isEmpty())
            return 1;
        QString e;
        if (qstrcmp(option, "--copia") == 0) {
            e = CopyDatabase(database, argument);
            if (e.isEmpty()) {
                const DbCheck check = CheckDatabase(argument, CheckDepth::Full);
                if (!check.sound())
                    e = QStringLiteral("La copia ") + argument + QStringLiteral(" no pasó la verificación. ")
                        + check.description();
            }
            if (e.isEmpty())
                out << "Copia hecha y verificada en " << argument << ".\n";
        } else if (qstrcmp(option, "--verificar") == 0) {
            const DbCheck check = CheckDatabase(database, CheckDepth::Full);
            if (check.sound()) {
                out << "La base de datos " << database << " está sana.\n";
                return 0;
            }
            err << check.description() << "\n";
            if (check.state == DbCheck::State::InUse)
                err << "No se pudo verificar ahora; estar en uso no es un daño.\n";
            err << "Archivo: " << database << "\n";
            return check.state == DbCheck::State::InUse ? kExitInUse : 1;
        } else {
            e = RestoreDatabase(database, argument, QDateTime::currentDateTime());
            if (e.isEmpty())
                out << "La copia " << argument << " está ahora en " << database << ".\n";
        }
        if (!e.isEmpty()) {
            err << e << "\n";
            return 1;
        }
        return 0;
    }
    err << "Opción desconocida: " << args.join(QLatin1Char(' ')) << "\n" << kUsage;
    return 2;
}

StartupChecks RunStartupChecks(const QString &database, const QDateTime &now, int waitMs)
{
    StartupChecks found;
    // The books on a server are copied to a file in the folder "copias" beside
    // the configuration, the user's own place; the server keeps its pages
    // itself, and tesorin --verificar checks its tables and rules.
    if (ConnectionSettings where; ReadConnectionSettings(where).isEmpty() && where.isServer()) {
        const QString config = FindIniFile();
        found.onServer = true;
        found.copy = MakeServerDailyCopy(where, config, now, waitMs);
        found.copyProblem = FinishDailyCopy(config, found.copy.made);
        return found;
    }
    // The copy first, then the pruning, which waits for a copy that passed its check.
    found.copy = MakeDailyCopy(database, now, waitMs);
    found.copyProblem = FinishDailyCopy(database, found.copy.made);
    found.check = CheckDatabase(database, CheckDepth::Quick, waitMs);
    if (found.check.state == DbCheck::State::Damaged)
        found.goodCopy = NewestGoodCopy(database);
    return found;
}

void ReportStartupChecks(const QString &database, const StartupChecks &found)
{
    MDIForm1 *main = MDIForm1::existing();
    const DbCheck::State state = found.check.state;
    // The result is said for a few seconds, then the balances show again;
    // only damage stays said, since nothing more may be written.
    // The server's books were copied, not checked: the server keeps its own pages.
    const QString said = found.onServer ? (found.copy.made.isEmpty() ? QString()
                                                                     : QStringLiteral("Copia del día hecha en ") + found.copy.made)
                         : state == DbCheck::State::Sound   ? QStringLiteral("Base de datos verificada.")
                         : state == DbCheck::State::Damaged ? QStringLiteral("Base de datos dañada.")
                         : state == DbCheck::State::InUse   ? QStringLiteral("Base de datos en uso por otro programa: no se verificó.")
                                                            : QStringLiteral("No se pudo verificar la base de datos.");
    if (main)
        main->statusBar()->showMessage(said, state == DbCheck::State::Damaged && !found.onServer ? 0 : 8000);
    if (!found.copy.warning.isEmpty())
        MsgBox(found.copy.warning, MsgIcon::Exclamation);
    if (!found.copyProblem.isEmpty())
        MsgBox(found.copyProblem, MsgIcon::Exclamation);
    if (found.onServer || state == DbCheck::State::Sound)
        return;
    if (state != DbCheck::State::Damaged) {
        // Busy is not damage: the file stays writable, and nobody is sent to a copy.
        MsgBox(QStringLiteral("No se pudo verificar la base de datos ") + database
                   + QStringLiteral(" ahora; se verificará la próxima vez que abra Tesorin. "
                                    "No hace falta restaurar ninguna copia.\r\r")
                   + found.check.description(),
               MsgIcon::Exclamation);
        return;
    }
    // Nothing more is written to a damaged file.
    if (ConexionIsOpen())
        QSqlQuery(Conexion()).exec(QStringLiteral("PRAGMA query_only = ON"));
    MsgBox(QStringLiteral("La base de datos ") + database + QStringLiteral(" está dañada. No se guardará nada en ella.\r\r")
               + (found.goodCopy.isEmpty()
                      ? QStringLiteral("No hay una copia de seguridad sana.")
                      : QStringLiteral("La copia sana más reciente es ") + found.goodCopy
                            + QStringLiteral("; puede restaurarla con tesorin --restaurar, con el programa cerrado."))
               + QStringLiteral("\r\rDetalle para soporte técnico: ") + found.check.raw,
           MsgIcon::Critical);
}

namespace {

// After the main window shows: today's copy, the pruning of old ones, and the
// check of the database itself, which take seconds on a large file (longer
// while another program holds it); they run on a thread of their own, so the
// window never waits for them, and tell the main window.
void checkInTheBackground(const QString &database, const QDateTime &now)
{
    MDIForm1 *main = MDIForm1::instance();
    main->statusBar()->showMessage(ConexionIsOnServer() ? QStringLiteral("Haciendo la copia del día...")
                                                        : QStringLiteral("Verificando la base de datos..."));
    QThread *worker = QThread::create([database, now] {
        const StartupChecks found = RunStartupChecks(database, now, 30000);
        QMetaObject::invokeMethod(qApp, [database, found] { ReportStartupChecks(database, found); });
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    QObject::connect(worker, &QThread::finished, main, [] { emit BackgroundChecks::instance().finished(); });
    worker->start();
}

} // namespace

namespace {

// The configured file opened as the shared connection; each failure is told
// with Reintentar and Cancelar. False when the user cancelled.
bool openFileBooks(const QString &database)
{
    QList<DbErrorEntry> errors;
    while (!OpenConexion(database, &errors)) {
        if (MsgBox(ConnectionFailureText(database, errors), MsgIcon::Critical, MsgButtons::RetryCancel)
            != MsgResult::Retry)
            return false;
    }
    return true;
}

// The books on the server. The password comes from libpq's password file;
// when the server asks for one (or refuses the one typed) it is asked here,
// in a box that hides it, and kept only in memory. Each refusal (no server,
// a wrong password, no rights, no tables) is told with Reintentar and
// Cancelar. False when the user cancelled.
bool openServerBooks(const ConnectionSettings &where)
{
    // How the server check words these two refusals (ServerCheck.cpp).
    const auto asksForPassword = [](const QString &error) {
        return error.startsWith(QStringLiteral("El servidor pide una clave"))
               || error.startsWith(QStringLiteral("El servidor rechazó la clave"));
    };
    QString password, error;
    bool asked = false;
    while (!OpenConexionOnServer(where, password, &error)) {
        // The first time the server asks, no need to say so before asking.
        if (asked || !asksForPassword(error)) {
            if (MsgBox(QStringLiteral("No se ha podido establecer la Conexión con la Base de Datos.\r\r") + error
                           + QStringLiteral("\r\rServidor: ") + where.describe(),
                       MsgIcon::Critical, MsgButtons::RetryCancel)
                != MsgResult::Retry)
                return false;
        }
        if (asksForPassword(error)) {
            const std::optional<QString> typed = AskPassword(
                QStringLiteral("Clave del usuario %1 en el servidor %2:")
                    .arg(where.user.isEmpty() ? QStringLiteral("de esta sesión") : where.user, where.describe()),
                AppTitle());
            if (!typed)
                return false;
            password = *typed;
            asked = true;
        }
    }
    return true;
}

} // namespace

// Fills every part of the environment with the real thing (system clock, Qt
// dialogs, primary screen, system locale, the running executable's folder and name).
void InstallSystemEnvironment()
{
    Environment &e = env();
    e.clock = std::make_shared<SystemClock>();
    e.prompts = std::make_shared<QtPrompts>();
    e.screenSize = [] {
        QScreen *s = QGuiApplication::primaryScreen();
        return s ? s->size() : QSize(1024, 768);
    };
    // Every text of the program is Spanish: a system without a language of its
    // own (the C locale) shows numbers and dates the Argentine way.
    e.locale = QLocale::system();
    if (e.locale.language() == QLocale::C)
        e.locale = QLocale(QLocale::Spanish, QLocale::Argentina);
    QLocale::setDefault(e.locale);
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    e.appDir = exe.absolutePath();
    e.exeBaseName = exe.completeBaseName();
}

QVariant CheckScreenResolution()
{
    const int width = env().screenSize ? env().screenSize().width() : 0;
    if (width < 800)
        return QStringLiteral("La Resolución de Pantalla Mínima debe ser de 800 x 600 pixels.");
    return 0;
}

bool RunStartup()
{
    QPointer<frmSplash> splash = new frmSplash;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();

    const qint64 start = env().clock->elapsedMs(); // a wall-clock jump must not stretch the wait
    QCoreApplication::processEvents();

    step(splash, QStringLiteral("Verificando Requerimientos Mínimos..."), 10);
    QVariant r = CheckScreenResolution();
    if (!isNumericResult(r)) {
        failureExit(r.toString());
        return false;
    }

    step(splash, QStringLiteral("Cargando Parámetros de Conexión..."), 20);
    ConnectionSettings where;
    if (const QString problem = ReadConnectionSettings(where); !problem.isEmpty()) {
        failureExit(problem);
        return false;
    }
    const QString database = where.file;

    step(splash, QStringLiteral("Conectando a la Base de Datos..."), 30);
    if (!(where.isServer() ? openServerBooks(where) : openFileBooks(database))) {
        UnloadAllForms({});
        ResetMousePointer();
        return false;
    }

    if (ConexionIsReadOnly())
        MsgBox(where.isServer()
                   ? QStringLiteral("La base de datos no se puede modificar (su usuario del servidor solo puede "
                                    "consultarla). Puede consultarla, pero no registrar ni cambiar datos.")
                         + QStringLiteral("\r\rServidor: ") + where.describe()
                   : QStringLiteral("La base de datos no se puede modificar (el archivo es de solo lectura). "
                                    "Puede consultarla, pero no registrar ni cambiar datos.")
                         + QStringLiteral("\r\rArchivo: ") + database,
               MsgIcon::Exclamation);
    if (!where.isServer())
        if (const QString warning = NetworkDriveWarning(database); !warning.isEmpty())
            MsgBox(warning, MsgIcon::Exclamation);

    step(splash, QStringLiteral("Cargando Parámetros de la Aplicación..."), 50);
    step(splash, QStringLiteral("Cargando y Diseñando Toolbars..."), 70);
    step(splash, QStringLiteral("Calculando Saldos..."), 80);
    RefreshSaldos();

    for (;;) {
        const qint64 s = (env().clock->elapsedMs() - start) / 1000;
        if (s >= 4)
            break;
        if (splash)
            splash->setProgress(69 + 2.5 * s);
        QCoreApplication::processEvents();
        env().clock->idle();
    }

    step(splash, QStringLiteral("Cargando Recursos Gráficos..."), 90);
    if (splash)
        splash->close();
    QCoreApplication::processEvents();
    ResetMousePointer();
    MDIForm1 *main = MDIForm1::instance();
    const QSize screen = env().screenSize();
    main->resize(qMin(1000, screen.width() * 9 / 10), qMin(700, screen.height() * 9 / 10));
    CenterForm(main);
    main->show();
    // The day's copy (of the file, or of the server's books into a file), and
    // the file's check.
    checkInTheBackground(database, env().clock->now());
    return true;
}

bool UsableAdminPassword(const QString &clave)
{
    return !clave.isEmpty() && clave == clave.trimmed();
}

QString BadAdminPasswordText()
{
    return QStringLiteral("La clave de administrador no puede estar vacía ni empezar o terminar con espacios.");
}

QString ConnectionFailureText(const QString &database, const QList<DbErrorEntry> &errors)
{
    const RuntimeError current(errors.isEmpty() ? 0 : errors.first().nativeNumber,
                               errors.isEmpty() ? QString() : errors.first().description);
    // The path tried, whole: a relative one is taken from the configuration file's folder.
    return QStringLiteral("No se ha podido establecer la Conexión con la Base de Datos.") + QStringLiteral("\r\r")
           + ADOErrorText(errors, current) + QStringLiteral("\r\rArchivo: ") + database;
}

BackgroundChecks &BackgroundChecks::instance()
{
    static BackgroundChecks checks;
    return checks;
}

void LoadSpanishTranslation()
{
    auto *tr = new QTranslator(qApp);
    if (tr->load(QStringLiteral("qtbase_es"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(tr);
    else
        delete tr;
}

int Main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (QString problem; !TakeIniOption(args, &problem)) {
        QTextStream(stderr) << problem << "\n" << kUsage;
        return 2;
    }
    if (args == QStringList{QStringLiteral("--configurar")}) {
        QApplication app(argc, argv);
        LoadSpanishTranslation();
        InstallSystemEnvironment();
        return RunConfigurar(env().iniFile.isEmpty() ? UserConfigPath() : env().iniFile);
    }
    if (!args.isEmpty()) {
        QCoreApplication app(argc, argv);
        return RunCommandLine(args);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tesorin"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(TESORIN_VERSION_MAJOR)
                                            .arg(TESORIN_VERSION_MINOR)
                                            .arg(TESORIN_VERSION_PATCH));
    LoadSpanishTranslation();
    InstallSystemEnvironment();
    if (!RunStartup())
        return 0;
    return app.exec();
}
