#pragma once

#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QSlider;

// One row for a value within a range: "−" (a step of −5), a slider between two icons, "+"
// (+5) and the value in large figures. While the user drags, the row shows the drag position
// and asks for every new position at once; after the drag it follows `value` again. `name`
// ("Lautstärke") names the slider and the step buttons for screen readers and tooltips.
class ValueSlider : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString symbolLow READ symbolLow WRITE setSymbolLow)
    Q_PROPERTY(QString symbolHigh READ symbolHigh WRITE setSymbolHigh)
    Q_PROPERTY(bool dimmed READ isDimmed WRITE setDimmed)

public:
    static constexpr int stepSize = 5;

    ValueSlider(const QString& name, int minimum, int maximum, const QString& symbolLow,
                const QString& symbolHigh, QWidget* parent = nullptr);

    // Nothing while the value is unknown.
    const std::optional<double>& value() const { return m_value; }
    void setValue(std::optional<double> value);
    const QString& symbolLow() const { return m_symbolLow; }
    void setSymbolLow(const QString& symbol);
    const QString& symbolHigh() const { return m_symbolHigh; }
    void setSymbolHigh(const QString& symbol);
    bool isDimmed() const { return m_dimmed; }
    void setDimmed(bool dimmed);

    // The slider position while a drag is under way.
    const std::optional<double>& dragValue() const { return m_dragValue; }
    // What the row shows: the drag position, else `value`.
    std::optional<double> shownValue() const { return m_dragValue ? m_dragValue : m_value; }

signals:
    // The user moved the slider to this position.
    void valueRequested(double value);
    // The user pressed "−" (−5) or "+" (+5).
    void stepRequested(int delta);

private:
    void showValue();
    void updateIcons();
    void sliderMovedTo(int position);
    void sliderReleased();
    void sliderChangedBy(int position);

    std::optional<double> m_value;
    QString m_symbolLow;
    QString m_symbolHigh;
    bool m_dimmed = false;
    std::optional<double> m_dragValue;
    bool m_syncing = false;

    QPushButton* m_minus;
    QLabel* m_low;
    QSlider* m_slider;
    QLabel* m_high;
    QPushButton* m_plus;
    QLabel* m_figures;
};
