#pragma once
#include "data/Backup.h"
#include "data/Errors.h"

#include <QObject>
#include <QStringList>
// Start-up of the program.
#include <QVariant>

// The program: with command-line arguments it creates databases without a
// display; without them it runs the desktop program. Returns the exit status.
int Main(int argc, char **argv);

// The desktop start-up sequence: splash, checks, connection, balances, then the
// main window shown. False when start-up ended the program.
bool RunStartup();

// 0 when the screen is at least 800 pixels wide, otherwise the error text.
QVariant CheckScreenResolution();

// Loads Qt's own Spanish texts (Sí, No, Aceptar, Cancelar, Reintentar...).
void LoadSpanishTranslation();

// Fills every part of the environment with the real thing (system clock, Qt
// dialogs, primary screen, system locale, the running executable's folder and name).
void InstallSystemEnvironment();

// Takes "--ini RUTA" out of `args` and makes RUTA the configuration file of
// everything that follows; false (with why) when RUTA is missing.
bool TakeIniOption(QStringList &args, QString *problem);

// A password the administrator check can ever accept: it compares the stored
// text as it is, so a blank at either end would lock the administrator out.
bool UsableAdminPassword(const QString &clave);
QString BadAdminPasswordText();

// What start-up says when the database file cannot be opened.
QString ConnectionFailureText(const QString &database, const QList<DbErrorEntry> &errors);

// The command line without a display (--help, --demo, --crear-base,
// --clave-admin, --copia, --verificar, --restaurar); the exit status.
int RunCommandLine(const QStringList &args);

// What the checks after the main window shows found: today's copy (named
// after `now`), the pruning of old copies, and the quick check of the
// database, each waiting at most `waitMs` for another program. They run on a
// thread of their own; the report runs on the window thread.
struct StartupChecks
{
    DailyCopy copy;
    QString copyProblem;
    DbCheck check;
    QString goodCopy; // the newest sound copy, looked for when the file is damaged
    bool onServer = false; // the server's books: copied, not checked at start
};
StartupChecks RunStartupChecks(const QString &database, const QDateTime &now, int waitMs);
// Says what they found; only a damaged file is made read-only.
void ReportStartupChecks(const QString &database, const StartupChecks &found);

// Tells when the checks started after the main window showed are over.
class BackgroundChecks : public QObject
{
    Q_OBJECT
public:
    static BackgroundChecks &instance();
signals:
    void finished();
};
