#pragma once

#include <QColor>
#include <QPushButton>
#include <QString>

// An on/off switch drawn as a button: an ordinary bordered button while off, filled with
// `tint` (white icon and text) while on.
class ToggleButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QColor tint READ tint WRITE setTint)
    Q_PROPERTY(QString symbol READ symbol WRITE setSymbol)

public:
    ToggleButton(const QString& text, const QString& symbol, const QColor& tint,
                 QWidget* parent = nullptr);

    const QColor& tint() const { return m_tint; }
    void setTint(const QColor& tint);
    const QString& symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint;
    QString m_symbol;
};
