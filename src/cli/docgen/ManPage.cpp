#include "cli/docgen/ManPage.h"

#include "cli/docgen/Roff.h"
#include "cli/docgen/Vocabulary.h"
#include "cli/invocation/ExitCode.h"
#include "cli/invocation/OptionTable.h"
#include "discovery/SerialPortInfo.h"

#include <QCoreApplication>
#include <QList>
#include <QRegularExpression>
#include <algorithm>
#include <utility>

namespace {

// A word of a synopsis: options and fixed values in bold, placeholders (in capitals) in
// italics, brackets and bars plain.
QString synopsisWord(const QString& word)
{
    qsizetype begin = 0;
    qsizetype end = word.size();
    while (begin < end && word.at(begin) == u'[')
        ++begin;
    while (end > begin && word.at(end - 1) == u']')
        --end;
    const QString core = word.mid(begin, end - begin);
    const bool placeholder = core == core.toUpper() && core != core.toLower();
    QStringList parts;
    for (const QString& part : core.split(u'|'))
        parts.append(placeholder ? Roff::italic(part) : Roff::bold(part));
    return word.left(begin) + parts.join(u'|') + word.mid(end);
}

QString synopsis(const QString& words)
{
    QStringList rendered;
    for (const QString& word : words.split(u' ', Qt::SkipEmptyParts))
        rendered.append(synopsisWord(word));
    return rendered.join(u' ');
}

bool isCommandName(const QString& word)
{
    return std::any_of(commandTable().begin(), commandTable().end(),
                       [&word](const CommandDefinition& command) { return command.name == word; });
}

// A help text of the table as a sentence of the page: a capital first letter (unless it starts
// with the name of a command, "monitor: …"), a final full stop.
QString sentence(const QString& help)
{
    QString text = help;
    static const QRegularExpression firstWord(QStringLiteral("^[a-z]+"));
    if (!text.isEmpty() && !isCommandName(firstWord.match(text).captured()))
        text[0] = text.at(0).toUpper();
    if (!text.endsWith(u'.'))
        text += u'.';
    return Roff::text(text);
}

QString synopsisLines()
{
    QString roff;
    for (const CommandDefinition& command : commandTable()) {
        roff += QStringLiteral(".SY bildwartctl\n[\\fIOPTIONEN\\fR] ") + Roff::bold(command.name);
        if (!command.synopsis.isEmpty())
            roff += u' ' + synopsis(command.synopsis);
        roff += QStringLiteral("\n.YS\n");
    }
    roff += QStringLiteral(".SY bildwartctl\n") + Roff::bold(QStringLiteral("--help")) +
            QStringLiteral(" | ") + Roff::bold(QStringLiteral("--version")) +
            QStringLiteral("\n.YS\n");
    return roff;
}

QString commands()
{
    QString roff;
    for (const CommandDefinition& command : commandTable()) {
        QString tag = Roff::bold(command.name);
        if (!command.synopsis.isEmpty())
            tag += u' ' + synopsis(command.synopsis);
        roff += Roff::taggedParagraph(tag, sentence(command.help));
    }
    return roff;
}

QString optionTag(QChar shortName, const QString& longName, const QString& valueName)
{
    QString tag = Roff::bold(QStringLiteral("--") + longName);
    if (!shortName.isNull())
        tag = Roff::bold(QStringLiteral("-") + shortName) + QStringLiteral(", ") + tag;
    if (!valueName.isEmpty())
        tag += u' ' + synopsisWord(valueName);
    return tag;
}

QString options()
{
    QString roff;
    for (const OptionDefinition& option : optionTable()) {
        roff += Roff::taggedParagraph(
            optionTag(option.shortName, option.longName, option.valueName), sentence(option.help));
    }
    // Answered before the table is consulted, as in the help.
    roff += Roff::taggedParagraph(
        optionTag(u'h', QStringLiteral("help"), {}),
        QCoreApplication::translate("ManPage", "Diese Hilfe ausgeben und nichts weiter tun."));
    roff += Roff::taggedParagraph(
        optionTag({}, QStringLiteral("version"), {}),
        QCoreApplication::translate("ManPage", "Programmname und Versionsnummer ausgeben."));
    return roff;
}

QString boldList(const QStringList& words)
{
    QStringList rendered;
    for (const QString& word : words)
        rendered.append(Roff::bold(word));
    return rendered.join(QStringLiteral(", "));
}

QString settingNames()
{
    return boldList(Vocabulary::settingNames()) + QStringLiteral(".\n");
}

QString settableSettings()
{
    QString roff;
    for (const Vocabulary::SettableSetting& setting : Vocabulary::settableSettings()) {
        QStringList values;
        if (!setting.words.isEmpty())
            values.append(boldList(setting.words));
        if (setting.levels)
            values.append(QCoreApplication::translate(
                              "ManPage", "eine Zahl von \\fB%1\\fR bis \\fB%2\\fR oder ein "
                                         "Schritt \\fB+\\fR\\fIN\\fR bzw. \\fB\\-\\fR\\fIN\\fR")
                              .arg(setting.levels->minimum)
                              .arg(setting.levels->maximum));
        roff += Roff::taggedParagraph(Roff::bold(setting.name),
                                      values.join(QStringLiteral("; ")) + u'.');
    }
    return roff;
}

// A name as the user interface shows it, and below it what it is for.
QString titled(const QString& title, const QString& body)
{
    return QStringLiteral("\\fI") + Roff::text(title) + QStringLiteral("\\fR\n.br\n") +
           Roff::text(body);
}

QString testPatterns()
{
    QString roff;
    for (TestPattern pattern : allTestPatterns())
        roff += Roff::taggedParagraph(Roff::bold(rawValue(pattern)),
                                      titled(label(pattern), hint(pattern)));
    return roff;
}

QString simulatorPorts()
{
    QString roff;
    for (const SerialPortInfo& port : SerialPortInfo::simulatorEntries())
        roff += Roff::taggedParagraph(Roff::bold(port.path), titled(port.name, port.detail + u'.'));
    return roff;
}

QString exitCodeMeaning(ExitCode code)
{
    switch (code) {
    case ExitCode::success:
        return QCoreApplication::translate("ManPage", "Erfolg.");
    case ExitCode::displayFailed:
        return QCoreApplication::translate(
            "ManPage", "Das Display meldet einen Fehler oder antwortet nicht rechtzeitig, "
                       "es hat einen mit set gesetzten Wert nicht übernommen, "
                       "ein Paket des Brückentests kam nicht in Ordnung "
                       "zurück, oder doctor hat etwas gefunden.");
    case ExitCode::usage:
        return QCoreApplication::translate(
            "ManPage", "Falscher Aufruf: unbekannter Befehl, unbekannte Option oder "
                       "ungültiger Wert.");
    case ExitCode::portFailed:
        return QCoreApplication::translate("ManPage",
                                           "Die Schnittstelle lässt sich nicht öffnen oder ist "
                                           "während des Aufrufs abgerissen.");
    }
    return {};
}

QString exitCodes()
{
    // Every code once; exitCodeMeaning() above names each, so a new one must be described.
    constexpr ExitCode codes[] = {ExitCode::success, ExitCode::displayFailed, ExitCode::usage,
                                  ExitCode::portFailed};
    QString roff;
    for (ExitCode code : codes)
        roff +=
            Roff::taggedParagraph(Roff::bold(QString::number(int(code))), exitCodeMeaning(code));
    roff += Roff::taggedParagraph(
        Roff::bold(QStringLiteral("128+N")),
        QCoreApplication::translate("ManPage",
                                    "Durch das Signal N beendet (Strg+C: 130, SIGTERM: 143, "
                                    "SIGHUP: 129), nachdem die Schnittstelle geschlossen und "
                                    "alles ausgegeben war; mit --targets steht jedes Display "
                                    "in der Ausgabe, die nicht begonnenen als „abgebrochen“."));
    return roff;
}

} // namespace

