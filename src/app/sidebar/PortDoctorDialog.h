#pragma once

#include "app/style/Style.h"
#include "doctor/Finding.h"

#include <QDialog>

// Every finding of one port with its fix, and the fix's commands to copy into a terminal.
// Nothing here runs a command: what needs root rights the user types with sudo themself.
class PortDoctorDialog : public QDialog {
    Q_OBJECT

public:
    explicit PortDoctorDialog(const PortReport& report, QWidget* parent = nullptr);

    // The symbol and tone a finding of this severity is shown with, here and in the sidebar.
    static QString symbol(Finding::Severity severity);
    static Style::Tone tone(Finding::Severity severity);
};
