#pragma once

#include "app/widgets/FormSection.h"

class DisplayController;
class ElidedLabel;
class Picker;
class QPushButton;

// The sidebar's line parameters: one picker per field of the controller's serial settings, and
// a way back to the display's standard line.
class SerialParameterSection : public FormSection {
    Q_OBJECT

public:
    explicit SerialParameterSection(DisplayController& controller, QWidget* parent = nullptr);

private:
    Picker* addPicker(const QString& label, const QString& objectName);
    void refresh();
    void applyPickers();

    DisplayController& m_controller;
    ElidedLabel* m_summary;
    Picker* m_baudRate;
    Picker* m_dataBits;
    Picker* m_parity;
    Picker* m_stopBits;
    Picker* m_flowControl;
    Picker* m_lineEnding;
    QPushButton* m_standard;
};
