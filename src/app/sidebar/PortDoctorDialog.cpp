#include "app/sidebar/PortDoctorDialog.h"

#include "app/style/Icons.h"
#include "app/widgets/StatusLine.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QLabel* wrappedLabel(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    // The texts name paths and groups that users look up or paste elsewhere.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A command in a read-only field, whole and wrapped (what runs with sudo should be read
// before it is pasted), with a button that copies it.
QWidget* commandRow(const QString& command, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* field = new QLabel(command, row);
    field->setObjectName(QStringLiteral("findingCommand"));
    field->setTextFormat(Qt::PlainText);
    field->setWordWrap(true);
    field->setFont(Style::monospace());
    field->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    field->setFrameShape(QFrame::StyledPanel);
    field->setFrameShadow(QFrame::Sunken);
    field->setMargin(3);
    field->setAutoFillBackground(true);
    field->setBackgroundRole(QPalette::Base);
    field->setForegroundRole(QPalette::Text);
    field->setAccessibleName(PortDoctorDialog::tr("Befehl"));
    auto* copy = new QPushButton(symbolIcon(QStringLiteral("doc.on.doc")),
                                 PortDoctorDialog::tr("Kopieren"), row);
    copy->setObjectName(QStringLiteral("copyCommandButton"));
    copy->setAutoDefault(false);
    copy->setToolTip(PortDoctorDialog::tr("Befehl in die Zwischenablage kopieren"));
    copy->setAccessibleName(PortDoctorDialog::tr("Befehl kopieren"));
    QObject::connect(copy, &QPushButton::clicked, row,
                     [command] { QGuiApplication::clipboard()->setText(command); });
    layout->addWidget(field, 1);
    layout->addWidget(copy, 0, Qt::AlignTop);
    return row;
}

QWidget* findingBlock(const Finding& finding, QWidget* parent)
{
    auto* block = new QWidget(parent);
    block->setObjectName(QStringLiteral("finding"));
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    QFont headlineFont = Style::headline();
    auto* headline = new StatusLine(PortDoctorDialog::symbol(finding.severity),
                                    PortDoctorDialog::tone(finding.severity), headlineFont, block);
    headline->setText(label(finding.severity));
    layout->addWidget(headline);
    layout->addWidget(wrappedLabel(finding.text, QStringLiteral("findingText"), block));
    if (!finding.fix.isEmpty()) {
        auto* fix = wrappedLabel(finding.fixLine(), QStringLiteral("findingFix"), block);
        Style::setTone(fix, Style::Tone::secondary);
        layout->addWidget(fix);
    }
    for (const QString& command : finding.commands)
        layout->addWidget(commandRow(command, block));
    return block;
}

} // namespace

QString PortDoctorDialog::symbol(Finding::Severity severity)
{
    switch (severity) {
    case Finding::Severity::error:
        return QStringLiteral("xmark.octagon.fill");
    case Finding::Severity::warning:
        return QStringLiteral("exclamationmark.triangle.fill");
    case Finding::Severity::hint:
        break;
    }
    return QStringLiteral("info.circle");
}

Style::Tone PortDoctorDialog::tone(Finding::Severity severity)
{
    switch (severity) {
    case Finding::Severity::error:
        return Style::Tone::red;
    case Finding::Severity::warning:
        return Style::Tone::orange;
    case Finding::Severity::hint:
        break;
    }
    // A hint is no fault: it must not look like one.
    return Style::Tone::secondary;
}

PortDoctorDialog::PortDoctorDialog(const PortReport& report, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("portDoctorDialog"));
    setWindowTitle(tr("Port-Diagnose"));
    auto* layout = new QVBoxLayout(this);

    const QString name = report.facts.title.isEmpty()
                             ? report.facts.port
                             : report.facts.title + QStringLiteral(" · ") + report.facts.port;
    auto* intro = new StatusLine(QString(), Style::Tone::primary, Style::headline(), this);
    intro->setObjectName(QStringLiteral("portDoctorPort"));
    intro->setText(name);
    layout->addWidget(intro);

    // Several findings with commands outgrow a small screen: they scroll, the buttons stay.
    auto* content = new QWidget(this);
    auto* findings = new QVBoxLayout(content);
    findings->setContentsMargins(0, 4, 0, 4);
    findings->setSpacing(10);
    for (qsizetype i = 0; i < report.findings.size(); ++i) {
        if (i > 0) {
            auto* rule = new QFrame(content);
            rule->setFrameShape(QFrame::HLine);
            rule->setFrameShadow(QFrame::Sunken);
            findings->addWidget(rule);
        }
        findings->addWidget(findingBlock(report.findings[i], content));
    }
    if (report.findings.isEmpty())
        findings->addWidget(wrappedLabel(tr("An diesem Port ist nichts Auffälliges zu finden."),
                                         QStringLiteral("findingText"), content));
    findings->addStretch(1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(scroll, 1);

    auto* note = new QLabel(tr("Bildwart führt keinen dieser Befehle selbst "
                               "aus: sie gehören in ein Terminal, Befehle mit "
                               "sudo fragen dort nach Ihrem Passwort."),
                            this);
    note->setWordWrap(true);
    Style::makeCaption(note);
    layout->addWidget(note);

    auto* buttons = new QDialogButtonBox(this);
    // Named here: without Qt's translations the standard button would say "Close".
    auto* close = buttons->addButton(tr("Schließen"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Wide enough that most commands take one line; tall enough for every finding, within
    // the screen.
    const int width = std::max(600, fontMetrics().averageCharWidth() * 84);
    const QMargins margins = layout->contentsMargins();
    const int inner = width - margins.left() - margins.right();
    const int wanted = margins.top() + margins.bottom() + 3 * layout->spacing() +
                       intro->heightForWidth(inner) + findings->totalHeightForWidth(inner) +
                       note->heightForWidth(inner) + buttons->sizeHint().height();
    const int available = screen() ? screen()->availableGeometry().height() * 9 / 10 : 700;
    resize(width, std::min(wanted, available));
}
