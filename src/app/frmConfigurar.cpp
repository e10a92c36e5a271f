#include "app/frmConfigurar.h"
#include "app/MainLocal.h"
#include "data/ConfigFile.h"
#include "data/Database.h"
#include "data/DemoData.h"
#include "data/Environment.h"
#include "data/FormHelpers.h"
#include "data/Prompts.h"
#include "data/ServerCheck.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTextStream>

namespace {

// A path as typed: "~/" is the home folder, and so is the start of a relative
// path (the launcher may start us from anywhere).
QString typedPath(const QString &text)
{
    QString t = text.trimmed();
    if (t == QLatin1String("~") || t.startsWith(QLatin1String("~/")))
        t = QDir::homePath() + t.mid(1);
    return t.isEmpty() ? t : QFileInfo(QDir::home(), t).absoluteFilePath();
}

} // namespace

frmConfigurar::frmConfigurar(const QString &configPath, QWidget *parent)
    : QDialog(parent), testServer(TestServerConnection), m_configPath(configPath)
{
    setObjectName(QStringLiteral("frmConfigurar"));
    setWindowTitle(QStringLiteral("Tesorin - Dónde están los datos"));
    demoFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tesorin");

    auto *grid = new QGridLayout(this);
    auto *intro = new QLabel(QStringLiteral("Elija dónde guardará Tesorin los datos de la cooperadora. "
                                            "La configuración se guarda en ")
                                 + configPath + QLatin1Char('.'),
                             this);
    intro->setWordWrap(true);
    grid->addWidget(Named(intro, "lblIntro"), 0, 0, 1, 3);

    // A labelled box in the second and third columns; the caption is also its accessible name.
    // A wide label starts at the first column (the name); the others under their option.
    auto field = [&](QLineEdit *&box, const char *name, const QString &caption, bool wide = false) {
        box = Named(new QLineEdit(this), name);
        auto *label = new QLabel(caption, this);
        label->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(name).mid(3));
        label->setBuddy(box);
        box->setAccessibleName(QString(caption).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        const int row = grid->rowCount();
        grid->addWidget(label, row, wide ? 0 : 1, 1, wide ? 2 : 1);
        grid->addWidget(box, row, 2);
    };
    auto option = [&](QRadioButton *&button, const char *name, const QString &caption) {
        button = Named(new QRadioButton(caption, this), name);
        button->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        grid->addWidget(button, grid->rowCount(), 0, 1, 3);
        connect(button, &QRadioButton::toggled, this, &frmConfigurar::showChoice);
    };

    field(txtNombre, "txtNombre", QStringLiteral("&Nombre de la cooperadora:"), true);

    option(optNueva, "optNueva", QStringLiteral("Crear una base de datos n&ueva"));
    field(txtArchivoNuevo, "txtArchivoNuevo", QStringLiteral("&Archivo:"));
    field(txtClave, "txtClave", QStringLiteral("C&lave de administrador:"));
    field(txtClave2, "txtClave2", QStringLiteral("&Repetir la clave:"));
    txtClave->setEchoMode(QLineEdit::Password);
    txtClave2->setEchoMode(QLineEdit::Password);
    txtArchivoNuevo->setText(QDir::home().filePath(QStringLiteral("tesorin.db")));

    option(optExistente, "optExistente", QStringLiteral("Abrir un archivo &existente"));
    field(txtArchivo, "txtArchivo", QStringLiteral("Arc&hivo:"));

    option(optServidor, "optServidor", QStringLiteral("Conectarse a un &servidor PostgreSQL"));
    field(txtServidor, "txtServidor", QStringLiteral("Ser&vidor:"));
    field(txtPuerto, "txtPuerto", QStringLiteral("&Puerto:"));
    field(txtBase, "txtBase", QStringLiteral("&Base:"));
    field(txtUsuario, "txtUsuario", QStringLiteral("Usuar&io:"));
    txtPuerto->setText(QStringLiteral("5432"));
    txtUsuario->setText(qEnvironmentVariable("USER"));
    cboSSL = Named(new QComboBox(this), "cboSSL");
    cboSSL->addItems(SslModes());
    cboSSL->setCurrentText(QStringLiteral("prefer"));
    auto *lblSSL = Named(new QLabel(QStringLiteral("SSL (&modo):"), this), "lblSSL");
    lblSSL->setBuddy(cboSSL);
    cboSSL->setAccessibleName(QStringLiteral("SSL (modo)"));
    const int sslRow = grid->rowCount();
    grid->addWidget(lblSSL, sslRow, 1);
    grid->addWidget(cboSSL, sslRow, 2);
    field(txtClaveServidor, "txtClaveServidor", QStringLiteral("Clave (solo para probar, no se &guarda):"));
    txtClaveServidor->setEchoMode(QLineEdit::Password);
    cmdProbar = Named(new QPushButton(QStringLiteral("Probar cone&xión"), this), "cmdProbar");
    cmdProbar->setAutoDefault(false);
    grid->addWidget(cmdProbar, grid->rowCount(), 2, Qt::AlignLeft);
    connect(cmdProbar, &QPushButton::clicked, this, [this] { tryServer(true); });

    option(optDemo, "optDemo", QStringLiteral("Abrir la &demostración (datos de ejemplo)"));

    cmdOk = Named(new QPushButton(QStringLiteral("Aceptar"), this), "cmdOk");
    cmdOk->setDefault(true);
    Cancel = Named(new QPushButton(QStringLiteral("Cancelar"), this), "Cancel");
    Cancel->setAutoDefault(false);
    connect(cmdOk, &QPushButton::clicked, this, &frmConfigurar::save);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(Cancel);
    grid->addLayout(buttons, grid->rowCount(), 0, 1, 3);
    grid->setColumnMinimumWidth(0, 24);
    grid->setColumnStretch(2, 1);
    setMinimumWidth(560);

    optNueva->setChecked(true);
    showChoice();
}

