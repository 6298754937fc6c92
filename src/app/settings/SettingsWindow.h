#pragma once

#include <QDialog>

class DisplayController;
class QSettings;
class QTabWidget;

// The preferences window: "Schnittstelle" (handshake timing, control lines) and "Testausgabe"
// (the test-pattern generator). The chosen tab is remembered across launches.
class SettingsWindow : public QDialog {
    Q_OBJECT

public:
    SettingsWindow(DisplayController& controller, QSettings& store, QWidget* parent = nullptr);

    // The selected tab's tag: "serial" or "test".
    QString currentTab() const;
    void setCurrentTab(const QString& tag);

private:
    QSettings& m_store;
    QTabWidget* m_tabs;
};
