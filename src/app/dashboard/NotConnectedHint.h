#pragma once

#include <QWidget>

class QLabel;

// The orange note above the cards while they cannot reach the display: with no connection,
// what to plug in and choose; otherwise why the controls rest (raw mode, a line test).
class NotConnectedHint : public QWidget {
    Q_OBJECT

public:
    explicit NotConnectedHint(QWidget* parent = nullptr);

    // No connection: the advice on what to plug in and choose.
    void showNotConnected();
    // Connected, but the controls send nothing, for this reason.
    void showResting(const QString& reason);
    QString headline() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_headline;
    QLabel* m_text;
};
