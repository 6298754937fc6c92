#pragma once

#include <QString>

// The bash completion of bildwartctl, written from the command and option tables: commands,
// the options each command takes, the fixed values of options, setting names and values for
// get and set, and port paths (adapters present now, their by-id links, the simulators).
namespace BashCompletion {

QString script();

} // namespace BashCompletion
