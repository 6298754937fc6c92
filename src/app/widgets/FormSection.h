#pragma once

#include <QString>
#include <QWidget>

class QFormLayout;
class QFrame;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;

// One section of a grouped form: a header line (title and an optional accessory on the right),
// a rounded panel with label/value rows and free lines, and an optional caption footer.
class FormSection : public QWidget {
    Q_OBJECT

public:
    explicit FormSection(const QString& title, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_title; }
    // Shown at the right end of the header line.
    void setHeaderAccessory(QWidget* widget);
    void setFooter(const QString& text, Qt::TextFormat format = Qt::PlainText);

    // A labelled row; returns the row's label so that it can be changed later.
    QLabel* addRow(const QString& label, QWidget* field);
    void addRow(QWidget* label, QWidget* field);
    // A line across the whole width.
    void addWidget(QWidget* widget);
    void setRowVisible(QWidget* field, bool visible);
    // Labels over their fields instead of beside them, for fields that need the full width.
    void setLabelsAbove(bool above);

private:
    QLabel* m_title;
    QHBoxLayout* m_header;
    QFrame* m_panel;
    QFormLayout* m_form;
    QLabel* m_footer = nullptr;
};
