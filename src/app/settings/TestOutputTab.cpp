#include "app/settings/TestOutputTab.h"

#include "app/widgets/ConfirmationDialog.h"

#include "app/style/Icons.h"
#include "app/style/Style.h"
#include "app/widgets/FilledButton.h"
#include "app/widgets/FormSection.h"
#include "app/widgets/Picker.h"
#include "app/widgets/WheelGuard.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/PortList.h"
#include "controller/RemoteDisplay.h"
#include "protocol/HexBytes.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The preview shows at most this many lines and scrolls beyond.
constexpr int previewLines = 3;
// The counter line's clock is shown to the second.
constexpr int previewClockMs = 1000;
constexpr double intervalMinimum = 0.1;
constexpr double intervalMaximum = 10.0;
constexpr double intervalStep = 0.1;

QLabel* caption(const QString& text, Style::Tone tone, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    Style::makeCaption(label, tone);
    return label;
}

// Replaces a line edit's text only when it differs, so that typing keeps the cursor.
void showText(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

TestOutputTab::TestOutputTab(DisplayController& controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
{
    setObjectName(QStringLiteral("testOutputTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(16);
    layout->addWidget(makeConnectionSection());
    layout->addWidget(makePatternSection());
    layout->addWidget(makeOutputSection());
    layout->addStretch(1);

    m_previewClock.setInterval(previewClockMs);
    QObject::connect(&m_previewClock, &QTimer::timeout, this, &TestOutputTab::refreshPreview);

    const LineSession& line = controller.line();
    const LineTester& tester = controller.tester();
    QObject::connect(&line, &LineSession::connectionChanged, this, [this] {
        refreshConnection();
        refreshOutput();
    });
    QObject::connect(&controller.ports(), &PortList::portsChanged, this,
                     &TestOutputTab::refreshConnection);
    QObject::connect(&controller.ports(), &PortList::selectedPathChanged, this,
                     &TestOutputTab::refreshConnection);
    QObject::connect(&line, &LineSession::settingsChanged, this, [this] {
        refreshConnection();
        refreshPreview();
    });
    QObject::connect(&tester, &LineTester::testOutputChanged, this, [this] {
        refreshPattern();
        refreshOutput();
    });
    QObject::connect(&tester, &LineTester::testProgressChanged, this, [this] {
        refreshPreview();
        refreshOutput();
    });

    refreshConnection();
    refreshPattern();
    refreshOutput();
}

FormSection* TestOutputTab::makeConnectionSection()
{
    auto* section = new FormSection(QString(), this);

    auto* value = new QWidget(section);
    auto* valueLayout = new QVBoxLayout(value);
    valueLayout->setContentsMargins(0, 0, 0, 0);
    valueLayout->setSpacing(1);
    m_portName = new QLabel(value);
    m_portName->setObjectName(QStringLiteral("testPortName"));
    m_portState = new QLabel(value);
    m_portState->setObjectName(QStringLiteral("testPortState"));
    m_portState->setFont(Style::caption());
    valueLayout->addWidget(m_portName);
    valueLayout->addWidget(m_portState);
    section->addRow(tr("Schnittstelle"), value);

    m_connect = new QPushButton(tr("Jetzt verbinden"), section);
    m_connect->setObjectName(QStringLiteral("connectNowButton"));
    m_connect->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    section->addWidget(m_connect);
    QObject::connect(m_connect, &QPushButton::clicked, this,
                     [this] { m_controller.connectLine(); });

    section->setFooter(tr("Dieser Rechner → USB-Seriell-Adapter → <b>Nullmodem-Kabel</b> → "
                          "zweiter Rechner mit PuTTY (Connection type „Serial“, gleiche "
                          "Baudrate/Parameter, Flow control passend). Für das Display selbst "
                          "wieder das gerade Kabel verwenden."),
                       Qt::RichText);
    return section;
}

FormSection* TestOutputTab::makePatternSection()
{
    auto* section = new FormSection(tr("Muster"), this);
    m_patternSection = section;

    m_pattern = new Picker(section);
    m_pattern->setObjectName(QStringLiteral("testPatternPicker"));
    for (const TestPattern pattern : allTestPatterns())
        m_pattern->addItem(label(pattern), static_cast<int>(pattern));
    section->addRow(tr("Testmuster"), m_pattern);
    QObject::connect(m_pattern, &QComboBox::activated, this, [this](int index) {
        changeOutput([&](LineTester::TestOutput& output) {
            output.pattern = static_cast<TestPattern>(m_pattern->itemData(index).toInt());
        });
    });

    m_hint = caption(QString(), Style::Tone::secondary, section);
    m_hint->setObjectName(QStringLiteral("testPatternHint"));
    section->addWidget(m_hint);

    m_customText = new QLineEdit(section);
    m_customText->setObjectName(QStringLiteral("testCustomText"));
    m_customText->setFont(Style::monospace());
    section->addRow(tr("Text"), m_customText);
    QObject::connect(m_customText, &QLineEdit::textEdited, this, [this](const QString& text) {
        changeOutput([&](LineTester::TestOutput& output) { output.customText = text; });
    });

    m_customHex = new QLineEdit(section);
    m_customHex->setObjectName(QStringLiteral("testCustomHex"));
    m_customHex->setFont(Style::monospace());
    section->addRow(tr("Hex-Bytes"), m_customHex);
    QObject::connect(m_customHex, &QLineEdit::textEdited, this, [this](const QString& text) {
        changeOutput([&](LineTester::TestOutput& output) { output.customHex = text; });
    });
    m_invalidHex = caption(invalidHexText(), Style::Tone::red, section);
    m_invalidHex->setObjectName(QStringLiteral("invalidHexLine"));
    section->addRow(new QWidget(section), m_invalidHex);

    m_preview = new QPlainTextEdit(section);
    m_preview->setObjectName(QStringLiteral("testPreview"));
    m_preview->setReadOnly(true);
    m_preview->setFrameShape(QFrame::NoFrame);
    m_preview->setFont(Style::monospace(Style::caption().pointSize()));
    m_preview->setWordWrapMode(QTextOption::WordWrap);
    m_preview->viewport()->setAutoFillBackground(false);
    const int lineHeight = QFontMetrics(m_preview->font()).lineSpacing();
    m_preview->setFixedHeight(previewLines * lineHeight +
                              2 * static_cast<int>(m_preview->document()->documentMargin()) +
                              2 * m_preview->frameWidth() + 2);
    m_previewLabel = section->addRow(QString(), m_preview);
    m_previewLabel->setObjectName(QStringLiteral("testPreviewLabel"));
    m_previewLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    section->addWidget(caption(tr("Zeilen enden in der Testausgabe immer mindestens "
                                  "mit CR+LF, damit PuTTY jede Zeile neu beginnt."),
                               Style::Tone::secondary, section));
    return section;
}

FormSection* TestOutputTab::makeOutputSection()
{
    auto* section = new FormSection(tr("Ausgabe"), this);
    m_outputSection = section;

    m_repeat = new QCheckBox(tr("Fortlaufend wiederholen"), section);
    m_repeat->setObjectName(QStringLiteral("testRepeatToggle"));
    section->addWidget(m_repeat);
    QObject::connect(m_repeat, &QCheckBox::toggled, this, [this](bool on) {
        changeOutput([&](LineTester::TestOutput& output) { output.repeat = on; });
    });

    m_interval = new QDoubleSpinBox(section);
    m_interval->setObjectName(QStringLiteral("testIntervalStepper"));
    m_interval->setRange(intervalMinimum, intervalMaximum);
    m_interval->setSingleStep(intervalStep);
    m_interval->setDecimals(1);
    m_interval->setSuffix(tr(" s"));
    m_interval->setKeyboardTracking(false);
    m_interval->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    takeWheelOnlyWithFocus(m_interval);
    section->addRow(tr("Intervall"), m_interval);
    QObject::connect(m_interval, &QDoubleSpinBox::valueChanged, this, [this](double seconds) {
        changeOutput([&](LineTester::TestOutput& output) { output.interval = seconds; });
    });

    m_pollingPaused = caption(tr("Der Abfrage-Takt pausiert, solange die "
                                 "Testausgabe läuft."),
                              Style::Tone::secondary, section);
    m_pollingPaused->setObjectName(QStringLiteral("pollingPausedLine"));
    // Its line is kept while the caption is hidden, so that "Stopp" does not move down when it
    // appears (the form's own rows give up the room of what they hide).
    auto* place = new QWidget(section);
    auto* placeLayout = new QVBoxLayout(place);
    placeLayout->setContentsMargins(0, 0, 0, 0);
    placeLayout->addWidget(m_pollingPaused);
    QSizePolicy keepRoom = m_pollingPaused->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_pollingPaused->setSizePolicy(keepRoom);
    section->addWidget(place);

    auto* row = new QWidget(section);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 4, 0, 0);
    m_send =
        new FilledButton(QString(), QStringLiteral("paperplane.fill"), Style::Tone::accent, row);
    m_send->setObjectName(QStringLiteral("testSendButton"));
    m_stop = new FilledButton(tr("Stopp"), QStringLiteral("stop.fill"), Style::Tone::red, row);
    m_stop->setObjectName(QStringLiteral("testStopButton"));
    m_sentCount = new QLabel(row);
    m_sentCount->setObjectName(QStringLiteral("testSentCount"));
    Style::setTone(m_sentCount, Style::Tone::secondary);
    m_resetCount = new QPushButton(tr("Zähler auf 0"), row);
    m_resetCount->setObjectName(QStringLiteral("testResetCountButton"));
    rowLayout->addWidget(m_send);
    rowLayout->addWidget(m_stop);
    rowLayout->addWidget(m_sentCount);
    rowLayout->addStretch(1);
    rowLayout->addWidget(m_resetCount);
    section->addWidget(row);

    QObject::connect(m_send, &QPushButton::clicked, this, [this] {
        const auto send = [this] {
            LineTester& tester = m_controller.tester();
            if (tester.testOutput().repeat)
                tester.startTest();
            else
                tester.sendTestOnce();
        };
        // The pattern is meant for a terminal or a scope, not for a display that listens.
        if (!m_controller.display().state().displayAnswered()) {
            send();
            return;
        }
        openConfirmation(this,
                         {tr("Testausgabe an das Display?"),
                          tr("Auf dieser Leitung hat ein Display geantwortet. Das Testmuster "
                             "ginge als ungültige Befehle an das Display."),
                          tr("Trotzdem senden")},
                         send, {});
    });
    QObject::connect(m_stop, &QPushButton::clicked, &m_controller.tester(), &LineTester::stopTest);
    QObject::connect(m_resetCount, &QPushButton::clicked, this,
                     [this] { m_controller.tester().setTestSentCount(0); });
    return section;
}

void TestOutputTab::refreshConnection()
{
    const QList<SerialPortInfo>& ports = m_controller.ports().ports();
    const auto port = std::find_if(ports.begin(), ports.end(), [this](const SerialPortInfo& p) {
        return p.path == m_controller.ports().selectedPath();
    });
    m_portName->setText(port != ports.end() ? port->name : QStringLiteral("–"));

    const bool connected = m_controller.line().connection().is(ConnectionState::Case::connected);
    if (connected) {
        m_portState->setText(tr("verbunden · %1").arg(m_controller.line().settings().summary()));
        Style::setTone(m_portState, Style::Tone::green);
    } else {
        m_portState->setText(tr("nicht verbunden"));
        Style::setTone(m_portState, Style::Tone::orange);
    }
    m_connect->setVisible(!connected);
    m_connect->setEnabled(!m_controller.ports().selectedPath().isEmpty());
}

void TestOutputTab::refreshPattern()
{
    const LineTester::TestOutput& output = m_controller.tester().testOutput();
    const TestPattern pattern = output.pattern;
    m_pattern->setCurrentIndex(m_pattern->findData(static_cast<int>(pattern)));
    m_hint->setText(hint(pattern));

    showText(m_customText, output.customText);
    showText(m_customHex, output.customHex);
    m_patternSection->setRowVisible(m_customText, pattern == TestPattern::customText);
    m_patternSection->setRowVisible(m_customHex, pattern == TestPattern::customHex);
    m_patternSection->setRowVisible(m_invalidHex, pattern == TestPattern::customHex &&
                                                      !parseHexBytes(output.customHex));
    refreshPreview();
}

void TestOutputTab::refreshPreview()
{
    const QByteArray bytes = m_controller.tester().currentTestBytes();
    m_previewLabel->setText(tr("Vorschau (%1 Bytes)").arg(QLocale().toString(bytes.size())));
    const QString text = hexText(bytes);
    // Rewriting the same text would drop the user's selection every second.
    if (m_preview->toPlainText() != text)
        m_preview->setPlainText(text);
}

void TestOutputTab::refreshOutput()
{
    const LineTester& tester = m_controller.tester();
    const bool running = tester.testRunning();
    const bool repeat = tester.testOutput().repeat;
    {
        const QSignalBlocker blockRepeat(m_repeat);
        const QSignalBlocker blockInterval(m_interval);
        m_repeat->setChecked(repeat);
        m_interval->setValue(tester.testOutput().interval);
    }
    m_outputSection->setRowVisible(m_interval, repeat);
    m_pollingPaused->setVisible(running);

    m_send->setText(repeat ? tr("Testausgabe starten") : tr("Einmal senden"));
    m_send->setVisible(!running);
    m_send->setEnabled(m_controller.line().connection().is(ConnectionState::Case::connected));
    m_stop->setVisible(running);
    m_sentCount->setText(tr("%1 gesendet").arg(QLocale().toString(tester.testSentCount())));
    m_resetCount->setEnabled(!running);
}

void TestOutputTab::changeOutput(const std::function<void(LineTester::TestOutput&)>& edit)
{
    LineTester::TestOutput output = m_controller.tester().testOutput();
    edit(output);
    m_controller.tester().setTestOutput(output);
}

void TestOutputTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshPreview();
    m_previewClock.start();
}

void TestOutputTab::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_previewClock.stop();
}
