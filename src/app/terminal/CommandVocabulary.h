#pragma once

#include <QStringList>

// The command lines the input line completes: "get" for every setting, "set" with each value
// the settings table knows (a level with "=" alone, as its number is the user's). The
// factory reset is left out: it is typed in full or not at all.
QStringList commandVocabulary();
