// bildwart_docgen: writes bildwartctl's man page and bash completion at build time from the
// tool's own tables, so that neither can fall behind what the tool accepts.
#include "cli/docgen/BashCompletion.h"
#include "cli/docgen/ManPage.h"
#include "cli/docgen/Vocabulary.h"
#include "cli/invocation/OptionTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

namespace {

bool writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

// A fixed value in the table's help that the option's own parser refuses would be
// documented and completed, yet rejected when typed.
QStringList refusedChoices()
{
    QStringList refused;
    for (const OptionDefinition& option : optionTable())
        Vocabulary::optionChoices(option, &refused);
    return refused;
}

} // namespace

int main(int argc, char* argv[])
{
    QTextStream err(stderr);
    if (argc != 6) {
        err << QCoreApplication::translate(
                   "DocGen",
                   "Aufruf: bildwart_docgen VERSION DATUM VORLAGE MANPAGE VERVOLLSTAENDIGUNG")
            << '\n';
        return 2;
    }
    const QString version = QString::fromLocal8Bit(argv[1]);
    const QString date = QString::fromLocal8Bit(argv[2]);
    QFile templateFile(QString::fromLocal8Bit(argv[3]));
    if (!templateFile.open(QIODevice::ReadOnly)) {
        err << QCoreApplication::translate("DocGen", "Vorlage nicht lesbar: %1")
                   .arg(templateFile.fileName())
            << '\n';
        return 1;
    }

    QStringList problems = refusedChoices();
    for (QString& problem : problems)
        problem =
            QCoreApplication::translate("DocGen", "Die Option weist ihren eigenen Wert ab: %1")
                .arg(problem);
    const QString page =
        ManPage::fill(QString::fromUtf8(templateFile.readAll()), version, date, problems);
    if (!problems.isEmpty()) {
        err << problems.join(u'\n') << '\n';
        return 1;
    }
    for (const auto& [path, text] :
         {std::pair{QString::fromLocal8Bit(argv[4]), page},
          std::pair{QString::fromLocal8Bit(argv[5]), BashCompletion::script()}}) {
        if (!writeFile(path, text)) {
            err << QCoreApplication::translate("DocGen", "Nicht schreibbar: %1").arg(path) << '\n';
            return 1;
        }
    }
    return 0;
}
