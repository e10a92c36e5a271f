#include "app/MDIForm1.h"
#include "app/MainLocal.h"
#include "app/frmConfigurar.h"
#include "data/ConfigFile.h"
#include "data/Database.h"
#include "data/IniFile.h"
#include "data/ServerCheck.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

struct ConfigGuard
{
    ~ConfigGuard()
    {
        env().iniFile.clear();
        env().networkFileSystem = nullptr;
    }
};

bool startUp()
{
    QSignalSpy done(&BackgroundChecks::instance(), &BackgroundChecks::finished);
    if (!RunStartup())
        return false;
    return done.count() > 0 || done.wait(20000);
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString adminOf(const QString &db)
{
    QList<DbErrorEntry> errors;
    if (!OpenConexion(db, &errors))
        return QString();
    const QString v = Scalar("SELECT Valor FROM Parametro WHERE Parametro = 'ADMIN'").toString();
    CloseConexion();
    return v;
}

// What the configuration at `path` names.
ConnectionSettings configured(const QString &path)
{
    const QString before = env().iniFile;
    env().iniFile = path;
    ConnectionSettings s;
    const QString problem = ReadConnectionSettings(s);
    env().iniFile = before;
    if (!problem.isEmpty())
        QTest::qFail(problem.toUtf8().constData(), __FILE__, __LINE__);
    return s;
}

} // namespace

class tst_Configurar : public QObject
{
    Q_OBJECT
private slots:
    void anotherConfigurationFile();
    void aServerOrANetworkDriveAtStart();
    void newDatabase();
    void existingFile();
    void server();
    void demonstrationAndCancel();
};

void tst_Configurar::anotherConfigurationFile()
{
    TestEnv t;
    ConfigGuard guard;
    QDir(t.path(".")).mkpath("pc");
    const QString db = t.createDb("pc/coop.db");
    const QString ini = t.path("pc/mia.ini");
    t.writeIni("[DataSourceName]\nDataSource=coop.db\n[Location]\nNombre=Escuela 9\n", "pc/mia.ini");

    // Without --ini, the file beside the program is still the one looked for.
    QCOMPARE(RunCommandLine({"--verificar"}), 1);
    QCOMPARE(RunCommandLine({"--ini", ini, "--verificar"}), 0);
    QCOMPARE(RunCommandLine({"--ini", ini, "--copia", t.path("copia.db")}), 0);
    QCOMPARE(RunCommandLine({"--ini", ini, "--clave-admin", "nueva"}), 0);
    QCOMPARE(adminOf(db), QStringLiteral("nueva"));
    QCOMPARE(RunCommandLine({"--ini", ini, "--restaurar", t.path("copia.db")}), 0);
    QCOMPARE(adminOf(db), QStringLiteral("clave"));
    QCOMPARE(RunCommandLine({"--ini", t.path("pc/otra.ini"), "--verificar"}), 1);
    QCOMPARE(RunCommandLine({"--verificar", "--ini"}), 2);

    // The window start reads it too, the organisation's name included.
    env().iniFile.clear();
    QStringList args{"--ini", ini};
    QString problem;
    QVERIFY(TakeIniOption(args, &problem));
    QVERIFY(args.isEmpty());
    QCOMPARE(OrganisationName(), QStringLiteral("Escuela 9"));
    QVERIFY(startUp());
    QCOMPARE(ConnectionString(), db);
    MDIForm1::existing()->close();
    QVERIFY(!ConexionIsOpen());

    env().iniFile = t.path("pc/otra.ini");
    t.prompts->expectMessage("No existe el archivo de inicialización.\r\r" + t.path("pc/otra.ini"), MsgIcon::Critical,
                             MsgButtons::OK);
    QVERIFY(!RunStartup());
}

