#include "cli/docgen/BashCompletion.h"

#include "cli/docgen/Vocabulary.h"
#include "cli/invocation/OptionTable.h"
#include "discovery/SerialPortInfo.h"

namespace {

// Words for compgen -W; none of them contains a blank or a quote.
QString words(const QStringList& list)
{
    return u'\'' + list.join(u' ') + u'\'';
}

QString compgenReply(const QStringList& list)
{
    return QStringLiteral("COMPREPLY=($(compgen -W %1 -- \"$cur\"))").arg(words(list));
}

QStringList optionSpellings(const OptionDefinition& option)
{
    QStringList spellings{QStringLiteral("--") + option.longName};
    if (!option.shortName.isNull())
        spellings.prepend(QStringLiteral("-") + option.shortName);
    return spellings;
}

const QStringList alwaysOffered{QStringLiteral("--help"), QStringLiteral("--version")};

QStringList longOptions(const std::optional<Invocation::Command>& command)
{
    QStringList names;
    for (const OptionDefinition& option : optionTable()) {
        if (!command || option.appliesTo(*command))
            names.append(QStringLiteral("--") + option.longName);
    }
    return names + alwaysOffered;
}

QString portFunction()
{
    QStringList simulators;
    for (const SerialPortInfo& port : SerialPortInfo::simulatorEntries())
        simulators.append(port.path);
    return QStringLiteral(
               "# Adapters plugged in now (by their stable by-id link as well), then the "
               "simulators;\n"
               "# any other path, such as the link of \"simulate --link\", as a file name.\n"
               "_bildwartctl_ports()\n"
               "{\n"
               "    local -a ports=()\n"
               "    local node\n"
               "    for node in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM*; do\n"
               "        [[ -e $node ]] && ports+=(\"$node\")\n"
               "    done\n"
               "    ports+=(%1)\n"
               "    COMPREPLY=($(compgen -W \"${ports[*]}\" -- \"$cur\"))\n"
               "    if ((${#COMPREPLY[@]} == 0)); then\n"
               "        _filedir\n"
               "    else\n"
               "        __ltrim_colon_completions \"$cur\"\n"
               "    fi\n"
               "}\n")
        .arg(simulators.join(u' '));
}

// The case that completes the value of the option just typed; free values get nothing.
QString optionValueCases(QStringList& valued)
{
    QString cases;
    QStringList free;
    for (const OptionDefinition& option : optionTable()) {
        if (!option.takesValue())
            continue;
        const QStringList spellings = optionSpellings(option);
        valued += spellings;
        const QString pattern = spellings.join(QStringLiteral(" | "));
        const QStringList choices = Vocabulary::optionChoices(option);
        if (Vocabulary::takesPort(option))
            cases += QStringLiteral("        %1)\n            _bildwartctl_ports\n            "
                                    "return\n            ;;\n")
                         .arg(pattern);
        else if (Vocabulary::takesNewPath(option))
            cases += QStringLiteral("        %1)\n            _filedir\n            return\n"
                                    "            ;;\n")
                         .arg(pattern);
        else if (!choices.isEmpty())
            cases += QStringLiteral("        %1)\n            %2\n            return\n"
                                    "            ;;\n")
                         .arg(pattern, compgenReply(choices));
        else
            free += spellings;
    }
    if (!free.isEmpty())
        cases += QStringLiteral("        %1)\n            return\n            ;;\n")
                     .arg(free.join(QStringLiteral(" | ")));
    return cases;
}

QString optionsByCommand()
{
    QString cases;
    for (const CommandDefinition& command : commandTable())
        cases += QStringLiteral("            %1) options=%2 ;;\n")
                     .arg(command.name, words(longOptions(command.command)));
    cases += QStringLiteral("            *) options=%1 ;;\n").arg(words(longOptions({})));
    return cases;
}

QString commandNames()
{
    QStringList names;
    for (const CommandDefinition& command : commandTable())
        names.append(command.name);
    return words(names);
}

QString setValueCases()
{
    QString cases;
    QStringList names;
    for (const Vocabulary::SettableSetting& setting : Vocabulary::settableSettings()) {
        names.append(setting.name);
        if (!setting.words.isEmpty())
            cases += QStringLiteral("                        %1) %2 ;;\n")
                         .arg(setting.name, compgenReply(setting.words));
    }
    return QStringLiteral("                0) %1 ;;\n"
                          "                1)\n"
                          "                    case ${arguments[0],,} in\n"
                          "%2"
                          "                    esac\n"
                          "                    ;;\n")
        .arg(compgenReply(names), cases);
}

} // namespace

namespace BashCompletion {

QString script()
{
    QStringList valued;
    const QString valueCases = optionValueCases(valued);
    return QStringLiteral(
               "# bash completion for bildwartctl                         -*- shell-script -*-\n"
               "# Written at build time from the tool's command and option tables by\n"
               "# bildwart_docgen; change the tables, not this file.\n"
               "\n") +
           portFunction() +
           QStringLiteral("\n"
                          "_bildwartctl()\n"
                          "{\n"
                          "    local cur prev words cword split\n"
                          "    _init_completion -s -n : || return\n"
                          "\n"
                          "    case $prev in\n") +
           valueCases +
           QStringLiteral(
               "    esac\n"
               "\n"
               "    # The command and its arguments so far: the words that are neither options\n"
               "    # nor their values. \"-5\" is a value (set volume -5), as for the tool.\n"
               "    local command='' ended='' word i\n"
               "    local -a arguments=()\n"
               "    for ((i = 1; i < cword; i++)); do\n"
               "        word=${words[i]}\n"
               "        if [[ -z $ended && $word == -- ]]; then\n"
               "            ended=1\n"
               "        elif [[ -z $ended && $word == -[!0-9.]* ]]; then\n"
               "            [[ ' %1 ' == *\" $word \"* ]] && ((i++))\n"
               "        elif [[ -z $command ]]; then\n"
               "            command=$word\n"
               "        else\n"
               "            arguments+=(\"$word\")\n"
               "        fi\n"
               "    done\n"
               "\n"
               "    if [[ -z $ended && $cur == -* && $cur != -[0-9.]* ]]; then\n"
               "        local options\n"
               "        case $command in\n")
               .arg(valued.join(u' ')) +
           optionsByCommand() +
           QStringLiteral("        esac\n"
                          "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
                          "        return\n"
                          "    fi\n"
                          "\n"
                          "    if [[ -z $command ]]; then\n"
                          "        COMPREPLY=($(compgen -W %1 -- \"$cur\"))\n"
                          "        return\n"
                          "    fi\n"
                          "    case $command in\n"
                          "        get)\n"
                          "            ((${#arguments[@]} == 0)) && %2\n"
                          "            ;;\n"
                          "        set)\n"
                          "            case ${#arguments[@]} in\n")
               .arg(commandNames(), compgenReply(Vocabulary::settingNames())) +
           setValueCases() +
           QStringLiteral("            esac\n"
                          "            ;;\n"
                          "    esac\n"
                          "} &&\n"
                          "    complete -F _bildwartctl bildwartctl\n");
}

} // namespace BashCompletion
