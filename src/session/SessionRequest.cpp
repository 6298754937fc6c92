#include "session/SessionRequest.h"

#include "protocol/HexBytes.h"
#include "protocol/SmartCommand.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("SessionRequest", text);
}

// A command line as the display reads it: printable, one line, not too long.
bool isCommandLine(const QString& line)
{
    if (line.trimmed().isEmpty() || line.size() > SessionRequest::maxCommandLength)
        return false;
    return std::none_of(line.begin(), line.end(), [](QChar c) {
        return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f);
    });
}

bool isName(const QString& name)
{
    static const QRegularExpression word(QStringLiteral("^[a-z][a-z0-9]{0,63}$"));
    return word.match(name).hasMatch();
}

} // namespace

std::variant<SessionRequest, SessionRequest::Refusal> SessionRequest::parse(QByteArrayView line)
{
    if (line.size() > maxLength)
        return Refusal{{}, tr("Anfrage zu lang.")};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Refusal{{}, tr("Keine Anfrage: ein JSON-Objekt je Zeile erwartet.")};
    const QJsonObject object = document.object();
    SessionRequest request;
    request.id = object.value(QStringLiteral("id"));
    if (request.id.isUndefined())
        request.id = QJsonValue::Null;
    if (!request.id.isNull() && !request.id.isDouble() && !request.id.isString())
        return Refusal{{}, tr("„id“ muss eine Zahl oder ein Text sein.")};
    const auto refuse = [&](const QString& text) { return Refusal{request.id, text}; };

    int kinds = 0;
    for (const char* key : {"send", "get", "set", "status", "raw", "watch"})
        kinds += object.contains(QLatin1String(key)) ? 1 : 0;
    if (kinds != 1)
        return refuse(tr("Genau eines von send, get, set, status, raw, watch erwartet."));

    if (const QJsonValue send = object.value(QStringLiteral("send")); !send.isUndefined()) {
        request.kind = Kind::send;
        const QJsonArray list = send.isString() ? QJsonArray{send} : send.toArray();
        if (list.isEmpty() || list.size() > maxCommands)
            return refuse(tr("„send“ braucht 1 bis %1 Befehlszeilen.").arg(maxCommands));
        for (const QJsonValue& entry : list) {
            if (!entry.isString() || !isCommandLine(entry.toString()))
                return refuse(tr("Keine Befehlszeile: eine Zeile druckbarer Zeichen, höchstens "
                                 "%1 lang, erwartet.")
                                  .arg(maxCommandLength));
            request.lines.append(entry.toString().trimmed());
        }
        return request;
    }
    if (const QJsonValue get = object.value(QStringLiteral("get")); !get.isUndefined()) {
        request.kind = Kind::get;
        request.name = get.toString().toLower();
        if (!isName(request.name))
            return refuse(tr("„get“ braucht den Namen einer Einstellung."));
        return request;
    }
    if (const QJsonValue set = object.value(QStringLiteral("set")); !set.isUndefined()) {
        request.kind = Kind::set;
        const QJsonValue value = object.value(QStringLiteral("value"));
        if (value.isDouble() && value.toDouble() != double(value.toInteger()))
            return refuse(tr("„value“ muss eine ganze Zahl sein."));
        const QString text = value.isDouble() ? QString::number(value.toInteger())
                             : value.isBool() ? SmartCommand::onOff(value.toBool())
                                              : value.toString();
        auto action = SetAction::parse(set.toString(), text);
        if (const QString* reason = std::get_if<QString>(&action))
            return refuse(*reason);
        request.action = std::get<SetAction>(action);
        request.name = settingName(request.action->setting);
        return request;
    }
    if (object.contains(QStringLiteral("status"))) {
        request.kind = Kind::status;
        return request;
    }
    if (const QJsonValue raw = object.value(QStringLiteral("raw")); !raw.isUndefined()) {
        request.kind = Kind::raw;
        const auto bytes = parseHexBytes(raw.toString());
        if (!bytes || bytes->isEmpty())
            return refuse(tr("„raw“ braucht Bytes als Hex-Text, z. B. \"55AA\"."));
        request.bytes = *bytes;
        return request;
    }
    request.kind = Kind::watch;
    return request;
}
