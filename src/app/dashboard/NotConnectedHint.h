#pragma once

#include <QWidget>

class QLabel;

// The orange note above the cards while they cannot reach the display: with no connection,
// what to plug in and choose for the kind of line chosen, or why the last attempt failed;
// otherwise why the controls rest (raw mode, a line test).
class NotConnectedHint : public QWidget {
    Q_OBJECT

public:
    explicit NotConnectedHint(QWidget* parent = nullptr);

    // What kind of line is chosen, for the advice.
    enum class Line { none, device, network, simulator };
    // No connection: the advice on what to plug in and choose for this kind of line.
    void showNotConnected(Line line);
    // The last attempt failed, for this reason.
    void showFailed(const QString& reason);
    // A lost line is waited for.
    void showWaiting(Line line);
    // Connected, but the controls send nothing, for this reason.
    void showResting(const QString& reason);
    QString headline() const;
    QString text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_headline;
    QLabel* m_text;
};
