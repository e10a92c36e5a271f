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
};

// The one environment of the program.
Environment &env();
