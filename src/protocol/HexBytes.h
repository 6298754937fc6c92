#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The one grammar for typed hex bytes: "48 61", "0x48,0x61", "48616C", "48:61;6C".
// Odd-length tokens get a leading 0 ("ABC" -> 0A BC). Returns nothing when the
// text is invalid or gives no bytes.
std::optional<QByteArray> parseHexBytes(const QString& text);

// Upper-case pairs joined with single blanks: "48 61 0D".
QString hexText(const QByteArray& bytes);

// What the user is told about input that is no hex: "Ungültige Hex-Eingabe", and the
// input when there is one.
QString invalidHexText(const QString& input = {});
