#pragma once

#include "app/style/Style.h"

#include <QPushButton>
#include <QString>

// A button filled with a signal colour, its symbol in the label's white and a gap before the
// label: the default action of a row ("Verbinden", "Test starten") or the one that ends a run
// ("Stopp").
class FilledButton : public QPushButton {
    Q_OBJECT

public:
    FilledButton(const QString& text, const QString& symbol, Style::Tone tone,
                 QWidget* parent = nullptr);

    Style::Tone tone() const { return m_tone; }
    void setTone(Style::Tone tone);
    const QString& symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    // Filled while this holds; otherwise drawn as the platform's button.
    virtual bool isFilled() const { return true; }
    void paintEvent(QPaintEvent* event) override;

private:
    Style::Tone m_tone;
    QString m_symbol;
};
