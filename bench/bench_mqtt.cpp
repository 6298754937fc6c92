// "bildwartctl serve --mqtt" as Home Assistant meets it, against a private Mosquitto:
//  - from a command message to the confirmed state: one simulated display (bildwartctl
//    simulate on a pseudo-terminal), 50 volume commands in turn, each published on the
//    display's command topic 0.2 s after the last was confirmed and timed until its state
//    topic carries the new value; median and 95th percentile;
//  - the memory of serve holding 100 displays (the gateway fleet fixture, raw TCP ports with
//    the simulated display's rules and 1 ms answer latency), measured once every display's
//    availability is online: peak and current resident memory.
//
// Usage: bench_mqtt [COMMANDS]   (default 50)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int brokerPort = 19883;
constexpr int fleetSize = 100;
constexpr auto waitLimit = 120s;

// Home Assistant's side: every message seen, by topic, with a wait for one to change.
class Watcher {
public:
    Watcher()
    {
        mosquitto_lib_init();
        m_client = mosquitto_new(nullptr, true, this);
        mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_message_callback_set(
            m_client, [](mosquitto*, void* self, const mosquitto_message* m) {
                auto* watcher = static_cast<Watcher*>(self);
                std::lock_guard lock(watcher->m_mutex);
                watcher->m_last[m->topic] =
                    std::string(static_cast<const char*>(m->payload), size_t(m->payloadlen));
                watcher->m_changed.notify_all();
            });
    }
    ~Watcher()
    {
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
        mosquitto_destroy(m_client);
    }
    bool connect(const char* pattern)
    {
        if (mosquitto_connect(m_client, "127.0.0.1", brokerPort, 30) != MOSQ_ERR_SUCCESS)
            return false;
        mosquitto_subscribe(m_client, nullptr, pattern, 0);
        return mosquitto_loop_start(m_client) == MOSQ_ERR_SUCCESS;
    }
    void publish(const std::string& topic, const std::string& payload)
    {
        mosquitto_publish(m_client, nullptr, topic.c_str(), int(payload.size()), payload.data(), 0,
                          false);
    }
    // Until `done` holds for what was seen, at most the wait limit.
    template <typename Done>
    bool waitUntil(Done done)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, waitLimit, [&] { return done(m_last); });
    }

private:
    mosquitto* m_client = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, std::string> m_last;
};

double peakMb(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QStringLiteral("%1:\\s+(\\d+) kB").arg(field));
    const auto match = line.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toDouble() / 1024.0 : -1;
}

bool startBroker(QProcess& broker, const QTemporaryDir& dir)
{
    QFile config(dir.filePath("mosquitto.conf"));
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence "
                                "false\nset_tcp_nodelay true\n")
                     .arg(brokerPort)
                     .toUtf8());
    config.close();
    broker.start("mosquitto", {"-c", config.fileName()});
    return broker.waitForStarted() && !broker.waitForFinished(1000);
}

void stop(QProcess& process)
{
    process.terminate();
    if (!process.waitForFinished(10'000))
        process.kill();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int commands = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.filePath("run").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
    QDir().mkpath(dir.filePath("run"));
    QProcess broker;
    if (!startBroker(broker, dir)) {
        std::fprintf(stderr, "mosquitto did not start on port %d\n", brokerPort);
        return 1;
    }
    const QString url = QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort);

    // From a command to its confirmed state.
    {
        QProcess simulator;
        simulator.start(BILDWARTCTL, {"simulate", "--link", dir.filePath("aula")});
        simulator.waitForReadyRead(10'000);
        QProcess serve;
        serve.start(BILDWARTCTL, {"serve", "-p", dir.filePath("aula"), "--mqtt", url});
        Watcher watcher;
        const std::string state = "bildwart/SIM0000001/volume";
        if (!watcher.connect("bildwart/#") ||
            !watcher.waitUntil([&](const auto& seen) { return seen.count(state) > 0; })) {
            std::fprintf(stderr, "serve did not publish the volume in time\n");
            return 1;
        }
        std::vector<double> ms;
        for (int i = 0; i < commands; ++i) {
            // As someone moving a slider: a pause between commands longer than the pause
            // the display needs between two commands (0.05 s), which is not measured here.
            QThread::msleep(200);
            const std::string value = std::to_string(31 + i % 60);
            const auto sent = Clock::now();
            watcher.publish(state + "/set", value);
            if (!watcher.waitUntil([&](const auto& seen) { return seen.at(state) == value; })) {
                std::fprintf(stderr, "command %d was not confirmed in time\n", i + 1);
                return 1;
            }
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        }
        std::sort(ms.begin(), ms.end());
        std::printf("command to confirmed state, %d commands: median %.1f ms, p95 %.1f ms, "
                    "max %.1f ms\n",
                    commands, ms[ms.size() / 2], ms[size_t(double(ms.size() - 1) * 0.95)],
                    ms.back());
        stop(serve);
        stop(simulator);
    }

    // serve's memory with a hundred displays.
    {
        QProcess fleet;
        const QString targets = dir.filePath("fleet.txt");
        fleet.start(BENCH_GATEWAY_FLEET, {QString::number(fleetSize), targets});
        if (!fleet.waitForReadyRead(30'000)) {
            std::fprintf(stderr, "the fleet fixture did not start\n");
            return 1;
        }
        QProcess serve;
        serve.setStandardErrorFile(QProcess::nullDevice());
        serve.start(BILDWARTCTL, {"serve", "--targets", targets, "--poll", "30", "--mqtt", url});
        Watcher watcher;
        QElapsedTimer took;
        took.start();
        const bool all =
            watcher.connect("bildwart/+/availability") && watcher.waitUntil([](const auto& seen) {
                return std::count_if(seen.begin(), seen.end(), [](const auto& entry) {
                           return entry.second == "online";
                       }) >= fleetSize;
            });
        // Every display announced and polled once: a full round at the 30 s poll.
        QThread::sleep(31);
        std::printf("serve with %d displays (%s after %.1f s): peak %.1f MB, now %.1f MB\n",
                    fleetSize, all ? "all online" : "NOT all online", double(took.elapsed()) / 1000,
                    peakMb(serve.processId(), "VmHWM"), peakMb(serve.processId(), "VmRSS"));
        stop(serve);
        fleet.closeWriteChannel();
        stop(fleet);
    }
    stop(broker);
    return 0;
}
