#pragma once

#include <QWidget>

class DisplayController;
class FlowLayout;
class QLabel;
class FilledButton;
class QStackedWidget;
class Stepper;

// The bridge-plug test: packet size, start and stop, the verdict and the run's figures. The
// figures of the last run stay until the next start.
class LoopbackBar : public QWidget {
    Q_OBJECT

public:
    explicit LoopbackBar(DisplayController& controller, QWidget* parent = nullptr);

    QString badgeText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refreshRunning();
    void refreshStats();
    QLabel* addCell(FlowLayout* flow, const QString& title);

    DisplayController& m_controller;
    Stepper* m_packetSize;
    QStackedWidget* m_startStop;
    FilledButton* m_start;
    FilledButton* m_stop;
    QLabel* m_badgeIcon;
    QLabel* m_badgeText;
    QLabel* m_sent;
    QLabel* m_ok;
    QLabel* m_faulty;
    QLabel* m_lost;
    QLabel* m_latency;
    QLabel* m_bytes;
};
