#pragma once

#include <QStringList>

// "--version" anywhere before "--" asks for the version, whatever else is given, as
// with "--help"; after "--" it is a word for the command.
bool isVersionRequest(const QStringList& arguments);
