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
    QString openFileName(const QString &, const QString &) override
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

// The median of `runs` timings of `work`, in milliseconds.
inline double medianMs(const std::function<void()> &work, int runs = 7)
{
    std::vector<double> v;
    for (int i = 0; i < runs; ++i)
        v.push_back(elapsedMs(work));
    return medianOf(v);
}

// The median of `runs` timings of `work`, each after `prepare` (not timed).
inline double medianMsAfter(const std::function<void()> &prepare, const std::function<void()> &work, int runs = 7)
{
    std::vector<double> v;
    for (int i = 0; i < runs; ++i) {
        prepare();
        v.push_back(elapsedMs(work));
    }
    return medianOf(v);
}

// The medians of `runs` timings of each of `works`, taken in turn, so that a
// machine busy with something else slows them alike.
inline std::vector<double> interleavedMediansMs(const std::vector<std::function<void()>> &works, int runs = 7)
{
    std::vector<std::vector<double>> times(works.size());
    for (int i = 0; i < runs; ++i)
        for (size_t w = 0; w < works.size(); ++w)
            times[w].push_back(elapsedMs(works[w]));
    std::vector<double> medians;
    for (const std::vector<double> &t : times)
        medians.push_back(medianOf(t));
    return medians;
}

// One figure of the program beside the same work done raw, and their ratio.
inline void printVersus(const char *what, double ours, double raw, const char *note = "")
{
    std::printf("%-46s %9.2f ms   crudo %9.2f ms   %5.2fx %s\n", what, ours, raw, raw > 0 ? ours / raw : 0.0, note);
    std::fflush(stdout);
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
