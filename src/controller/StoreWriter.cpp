#include "controller/StoreWriter.h"

#include "controller/DisplayController.h"

StoreWriter::StoreWriter(DisplayController& controller, QSettings& store, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_store(store)
    , m_written(ControllerSettings::load(store).settings)
{
    const auto write = [this] {
        const ControllerSettings now = m_controller.storedSettings();
        now.save(m_store, m_written);
        m_written = now;
    };
    connect(&controller, &DisplayController::storedSettingsChanged, this, write);
    // What the controller made of the stored values at start (a series recognised
    // before, say) is no change to write; what differs from the file already is.
    write();
}
