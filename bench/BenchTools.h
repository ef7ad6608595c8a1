#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Timing and the grep peer, shared by the benchmarks.
namespace BenchTools {

struct Timing
{
    double best = 0;   // ms
    double median = 0; // ms
};

// Timed runs after one warm-up.
extern int g_runs;

// One untimed run to warm the caches, then g_runs timed ones; between runs off the clock.
Timing measure(const std::function<void()> &fn, const std::function<void()> &between = {});

QString fmt(const Timing &t);

// One line to standard output, at once.
void say(const QString &line);

// grep over the directory with byte semantics; the number of files it listed (when counted).
struct GrepRun
{
    QStringList args;
    qsizetype hits = -1;
    bool failed = false;

    void run(bool count);
};

} // namespace BenchTools
