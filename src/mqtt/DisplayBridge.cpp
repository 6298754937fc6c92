#include "mqtt/DisplayBridge.h"

#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/RemoteDisplay.h"
#include "controller/TrafficLog.h"
#include "mqtt/MqttClient.h"
#include "mqtt/MqttCommand.h"

#include <QCoreApplication>

namespace {

// Tickets of their own, far from the window's, the guests' and the pump's.
constexpr quint64 firstTicket = quint64(1) << 61;

QString origin()
{
    return QStringLiteral("MQTT");
}

} // namespace

DisplayBridge::DisplayBridge(MqttOutlet& outlet, DisplayController& controller, QString name,
                             QString host, QObject* parent)
    : QObject(parent)
    , m_outlet(outlet)
    , m_controller(controller)
    , m_name(std::move(name))
    , m_host(std::move(host))
    , m_nextTicket(firstTicket)
{
    connect(&controller.display(), &RemoteDisplay::changed, this, &DisplayBridge::refresh);
    connect(&controller.display(), &RemoteDisplay::answeredChanged, this, &DisplayBridge::refresh);
    connect(&controller.line(), &LineSession::connectionChanged, this, &DisplayBridge::refresh);
    connect(&controller.pump(), &CommandPump::finished, this, &DisplayBridge::onFinished);
    refresh();
}

QString DisplayBridge::serialToken() const
{
    return m_serial.isEmpty() ? QString() : HomeAssistant::token(m_serial);
}

void DisplayBridge::republish()
{
    m_published.clear();
    m_announced.reset();
    refresh();
}

void DisplayBridge::sayOffline()
{
    if (!m_serial.isEmpty())
        put(HomeAssistant::availabilityTopic(m_serial), HomeAssistant::offline(), true);
}

bool DisplayBridge::available() const
{
    const bool connected = m_controller.line().connection().is(ConnectionState::Case::connected);
    return connected && m_controller.display().state().displayAnswered() && !m_silent;
}

std::optional<QByteArray> DisplayBridge::stateOf(const HomeAssistant::Entity& entity) const
{
    const DisplayState& state = m_controller.display().state();
    if (!entity.setting || state.standing(*entity.setting) != DisplayState::Standing::live)
        return std::nullopt;
    const auto& value = state.knowledge(*entity.setting).value;
    if (!value)
        return std::nullopt;
    return value->toUtf8();
}

void DisplayBridge::refresh()
{
    const DisplayState& state = m_controller.display().state();
    const auto live = [&](DisplaySetting setting) -> QString {
        if (state.standing(setting) != DisplayState::Standing::live)
            return {};
        return state.knowledge(setting).value.value_or(QString());
    };
    const QString serial = live(DisplaySetting::serialNumber);
    if (!serial.isEmpty() && serial != m_serial) {
        // A swapped display behind the same line: the old one leaves Home Assistant.
        if (!m_serial.isEmpty()) {
            for (const MqttMessage& message : HomeAssistant::removal(m_serial))
                put(message.topic, message.payload, true);
            m_controller.log().info(
                tr("MQTT: anderes Display (Seriennummer %1 statt %2) – das alte wird entfernt.")
                    .arg(serial, m_serial));
        }
        m_serial = serial;
        m_announced.reset();
        m_published.clear();
    }
    if (m_serial.isEmpty() || !m_outlet.isConnected())
        return;
    DisplayIdentity identity{m_serial, live(DisplaySetting::modelNumber),
                             live(DisplaySetting::firmware), m_name,
                             m_controller.display().series()};
    // Model and firmware come with the serial; what was announced stays until they change.
    if (m_announced) {
        if (identity.model.isEmpty())
            identity.model = m_announced->model;
        if (identity.firmware.isEmpty())
            identity.firmware = m_announced->firmware;
    }
    if (identity != m_announced) {
        for (const MqttMessage& message : HomeAssistant::discovery(identity, m_host))
            m_outlet.publish(message);
        m_announced = identity;
    }
    put(HomeAssistant::availabilityTopic(m_serial),
        available() ? HomeAssistant::online() : HomeAssistant::offline(), false);
    for (const HomeAssistant::Entity& entity : HomeAssistant::entities())
        publishState(entity, false);
}

void DisplayBridge::publishState(const HomeAssistant::Entity& entity, bool evenIfSame)
{
    if (m_serial.isEmpty() || !entity.setting)
        return;
    if (const auto payload = stateOf(entity))
        put(HomeAssistant::stateTopic(m_serial, entity.object), *payload, evenIfSame);
}

void DisplayBridge::put(const QString& topic, const QByteArray& payload, bool evenIfSame)
{
    if (!m_outlet.isConnected())
        return;
    const auto found = m_published.find(topic);
    if (!evenIfSame && found != m_published.end() && found->second == payload)
        return;
    m_outlet.publish({topic, payload, true});
    m_published[topic] = payload;
}

void DisplayBridge::refuse(const QString& object, const QString& why)
{
    m_controller.log().error(tr("MQTT: %1").arg(why));
    if (const HomeAssistant::Entity* entity = HomeAssistant::entityFor(object))
        publishState(*entity, true);
}

void DisplayBridge::command(const QString& object, const QByteArray& payload, bool retained)
{
    // A command kept by the broker would run again at every connect.
    if (retained) {
        refuse(object, tr("ein gespeicherter (retained) Befehl für %1 wird nicht ausgeführt.")
                           .arg(HomeAssistant::token(object)));
        return;
    }
    auto parsed = MqttCommand::parse(object, payload, m_controller.display().series());
    if (const QString* refusal = std::get_if<QString>(&parsed)) {
        refuse(object, tr("Befehl abgelehnt – %1").arg(*refusal));
        return;
    }
    const SetAction action = std::get<SetAction>(parsed);
    if (!m_controller.display().canAct()) {
        refuse(object, tr("%1 nicht gesendet – %2")
                           .arg(action.commandText(), m_controller.display().whyInert()));
        return;
    }
    SmartCommand command{action.commandText()};
    command.ticket = m_nextTicket++;
    command.origin = origin();
    const quint64 ticket = command.ticket;
    m_pending.insert(ticket, action);
    if (m_controller.pump().send(std::move(command)) == 0) {
        m_pending.remove(ticket);
        refuse(object, tr("%1 nicht gesendet – die Leitung nimmt gerade keine Befehle an.")
                           .arg(action.commandText()));
    }
}

void DisplayBridge::onFinished(const CommandResult& result)
{
    using Outcome = CommandResult::Outcome;
    if (result.outcome == Outcome::timedOut || result.outcome == Outcome::answered ||
        result.outcome == Outcome::refused) {
        const bool silent = result.outcome == Outcome::timedOut;
        if (silent != m_silent) {
            m_silent = silent;
            refresh();
        }
    }
    const auto found = m_pending.find(result.command.ticket);
    if (found == m_pending.end())
        return;
    const SetAction action = found.value();
    m_pending.erase(found);
    const HomeAssistant::Entity* entity = HomeAssistant::entityFor(action.setting);
    if (!entity)
        return;
    const auto told = stateOf(*entity);
    const auto wanted = action.wantedValue();
    // Confirmed: its state went out with the display's answer.
    if (result.outcome == Outcome::answered && told && wanted && *told == wanted->toUtf8()) {
        publishState(*entity, false);
        return;
    }
    const QString why = result.outcome != Outcome::answered ? result.error
                        : told ? tr("das Display meldet %1").arg(QString::fromUtf8(*told))
                               : tr("das Display hat den Wert nicht bestätigt");
    refuse(entity->object, tr("%1 – %2").arg(action.commandText(), why));
}
