#pragma once

#include "app/widgets/FormSection.h"

class DisplayController;
class QCheckBox;
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
    void askForNetworkAddress();

    DisplayController& m_controller;
    Picker* m_picker;
    StatusLine* m_noAdapter;
    StatusLine* m_internalPort;
    StatusLine* m_detail;
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