namespace ManPage {

QString fill(const QString& templateText, const QString& version, const QString& date,
             QStringList& problems)
{
    const QList<std::pair<QString, QString>> parts{
        {QStringLiteral("@VERSION@"), version},
        {QStringLiteral("@DATE@"), date},
        {QStringLiteral("@SYNOPSIS@\n"), synopsisLines()},
        {QStringLiteral("@COMMANDS@\n"), commands()},
        {QStringLiteral("@OPTIONS@\n"), options()},
        {QStringLiteral("@SETTING_NAMES@\n"), settingNames()},
        {QStringLiteral("@SETTABLE_SETTINGS@\n"), settableSettings()},
        {QStringLiteral("@TEST_PATTERNS@\n"), testPatterns()},
        {QStringLiteral("@SIMULATOR_PORTS@\n"), simulatorPorts()},
        {QStringLiteral("@EXIT_CODES@\n"), exitCodes()},
    };
    QString page = templateText;
    for (const auto& [marker, roff] : parts) {
        if (!page.contains(marker))
            problems.append(QCoreApplication::translate("ManPage", "Die Vorlage hat keine Marke %1")
                                .arg(marker.trimmed()));
        page.replace(marker, roff);
    }
    static const QRegularExpression leftOver(QStringLiteral("@[A-Z_]+@"));
    for (const QRegularExpressionMatch& match : leftOver.globalMatch(page))
        problems.append(QCoreApplication::translate("ManPage", "Unbekannte Marke %1 in der Vorlage")
                            .arg(match.captured()));
    return page;
}

} // namespace ManPage
