#pragma once

#include "controller/values/CommandResult.h"
#include "controller/values/DisplayState.h"

#include <QHash>
#include <QObject>
#include <functional>
#include <memory>

class Clock;
class CommandPump;
class LineSession;
class TrafficLog;

// The display at the far end of the line as this program knows it (DisplayState), and
// what the user asks of it. An action shows its value at once and sends one command; the
// display's answer confirms it, a failure returns the picture to what the display says.
class RemoteDisplay : public QObject {
    Q_OBJECT

public:
    RemoteDisplay(CommandPump& pump, LineSession& session, TrafficLog& log,
                  std::shared_ptr<const Clock> clock, DisplaySeries series,
                  QObject* parent = nullptr);

    const DisplayState& state() const { return m_state; }
    // The series last recognised from a model number, or chosen by the user: which power
    // states to offer, which display the simulator plays.
    DisplaySeries series() const { return m_series; }
    void setSeries(DisplaySeries series);

    // Whether actions reach the display now; otherwise why not, in German. Nothing
    // changes and nothing is sent while they cannot.
    bool canAct() const { return whyInert().isEmpty(); }
    QString whyInert() const;
    // A line test holds the actions while it runs; an empty reason releases them.
    void holdActions(const QString& reason);

    void setPower(PowerState state);
    void setInput(const QString& id);
    void setLevel(DisplaySetting setting, double value);
    void stepLevel(DisplaySetting setting, qint64 steps);
    void setSwitch(DisplaySetting setting, bool on);
    // Needs the display's serial number, which the device information query fetches.
    void factoryReset();

signals:
    // What the program knows of these settings changed (a value, its standing, a command).
    void changed(const QList<DisplaySetting>& settings);
    // Whether a display answered on the open line.
    void answeredChanged();
    void seriesChanged();
    void canActChanged();

private:
    struct Intent {
        DisplaySetting setting;
        bool isSet = false; // a set of ours; otherwise a query for the truth after one
    };

    void change(const std::function<void(DisplayState&)>& edit);
    void sendSet(DisplaySetting setting, const QString& text, const std::optional<QString>& wanted);
    void askAgain(DisplaySetting setting);
    void onEvent(const SmartEvent& event, const std::optional<SmartCommand>& during);
    void onFinished(const CommandResult& result);
    void onOpened();
    void onClosing();

    CommandPump& m_pump;
    LineSession& m_session;
    TrafficLog& m_log;
    std::shared_ptr<const Clock> m_clock;
    DisplayState m_state;
    DisplaySeries m_series;
    QString m_heldBy;
    bool m_couldAct = false;
    quint64 m_connections = 0;
    QHash<quint64, Intent> m_intents; // by ticket
};