void tst_Configurar::aServerOrANetworkDriveAtStart()
{
    TestEnv t;
    ConfigGuard guard;
    t.writeIni("[DataSourceName]\nServidor=/nada/aqui\nBase=coop\n");
    ConnectionSettings nowhere;
    nowhere.engine = Engine::PostgreSQL;
    nowhere.host = QStringLiteral("/nada/aqui");
    nowhere.database = QStringLiteral("coop");
    t.prompts->expectMessage("No se ha podido establecer la Conexión con la Base de Datos.\r\r"
                                 + TestServerConnection(nowhere, QString()) + "\r\rServidor: coop@/nada/aqui:5432",
                             MsgIcon::Critical, MsgButtons::RetryCancel, MsgResult::Cancel);
    QVERIFY(!RunStartup());
    QCOMPARE(RunCommandLine({"--verificar"}), 3); // a server that cannot be reached is not damaged

    // A file on a network drive: said once, and the start goes on.
    const QString db = t.createDb();
    t.writeIniFor(db);
    QStringList asked;
    env().networkFileSystem = [&](const QString &path) {
        asked << path;
        return QStringLiteral("NFS");
    };
    t.prompts->expectMessage("La base de datos está en una unidad de red (NFS). El bloqueo de archivos a través de la "
                             "red no es confiable: si dos PC la usan a la vez, el archivo se puede dañar. Para que "
                             "varias personas lleven los libros, use un servidor PostgreSQL (vea la sección \"Varios "
                             "usuarios\" del README).\r\rArchivo: " + db,
                             MsgIcon::Exclamation, MsgButtons::OK);
    QVERIFY(startUp());
    QCOMPARE(asked, QStringList{db});
    QVERIFY(MDIForm1::existing()->isVisible());
    MDIForm1::existing()->close();
}

void tst_Configurar::newDatabase()
{
    TestEnv t;
    const QString conf = t.path("config/tesorin/tesorin.ini");
    frmConfigurar w(conf);
    // Keyboard: every box has a label that reaches it with Alt and names it.
    QSet<QChar> keys;
    for (QLabel *label : w.findChildren<QLabel *>()) {
        if (!label->buddy())
            continue;
        QString caption = label->text();
        QVERIFY2(caption.count('&') == 1 && !keys.contains(caption.at(caption.indexOf('&') + 1).toLower()), qPrintable(caption));
        keys << caption.at(caption.indexOf('&') + 1).toLower();
        QCOMPARE(label->buddy()->accessibleName(), caption.remove('&').remove(':'));
    }
    QCOMPARE(keys.size(), 11);
    for (QAbstractButton *b : w.findChildren<QAbstractButton *>()) {
        const int at = b->text().indexOf('&');
        QVERIFY2(at < 0 || !keys.contains(b->text().at(at + 1).toLower()), qPrintable(b->text()));
        keys << (at < 0 ? QChar() : b->text().at(at + 1).toLower());
    }
    QVERIFY(w.optNueva->isChecked() && w.txtClave->isEnabled() && !w.txtServidor->isEnabled());

    w.txtNombre->setText("Cooperadora Escuela 3");
    w.txtArchivoNuevo->setText(t.path("coop.db"));
    w.txtClave->setText("clave1");
    w.txtClave2->setText("clave2");
    t.prompts->expectMessage("Las dos claves de administrador no coinciden.", MsgIcon::Exclamation, MsgButtons::OK);
    w.cmdOk->click();
    w.txtClave2->setText("clave1");
    w.cmdOk->click();
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(adminOf(t.path("coop.db")), QStringLiteral("clave1"));
    QCOMPARE(configured(conf).file, t.path("coop.db"));
    QVERIFY(contents(conf).contains("Nombre=Cooperadora Escuela 3\n"));
    QVERIFY(!contents(conf).contains("clave1"));

    // Once there is a configuration, replacing it is asked; an existing file is never overwritten.
    frmConfigurar again(conf);
    again.txtArchivoNuevo->setText(t.path("coop.db"));
    again.txtClave->setText("otra");
    again.txtClave2->setText("otra");
    t.prompts->expectMessage("Ya hay una configuración en " + conf + ". Se reemplazará por la nueva. Esta seguro?",
                             MsgIcon::Question, MsgButtons::YesNo, MsgResult::No, 1);
    again.cmdOk->click();
    t.prompts->expectMessage("Ya hay una configuración en " + conf + ". Se reemplazará por la nueva. Esta seguro?",
                             MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
    t.prompts->expectMessage(CreateDatabaseFile(t.path("coop.db"), "otra"), MsgIcon::Critical, MsgButtons::OK);
    again.cmdOk->click();
    QCOMPARE(again.result(), int(QDialog::Rejected));
    QCOMPARE(adminOf(t.path("coop.db")), QStringLiteral("clave1"));
}

void tst_Configurar::existingFile()
{
    TestEnv t;
    const QString conf = t.path("tesorin-usuario.ini");
    frmConfigurar w(conf);
    w.optExistente->setChecked(true);
    QVERIFY(w.txtArchivo->isEnabled() && !w.txtClave->isEnabled());

    // The checks of the start-up, before anything is written.
    const QString text = t.path("notas.txt");
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'z'));
    f.close();
    for (const QString &bad : {t.path("no-existe.db"), text}) {
        w.txtArchivo->setText(bad);
        QList<DbErrorEntry> errors;
        QVERIFY(!OpenConnection("esperado", bad, &errors));
        CloseConnection("esperado");
        t.prompts->expectMessage(ConnectionFailureText(bad, errors), MsgIcon::Critical, MsgButtons::OK);
        w.cmdOk->click();
        QVERIFY(!QFile::exists(conf));
    }
    const QString db = t.createDb("coop.db");
    w.txtArchivo->setText(db);
    w.cmdOk->click();
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(configured(conf).file, db);
}

