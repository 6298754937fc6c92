#pragma once

#include <QPushButton>

// A push button whose label breaks onto a second line (at blanks) when the column is narrower
// than the label, instead of being cut.
class WrappingButton : public QPushButton {
    Q_OBJECT

public:
    explicit WrappingButton(const QString& text, QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int labelRoom(int width) const;
    QString wrapped(int room) const;

    QString m_label;
};
