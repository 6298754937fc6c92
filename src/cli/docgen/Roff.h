#pragma once

#include <QString>

// Turns the tool's German texts into man page source.
namespace Roff {

// Running text: backslashes kept, a dash that starts a word ("-v", "--hex", "-N") made a
// minus sign so that it can be copied into a shell, a leading dot or quote defused. Line
// breaks of the help texts become blanks; the text variation selector, which only matters
// to terminals, is dropped.
QString text(const QString& plain);

// A word to be typed as it stands (option, command, value, path): every dash a minus sign.
QString literal(const QString& plain);

QString bold(const QString& plain);
QString italic(const QString& plain);

// A tagged paragraph: the tag line in bold/italic roff, then the body.
QString taggedParagraph(const QString& tag, const QString& body);

} // namespace Roff
