#pragma once

#include "app/widgets/FormSection.h"

class DisplayController;
class QComboBox;
class QLabel;
class QPushButton;

// The sidebar's line parameters: one picker per field of the controller's serial settings, and
// a way back to the display's standard line.
class SerialParameterSection : public FormSection {
    Q_OBJECT

public:
    explicit SerialParameterSection(DisplayController& controller, QWidget* parent = nullptr);

private:
    QComboBox* addPicker(const QString& label, const QString& objectName);
    void refresh();
    void applyPickers();

    DisplayController& m_controller;
    QLabel* m_summary;
    QComboBox* m_baudRate;
    QComboBox* m_dataBits;
    QComboBox* m_parity;
    QComboBox* m_stopBits;
    QComboBox* m_flowControl;
    QComboBox* m_lineEnding;
    QPushButton* m_standard;
};
