#include "app/widgets/Picker.h"

#include "app/widgets/WheelGuard.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace {

// The room asked for: enough for a short entry ("19200", "Keine").
constexpr int minimumCharacters = 6;

} // namespace

Picker::Picker(QWidget* parent)
    : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(minimumCharacters);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    takeWheelOnlyWithFocus(this);
    connect(this, &QComboBox::currentIndexChanged, this, &Picker::updateToolTip);
}

QSize Picker::sizeHint() const
{
    // The longest entry if there is room; the layout may give less down to the minimum.
    QStyleOptionComboBox option;
    initStyleOption(&option);
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = qMax(widest, fontMetrics().horizontalAdvance(itemText(i)));
    const QSize contents(widest, fontMetrics().height());
    return style()
        ->sizeFromContents(QStyle::CT_ComboBox, &option, contents, this)
        .expandedTo(QComboBox::minimumSizeHint());
}

QSize Picker::minimumSizeHint() const
{
    return QComboBox::minimumSizeHint();
}

QRect Picker::textRect() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                   this);
}

void Picker::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0) {
        option.palette.setBrush(QPalette::ButtonText, option.palette.placeholderText());
        option.currentText = placeholderText();
    }
    option.currentText =
        fontMetrics().elidedText(option.currentText, Qt::ElideRight, textRect().width() - 2);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void Picker::resizeEvent(QResizeEvent* event)
{
    QComboBox::resizeEvent(event);
    updateToolTip();
}

void Picker::updateToolTip()
{
    // Only a cut text needs its tooltip; the entries' own tooltips serve the open list.
    const bool cut = fontMetrics().horizontalAdvance(currentText()) > textRect().width() - 2;
    setToolTip(cut ? currentText() : QString());
}

void Picker::showPopup()
{
    // The open list may be wider than the column, so that every entry reads whole.
    QAbstractItemView* list = view();
    list->setMinimumWidth(list->sizeHintForColumn(0) +
                          list->verticalScrollBar()->sizeHint().width());
    QComboBox::showPopup();
}
