#include "BenchTools.h"

#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace BenchTools {

int g_runs = 3;

Timing measure(const std::function<void()> &fn, const std::function<void()> &between)
{
    fn();
    if (between)
        between();
    std::vector<double> ms;
    for (int i = 0; i < g_runs; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (between)
            between();
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

QString fmt(const Timing &t)
{
    return QStringLiteral("best %1 ms, median %2 ms")
        .arg(t.best, 0, 'f', 1)
        .arg(t.median, 0, 'f', 1);
}

void say(const QString &line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void GrepRun::run(bool count)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Byte semantics and A-Z folding only, as the program searches.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    if (!count)
        p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral("grep"), args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() > 1) {
        failed = true;
        return;
    }
    if (count) {
        const QByteArray out = p.readAllStandardOutput();
        hits = out.count('\n');
    }
}

} // namespace BenchTools
