#include "app/widgets/StatusLine.h"

#include "app/style/Icons.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>

namespace {

// Break chances inside long words, where a path may wrap: a zero-width space after each
// separator.
QString withPathBreaks(QString text)
{
    for (const QChar separator : {u'/', u'_', u'-'})
        text.replace(separator, QString(separator) + QChar(0x200B));
    return text;
}

} // namespace

StatusLine::StatusLine(const QString& symbol, Style::Tone tone, const QFont& font, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_tone(tone)
    , m_icon(new QLabel(this))
    , m_text(new QLabel(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);

    if (!symbol.isEmpty()) {
        const int size = QFontMetrics(font).height();
        Style::setSymbol(m_icon, symbol, size, tone);
        m_icon->setFixedWidth(size);
        m_icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        layout->addWidget(m_icon, 0, Qt::AlignTop);
    } else {
        m_icon->hide();
    }

    m_text->setFont(font);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    Style::setTone(m_text, tone);
    layout->addWidget(m_text, 1);

    // The shown text carries break chances; what is copied is the text itself.
    auto* copy = new QAction(tr("Kopieren"), this);
    connect(copy, &QAction::triggered, this,
            [this] { QApplication::clipboard()->setText(m_full); });
    m_text->addAction(copy);
    m_text->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void StatusLine::setTone(Style::Tone tone)
{
    if (tone == m_tone)
        return;
    m_tone = tone;
    if (!m_symbol.isEmpty())
        Style::setSymbol(m_icon, m_symbol, m_icon->width(), tone);
    Style::setTone(m_text, tone);
}

void StatusLine::setText(const QString& text)
{
    m_full = text;
    m_text->setText(withPathBreaks(text));
}
