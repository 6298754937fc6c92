#pragma once

#include <QString>
#include <optional>

// Where the session that holds a line listens: $XDG_RUNTIME_DIR/bildwart/ (made 0700), or
// /run/user/UID/bildwart/ for a cron job without that variable, or a private folder in
// the temporary directory where neither exists. One file name per line: the address,
// percent-encoded; a device path by the node its links lead to, so that the by-id name and
// /dev/ttyUSB0 find the same session.
namespace SocketPath {

QString folder();
QString forLine(const QString& address);

// Makes the folder (0700) and checks that it is this user's alone; the German reason
// when it cannot be used.
std::optional<QString> prepareFolder();

} // namespace SocketPath
