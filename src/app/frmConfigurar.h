#pragma once
// The first start on a PC without a configuration: where the books are to be
// kept (a new database, an existing file, a server, the demonstration), and
// the organisation's name, written to the user's own configuration file.
#include "data/ConnectionSettings.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmConfigurar : public QDialog
{
    Q_OBJECT
public:
    explicit frmConfigurar(const QString &configPath, QWidget *parent = nullptr);

    // How the server is tried ("" when it works); the real one by default.
    std::function<QString(const ConnectionSettings &, const QString &password)> testServer;
    // Where the demonstration database is made: the user's data folder by default.
    QString demoFolder;

    QLineEdit *txtNombre;
    QRadioButton *optNueva;
    QLineEdit *txtArchivoNuevo;
    QLineEdit *txtClave;
    QLineEdit *txtClave2;
    QRadioButton *optExistente;
    QLineEdit *txtArchivo;
    QRadioButton *optServidor;
    QLineEdit *txtServidor;
    QLineEdit *txtPuerto;
    QLineEdit *txtBase;
    QLineEdit *txtUsuario;
    QComboBox *cboSSL;
    QLineEdit *txtClaveServidor;
    QPushButton *cmdProbar;
    QRadioButton *optDemo;
    QPushButton *cmdOk;
    QPushButton *Cancel;

private:
    void showChoice();
    // The server the boxes name; "" or what is wrong with them.
    QString serverSettings(ConnectionSettings &where) const;
    // Tries the server and says how it went; true when it works.
    bool tryServer(bool sayWhenItWorks);
    // Where the books are to be, made or checked; "" when nothing was chosen
    // or it failed (already said).
    bool chosenBooks(ConnectionSettings &where);
    void save();

    QString m_configPath;
};

// Shows the window; 0 when a configuration was written to `configPath`, 1
// when the user cancelled.
int RunConfigurar(const QString &configPath);
