#pragma once

#include <QFrame>

// A rounded panel with a thin faint outline, on the base colour (a little lighter than the
// window on a dark palette): the dashboard's cards (radius 14) and the form sections (radius 8).
// Drawn from the palette of the moment, so that a switch to a dark theme needs nothing, and without
// a style sheet, which would keep the palettes of everything inside from following their parents.
class Panel : public QFrame {
    Q_OBJECT

public:
    explicit Panel(int radius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_radius;
};
