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

// A word of a broken line as the error quotes it: a whole line of junk helps nobody.
QString quoted(const QString& word)
{
    constexpr qsizetype shown = 60;
    return word.size() <= shown ? word : word.first(shown) + u'…';
}

} // namespace

bool Target::inAnyGroup(const QStringList& wanted) const
{
    return wanted.isEmpty() || std::any_of(wanted.begin(), wanted.end(),
                                           [this](const QString& g) { return groups.contains(g); });
}

std::variant<QList<Target>, QString> TargetList::parse(const QString& text)
{
    // "# …" after a blank starts a comment; "#1" in a name such as "Aula #1" does not.
    static const QRegularExpression comment(QStringLiteral("\\s#(\\s.*)?$"));
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QList<Target> targets;
    const QStringList lines = text.split(u'\n');
    for (qsizetype number = 0; number < lines.size(); ++number) {
        const QString line = QString(lines.at(number)).remove(comment).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        QStringList words = line.split(blanks, Qt::SkipEmptyParts);
        const QString address = words.takeFirst();
        if (!isAddress(address))
            return QCoreApplication::translate("TargetList",
                                               "Zeile %1: „%2“ ist keine Adresse – erwartet z. B. "
                                               "%3 oder /dev/ttyUSB0.")
                .arg(number + 1)
                .arg(quoted(address), NetworkAddress::examples());
        Target target{address, {}, {}, int(number + 1)};
        QStringList nameWords;
        for (const QString& word : words) {
            if (word.size() > 1 && word.startsWith(u'@'))
                target.groups.append(word.mid(1));
            else
                nameWords.append(word);
        }
        target.name = nameWords.join(u' ');
        targets.append(target);
    }
    if (targets.isEmpty())
        return QCoreApplication::translate("TargetList",
                                           "Die Zieldatei nennt keine einzige Adresse.");
    return targets;
}
