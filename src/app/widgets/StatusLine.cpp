#include "app/widgets/StatusLine.h"

#include "app/Icons.h"
#include "app/Style.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>

StatusLine::StatusLine(const QString& symbol, const QColor& color, const QFont& font,
                       QWidget* parent)
    : QWidget(parent)
    , m_icon(new QLabel(this))
    , m_text(new QLabel(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);

    const int size = QFontMetrics(font).height();
    m_icon->setPixmap(symbolPixmap(symbol, size, color));
    m_icon->setFixedWidth(size);
    m_icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    layout->addWidget(m_icon, 0, Qt::AlignTop);

    m_text->setFont(font);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Style::setTextColor(m_text, color);
    layout->addWidget(m_text, 1);
}

QString StatusLine::text() const
{
    return m_text->text();
}

void StatusLine::setText(const QString& text)
{
    m_text->setText(text);
}
