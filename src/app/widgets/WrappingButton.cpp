#include "app/widgets/WrappingButton.h"

#include <QStyle>
#include <QStyleOptionButton>

WrappingButton::WrappingButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
    , m_label(text)
{
    setAutoDefault(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

int WrappingButton::labelRoom(int width) const
{
    QStyleOptionButton option;
    option.initFrom(this);
    option.text = text();
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    return width - (this->width() - contents.width()) - 2;
}

QString WrappingButton::wrapped(int room) const
{
    QStringList lines;
    for (const QString& word : m_label.split(u' ')) {
        if (!lines.isEmpty() && fontMetrics().horizontalAdvance(lines.last() + u' ' + word) <= room)
            lines.last() += u' ' + word;
        else
            lines.append(word);
    }
    return lines.join(u'\n');
}

QSize WrappingButton::minimumSizeHint() const
{
    // As narrow as its longest word.
    int widest = 0;
    for (const QString& word : m_label.split(u' '))
        widest = qMax(widest, fontMetrics().horizontalAdvance(word));
    return {widest + (width() - labelRoom(width())), sizeHint().height()};
}

void WrappingButton::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    const QString label = wrapped(labelRoom(width()));
    if (label != text()) {
        setText(label);
        updateGeometry(); // one more line, or one fewer: another height
    }
}
