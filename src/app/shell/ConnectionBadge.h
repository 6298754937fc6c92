#pragma once

#include "app/style/Style.h"
#include "controller/values/ConnectionState.h"

#include <QColor>
#include <QString>
#include <QWidget>

class DisplayController;

// The state pill in the toolbar: a coloured dot and the state's text on a faint capsule.
class ConnectionBadge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text)
    Q_PROPERTY(QColor color READ color)

public:
    struct Appearance {
        QString text;
        Style::Tone tone;
    };
    // What was heard on the line, the best first.
    enum class Heard { nothing, bytes, ownBytes, display };
    // `network`: the line runs through a gateway, not an adapter.
    static Appearance appearance(const ConnectionState& state, Heard heard, bool network);

    explicit ConnectionBadge(DisplayController& controller, QWidget* parent = nullptr);

    QString text() const { return m_appearance.text; }
    QColor color() const { return Style::color(m_appearance.tone, this); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    DisplayController& m_controller;
    Appearance m_appearance;
};
