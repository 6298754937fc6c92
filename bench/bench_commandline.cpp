// What bildwartctl costs as a whole process, against display simulators on pseudo-terminals:
//  - one-shot: "bildwartctl get volume" against the minimal raw client (bench_rawclient),
//    which does the same exchange (prompt, pause, "get volume") and nothing else;
//  - fleet: "status" for 20 displays with --targets (all at once) against "status" for one;
//  - a settings file of 60 MB (the window may have stored anything there) against an empty
//    one, for "get volume": the tool reads only the keys it needs.
//  - "get volume" through a running session ("bildwartctl serve" holding the line) against
//    the same on a line of its own (open, prompt request, command), in turns.
// Goals: the one-shot at most 1.5 times the raw client; the fleet at most 1.5 times one; the
// large settings file at most 1.1 times the empty one; through the session at most 0.7 times
// the direct way.
//
// Usage: bench_commandline [runs per measurement, default 15]
#include "QuietSpawn.h"
#include "SimulatorThread.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int fleetSize = 20;
constexpr double goal = 1.5;
constexpr double settingsGoal = 1.1;
constexpr double sessionGoal = 0.7;
// What a settings file grown for any reason may hold: a large value the tool does not need,
// in the section where its own keys are, sorted before them.
constexpr qsizetype largeValueBytes = 60 * 1024 * 1024;

bool writeLargeSettings(const QString& configHome)
{
    QDir(configHome).mkpath(QStringLiteral("Halvorn"));
    QFile file(configHome + QStringLiteral("/Halvorn/Bildwart.conf"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("[General]\nautoReconnect=true\ndetailSplit=@ByteArray(");
    file.write(QByteArray(largeValueBytes, 'x'));
    file.write(")\npollingEnabled=true\n[Window]\ngeometry=1\n");
    return file.error() == QFile::NoError;
}

// Runs a program to its end with stdout to /dev/null; seconds, or -1 when it failed.
double runSeconds(const QStringList& command)
{
    const auto start = Clock::now();
    const pid_t pid = spawnQuietly(command);
    if (pid < 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

double median(const QStringList& command, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double seconds = runSeconds(command);
        if (seconds < 0) {
            std::fprintf(stderr, "failed: %s\n", qPrintable(command.join(u' ')));
            return -1;
        }
        times.push_back(seconds);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Medians of two commands run in turns, so that the machine's moods fall on both alike.
std::pair<double, double> pairedMedians(const QStringList& a, const QStringList& b, int runs)
{
    std::vector<double> first;
    std::vector<double> second;
    for (int i = 0; i < runs; ++i) {
        first.push_back(runSeconds(a));
        second.push_back(runSeconds(b));
        if (first.back() < 0 || second.back() < 0)
            return {-1, -1};
    }
    std::sort(first.begin(), first.end());
    std::sort(second.begin(), second.end());
    return {first[first.size() / 2], second[second.size() / 2]};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    // The tool must not read the user's settings: a store of its own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    // Answering on a thread of their own: this one waits for each run to end.
    const SimulatorThread simulators(fleetSize, false);
    if (simulators.devicePaths().size() != fleetSize)
        return 2;
    QTemporaryDir dir;
    QFile targets(dir.filePath("ziele.txt"));
    if (!targets.open(QIODevice::WriteOnly))
        return 2;
    for (int i = 0; i < fleetSize; ++i)
        targets.write(simulators.devicePaths().at(i).toLocal8Bit() + " Raum " +
                      QByteArray::number(i + 1) + "\n");
    targets.close();
    const QString one = simulators.devicePaths().front();

    const double raw = median({BENCH_RAWCLIENT, one}, runs);
    const double tool = median({BILDWARTCTL, "-p", one, "get", "volume"}, runs);
    const double single = median({BILDWARTCTL, "-p", one, "status"}, runs);
    // All twenty at once: with the default of 16 the last four would wait for a first one.
    const double fleet = median({BILDWARTCTL, "--targets", targets.fileName(), "--parallel",
                                 QString::number(fleetSize), "status"},
                                runs);

    // The same "get volume" with a store of 60 MB, in the same run.
    QTemporaryDir largeConfig;
    if (!writeLargeSettings(largeConfig.path()))
        return 2;
    qputenv("XDG_CONFIG_HOME", largeConfig.path().toLocal8Bit());
    const double large = median({BILDWARTCTL, "-p", one, "get", "volume"}, runs);
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const double empty = median({BILDWARTCTL, "-p", one, "get", "volume"}, runs);

    // A session holding the second display; the third is opened by each run itself.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString held = simulators.devicePaths().at(1);
    const QString own = simulators.devicePaths().at(2);
    const pid_t serve = spawnQuietly({BILDWARTCTL, "serve", "-p", held, "--poll", "3600"});
    const QString socketFolder = runtime.path() + QStringLiteral("/bildwart");
    const auto served = Clock::now();
    {
        QEventLoop waiting;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, &waiting, [&] {
            const bool there = QDir(socketFolder).exists() && !QDir(socketFolder).isEmpty();
            if (there || Clock::now() - served > std::chrono::seconds(20))
                waiting.quit();
        });
        look.start(20);
        waiting.exec();
    }
    const auto [shared, direct] = pairedMedians({BILDWARTCTL, "-p", held, "get", "volume"},
                                                {BILDWARTCTL, "-p", own, "get", "volume"}, runs);
    ::kill(serve, SIGTERM);
    ::waitpid(serve, nullptr, 0);
    if (raw < 0 || tool < 0 || single < 0 || fleet < 0 || large < 0 || empty < 0 || shared < 0)
        return 1;

    std::printf("one-shot \"get volume\" (whole process, median of %d):\n", runs);
    std::printf("    raw client %.1f ms, bildwartctl %.1f ms: %.2f x (goal <= %.1f)\n", raw * 1e3,
                tool * 1e3, tool / raw, goal);
    std::printf("status for %d displays with --targets against one (median of %d):\n", fleetSize,
                runs);
    std::printf("    one %.1f ms, fleet %.1f ms: %.2f x (goal <= %.1f)\n", single * 1e3,
                fleet * 1e3, fleet / single, goal);
    std::printf("\"get volume\" with a 60 MB settings file against an empty one (median of %d):\n",
                runs);
    std::printf("    empty %.1f ms, 60 MB %.1f ms: %.2f x (goal <= %.1f)\n", empty * 1e3,
                large * 1e3, large / empty, settingsGoal);
    std::printf("\"get volume\" through a running session against a line of its own (median of "
                "%d, in turns):\n",
                runs);
    std::printf("    own line %.1f ms, session %.1f ms: %.2f x (goal <= %.1f)\n", direct * 1e3,
                shared * 1e3, shared / direct, sessionGoal);
    const bool met = tool / raw <= goal && fleet / single <= goal &&
                     large / empty <= settingsGoal && shared / direct <= sessionGoal;
    std::printf("%s\n", met ? "goals met" : "GOALS MISSED");
    return met ? 0 : 1;
}
