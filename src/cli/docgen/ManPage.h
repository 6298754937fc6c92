#pragma once

#include <QString>
#include <QStringList>

// bildwartctl.1: the prose is a roff template; every list in it (commands, options, settings,
// test patterns, simulator ports, exit codes) is written here from the tool's own tables,
// at the marker that stands for it.
namespace ManPage {

// The template with @VERSION@, @DATE@ and every list marker filled in. A marker the template
// lacks, or one left over that nothing fills, is reported in `problems`.
QString fill(const QString& templateText, const QString& version, const QString& date,
             QStringList& problems);

} // namespace ManPage
