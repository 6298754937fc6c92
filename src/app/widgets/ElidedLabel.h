#pragma once

#include <QLabel>

// A one-line value that fits any width: cut with "…" where the room ends, the whole text then in
// the tooltip. For values in a narrow column (byte counters, times).
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setText(const QString& text);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();
};
