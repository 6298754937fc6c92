#pragma once

#include <QFont>
#include <QString>

class QColor;
class QPainter;
class QRect;

// A log line's text as the terminal draws it. The entry's text carries the line ends as the
// control pictures of CR and LF (U+240D, U+240A). Their letters are a third of the font's size,
// two-pixel smudges in a log row; they would be legible only at a size that does not fit the
// row. So each is drawn as its two letters, "CR" or "LF", in a small tag of the muted colour;
// everything else in the row's font. The text itself, copied or exported, keeps the pictures.
class LineEndText {
public:
    explicit LineEndText(const QFont& font);

    const QFont& markerFont() const { return m_markerFont; }
    int width(const QString& text) const;
    // Draws the text from the left edge of the rectangle, cut with "…" where it ends.
    void draw(QPainter& painter, const QRect& rect, const QString& text, const QColor& color,
              const QColor& markerColor) const;

private:
    int markerWidth(QChar marker) const;

    QFont m_font;
    QFont m_markerFont;
};
