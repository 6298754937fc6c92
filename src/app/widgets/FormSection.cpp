#include "app/widgets/FormSection.h"

#include "app/style/Style.h"
#include "app/widgets/Panel.h"

#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const QString panelName = QStringLiteral("formPanel");

} // namespace

FormSection::FormSection(const QString& title, QWidget* parent, Rows rows)
    : QWidget(parent)
    , m_title(new QLabel(title, this))
    , m_header(new QHBoxLayout)
    , m_panel(new Panel(8, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_title->setFont(Style::headline());
    m_title->setVisible(!title.isEmpty());
    m_header->setContentsMargins(4, 0, 4, 0);
    m_header->addWidget(m_title);
    m_header->addStretch(1);
    layout->addLayout(m_header);

    m_panel->setObjectName(panelName);
    // One column is a plain box layout: QFormLayout's rows under their labels mis-share the
    // height when a row flows onto more lines (the port section's buttons).
    if (rows == Rows::underLabels) {
        m_column = new QVBoxLayout(m_panel);
        m_column->setContentsMargins(12, 10, 12, 10);
        m_column->setSpacing(8);
    } else {
        m_form = new QFormLayout(m_panel);
        m_form->setContentsMargins(12, 10, 12, 10);
        m_form->setHorizontalSpacing(12);
        m_form->setVerticalSpacing(8);
        m_form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        m_form->setRowWrapPolicy(QFormLayout::WrapLongRows);
        m_form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    layout->addWidget(m_panel);
}

void FormSection::setHeaderAccessory(QWidget* widget)
{
    m_header->addWidget(widget);
}

void FormSection::setFooter(const QString& text, Qt::TextFormat format)
{
    if (!m_footer) {
        m_footer = new QLabel(this);
        m_footer->setWordWrap(true);
        m_footer->setContentsMargins(4, 0, 4, 0);
        Style::makeCaption(m_footer);
        layout()->addWidget(m_footer);
    }
    m_footer->setTextFormat(format);
    m_footer->setText(text);
}

QLabel* FormSection::addRow(const QString& label, QWidget* field)
{
    auto* labelWidget = new QLabel(label, m_panel);
    addRow(labelWidget, field);
    return labelWidget;
}

void FormSection::addRow(QWidget* label, QWidget* field)
{
    if (m_form) {
        m_form->addRow(label, field);
        return;
    }
    m_labels.insert(field, label);
    m_column->addWidget(label);
    m_column->addWidget(field);
}

void FormSection::addWidget(QWidget* widget)
{
    if (m_form)
        m_form->addRow(widget);
    else
        m_column->addWidget(widget);
}

void FormSection::setRowVisible(QWidget* field, bool visible)
{
    if (m_form) {
        m_form->setRowVisible(field, visible);
        return;
    }
    field->setVisible(visible);
    if (QWidget* label = m_labels.value(field))
        label->setVisible(visible);
}
