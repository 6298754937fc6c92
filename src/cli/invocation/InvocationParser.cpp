#include "cli/invocation/InvocationParser.h"

#include "cli/invocation/OptionTable.h"
#include "protocol/HexBytes.h"

#include <QCoreApplication>

namespace {

using Command = Invocation::Command;

// A mistake in the call itself, with the way to every command and option.
QString withHelpHint(const QString& problem)
{
    return QCoreApplication::translate("InvocationParser", "%1 – „bildwartctl --help“ zeigt alle.")
        .arg(problem);
}

struct GivenOption {
    const OptionDefinition* definition;
    QString spelling; // as typed, for messages
    QString value;
};

// "-5" and "-0.5" are values, not options: no option name starts with a digit.
bool looksLikeOption(const QString& argument)
{
    return argument.size() > 1 && argument.front() == u'-' && !argument.at(1).isDigit() &&
           argument.at(1) != u'.';
}

const OptionDefinition* findOption(const QString& name, bool isShort)
{
    for (const OptionDefinition& definition : optionTable()) {
        if (isShort ? (!definition.shortName.isNull() && name == definition.shortName)
                    : name == definition.longName)
            return &definition;
    }
    return nullptr;
}

const CommandDefinition* findCommand(const QString& name)
{
    for (const CommandDefinition& definition : commandTable()) {
        if (definition.name == name)
            return &definition;
    }
    return nullptr;
}

bool isHelpRequest(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument == u"--")
            return false;
        if (argument == u"-h" || argument == u"--help")
            return true;
    }
    return arguments.value(0) == u"help";
}

