#pragma once

#include <QWidget>

class DisplayController;
class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

// Settings tab "Schnittstelle": the command handshake's timing and the modem control lines.
class SerialSettingsTab : public QWidget {
    Q_OBJECT

public:
    explicit SerialSettingsTab(DisplayController& controller, QWidget* parent = nullptr);

    // The inter-command delay as the tab shows it: whole milliseconds, cut towards zero.
    static int delayMilliseconds(double seconds);

private:
    void refresh();

    DisplayController& m_controller;
    QDoubleSpinBox* m_timeout;
    QSpinBox* m_delay;
    QCheckBox* m_dtr;
    QCheckBox* m_rts;
};
