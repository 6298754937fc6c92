#include "app/dashboard/StatusChip.h"

#include "app/style/Icons.h"
#include "app/style/Style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int chipMinimumWidth = 110;
constexpr int iconSize = 20;

} // namespace

StatusChip::StatusChip(const QString& caption, QWidget* parent)
    : QWidget(parent)
    , m_caption(new QLabel(caption, this))
    , m_icon(new QLabel(this))
    , m_value(new QLabel(this))
{
    setMinimumWidth(chipMinimumWidth);
    Style::makeCaption(m_caption);
    m_value->setFont(Style::title3());

    auto* valueRow = new QHBoxLayout;
    valueRow->setContentsMargins(0, 0, 0, 0);
    valueRow->setSpacing(6);
    valueRow->addWidget(m_icon);
    valueRow->addWidget(m_value);
    valueRow->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(m_caption);
    column->addLayout(valueRow);
}

void StatusChip::setContent(const QString& value, const QString& symbol, Style::Tone tone)
{
    m_value->setText(value);
    Style::setTone(m_value, tone);
    Style::setSymbol(m_icon, symbol, iconSize, tone);
}

QString StatusChip::value() const
{
    return m_value->text();
}
