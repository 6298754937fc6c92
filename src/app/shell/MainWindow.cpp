#include "app/shell/MainWindow.h"
#include "controller/StoreKeys.h"

#include "app/dashboard/DashboardView.h"
#include "app/settings/SettingsWindow.h"
#include "app/shell/ConnectionBadge.h"
#include "app/sidebar/ConnectionSidebar.h"
#include "app/style/Icons.h"
#include "app/terminal/TerminalView.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/PortList.h"
#include "session/LineServer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

namespace {

const QString& terminalVisibleKey = StoreKeys::terminalVisible;

// Window and pane sizes. At the first start the window takes what the dashboard's first two
// rows of cards and twelve rows of the terminal need, wide enough for three card columns,
// but no more than this share of the screen's free area.
constexpr double screenShare = 0.9;
constexpr int preferredWidth = 1440;
constexpr int dashboardRows = 2;
constexpr int terminalRows = 12;
// What the first split leaves the terminal on a small screen. With a large font (a 144-dpi
// screen) the log's rows are tall and the dashboard scrolls anyway: the log keeps eight.
constexpr int terminalFewestRows = 6;
constexpr int terminalFewestRowsLargeFont = 8;
constexpr int largeFontRowHeight = 26;
constexpr int sidebarIdealWidth = 300;
// At larger fonts the sidebar grows with them: about this many average characters.
constexpr int sidebarCharacters = 36;
constexpr int dashboardMinimumHeight = 380;
constexpr int terminalMinimumHeight = 170;

QAction* makeAction(const QString& text, const QKeySequence& shortcut, const QString& objectName,
                    QObject* parent)
{
    auto* action = new QAction(text, parent);
    action->setObjectName(objectName);
    action->setShortcut(shortcut);
    // The shortcuts work whichever pane has the focus.
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

} // namespace

MainWindow::MainWindow(DisplayController& controller, QSettings& store,
                       const QString& autoConnectPath, QWidget* parent)
    : QMainWindow(parent)
    , m_controller(controller)
    , m_store(store)
    , m_autoConnectPath(autoConnectPath)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Bildwart"));
    buildMenu();
    buildToolBar();
    buildPanes();
    if (!restoreGeometry(m_store.value(StoreKeys::windowGeometry).toByteArray()))
        chooseFirstSize();
    m_splitChosen = m_detail->restoreState(m_store.value(StoreKeys::detailSplit).toByteArray());
}

MainWindow::~MainWindow()
{
    // Where the user left the window and the split, for the next start.
    m_store.setValue(StoreKeys::windowGeometry, saveGeometry());
    m_store.setValue(StoreKeys::detailSplit, m_detail->saveState());
}

int MainWindow::sidebarWidth() const
{
    return qMax(sidebarIdealWidth, fontMetrics().averageCharWidth() * sidebarCharacters);
}

void MainWindow::chooseFirstSize()
{
    const QRect available = screen()->availableGeometry();
    const int width = qMin(preferredWidth, int(available.width() * screenShare));
    const int detailWidth = width - sidebarWidth() - m_detail->handleWidth();
    const int dashboard = m_dashboard->heightForCardRows(dashboardRows, detailWidth);
    const int terminal =
        qMax(terminalMinimumHeight, m_terminal->heightForRows(terminalRows, detailWidth));
    const int chrome = menuBar()->sizeHint().height() + m_toolBar->sizeHint().height();
    resize(width, qMin(int(available.height() * screenShare),
                       chrome + dashboard + m_detail->handleWidth() + terminal));
}

void MainWindow::chooseFirstSplit()
{
    // At the size the window got (a window manager or the user may have given another): the
    // terminal its twelve rows, the dashboard the rest.
    layout()->activate();
    // On a small screen the first row of cards (power and input) comes first: the terminal
    // gives up rows down to its minimum for it.
    const int available = m_detail->height() - m_detail->handleWidth();
    const int firstRow = m_dashboard->heightForCardRows(1, m_detail->width());
    const int rowHeight = m_terminal->heightForRows(1, m_detail->width()) -
                          m_terminal->heightForRows(0, m_detail->width());
    const int fewestRows =
        rowHeight >= largeFontRowHeight ? terminalFewestRowsLargeFont : terminalFewestRows;
    const int fewest =
        qMax(terminalMinimumHeight, m_terminal->heightForRows(fewestRows, m_detail->width()));
    const int terminal =
        std::clamp(available - firstRow, fewest,
                   qMax(fewest, m_terminal->heightForRows(terminalRows, m_detail->width())));
    const int dashboard = available - terminal;
    m_detail->setSizes({qMax(dashboardMinimumHeight, dashboard), terminal});
    m_splitChosen = true;
}

