#include "app/settings/SettingsWindow.h"
#include "controller/StoreKeys.h"

#include "app/settings/SerialSettingsTab.h"
#include "app/settings/TestOutputTab.h"
#include "app/style/Icons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString& tabKey = StoreKeys::settingsTab;
const QString serialTag = QStringLiteral("serial");
const QString testTag = QStringLiteral("test");

// A fixed window, large enough for the longest tab.
constexpr int windowWidth = 620;
constexpr int windowHeight = 610;

} // namespace

SettingsWindow::SettingsWindow(DisplayController& controller, QSettings& store, QWidget* parent)
    : QDialog(parent)
    , m_store(store)
    , m_tabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("settingsWindow"));
    setWindowTitle(tr("Einstellungen"));
    setFixedSize(windowWidth, windowHeight);

    m_tabs->setObjectName(QStringLiteral("settingsTabs"));
    m_tabs->setDocumentMode(true);
    const int serial =
        m_tabs->addTab(new SerialSettingsTab(controller, m_tabs),
                       symbolIcon(QStringLiteral("cable.connector")), tr("Schnittstelle"));
    m_tabs->tabBar()->setTabData(serial, serialTag);
    const int test = m_tabs->addTab(new TestOutputTab(controller, m_tabs),
                                    symbolIcon(QStringLiteral("waveform.path")), tr("Testausgabe"));
    m_tabs->tabBar()->setTabData(test, testTag);

    // Changes apply at once; the window only needs a way to go.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(tr("Schließen"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->addWidget(m_tabs);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(12, 6, 12, 12);
    buttonRow->addWidget(buttons);
    layout->addLayout(buttonRow);

    setCurrentTab(m_store.value(tabKey, testTag).toString());
    QObject::connect(m_tabs, &QTabWidget::currentChanged, this,
                     [this] { m_store.setValue(tabKey, currentTab()); });
}

QString SettingsWindow::currentTab() const
{
    return m_tabs->tabBar()->tabData(m_tabs->currentIndex()).toString();
}

void SettingsWindow::setCurrentTab(const QString& tag)
{
    for (int index = 0; index < m_tabs->count(); ++index) {
        if (m_tabs->tabBar()->tabData(index).toString() == tag) {
            m_tabs->setCurrentIndex(index);
            return;
        }
    }
    // An unknown stored tag opens the default tab.
    setCurrentTab(testTag);
}
