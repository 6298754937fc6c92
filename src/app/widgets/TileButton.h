#pragma once

#include "app/style/Style.h"

#include <QAbstractButton>
#include <QString>

// A large square-ish button of a tile grid: an icon above a short title. `active` marks the
// state the display is in; it is drawn filled with its tone, or only outlined in it while
// `stale` (last known, not told on this connection). A click only emits clicked(); the
// tile never changes `active` by itself, the owner sets it from what the display reports.
// Space and Return press it; the arrow keys move the focus to the neighbouring tile of its grid.
class TileButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(QString symbol READ symbol WRITE setSymbol)
    Q_PROPERTY(bool active READ isActive WRITE setActive)

public:
    explicit TileButton(const QString& title, const QString& symbol, Style::Tone tone,
                        QWidget* parent = nullptr);

    const QString& title() const { return m_title; }
    void setTitle(const QString& title);
    const QString& symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    bool isActive() const { return m_active; }
    void setActive(bool active);
    bool isStale() const { return m_stale; }
    void setStale(bool stale);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect titleRect(int width) const;
    TileButton* neighbour(int key) const;

    QString m_title;
    QString m_symbol;
    Style::Tone m_tone;
    bool m_active = false;
    bool m_stale = false;
    bool m_hovered = false;
    bool m_keyboardFocus = false; // the focus ring only helps those who move by keyboard
};
