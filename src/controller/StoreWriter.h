#pragma once

#include "controller/ControllerSettings.h"

#include <QObject>

class DisplayController;
class QSettings;

// The edge between the controller and the settings file: writes what the controller
// keeps into the store whenever it changes, key by key, only what differs.
class StoreWriter : public QObject {
    Q_OBJECT

public:
    StoreWriter(DisplayController& controller, QSettings& store, QObject* parent = nullptr);

private:
    DisplayController& m_controller;
    QSettings& m_store;
    ControllerSettings m_written;
};
