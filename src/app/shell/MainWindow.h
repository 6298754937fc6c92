#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

class ConnectionBadge;
class DisplayController;
class LineServer;
class QLabel;
class QAction;
class QMenu;
class QSettings;
class DashboardView;
class QSplitter;
class QToolBar;
class SettingsWindow;
class TerminalView;

// The main window: the connection sidebar on the left, the dashboard over the terminal on the
// right, the menus "Datei", "Ansicht", "Display" and "Hilfe", and the toolbar with the
// connection badge.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // autoConnectPath: the port to connect to once the window first appears (empty: none).
    MainWindow(DisplayController& controller, QSettings& store, const QString& autoConnectPath = {},
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Creates the settings window on first use, shows it and brings it to the front.
    SettingsWindow* showSettings();
    // "Über Bildwart": version, purpose, licence.
    static QString aboutText();
    // Shows beside the connection badge how many programs use the line through the
    // session ("2 Skripte verbunden").
    void showGuestsOf(LineServer& server);
    // "1 Skript verbunden", "2 Skripte verbunden"; empty for none.
    static QString guestsText(int count);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildMenu();
    void buildToolBar();
    void buildPanes();
    int sidebarWidth() const;
    void chooseFirstSize();
    void chooseFirstSplit();
    void setTerminalVisible(bool visible);
    void connectAtStart();
    void showManual();

    DisplayController& m_controller;
    QLabel* m_guests = nullptr;
    QSettings& m_store;
    QString m_autoConnectPath;
    bool m_startupDone = false;
    bool m_splitChosen = false;

    ConnectionBadge* m_badge = nullptr;
    QAction* m_refreshAllButton = nullptr;
    QAction* m_terminalToggle = nullptr;
    QAction* m_settingsAction = nullptr;
    QToolBar* m_toolBar = nullptr;
    QMenu* m_viewMenu = nullptr;
    QSplitter* m_detail = nullptr;
    DashboardView* m_dashboard = nullptr;
    TerminalView* m_terminal = nullptr;
    QPointer<SettingsWindow> m_settings;
};
