#pragma once

#include "app/widgets/FormSection.h"
#include "doctor/PortDoctor.h"

class DisplayController;
class QCheckBox;
class QLabel;
class FilledButton;
class Picker;
class QPushButton;
class QVBoxLayout;
class StatusLine;

// The sidebar's "Schnittstelle" section: the port picker with its hints, the adapters that have
// no port, the entry that asks for a network address, automatic reconnection, and the
// connect/disconnect buttons.
class PortSection : public FormSection {
    Q_OBJECT

public:
    explicit PortSection(DisplayController& controller, QWidget* parent = nullptr);

private:
    void refreshPorts();
    void refreshSelection();
    void refreshAdapters();
    void refreshConnection();
    void refreshHints();
    void choose(const QString& path);
    void askForNetworkAddress();
    // Asks the doctor about the selected port; `depth` full also names the processes that
    // hold it, which takes a moment: only after a failed connection.
    void refreshDoctor(PortDoctor::Depth depth = PortDoctor::Depth::quick);
    void showDoctorDetails();

    DisplayController& m_controller;
    Picker* m_picker;
    StatusLine* m_noAdapter;
    StatusLine* m_internalPort;
    StatusLine* m_detail;
    QLabel* m_forget;
    QString m_failedOn; // the port the shown failure happened on
    QWidget* m_doctor;
    StatusLine* m_doctorSummary = nullptr;
    QLabel* m_doctorDetails;
    QString m_failure; // the failure the doctor was last asked about
    QWidget* m_adapters;
    QVBoxLayout* m_adapterLayout;
    QCheckBox* m_autoReconnect;
    StatusLine* m_waiting;
    StatusLine* m_failed;
    QPushButton* m_refresh;
    QPushButton* m_stopWaiting;
    QPushButton* m_disconnect;
    FilledButton* m_connect;
};
