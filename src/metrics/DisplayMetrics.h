#pragma once

#include <QObject>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DisplayController;
struct CommandResult;

namespace prometheus {
class Counter;
template <typename T>
class Family;
class Gauge;
class Registry;
} // namespace prometheus

// The metric families of one registry, made once; each display adds its series to them.
struct MetricFamilies {
    explicit MetricFamilies(prometheus::Registry& registry);

    prometheus::Family<prometheus::Gauge>& up;
    prometheus::Family<prometheus::Gauge>& lastAnswer;
    prometheus::Family<prometheus::Gauge>& powerState;
    prometheus::Family<prometheus::Gauge>& input;
    prometheus::Family<prometheus::Gauge>& volume;
    prometheus::Family<prometheus::Gauge>& brightness;
    prometheus::Family<prometheus::Gauge>& mute;
    prometheus::Family<prometheus::Gauge>& videoFreeze;
    prometheus::Family<prometheus::Gauge>& screenShade;
    prometheus::Family<prometheus::Gauge>& info;
    prometheus::Family<prometheus::Counter>& dropouts;
    prometheus::Family<prometheus::Counter>& timeouts;
    prometheus::Family<prometheus::Counter>& reconnects;
    prometheus::Family<prometheus::Gauge>& pollDuration;
};

// One display's series, kept as the controller learns: up, when it last answered, its
// power state and input (one series per possible value, 1 for the current one), the levels
// and switches while they are known, its identity, and its line's trouble. A value the
// display has not told on this line has no series: unknown is not 0. Everything here runs
// on the event loop; the exposer's threads read the series through the library's own locks.
class DisplayMetrics : public QObject {
    Q_OBJECT

public:
    // `labels`: target, name and, when the display has them, groups.
    DisplayMetrics(MetricFamilies& families, DisplayController& controller,
                   std::map<std::string, std::string> labels);
    ~DisplayMetrics() override;

private:
    void refresh();
    void onFinished(const CommandResult& result);
    void setUp(bool up);
    void onLogAppended(int count);
    // A series that comes and goes with what is known: its family and extra labels are
    // fixed when the display is added, so a refresh only compares numbers.
    struct Slot {
        prometheus::Family<prometheus::Gauge>* family;
        std::map<std::string, std::string> extra;
        prometheus::Gauge* series = nullptr;
    };
    // Sets the slot's series, or removes it for no value.
    void keep(Slot& slot, std::optional<double> value);

    MetricFamilies& m_families;
    DisplayController& m_controller;
    std::map<std::string, std::string> m_labels;
    prometheus::Gauge* m_up = nullptr;
    prometheus::Gauge* m_lastAnswer = nullptr;
    prometheus::Counter* m_dropouts = nullptr;
    prometheus::Counter* m_timeouts = nullptr;
    prometheus::Counter* m_reconnects = nullptr;
    prometheus::Gauge* m_pollDuration = nullptr;
    // power states, inputs, volume, brightness, mute, video freeze, screen shade, in order
    std::vector<Slot> m_slots;
    Slot m_info{};
    qint64 m_dropoutsSeen = 0;
    int m_reconnectsSeen = 0;
    int m_timeoutsSeen = 0;
    qint64 m_pollSentUs = -1; // when the poll command on the line went out (steady clock)
};
