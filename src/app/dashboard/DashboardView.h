#pragma once

#include <QScrollArea>

class AdaptiveGridLayout;
class DisplayController;
class HeaderCard;
class NotConnectedHint;
class QGraphicsOpacityEffect;

// The remote-control surface: the header with what is known about the display, a hint while
// there is no connection, and the six cards in a grid whose columns follow the window width.
class DashboardView : public QScrollArea {
    Q_OBJECT

public:
    explicit DashboardView(DisplayController& controller, QWidget* parent = nullptr);

    // The height that shows the header, the hint while there is one, and the first rows of
    // cards, at this width of the view.
    int heightForCardRows(int rows, int width) const;

private:
    void refreshConnection();

    DisplayController& m_controller;
    HeaderCard* m_header;
    NotConnectedHint* m_hint;
    QWidget* m_grid;
    AdaptiveGridLayout* m_cards;
    QGraphicsOpacityEffect* m_dimming;
    QString m_failedPath; // the port the shown failure happened on
};
