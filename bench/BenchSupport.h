#pragma once
// What the benchmark programs share: prompts that never wait, the process's
// resident memory, and timing.
#include "app/MainLocal.h"
#include "data/Environment.h"
#include "data/Prompts.h"

#include <QApplication>

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// No dialog may wait for an answer here: every prompt is printed and answered No.
class PrintedPrompts : public Prompts
{
public:
    MsgResult message(const QString &text, MsgIcon, MsgButtons, int, const QString &) override
    {
        std::fprintf(stderr, "mensaje: %s\n", qPrintable(text));
        return MsgResult::No;
    }
    // Answers queued by the benchmark, in order; then the proposed text.
    QStringList inputAnswers;
    QStringList fileAnswers;
    std::optional<QString> input(const QString &, const QString &, const QString &proposed, bool) override
    {
        return inputAnswers.isEmpty() ? proposed : inputAnswers.takeFirst();
    }
    QString saveFileName(const QString &, const QString &, const QString &) override
    {
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    bool choosePrinter(QPrinter &) override { return false; }
    // The item the list marks (the newest fee).
    std::optional<int> choose(const QString &, const QString &, const QStringList &, int current) override
    {
        return current;
    }
};

// A figure of /proc/self/status in KiB ("VmRSS:" now, "VmHWM:" the peak).
inline long processStatusKiB(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray k(key);
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(k))
            return line.mid(k.size()).trimmed().split(' ').first().toLong();
    return 0;
}

inline long residentKiB()
{
    return processStatusKiB("VmRSS:");
}

// Milliseconds `work` takes.
inline double elapsedMs(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e6;
}

inline double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A benchmark's application: headless unless a platform is set, the real
// environment of the program, and prompts that never wait.
class BenchApplication
{
    struct Headless
    {
        Headless()
        {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    } m_headless;

public:
    BenchApplication(int &argc, char **argv) : app(argc, argv)
    {
        InstallSystemEnvironment();
        env().prompts = std::make_shared<PrintedPrompts>();
    }
    QApplication app;
};
