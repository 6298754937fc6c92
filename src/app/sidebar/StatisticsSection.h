#pragma once

#include "app/widgets/FormSection.h"

#include <QTimer>

class DisplayController;
class ElidedLabel;
class QPushButton;
class StatusLine;

// The sidebar's "Statistik": byte counters, timeouts, adapter dropouts and the age of the last
// reply, which are kept current once a second while the section is on screen.
class StatisticsSection : public FormSection {
    Q_OBJECT

public:
    explicit StatisticsSection(DisplayController& controller, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refreshCounters();
    void refreshDropouts();
    void refreshLastReply();
    void updateTicking();

    DisplayController& m_controller;
    ElidedLabel* m_sent;
    ElidedLabel* m_received;
    ElidedLabel* m_timeouts;
    QWidget* m_dropoutsRow;
    ElidedLabel* m_dropouts;
    ElidedLabel* m_latestDropout;
    StatusLine* m_repeatedDropouts;
    QPushButton* m_resetDropouts;
    ElidedLabel* m_lastReply;
    QTimer m_tick;
};
