#pragma once
// What the program takes from its surroundings: the clock, the screen, the
// locale, the dialogs and where the executable lives. Tests replace each part.
#include <QDateTime>
#include <QLocale>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

class Prompts;

class Clock
{
public:
    virtual ~Clock() = default;
    // The wall clock: what dates are stored and printed with. It may jump
    // (daylight-saving changes, a time server correcting it).
    virtual QDateTime now() const = 0;
    // Milliseconds on a clock that only moves forward, from an arbitrary
    // start: what every wait is measured with, so a jump of the wall clock
    // neither lengthens nor shortens one.
    virtual qint64 elapsedMs() const;
    // Called by busy waits between two looks at the clock.
    virtual void idle() = 0;
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
    void idle() override;
};

struct Environment
{
    std::shared_ptr<Clock> clock;
    std::shared_ptr<Prompts> prompts;
    std::function<QSize()> screenSize; // pixels of the primary screen
    QLocale locale;
    QString appDir;      // the folder of the executable
    QString exeBaseName; // the executable's name without extension
    // The configuration file named on the command line (--ini), absolute;
    // empty: the one beside the executable.
    QString iniFile;
    // The network file system a path lives on ("NFS", "SMB/CIFS", "SSHFS"),
    // "" on a disk of this PC; empty: asked of the system (NetworkFileSystem).
    std::function<QString(const QString &path)> networkFileSystem;
    // Who uses the program and on which computer, as the record of changes
    // names them; empty: asked of the system (the login's user, the host's name).
    QString userName;
    QString machineName;
};

// The one environment of the program.
Environment &env();
