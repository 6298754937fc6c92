#include "app/sidebar/NetworkAddressDialog.h"

#include "app/style/Style.h"
#include "line/LineAddress.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

NetworkAddressDialog::NetworkAddressDialog(QWidget* parent)
    : QDialog(parent)
    , m_address(new QLineEdit(this))
    , m_problem(new QLabel(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setWindowTitle(tr("Netzwerkadresse"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(tr("Adresse eines RS-232-Gateways oder eines ser2net-Ports:"), this);
    auto* examples = new QLabel(
        tr("HOST:PORT oder tcp://HOST:PORT – einfacher TCP-Port; Baudrate und Parität stellt "
           "man am Gateway ein\nrfc2217://HOST:PORT – Telnet-COM-Port; Baudrate und Parität "
           "stellt Bildwart über das Netzwerk ein\nz. B. %1")
            .arg(NetworkAddress::examples()),
        this);
    examples->setFont(Style::caption());
    examples->setWordWrap(true);
    m_address->setObjectName(QStringLiteral("networkAddress"));
    m_address->setPlaceholderText(QStringLiteral("tcp://10.1.2.3:4001"));
    m_address->setFont(Style::monospace());
    m_problem->setObjectName(QStringLiteral("networkAddressProblem"));
    Style::makeCaption(m_problem, Style::Tone::red);
    m_problem->setWordWrap(true);
    layout->addWidget(intro);
    layout->addWidget(m_address);
    layout->addWidget(examples);
    layout->addWidget(m_problem);
    layout->addWidget(m_buttons);
    connect(m_address, &QLineEdit::textChanged, this, &NetworkAddressDialog::check);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(460, sizeHint().height());
    check();
}

QString NetworkAddressDialog::address() const
{
    return m_address->text().trimmed();
}

void NetworkAddressDialog::check()
{
    const auto parsed = LineAddress::parse(address());
    const auto* line = std::get_if<LineAddress>(&parsed);
    const bool valid = line && line->isNetwork();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(valid);
    m_buttons->button(QDialogButtonBox::Ok)->setText(tr("Verbinden"));
    // Said only once something is typed: an empty field is no mistake yet.
    if (valid || address().isEmpty())
        m_problem->clear();
    else if (const QString* error = std::get_if<QString>(&parsed))
        m_problem->setText(*error);
    else
        m_problem->setText(tr("Das ist keine Netzwerkadresse – erwartet HOST:PORT, "
                              "tcp://HOST:PORT oder rfc2217://HOST:PORT."));
    // The dialog grows for the message instead of laying it over the examples.
    layout()->activate();
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                     : layout()->totalSizeHint().height();
    setMinimumHeight(needed);
    if (height() < needed)
        resize(width(), needed);
}
