#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

class Panel;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;

// One section of a grouped form: a header line (title and an optional accessory on the right),
// a rounded panel with label/value rows and free lines, and an optional caption footer.
class FormSection : public QWidget {
    Q_OBJECT

public:
    enum class Rows {
        besideLabels, // a label column and a field column; a field too wide goes under its label
        underLabels,  // one column, each label over its field: for fields that need the width
    };

    explicit FormSection(const QString& title, QWidget* parent = nullptr,
                         Rows rows = Rows::besideLabels);

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

private:
    QLabel* m_title;
    QHBoxLayout* m_header;
    Panel* m_panel;
    QFormLayout* m_form = nullptr;   // beside labels
    QVBoxLayout* m_column = nullptr; // under labels
    QHash<QWidget*, QWidget*> m_labels;
    QLabel* m_footer = nullptr;
};
