#pragma once

#include <QStringList>
#include <QWidget>

// A row of mutually exclusive segments (the platform's segmented control): exactly one is
// selected. activated() reports a choice of the user; setCurrentIndex() does not.
class SegmentedControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex)

public:
    explicit SegmentedControl(const QStringList& segments, QWidget* parent = nullptr);

    const QStringList& segments() const { return m_segments; }
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void activated(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect segmentRect(int index) const;
    void choose(int index);

    QStringList m_segments;
    int m_current = 0;
};
