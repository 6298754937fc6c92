#pragma once

#include <QAbstractButton>

// The platform's on/off switch: a pill with a knob, filled with the accent colour when on.
class SwitchButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit SwitchButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
