#pragma once

#include "controller/LineTester.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class DisplayController;
class FilledButton;
class FormSection;
class Picker;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Settings tab "Testausgabe": where the test output goes, which pattern it sends (with a
// preview of the next packet), and sending once or repeatedly.
class TestOutputTab : public QWidget {
    Q_OBJECT

public:
    explicit TestOutputTab(DisplayController& controller, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    FormSection* makeConnectionSection();
    FormSection* makePatternSection();
    FormSection* makeOutputSection();
    void refreshConnection();
    void refreshPattern();
    void refreshPreview();
    void refreshOutput();
    void changeOutput(const std::function<void(LineTester::TestOutput&)>& edit);

    DisplayController& m_controller;
    // Connection
    QLabel* m_portName = nullptr;
    QLabel* m_portState = nullptr;
    QPushButton* m_connect = nullptr;
    // Pattern
    FormSection* m_patternSection = nullptr;
    Picker* m_pattern = nullptr;
    QLabel* m_hint = nullptr;
    QLineEdit* m_customText = nullptr;
    QLineEdit* m_customHex = nullptr;
    QLabel* m_invalidHex = nullptr;
    QLabel* m_previewLabel = nullptr;
    QPlainTextEdit* m_preview = nullptr;
    // Output
    FormSection* m_outputSection = nullptr;
    QCheckBox* m_repeat = nullptr;
    QDoubleSpinBox* m_interval = nullptr;
    QLabel* m_pollingPaused = nullptr;
    FilledButton* m_send = nullptr;
    FilledButton* m_stop = nullptr;
    QLabel* m_sentCount = nullptr;
    QPushButton* m_resetCount = nullptr;
    // The counter line of the preview carries the time of day.
    QTimer m_previewClock;
};
