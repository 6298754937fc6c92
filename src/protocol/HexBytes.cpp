#include "protocol/HexBytes.h"

#include <QCoreApplication>

#include <QRegularExpression>

std::optional<QByteArray> parseHexBytes(const QString& text)
{
    QString cleaned = text;
    cleaned.replace(QStringLiteral("0x"), QStringLiteral(" "), Qt::CaseInsensitive);

    static const QRegularExpression separators(QStringLiteral("[ ,;:\\n\\t]"));
    const QStringList tokens = cleaned.split(separators, Qt::SkipEmptyParts);
    if (tokens.isEmpty())
        return std::nullopt;

    QByteArray bytes;
    for (QString token : tokens) {
        if (token.size() % 2 != 0)
            token.prepend(u'0');
        for (qsizetype i = 0; i < token.size(); i += 2) {
            const QStringView pair = QStringView(token).sliced(i, 2);
            // The integer parser would skip blanks; a carriage return is no separator here.
            if (pair[0].isSpace() || pair[1].isSpace())
                return std::nullopt;
            bool ok = false;
            // Like the platform's standard parse, a leading '+' is accepted: "+F" reads as 0F.
            const uint value = pair.toUInt(&ok, 16);
            if (!ok || value > 0xFF)
                return std::nullopt;
            bytes.append(char(value));
        }
    }
    if (bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

QString hexText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString invalidHexText(const QString& input)
{
    return input.isEmpty()
               ? QCoreApplication::translate("HexBytes", "Ungültige Hex-Eingabe")
               : QCoreApplication::translate("HexBytes", "Ungültige Hex-Eingabe: %1").arg(input);
}
