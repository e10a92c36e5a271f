#include "app/MainLocal.h"
#include "app/MDIForm1.h"
#include "app/frmSplash.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Environment.h"
#include "data/FormHelpers.h"
#include "data/IniFile.h"
#include "data/Parametros.h"
#include "data/Prompts.h"
#include "data/QtPrompts.h"
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

// A relative path in the configuration file is taken from the file's folder.
QString databasePath(const QString &configured)
{
    const QFileInfo f(configured);
    return f.isRelative() ? QDir(env().appDir).filePath(configured) : configured;
}

const char *const kUsage =
    "Uso: tesorin [opciones]\n"
    "Sin opciones abre el programa.\n"
    "  --crear-base RUTA --clave-admin CLAVE   crea una base de datos vacía en RUTA\n"
    "                                          (PROXIMORECIBO = 1, ADMIN = CLAVE)\n"
    "  --demo RUTA                             crea una base de datos de demostración en RUTA\n"
    "  --copia RUTA_DESTINO                    copia la base de datos configurada en RUTA_DESTINO\n"
    "                                          (también con el programa abierto)\n"
    "  --verificar                             verifica la base de datos configurada\n"
    "                                          (termina con 0 si está sana)\n"
    "  --restaurar COPIA                       pone COPIA en lugar de la base de datos configurada,\n"
    "                                          que queda aparte con la fecha en su nombre\n"
    "  --help                                  muestra esta ayuda\n"
    "Solo --restaurar reemplaza la base de datos, y la conserva aparte.\n";

// The database the configuration file names, whole; "" after saying why.
QString configuredDatabase(QTextStream &err)
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    if (env().appDir.isEmpty()) {
        env().appDir = exe.absolutePath();
        env().exeBaseName = exe.completeBaseName();
    }
    QVariant path;
    const QVariant r = CheckIniEntry(QStringLiteral("DataSourceName"), QStringLiteral("DataSource"), path, QString(),
                                     IniText, true, true);
    if (r.typeId() == QMetaType::QString) {
        err << r.toString().replace(QLatin1Char('\r'), QLatin1Char('\n')) << "\n";
        return QString();
    }
    return QFileInfo(databasePath(path.toString())).absoluteFilePath();
}

} // namespace

int RunCommandLine(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
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
    if (args.contains(QLatin1String("--crear-base"))) {
        const QString path = valueOf(QStringLiteral("--crear-base"));
        const QString clave = valueOf(QStringLiteral("--clave-admin"));
        if (path.isEmpty() || clave.isEmpty()) {
            err << "--crear-base necesita RUTA y --clave-admin CLAVE.\n" << kUsage;
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
    for (const char *option : {"--copia", "--verificar", "--restaurar"}) {
        if (!args.contains(QLatin1String(option)))
            continue;
        const QString argument = valueOf(QLatin1String(option));
        if (qstrcmp(option, "--verificar") != 0 && argument.isEmpty()) {
            err << "Falta la ruta de " << option << ".\n" << kUsage;
            return 2;
        }
        const QString database = configuredDatabase(err);
        if (database.isEmpty())
            return 1;
        QString e;
        if (qstrcmp(option, "--copia") == 0) {
            e = CopyDatabase(database, argument);
            if (e.isEmpty())
                e = CheckDatabase(argument);
            if (e.isEmpty())
                out << "Copia hecha y verificada en " << argument << ".\n";
        } else if (qstrcmp(option, "--verificar") == 0) {
            e = CheckDatabase(database);
            if (e.isEmpty())
                out << "La base de datos " << database << " está sana.\n";
            else
                e = QStringLiteral("La base de datos ") + database + QStringLiteral(" está dañada: ") + e;
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

namespace {

// After the main window shows: the check of today's copy, the pruning of old
// ones, and the check of the database itself, which takes seconds on a large
// file; they run on a thread of their own and tell the main window.
void checkInTheBackground(const QString &database, const QString &copy)
{
    MDIForm1 *main = MDIForm1::instance();
    main->statusBar()->showMessage(QStringLiteral("Verificando la base de datos..."));
    QThread *worker = QThread::create([database, copy, main = QPointer<MDIForm1>(main)] {
        const QString copyProblem = FinishDailyCopy(database, copy);
        const QString problem = CheckDatabase(database);
        const QString good = problem.isEmpty() ? QString() : NewestGoodCopy(database);
        QMetaObject::invokeMethod(qApp, [main, database, copyProblem, problem, good] {
            // A sound file is said for a few seconds, then the balances show
            // again; a damaged one stays said.
            if (main && problem.isEmpty())
                main->statusBar()->showMessage(QStringLiteral("Base de datos verificada."), 8000);
            else if (main)
                main->statusBar()->showMessage(QStringLiteral("Base de datos dañada."));
            if (!copyProblem.isEmpty())
                MsgBox(copyProblem, MsgIcon::Exclamation);
            if (problem.isEmpty())
                return;
            // Nothing more is written to a damaged file.
            if (ConexionIsOpen())
                QSqlQuery(Conexion()).exec(QStringLiteral("PRAGMA query_only = ON"));
            MsgBox(QStringLiteral("La base de datos ") + database + QStringLiteral(" está dañada (") + problem
                       + QStringLiteral("). No se guardará nada en ella.\r\r")
                       + (good.isEmpty() ? QStringLiteral("No hay una copia de seguridad sana.")
                                         : QStringLiteral("La copia sana más reciente es ") + good
                                               + QStringLiteral("; puede restaurarla con tesorin --restaurar.")),
                   MsgIcon::Critical);
        });
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    QObject::connect(worker, &QThread::finished, main, [] { emit BackgroundChecks::instance().finished(); });
    worker->start();
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
    QVariant path;
    r = CheckIniEntry(QStringLiteral("DataSourceName"), QStringLiteral("DataSource"), path,
                      QString(), IniText, true, true);
    if (!isNumericResult(r)) {
        failureExit(r.toString());
        return false;
    }

    step(splash, QStringLiteral("Conectando a la Base de Datos..."), 30);
    QList<DbErrorEntry> errors;
    const QString database = QFileInfo(databasePath(path.toString())).absoluteFilePath();
    while (!OpenConexion(database, &errors)) {
        const RuntimeError current(errors.isEmpty() ? 0 : errors.first().nativeNumber,
                                   errors.isEmpty() ? QString() : errors.first().description);
        // The path tried, whole: a relative one is taken from the configuration file's folder.
        const MsgResult answer = MsgBox(
            QStringLiteral("No se ha podido establecer la Conexión con la Base de Datos.")
                + QStringLiteral("\r\r") + ADOErrorText(errors, current) + QStringLiteral("\r\rArchivo: ")
                + database,
            MsgIcon::Critical, MsgButtons::RetryCancel);
        if (answer != MsgResult::Retry) {
            UnloadAllForms({});
            ResetMousePointer();
            return false;
        }
    }

    // The day's first copy, before any movement is written (opening adds at most
    // a missing index to an older file); failing it only warns.
    const DailyCopy daily = MakeDailyCopy(database, env().clock->now());
    if (!daily.warning.isEmpty())
        MsgBox(daily.warning, MsgIcon::Exclamation);
    if (ConexionIsReadOnly())
        MsgBox(QStringLiteral("La base de datos no se puede modificar (el archivo es de solo lectura). "
                              "Puede consultarla, pero no registrar ni cambiar datos.")
                   + QStringLiteral("\r\rArchivo: ") + database,
               MsgIcon::Exclamation);

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
    checkInTheBackground(database, daily.made);
    return true;
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
