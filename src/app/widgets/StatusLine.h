#pragma once

#include "app/style/Style.h"

#include <QString>
#include <QWidget>

class QLabel;

// One line with a leading symbol (or none), in a tone, wrapped when long: the sidebar's and the
// settings window's hints and warnings ("Warte auf …", failure texts, adapter headlines, a
// port's detail). Device paths have no blanks ("/dev/serial/by-id/usb-FTDI_…"), so they may
// also break after "/", "_" and "-", and a narrow column never cuts them; the context menu
// copies the text as it is.
class StatusLine : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    StatusLine(const QString& symbol, Style::Tone tone, const QFont& font,
               QWidget* parent = nullptr);

    QString text() const { return m_full; }
    void setText(const QString& text);
    Style::Tone tone() const { return m_tone; }
    void setTone(Style::Tone tone);

private:
    QString m_full;
    QString m_symbol;
    Style::Tone m_tone;
    QLabel* m_icon;
    QLabel* m_text;
};
