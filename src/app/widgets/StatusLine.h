#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;

// One coloured line with a leading symbol, wrapped when long: the sidebar's and the settings
// window's hints and warnings ("Warte auf …", failure texts, adapter headlines).
class StatusLine : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    StatusLine(const QString& symbol, const QColor& color, const QFont& font,
               QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);

private:
    QLabel* m_icon;
    QLabel* m_text;
};