bool hasControlCharacter(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

// The command's own arguments, checked so that nothing malformed reaches the line.
std::optional<QString> takeArguments(Invocation& invocation, const QStringList& arguments)
{
    switch (invocation.command) {
    case Command::get: {
        const QString& name = arguments.first();
        if (name.isEmpty() || hasControlCharacter(name) ||
            std::any_of(name.begin(), name.end(), [](QChar c) { return c.isSpace(); }))
            return QCoreApplication::translate("InvocationParser",
                                               "„%1“ ist kein Name einer Einstellung.")
                .arg(name);
        invocation.settingName = name.toLower();
        return std::nullopt;
    }
    case Command::set: {
        auto parsed = SetAction::parse(arguments.at(0), arguments.at(1));
        if (const QString* error = std::get_if<QString>(&parsed))
            return *error;
        invocation.action = std::get<SetAction>(parsed);
        return std::nullopt;
    }
    case Command::send:
        for (const QString& line : arguments) {
            // A line break inside one argument would put two commands on the line
            // under one prompt, and the handshake would lose count.
            if (line.contains(u'\r') || line.contains(u'\n'))
                return QCoreApplication::translate(
                    "InvocationParser", "Eine Befehlszeile enthält einen Zeilenumbruch – "
                                        "jede Zeile als eigenes Argument angeben.");
        }
        invocation.lines = arguments;
        return std::nullopt;
    case Command::raw:
        if (!invocation.hex) {
            invocation.rawData = arguments.first().toUtf8();
            return std::nullopt;
        }
        if (const auto bytes = parseHexBytes(arguments.first())) {
            invocation.rawData = *bytes;
            return std::nullopt;
        }
        // Worded as invalidHexText(), but with the colon even after an empty argument.
        return QCoreApplication::translate("InvocationParser", "Ungültige Hex-Eingabe: %1")
            .arg(arguments.first());
    case Command::doctor:
        if (arguments.isEmpty())
            return std::nullopt;
        if (invocation.port && *invocation.port != arguments.first())
            return QCoreApplication::translate("InvocationParser",
                                               "Zwei Ports angegeben: „%1“ und „%2“.")
                .arg(*invocation.port, arguments.first());
        if (arguments.first().isEmpty())
            return QCoreApplication::translate("InvocationParser",
                                               "doctor braucht einen Pfad oder gar nichts.");
        invocation.port = arguments.first();
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

QString padded(const QString& text, qsizetype width)
{
    return text.size() >= width ? text + u' ' : text.leftJustified(width);
}

} // namespace

std::variant<Invocation, QString> InvocationParser::parse(const QStringList& arguments)
{
    if (isHelpRequest(arguments))
        return Invocation{};

    QList<GivenOption> options;
    QStringList words;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!optionsEnded && argument == u"--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !looksLikeOption(argument)) {
            words.append(argument);
            continue;
        }
        const bool isShort = !argument.startsWith(u"--");
        QString name = argument.mid(isShort ? 1 : 2);
        std::optional<QString> value;
        const qsizetype split = isShort ? (name.size() > 1 ? 1 : -1) : name.indexOf(u'=');
        if (split >= 0) {
            value = name.mid(split + (isShort ? 0 : 1));
            name.truncate(split);
        }
        const QString spelling = (isShort ? QStringLiteral("-") : QStringLiteral("--")) + name;
        const OptionDefinition* definition = findOption(name, isShort);
        if (!definition)
            return withHelpHint(
                QCoreApplication::translate("InvocationParser", "Unbekannte Option „%1“")
                    .arg(spelling));
        if (definition->takesValue() && !value) {
            if (i + 1 >= arguments.size())
                return QCoreApplication::translate("InvocationParser",
                                                   "Option „%1“ braucht einen Wert (%2).")
                    .arg(spelling, definition->valueName);
            value = arguments.at(++i);
        } else if (!definition->takesValue() && value) {
            return QCoreApplication::translate("InvocationParser", "Option „%1“ nimmt keinen Wert.")
                .arg(spelling);
        }
        options.append({definition, spelling, value.value_or(QString())});
    }

    if (words.isEmpty())
        return withHelpHint(
            QCoreApplication::translate("InvocationParser", "Kein Befehl angegeben"));
    const CommandDefinition* command = findCommand(words.first());
    if (!command)
        return withHelpHint(
            QCoreApplication::translate("InvocationParser", "Unbekannter Befehl „%1“")
                .arg(words.first()));

    Invocation invocation;
    invocation.command = command->command;
    for (const GivenOption& given : options) {
        if (!given.definition->appliesTo(command->command))
            return QCoreApplication::translate("InvocationParser",
                                               "Option „%1“ gilt nicht für „%2“.")
                .arg(given.spelling, command->name);
        if (auto error = given.definition->store(invocation, given.value))
            return *error;
    }

    const QStringList commandArguments = words.mid(1);
    if (commandArguments.size() < command->minArguments)
        return withHelpHint(QCoreApplication::translate("InvocationParser", "„%1“ braucht %2.")
                                .arg(command->name, command->synopsis));
    if (command->maxArguments >= 0 && commandArguments.size() > command->maxArguments)
        return QCoreApplication::translate("InvocationParser", "Zu viele Argumente für „%1“: „%2“.")
            .arg(command->name, commandArguments.at(command->maxArguments));
    if (auto error = takeArguments(invocation, commandArguments))
        return *error;
    if (invocation.targets && invocation.port)
        return QCoreApplication::translate(
            "InvocationParser", "--targets und -p schließen sich aus: die Adressen stehen in der "
                                "Zieldatei.");
    if (invocation.ports.size() > 1 && invocation.command != Command::serve)
        return QCoreApplication::translate("InvocationParser",
                                           "Mehrere -p gelten nur für serve: „%1“ und „%2“.")
            .arg(invocation.ports.at(0), invocation.ports.at(1));
    if (invocation.command == Command::serve && invocation.ports.isEmpty() && !invocation.targets)
        return QCoreApplication::translate("InvocationParser",
                                           "serve braucht -p PORT (mehrfach möglich) oder "
                                           "--targets DATEI.");
    for (const GivenOption& given : options) {
        if (given.definition->forFleet && !invocation.targets)
            return QCoreApplication::translate("InvocationParser", "%1 gilt nur mit --targets.")
                .arg(given.spelling);
    }
    return invocation;
}

