#pragma once

#include <QScrollArea>

class DisplayController;
class NotConnectedHint;
class QGraphicsOpacityEffect;

// The remote-control surface: the header with what is known about the display, a hint while
// there is no connection, and the six cards in a grid whose columns follow the window width.
class DashboardView : public QScrollArea {
    Q_OBJECT

public:
    explicit DashboardView(DisplayController& controller, QWidget* parent = nullptr);

private:
    void refreshConnection();

    DisplayController& m_controller;
    NotConnectedHint* m_hint;
    QWidget* m_grid;
    QGraphicsOpacityEffect* m_dimming;
};