void frmConfigurar::showChoice()
{
    for (QWidget *w : {static_cast<QWidget *>(txtArchivoNuevo), static_cast<QWidget *>(txtClave), static_cast<QWidget *>(txtClave2)})
        w->setEnabled(optNueva->isChecked());
    txtArchivo->setEnabled(optExistente->isChecked());
    for (QWidget *w : {static_cast<QWidget *>(txtServidor), static_cast<QWidget *>(txtPuerto),
                       static_cast<QWidget *>(txtBase), static_cast<QWidget *>(txtUsuario),
                       static_cast<QWidget *>(cboSSL), static_cast<QWidget *>(txtClaveServidor),
                       static_cast<QWidget *>(cmdProbar)})
        w->setEnabled(optServidor->isChecked());
}

QString frmConfigurar::serverSettings(ConnectionSettings &where) const
{
    where.engine = Engine::PostgreSQL;
    where.host = txtServidor->text().trimmed();
    where.database = txtBase->text().trimmed();
    where.user = txtUsuario->text().trimmed();
    where.sslMode = cboSSL->currentText();
    bool ok = false;
    where.port = txtPuerto->text().trimmed().toInt(&ok);
    if (where.host.isEmpty())
        return QStringLiteral("Escriba el nombre del servidor.");
    if (!ok || where.port < 1 || where.port > 65535)
        return QStringLiteral("El puerto debe ser un número de 1 a 65535.");
    if (where.database.isEmpty())
        return QStringLiteral("Escriba el nombre de la base del servidor.");
    return QString();
}

bool frmConfigurar::tryServer(bool sayWhenItWorks)
{
    ConnectionSettings where;
    if (const QString wrong = serverSettings(where); !wrong.isEmpty()) {
        MsgBox(wrong, MsgIcon::Exclamation);
        return false;
    }
    QString problem;
    {
        WaitCursor busy;
        problem = testServer(where, txtClaveServidor->text());
    }
    if (!problem.isEmpty()) {
        MsgBox(QStringLiteral("No se pudo conectar con ") + where.describe() + QStringLiteral(".\r\r") + problem,
               MsgIcon::Critical);
        return false;
    }
    if (sayWhenItWorks)
        MsgBox(QStringLiteral("La conexión con ") + where.describe() + QStringLiteral(" funciona."),
               MsgIcon::Information);
    return true;
}

bool frmConfigurar::chosenBooks(ConnectionSettings &where)
{
    if (optServidor->isChecked())
        return tryServer(false) && serverSettings(where).isEmpty();

    QString problem;
    if (optNueva->isChecked()) {
        where.file = typedPath(txtArchivoNuevo->text());
        if (where.file.isEmpty())
            problem = QStringLiteral("Escriba la ruta del archivo de la base de datos nueva.");
        else if (!UsableAdminPassword(txtClave->text()))
            problem = BadAdminPasswordText();
        else if (txtClave->text() != txtClave2->text())
            problem = QStringLiteral("Las dos claves de administrador no coinciden.");
        if (!problem.isEmpty()) {
            MsgBox(problem, MsgIcon::Exclamation);
            return false;
        }
        problem = CreateDatabaseFile(where.file, txtClave->text());
    } else if (optDemo->isChecked()) {
        where.file = QDir(demoFolder).filePath(QStringLiteral("demostracion.db"));
        // A demonstration made before is opened again, with what was tried in it.
        if (!QFileInfo::exists(where.file))
            problem = QDir().mkpath(demoFolder) ? CreateDemoDatabase(where.file, env().clock->now().date())
                                                : QStringLiteral("No se pudo crear la carpeta ") + demoFolder + QLatin1Char('.');
    } else {
        where.file = typedPath(txtArchivo->text());
        if (where.file.isEmpty()) {
            MsgBox(QStringLiteral("Escriba la ruta del archivo de la base de datos."), MsgIcon::Exclamation);
            return false;
        }
    }
    if (!problem.isEmpty()) {
        MsgBox(problem, MsgIcon::Critical);
        return false;
    }
    // The checks the start-up makes, before the file is written down.
    const QString name = QStringLiteral("tesorin-configurar");
    QList<DbErrorEntry> errors;
    const bool opens = OpenConnection(name, where.file, &errors);
    CloseConnection(name);
    if (!opens) {
        MsgBox(ConnectionFailureText(where.file, errors), MsgIcon::Critical);
        return false;
    }
    return true;
}

void frmConfigurar::save()
{
    if (QFileInfo::exists(m_configPath)
        && MsgBox(QStringLiteral("Ya hay una configuración en ") + m_configPath
                      + QStringLiteral(". Se reemplazará por la nueva. Esta seguro?"),
                  MsgIcon::Question, MsgButtons::YesNo, 1)
               != MsgResult::Yes)
        return;
    ConnectionSettings where;
    if (!chosenBooks(where))
        return;
    if (const QString problem = WriteConfigFile(m_configPath, where, txtNombre->text().trimmed()); !problem.isEmpty()) {
        MsgBox(problem, MsgIcon::Critical);
        return;
    }
    accept();
}

int RunConfigurar(const QString &configPath)
{
    frmConfigurar window(configPath);
    CenterForm(&window);
    if (window.exec() != QDialog::Accepted)
        return 1;
    QTextStream(stdout) << "Configuración guardada en " << configPath << ".\n";
    return 0;
}
