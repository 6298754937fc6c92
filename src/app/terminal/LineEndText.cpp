#include "app/terminal/LineEndText.h"

#include <QColor>
#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr char16_t carriageReturn = 0x240D;
constexpr char16_t lineFeed = 0x240A;
// The tag's letters: a little smaller and bolder than the text, to read as a mark, not a word.
constexpr qreal markerScale = 0.8;
constexpr int tagPadding = 2;
constexpr int tagGap = 1;

bool isMarker(QChar c)
{
    return c == carriageReturn || c == lineFeed;
}

QString letters(QChar marker)
{
    return marker == carriageReturn ? QStringLiteral("CR") : QStringLiteral("LF");
}

QFont markerFontFor(const QFont& font)
{
    QFont marker = font;
    marker.setPointSizeF(font.pointSizeF() * markerScale);
    marker.setWeight(QFont::DemiBold);
    return marker;
}

// The text in runs: plain text, or a single line-end picture.
template <typename Visit>
void forEachRun(const QString& text, Visit visit)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isMarker(text.at(i)))
            continue;
        if (i > start)
            visit(text.mid(start, i - start), false);
        if (i < text.size())
            visit(QString(text.at(i)), true);
        start = i + 1;
    }
}

} // namespace

LineEndText::LineEndText(const QFont& font)
    : m_font(font)
    , m_markerFont(markerFontFor(font))
{
}

int LineEndText::markerWidth(QChar marker) const
{
    return QFontMetrics(m_markerFont).horizontalAdvance(letters(marker)) + 2 * tagPadding +
           2 * tagGap;
}

int LineEndText::width(const QString& text) const
{
    const QFontMetrics plain(m_font);
    int total = 0;
    forEachRun(text, [&](const QString& run, bool isMarkerRun) {
        total += isMarkerRun ? markerWidth(run.at(0)) : plain.horizontalAdvance(run);
    });
    return total;
}

void LineEndText::draw(QPainter& painter, const QRect& rect, const QString& text,
                       const QColor& color, const QColor& markerColor) const
{
    const QFontMetrics plain(m_font);
    const QFontMetrics tag(m_markerFont);
    const QString ellipsis = QStringLiteral("…");
    const int baseline = rect.top() + (rect.height() - plain.height()) / 2 + plain.ascent();
    int x = rect.left();
    bool cut = false;
    forEachRun(text, [&](const QString& run, bool isMarkerRun) {
        if (cut)
            return;
        const int room = rect.right() + 1 - x;
        if (!isMarkerRun) {
            const QString shown = plain.elidedText(run, Qt::ElideRight, room);
            cut = shown != run;
            painter.setFont(m_font);
            painter.setPen(color);
            painter.drawText(QPoint(x, baseline), shown);
            x += plain.horizontalAdvance(shown);
            return;
        }
        const int width = markerWidth(run.at(0));
        if (width > room) {
            cut = true;
            painter.setFont(m_font);
            painter.setPen(color);
            painter.drawText(QPoint(x, baseline), ellipsis);
            return;
        }
        // A rounded outline around the letters, as high as the text's capitals and a little more.
        const int height = qMin(rect.height(), tag.capHeight() + 2 * tagPadding + 2);
        const QRectF box(x + tagGap + 0.5, rect.top() + (rect.height() - height) / 2 + 0.5,
                         width - 2 * tagGap - 1, height - 1);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(markerColor, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(box, 2, 2);
        painter.setFont(m_markerFont);
        painter.drawText(box, Qt::AlignCenter, letters(run.at(0)));
        painter.restore();
        x += width;
    });
}
