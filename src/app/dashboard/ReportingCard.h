#pragma once

#include "app/widgets/Card.h"

class DisplayController;
class Stepper;
class SwitchButton;

// The display's own change reports, and the cyclic poll with its interval.
class ReportingCard : public Card {
    Q_OBJECT

public:
    explicit ReportingCard(DisplayController& controller, QWidget* parent = nullptr);

private:
    void refresh();
    QWidget* switchRow(const QString& title, const QString& caption, SwitchButton* toggle);

    DisplayController& m_controller;
    SwitchButton* m_reporting;
    SwitchButton* m_polling;
    Stepper* m_interval;
};
