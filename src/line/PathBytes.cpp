#include "line/PathBytes.h"

namespace {

constexpr char16_t escapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at `at`, or 0.
int validSequenceAt(const QByteArray& bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes.at(i)); };
    const unsigned char lead = byte(at);
    int length = 0;
    char32_t minimum = 0;
    char32_t code = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond Unicode are no valid UTF-8.
    if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

QString decodePath(const QByteArray& bytes)
{
    QString path;
    path.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const int length = validSequenceAt(bytes, at);
        if (length == 0) {
            path.append(QChar(char16_t(escapeBase + static_cast<unsigned char>(bytes.at(at)))));
            ++at;
            continue;
        }
        path.append(QString::fromUtf8(bytes.constData() + at, length));
        at += length;
    }
    return path;
}

QByteArray encodePath(const QString& path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    for (qsizetype at = 0; at < path.size(); ++at) {
        const QChar c = path.at(at);
        const bool escaped = c.unicode() >= escapeBase + 0x80 && c.unicode() <= escapeBase + 0xFF;
        if (escaped) {
            bytes.append(char(c.unicode() - escapeBase));
        } else if (c.isHighSurrogate() && at + 1 < path.size() &&
                   path.at(at + 1).isLowSurrogate()) {
            bytes.append(path.mid(at, 2).toUtf8());
            ++at;
        } else {
            bytes.append(QString(c).toUtf8());
        }
    }
    return bytes;
}
