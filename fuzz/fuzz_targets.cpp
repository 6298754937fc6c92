// The targets file of a fleet: every line is a target, a comment or blank, or the error
// names it by its number; never a crash, whatever bytes the file holds.
#include "FuzzCheck.h"
#include "cli/invocation/TargetList.h"

#include <QRegularExpression>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text =
        QString::fromUtf8(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QStringList lines = text.split(u'\n');
    const auto parsed = TargetList::parse(text);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        static const QRegularExpression numbered(QStringLiteral("^Zeile (\\d+): "));
        const auto match = numbered.match(*error);
        if (!match.hasMatch()) {
            require(error->startsWith(QStringLiteral("Die Zieldatei nennt keine")),
                    "an error names its line");
            return 0;
        }
        const qsizetype number = match.captured(1).toLongLong();
        require(number >= 1 && number <= lines.size(), "the named line exists");
        const QString line = lines.at(number - 1).trimmed();
        require(!line.isEmpty() && !line.startsWith(u'#'), "blank lines and comments are no error");
        return 0;
    }
    int previous = 0;
    for (const Target& target : std::get<QList<Target>>(parsed)) {
        require(target.lineNumber > previous && target.lineNumber <= lines.size(),
                "targets in file order, one a line");
        previous = target.lineNumber;
        const QString line = lines.at(target.lineNumber - 1).trimmed();
        require(line.startsWith(target.address), "the address starts its line");
        require(!target.address.isEmpty() && !target.address.contains(u' '), "one word");
        for (const QString& group : target.groups)
            require(!group.isEmpty() && !group.contains(u' '), "a group is one word");
    }
    return 0;
}