void MainWindow::buildMenu()
{
    QMenu* file = menuBar()->addMenu(tr("&Datei"));
    file->setObjectName(QStringLiteral("fileMenu"));
    QAction* saveLog = makeAction(tr("Terminal-Protokoll sichern …"), QKeySequence::Save,
                                  QStringLiteral("saveLogAction"), this);
    QObject::connect(saveLog, &QAction::triggered, this, [this] { m_terminal->exportLog(); });
    file->addAction(saveLog);
    file->addSeparator();
    QAction* quit = makeAction(tr("&Beenden"), QKeySequence(Qt::CTRL | Qt::Key_Q),
                               QStringLiteral("quitAction"), this);
    quit->setMenuRole(QAction::QuitRole);
    QObject::connect(quit, &QAction::triggered, this, [this] {
        if (m_settings)
            m_settings->close();
        close();
    });
    file->addAction(quit);

    // Filled by buildToolBar() and buildPanes(), which make the actions it offers.
    m_viewMenu = menuBar()->addMenu(tr("&Ansicht"));
    m_viewMenu->setObjectName(QStringLiteral("viewMenu"));

    QMenu* menu = menuBar()->addMenu(tr("&Display"));
    menu->setObjectName(QStringLiteral("displayMenu"));

    // Always enabled: what each does in the current state is the controller's decision.
    QAction* connectAction = makeAction(tr("Verbinden"), QKeySequence(Qt::CTRL | Qt::Key_K),
                                        QStringLiteral("connectAction"), this);
    QAction* disconnectAction =
        makeAction(tr("Trennen"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K),
                   QStringLiteral("disconnectAction"), this);
    QAction* refreshAllAction =
        makeAction(tr("Status abfragen"), QKeySequence(Qt::CTRL | Qt::Key_R),
                   QStringLiteral("refreshAllAction"), this);
    QAction* refreshPortsAction =
        makeAction(tr("Ports neu suchen"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
                   QStringLiteral("refreshPortsAction"), this);
    menu->addAction(connectAction);
    menu->addAction(disconnectAction);
    menu->addSeparator();
    menu->addAction(refreshAllAction);
    menu->addAction(refreshPortsAction);

    QObject::connect(connectAction, &QAction::triggered, this,
                     [this] { m_controller.connectLine(); });
    QObject::connect(disconnectAction, &QAction::triggered, this,
                     [this] { m_controller.disconnectLine(); });
    QObject::connect(refreshAllAction, &QAction::triggered, &m_controller.pump(),
                     &CommandPump::refreshAll);
    QObject::connect(refreshPortsAction, &QAction::triggered, &m_controller.ports(),
                     &PortList::refresh);

    QMenu* help = menuBar()->addMenu(tr("&Hilfe"));
    help->setObjectName(QStringLiteral("helpMenu"));
    QAction* manual = makeAction(tr("&Handbuch"), QKeySequence::HelpContents,
                                 QStringLiteral("manualAction"), this);
    QObject::connect(manual, &QAction::triggered, this, &MainWindow::showManual);
    help->addAction(manual);
    QAction* about = new QAction(tr("Ü&ber Bildwart"), this);
    about->setObjectName(QStringLiteral("aboutAction"));
    about->setMenuRole(QAction::AboutRole);
    QObject::connect(about, &QAction::triggered, this,
                     [this] { QMessageBox::about(this, tr("Über Bildwart"), aboutText()); });
    help->addAction(about);
}

QString MainWindow::aboutText()
{
    return tr("<h3>Bildwart %1</h3>"
              "<p>Fernsteuerung und Leitungsprüfung für interaktive Displays der Serien QX und "
              "RX über ihre RS-232-Steuerschnittstelle – am USB-Seriell-Wandler oder über das "
              "Netzwerk.</p>"
              "<p>© 2026 Halvorn. Alle Rechte vorbehalten (proprietäre Lizenz).</p>"
              "<p>Mit Qt %2, libudev und gensio.</p>")
        .arg(QCoreApplication::applicationVersion().toHtmlEscaped(),
             QString::fromLatin1(qVersion()));
}

void MainWindow::showManual()
{
    // The README goes with the package; from a build folder, the one beside the sources.
    for (const QString& path : {QStringLiteral(BILDWART_DOC_DIR "/README.md"),
                                QStringLiteral(BILDWART_SOURCE_DIR "/README.md")}) {
        if (QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            return;
    }
    QMessageBox::information(
        this, tr("Handbuch"),
        tr("Das Handbuch ließ sich nicht öffnen. Im Terminal zeigt es „man bildwart“, die "
           "Befehlszeile „man bildwartctl“."));
}

QString MainWindow::guestsText(int count)
{
    if (count <= 0)
        return {};
    return count == 1 ? tr("1 Skript verbunden") : tr("%1 Skripte verbunden").arg(count);
}

void MainWindow::showGuestsOf(LineServer& server)
{
    const auto refresh = [this, &server] {
        const QString text = guestsText(server.guestCount());
        m_guests->setText(text);
        // The toolbar holds the label through an action; that is what hides it.
        for (QAction* action : m_toolBar->actions()) {
            if (m_toolBar->widgetForAction(action) == m_guests)
                action->setVisible(!text.isEmpty());
        }
    };
    connect(&server, &LineServer::guestsChanged, this, refresh);
    refresh();
}

void MainWindow::buildToolBar()
{
    QToolBar* toolBar = addToolBar(tr("Werkzeuge"));
    m_toolBar = toolBar;
    toolBar->setObjectName(QStringLiteral("mainToolBar"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->toggleViewAction()->setEnabled(false);
    // The texts stay even where the icon theme lacks a picture.
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);

    m_badge = new ConnectionBadge(m_controller, toolBar);
    toolBar->addWidget(m_badge);
    m_guests = new QLabel(toolBar);
    m_guests->setObjectName(QStringLiteral("guestsLabel"));
    m_guests->setContentsMargins(8, 0, 8, 0);
    m_guests->setToolTip(tr("Programme, die diese Leitung über die Sitzung des Fensters nutzen "
                            "(bildwartctl, Skripte); ihre Befehle stehen mit Name und PID im "
                            "Protokoll."));
    m_guests->hide();
    toolBar->addWidget(m_guests);
    toolBar->addSeparator();

    // Unlike the menu item, the button is only offered while there is a line to ask.
    m_refreshAllButton =
        new QAction(symbolIcon(QStringLiteral("arrow.clockwise")), tr("Status abfragen"), this);
    m_refreshAllButton->setObjectName(QStringLiteral("refreshAllButton"));
    m_refreshAllButton->setToolTip(tr("Alle Werte und Geräteinfos neu abfragen (Strg+R)"));
    QObject::connect(m_refreshAllButton, &QAction::triggered, &m_controller.pump(),
                     &CommandPump::refreshAll);
    // Offered while there is a line to ask and the display's protocol is spoken on it.
    const auto enableRefresh = [this] {
        m_refreshAllButton->setEnabled(
            m_controller.line().connection().is(ConnectionState::Case::connected) &&
            !m_controller.pump().rawMode());
    };
    QObject::connect(&m_controller.line(), &LineSession::connectionChanged, this, enableRefresh);
    QObject::connect(&m_controller.pump(), &CommandPump::rawModeChanged, this, enableRefresh);
    enableRefresh();
    toolBar->addAction(m_refreshAllButton);

    m_terminalToggle = new QAction(symbolIcon(QStringLiteral("terminal")), tr("Terminal"), this);
    m_terminalToggle->setObjectName(QStringLiteral("terminalToggle"));
    m_terminalToggle->setCheckable(true);
    m_terminalToggle->setToolTip(tr("Terminal mit gesendeten und empfangenen Bytes"));
    m_terminalToggle->setChecked(m_store.value(terminalVisibleKey, true).toBool());
    QObject::connect(m_terminalToggle, &QAction::toggled, this, &MainWindow::setTerminalVisible);
    toolBar->addAction(m_terminalToggle);
    m_terminalToggle->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    m_terminalToggle->setShortcutContext(Qt::WindowShortcut);
    m_viewMenu->addAction(m_terminalToggle);

    m_settingsAction =
        new QAction(symbolIcon(QStringLiteral("gearshape")), tr("Einstellungen"), this);
    m_settingsAction->setObjectName(QStringLiteral("settingsAction"));
    m_settingsAction->setToolTip(tr("Schnittstelle, Testausgabe, Abfrage-Takt (Strg+,)"));
    // Set by hand: QKeySequence::Preferences is empty on most Linux desktops.
    m_settingsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_settingsAction->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(m_settingsAction, &QAction::triggered, this, &MainWindow::showSettings);
    toolBar->addAction(m_settingsAction);
}

void MainWindow::buildPanes()
{
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("mainSplit"));
    split->setChildrenCollapsible(false);

    auto* sidebar = new ConnectionSidebar(m_controller, split);
    split->addWidget(sidebar);

    m_detail = new QSplitter(Qt::Vertical, split);
    m_detail->setObjectName(QStringLiteral("detailSplit"));
    m_detail->setChildrenCollapsible(false);
    m_detail->setAutoFillBackground(true);
    m_detail->setBackgroundRole(QPalette::Window);

    m_dashboard = new DashboardView(m_controller, m_detail);
    m_dashboard->setObjectName(QStringLiteral("dashboardView"));
    m_dashboard->setMinimumHeight(dashboardMinimumHeight);
    m_detail->addWidget(m_dashboard);

    m_terminal = new TerminalView(m_controller, m_store, m_detail);
    m_terminal->setObjectName(QStringLiteral("terminalView"));
    m_terminal->setMinimumHeight(terminalMinimumHeight);
    m_detail->addWidget(m_terminal);
    m_detail->setStretchFactor(0, 1);
    m_detail->setStretchFactor(1, 0);
    m_terminal->setVisible(m_terminalToggle->isChecked());

    QAction* hidePolls = m_viewMenu->addAction(tr("Abfragen ausblenden"));
    hidePolls->setObjectName(QStringLiteral("hidePollsAction"));
    hidePolls->setCheckable(true);
    auto* hidePollsBox = m_terminal->findChild<QCheckBox*>(QStringLiteral("hidePollsToggle"));
    hidePolls->setChecked(hidePollsBox->isChecked());
    QObject::connect(hidePolls, &QAction::toggled, hidePollsBox, &QCheckBox::setChecked);
    QObject::connect(hidePollsBox, &QCheckBox::toggled, hidePolls, &QAction::setChecked);
    m_viewMenu->addSeparator();
    QAction* commandLine = makeAction(tr("Zur Befehlszeile"), QKeySequence(Qt::CTRL | Qt::Key_L),
                                      QStringLiteral("focusCommandLineAction"), this);
    QObject::connect(commandLine, &QAction::triggered, this, [this] {
        m_terminalToggle->setChecked(true);
        m_terminal->focusInput();
    });
    m_viewMenu->addAction(commandLine);
    addAction(commandLine);

    // Once a line is up, the keyboard belongs to the display's controls, never to a
    // parameter of the live line that the connect button's leaving would hand it to.
    QObject::connect(&m_controller.line(), &LineSession::connectionChanged, this, [this, sidebar] {
        if (!m_controller.line().connection().is(ConnectionState::Case::connected))
            return;
        QWidget* focus = QApplication::focusWidget();
        if (!focus || sidebar->isAncestorOf(focus))
            m_dashboard->setFocus(Qt::OtherFocusReason);
    });

    split->addWidget(m_detail);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({sidebarWidth(), preferredWidth - sidebarWidth()});
    setCentralWidget(split);
}

void MainWindow::setTerminalVisible(bool visible)
{
    m_store.setValue(terminalVisibleKey, visible);
    m_terminal->setVisible(visible);
    if (visible && !m_splitChosen && isVisible())
        chooseFirstSplit();
}

SettingsWindow* MainWindow::showSettings()
{
    if (!m_settings)
        m_settings = new SettingsWindow(m_controller, m_store, this);
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
    return m_settings;
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_splitChosen && m_terminal->isVisibleTo(this))
        chooseFirstSplit();
    if (m_startupDone)
        return;
    m_startupDone = true;
    // After the first paint, so that the window is on screen while the line opens.
    QTimer::singleShot(0, this, &MainWindow::connectAtStart);
}

void MainWindow::connectAtStart()
{
    if (m_autoConnectPath.isEmpty() ||
        m_controller.line().connection().is(ConnectionState::Case::connected))
        return;
    m_controller.ports().select(m_autoConnectPath);
    m_controller.connectLine();
}