QString InvocationParser::helpText()
{
    // Wide enough for the longest option with its values ("--flow none|rtscts|xonxoff").
    constexpr qsizetype optionColumn = 32;
    constexpr qsizetype commandColumn = 10;

    QString text = QCoreApplication::translate(
        "InvocationParser",
        "bildwartctl – SMART-Displays (QX/RX) über RS-232 steuern und die Leitung prüfen\n\n"
        "Aufruf: bildwartctl [OPTIONEN] BEFEHL [ARGUMENTE]\n\nBefehle:\n");
    for (const CommandDefinition& command : commandTable()) {
        text += QStringLiteral("  ") + command.name;
        if (!command.synopsis.isEmpty())
            text += u' ' + command.synopsis;
        text += u'\n';
        for (const QString& line : command.help.split(u'\n'))
            text += QString(commandColumn, u' ') + line + u'\n';
    }
    text += u'\n' + QCoreApplication::translate("InvocationParser", "Optionen:") + u'\n';
    for (const OptionDefinition& option : optionTable()) {
        QString spelling = option.shortName.isNull()
                               ? QStringLiteral("    --") + option.longName
                               : QStringLiteral("-%1, --%2").arg(option.shortName, option.longName);
        if (option.takesValue())
            spelling += u' ' + option.valueName;
        const QStringList help = option.help.split(u'\n');
        text += QStringLiteral("  ") + padded(spelling, optionColumn) + help.first() + u'\n';
        for (const QString& line : help.mid(1))
            text += QString(optionColumn + 2, u' ') + line + u'\n';
    }
    text += QStringLiteral("  ") + padded(QStringLiteral("-h, --help"), optionColumn) +
            QCoreApplication::translate("InvocationParser", "diese Hilfe") + u'\n';
    text += QStringLiteral("  ") + padded(QStringLiteral("    --version"), optionColumn) +
            QCoreApplication::translate("InvocationParser", "Versionsnummer ausgeben") + u'\n';

    QStringList patterns;
    for (TestPattern pattern : allTestPatterns())
        patterns.append(rawValue(pattern));
    text += u'\n' +
            QCoreApplication::translate("InvocationParser", "Testmuster: %1")
                .arg(patterns.join(QStringLiteral(", "))) +
            u'\n';

    text +=
        u'\n' +
        QCoreApplication::translate(
            "InvocationParser",
            "Die Leitungseinstellungen und die zuletzt verbundene Schnittstelle kommen aus den\n"
            "Einstellungen von Bildwart; Optionen gelten nur für diesen Aufruf, gespeichert wird "
            "nichts.\n"
            "Ein Fehler steht als eine deutsche Zeile auf stderr; mit -v steht darüber das\n"
            "Verkehrsprotokoll mit allen Einzelheiten.\n\n"
            "Rückgabewerte:\n"
            "  0  Erfolg\n"
            "  1  das Display meldet einen Fehler oder beantwortet nicht alles rechtzeitig,\n"
            "     hat einen gesetzten Wert nicht übernommen,\n"
            "     ein Paket des Brückentests kam nicht in Ordnung zurück,\n"
            "     doctor hat etwas gefunden,\n"
            "     oder die Ausgabe ließ sich nicht schreiben\n"
            "  2  falscher Aufruf\n"
            "  3  die Schnittstelle lässt sich nicht öffnen, ist abgerissen oder nimmt\n"
            "     keine Daten mehr an\n"
            "  128+N  durch das Signal N beendet (Strg+C: 130, SIGTERM: 143), nachdem die\n"
            "     Schnittstelle geschlossen und alles ausgegeben war\n");
    return text;
}
