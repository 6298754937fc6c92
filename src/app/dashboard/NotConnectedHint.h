#pragma once

#include <QWidget>

// The orange note above the cards while there is no connection: what to plug in and choose.
class NotConnectedHint : public QWidget {
    Q_OBJECT

public:
    explicit NotConnectedHint(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
