#include "mqtt/MqttCredentials.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("MqttCredentials", text);
}

// A password in a file others may read is no secret: said, not refused, since the
// administrator may have reasons (a group of operators).
std::optional<QString> exposure(const QString& fileName)
{
    const QFileInfo file(fileName);
    if (file.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup))
        return tr("Warnung: %1 ist für andere Benutzer lesbar – chmod 600 %1.").arg(fileName);
    return std::nullopt;
}

} // namespace

MqttCredentials::Loaded MqttCredentials::parse(const QByteArray& text, const QString& fileName)
{
    Loaded loaded;
    MqttCredentials read;
    bool hasUser = false;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith('#'))
            continue;
        const qsizetype equals = line.indexOf('=');
        const QString key = QString::fromUtf8(line.left(equals)).trimmed().toLower();
        // The value as it stands: a password may begin or end with a space.
        const QString value = QString::fromUtf8(line.mid(equals + 1));
        if (equals < 0 || (key != u"user" && key != u"password")) {
            loaded.error = tr("%1, Zeile %2: erwartet user=NAME oder password=GEHEIM.")
                               .arg(fileName)
                               .arg(i + 1);
            return loaded;
        }
        if (key == u"user") {
            read.user = value.trimmed();
            hasUser = true;
        } else {
            read.password = value;
        }
    }
    if (!hasUser || read.user.isEmpty()) {
        loaded.error = tr("%1: kein Benutzer (user=NAME).").arg(fileName);
        return loaded;
    }
    loaded.credentials = read;
    return loaded;
}

MqttCredentials::Loaded MqttCredentials::load(const std::optional<QString>& file,
                                              const QProcessEnvironment& environment)
{
    if (file) {
        QFile input(*file);
        if (!input.open(QIODevice::ReadOnly)) {
            Loaded loaded;
            loaded.error =
                tr("Zugangsdaten %1 lassen sich nicht lesen: %2").arg(*file, input.errorString());
            return loaded;
        }
        Loaded loaded = parse(input.read(64 * 1024), *file);
        if (const auto warning = exposure(*file))
            loaded.warnings.append(*warning);
        return loaded;
    }
    const QString user = environment.value(QStringLiteral("BILDWART_MQTT_USER"));
    if (user.isEmpty()) {
        Loaded loaded;
        if (environment.contains(QStringLiteral("BILDWART_MQTT_PASSWORD")))
            loaded.warnings.append(
                tr("Warnung: BILDWART_MQTT_PASSWORD ohne BILDWART_MQTT_USER – ohne Anmeldung."));
        return loaded;
    }
    Loaded loaded;
    loaded.credentials =
        MqttCredentials{user, environment.value(QStringLiteral("BILDWART_MQTT_PASSWORD"))};
    return loaded;
}
