#include "cli/invocation/TargetList.h"

#include "line/LineAddress.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

// An address, or an absolute device path: a name's first word is neither.
bool isAddress(const QString& word)
{
    const auto address = LineAddress::parse(word);
    const auto* parsed = std::get_if<LineAddress>(&address);
    return parsed && (!parsed->isDevice() || word.startsWith(u'/'));
}

} // namespace

std::variant<QList<Target>, QString> TargetList::parse(const QString& text)
{
    // "# …" starts a comment; "#1" in a name such as "Aula #1" does not.
    static const QRegularExpression comment(QStringLiteral("(^|\\s)#(\\s.*)?$"));
    QList<Target> targets;
    const QStringList lines = text.split(u'\n');
    for (qsizetype number = 0; number < lines.size(); ++number) {
        const QString line = QString(lines.at(number)).remove(comment).trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype blank = line.indexOf(QRegularExpression(QStringLiteral("\\s")));
        const QString address = blank < 0 ? line : line.first(blank);
        const QString name = blank < 0 ? QString() : line.mid(blank).trimmed();
        if (!isAddress(address))
            return QCoreApplication::translate("TargetList",
                                               "Zeile %1: „%2“ ist keine Adresse – erwartet z. B. "
                                               "%3 oder /dev/ttyUSB0.")
                .arg(number + 1)
                .arg(address, NetworkAddress::examples());
        targets.append({address, name});
    }
    if (targets.isEmpty())
        return QCoreApplication::translate("TargetList",
                                           "Die Zieldatei nennt keine einzige Adresse.");
    return targets;
}
