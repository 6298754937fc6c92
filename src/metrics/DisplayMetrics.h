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

class Series;
class SeriesFamily;
class SeriesRegistry;

// The metric families of one registry, made once; each display adds its series to them.
struct MetricFamilies {
    explicit MetricFamilies(SeriesRegistry& registry);

    SeriesFamily& up;
    SeriesFamily& lastAnswer;
    SeriesFamily& powerState;
    SeriesFamily& input;
    SeriesFamily& volume;
    SeriesFamily& brightness;
    SeriesFamily& mute;
    SeriesFamily& videoFreeze;
    SeriesFamily& screenShade;
    SeriesFamily& info;
    SeriesFamily& dropouts;
    SeriesFamily& timeouts;
    SeriesFamily& reconnects;
    SeriesFamily& pollDuration;
};

// One display's series, kept as the controller learns: up, when it last answered, its
// power state and input (one series per possible value, 1 for the current one), the levels
// and switches while they are known, its identity, and its line's trouble. A value the
// display has not told on this line has no series: unknown is not 0. Everything here runs
// on the event loop; the exposer's threads read the series through the registry.
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
        SeriesFamily* family;
        std::map<std::string, std::string> extra;
        Series* series = nullptr;
    };
    // Sets the slot's series, or removes it for no value.
    void keep(Slot& slot, std::optional<double> value);

    MetricFamilies& m_families;
    DisplayController& m_controller;
    std::map<std::string, std::string> m_labels;
    Series* m_up = nullptr;
    Series* m_lastAnswer = nullptr;
    Series* m_dropouts = nullptr;
    Series* m_timeouts = nullptr;
    Series* m_reconnects = nullptr;
    Series* m_pollDuration = nullptr;
    // power states, inputs, volume, brightness, mute, video freeze, screen shade, in order
    std::vector<Slot> m_slots;
    Slot m_info{};
    qint64 m_dropoutsSeen = 0;
    int m_reconnectsSeen = 0;
    int m_timeoutsSeen = 0;
    qint64 m_pollSentUs = -1; // when the poll command on the line went out (steady clock)
};
