#include "cli/docgen/Roff.h"

namespace {

constexpr QChar textVariationSelector(0xFE0E);

QString escapedBackslashes(QString plain)
{
    return plain.replace(u'\\', QStringLiteral("\\e"));
}

bool startsWord(const QString& text, qsizetype at)
{
    if (at == 0)
        return true;
    const QChar before = text.at(at - 1);
    return before.isSpace() || before == u'-' || before == u'(' || before == u'[' ||
           before == u'|' || before == u'/';
}

} // namespace

namespace Roff {

QString text(const QString& plain)
{
    QString escaped = escapedBackslashes(plain);
    escaped.remove(textVariationSelector);
    escaped.replace(u'\n', u' ');
    QString result;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped.at(i) == u'-' && startsWord(escaped, i))
            result += QStringLiteral("\\-");
        else
            result += escaped.at(i);
    }
    if (result.startsWith(u'.') || result.startsWith(u'\''))
        result.prepend(QStringLiteral("\\&"));
    return result;
}

QString literal(const QString& plain)
{
    return escapedBackslashes(plain).replace(u'-', QStringLiteral("\\-"));
}

QString bold(const QString& plain)
{
    return QStringLiteral("\\fB") + literal(plain) + QStringLiteral("\\fR");
}

QString italic(const QString& plain)
{
    return QStringLiteral("\\fI") + literal(plain) + QStringLiteral("\\fR");
}

QString taggedParagraph(const QString& tag, const QString& body)
{
    return QStringLiteral(".TP\n") + tag + u'\n' + body + u'\n';
}

} // namespace Roff
