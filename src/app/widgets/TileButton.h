#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QString>

// A large square-ish button of a tile grid: an icon above a short title. `active` marks the
// state the display is in; it is drawn filled with `tint`. A click only emits clicked(); the
// tile never changes `active` by itself, the owner sets it from what the display reports.
class TileButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(QString symbol READ symbol WRITE setSymbol)
    Q_PROPERTY(bool active READ isActive WRITE setActive)
    Q_PROPERTY(QColor tint READ tint WRITE setTint)

public:
    explicit TileButton(const QString& title, const QString& symbol, const QColor& tint,
                        QWidget* parent = nullptr);

    const QString& title() const { return m_title; }
    void setTitle(const QString& title);
    const QString& symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    bool isActive() const { return m_active; }
    void setActive(bool active);
    const QColor& tint() const { return m_tint; }
    void setTint(const QColor& tint);

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

private:
    QRect titleRect(int width) const;

    QString m_title;
    QString m_symbol;
    QColor m_tint;
    bool m_active = false;
    bool m_hovered = false;
    bool m_keyboardFocus = false; // the focus ring only helps those who move by keyboard
};
