#include "app/widgets/Card.h"

#include "app/style/Icons.h"
#include "app/style/Style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int padding = 18;
constexpr int headingGap = 14;
constexpr int contentSpacing = 10;

} // namespace

Card::Card(const QString& title, const QString& symbol, QWidget* parent)
    : Panel(14, parent)
    , m_title(title)
    , m_symbol(symbol)
    , m_heading(new QWidget(this))
    , m_icon(new QLabel(m_heading))
    , m_titleLabel(new QLabel(m_heading))
    , m_content(new QVBoxLayout)
{
    setObjectName(QStringLiteral("card"));

    auto* headingRow = new QHBoxLayout(m_heading);
    headingRow->setContentsMargins(0, 0, 0, 0);
    headingRow->setSpacing(8);
    headingRow->addWidget(m_icon);
    headingRow->addWidget(m_titleLabel, 1);
    m_titleLabel->setFont(Style::headline());
    m_titleLabel->setWordWrap(true);

    m_content->setContentsMargins(0, 0, 0, 0);
    m_content->setSpacing(contentSpacing);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(padding, padding, padding, padding);
    outer->setSpacing(headingGap);
    outer->addWidget(m_heading);
    outer->addLayout(m_content);
    outer->addStretch(1);
    updateHeading();
}

void Card::setTitle(const QString& title)
{
    if (m_title == title)
        return;
    m_title = title;
    updateHeading();
}

void Card::setSymbol(const QString& symbol)
{
    if (m_symbol == symbol)
        return;
    m_symbol = symbol;
    updateHeading();
}

void Card::updateHeading()
{
    m_heading->setVisible(!m_title.isEmpty());
    m_titleLabel->setText(m_title);
    Style::setSymbol(m_icon, m_symbol, QFontMetrics(Style::headline()).height(),
                     Style::Tone::accent);
    m_icon->setVisible(hasSymbol(m_symbol));
}
