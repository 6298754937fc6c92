#pragma once

#include "app/widgets/Panel.h"

#include <QString>

class QLabel;
class QVBoxLayout;

// A rounded panel with a faint outline: a heading (icon and title) and below it the card's
// controls. Without a title the heading is left out.
class Card : public Panel {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(QString symbol READ symbol WRITE setSymbol)

public:
    explicit Card(const QString& title = {}, const QString& symbol = {}, QWidget* parent = nullptr);

    const QString& title() const { return m_title; }
    void setTitle(const QString& title);
    const QString& symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);

    // Where the card's controls go, left-aligned under the heading.
    QVBoxLayout* contentLayout() const { return m_content; }

private:
    void updateHeading();

    QString m_title;
    QString m_symbol;
    QWidget* m_heading;
    QLabel* m_icon;
    QLabel* m_titleLabel;
    QVBoxLayout* m_content;
};
