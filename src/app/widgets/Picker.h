#pragma once

#include <QComboBox>

// A drop-down picker for a narrow column: it asks for the room of a few characters only, cuts
// the chosen entry's text with "…" when the column is narrower (the whole text is in the
// tooltip), and takes the mouse wheel only with the focus. The open list is as wide as its
// entries need.
class Picker : public QComboBox {
    Q_OBJECT

public:
    explicit Picker(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showPopup() override;

private:
    QRect textRect() const;
    void updateToolTip();
};
