#pragma once

#include "app/style/Style.h"

#include <QString>
#include <QWidget>

class QLabel;

// One of the header's status values: a small caption above an icon and a value, both in the
// chip's colour.
class StatusChip : public QWidget {
    Q_OBJECT

public:
    explicit StatusChip(const QString& caption, QWidget* parent = nullptr);

    void setContent(const QString& value, const QString& symbol, Style::Tone tone);
    QString value() const;

private:
    QLabel* m_caption;
    QLabel* m_icon;
    QLabel* m_value;
};