void tst_Configurar::server()
{
    TestEnv t;
    const QString conf = t.path("tesorin-usuario.ini");
    frmConfigurar w(conf);
    QList<std::pair<QString, QString>> tried;
    QString answer = "El servidor rechazó la clave del usuario ana.";
    w.testServer = [&](const ConnectionSettings &s, const QString &password) {
        tried << std::make_pair(s.describe() + " " + s.user + " " + s.sslMode, password);
        return answer;
    };
    w.optServidor->setChecked(true);
    QVERIFY(w.txtServidor->isEnabled() && w.cmdProbar->isEnabled() && !w.txtArchivo->isEnabled());
    w.txtServidor->setText("pc-tesorero");
    w.txtPuerto->setText("cinco");
    w.txtBase->setText("coop");
    w.txtUsuario->setText("ana");
    w.cboSSL->setCurrentText("require");
    w.txtClaveServidor->setText("secreta");
    t.prompts->expectMessage("El puerto debe ser un número de 1 a 65535.", MsgIcon::Exclamation, MsgButtons::OK);
    w.cmdProbar->click();
    w.txtPuerto->setText("5433");

    // Saved only after the server answered well.
    t.prompts->expectMessage("No se pudo conectar con coop@pc-tesorero:5433.\r\r" + answer, MsgIcon::Critical,
                             MsgButtons::OK);
    w.cmdOk->click();
    QVERIFY(!QFile::exists(conf));
    answer.clear();
    t.prompts->expectMessage("La conexión con coop@pc-tesorero:5433 funciona.", MsgIcon::Information, MsgButtons::OK);
    w.cmdProbar->click();
    w.cmdOk->click();
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(tried.size(), 3);
    QCOMPARE(tried.last(), std::make_pair(QStringLiteral("coop@pc-tesorero:5433 ana require"), QStringLiteral("secreta")));
    const ConnectionSettings s = configured(conf);
    QCOMPARE(s.describe(), QStringLiteral("coop@pc-tesorero:5433"));
    QCOMPARE(s.sslMode, QStringLiteral("require"));
    QVERIFY(!contents(conf).contains("secreta"));

    // The real test, on a socket folder where no server listens.
    if (!QSqlDatabase::isDriverAvailable("QPSQL"))
        QSKIP("sin el controlador QPSQL");
    ConnectionSettings none = s;
    none.host = t.path("sin-servidor");
    QVERIFY(TestServerConnection(none, QString()).startsWith("No se pudo llegar al servidor " + none.host + ":5433."));
}

void tst_Configurar::demonstrationAndCancel()
{
    TestEnv t;
    const QString conf = t.path("tesorin-usuario.ini");
    for (int round = 0; round < 2; ++round) { // made once, then opened again
        frmConfigurar w(conf);
        w.demoFolder = t.path("datos/tesorin");
        w.optDemo->setChecked(true);
        if (round == 1)
            t.prompts->expectMessage("Ya hay una configuración en " + conf
                                         + ". Se reemplazará por la nueva. Esta seguro?",
                                     MsgIcon::Question, MsgButtons::YesNo, MsgResult::Yes, 1);
        w.cmdOk->click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(configured(conf).file, t.path("datos/tesorin/demostracion.db"));
    }
    QList<DbErrorEntry> errors;
    QVERIFY(OpenConexion(t.path("datos/tesorin/demostracion.db"), &errors));
    QVERIFY(Scalar("SELECT COUNT(*) FROM Socio").toInt() > 0);
    CloseConexion();

    // Cancelled: nothing written, and the launcher is told.
    const QString other = t.path("otra.ini");
    QTimer::singleShot(0, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *c = qobject_cast<frmConfigurar *>(w); c && c->isVisible())
                c->Cancel->click();
    });
    QCOMPARE(RunConfigurar(other), 1);
    QVERIFY(!QFile::exists(other));
}

QTEST_MAIN(tst_Configurar)
#include "tst_configurar.moc"
