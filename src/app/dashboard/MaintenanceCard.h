#pragma once

#include "app/widgets/Card.h"

#include <QPointer>

class DisplayController;
class QLineEdit;
class QMessageBox;
class QPushButton;

// Free command lines, the device-information and help queries, and the factory reset, which
// the display accepts only together with its serial number and which asks first.
class MaintenanceCard : public Card {
    Q_OBJECT

public:
    explicit MaintenanceCard(DisplayController& controller, QWidget* parent = nullptr);

    bool isConfirmingReset() const { return m_confirmReset; }

private:
    void sendCommand();
    void askForReset();
    void refreshReset();
    QString liveSerialNumber() const;

    DisplayController& m_controller;
    QLineEdit* m_command;
    QPushButton* m_send;
    QPushButton* m_reset;
    bool m_confirmReset = false;
    QPointer<QMessageBox> m_dialog;
};
