#pragma once

#include <QScrollArea>

class DisplayController;

// The main window's left column: port, line parameters, display series and statistics, one
// section each, scrolling when the window is low.
class ConnectionSidebar : public QScrollArea {
    Q_OBJECT

public:
    explicit ConnectionSidebar(DisplayController& controller, QWidget* parent = nullptr);

private:
    QWidget* makeSeriesSection();

    DisplayController& m_controller;
};
