#pragma once

#include <QList>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "protocol/DisplaySetting.h"

class DisplayController;
class QLabel;
class ClockTimer;

// Under a card's controls: a quiet "Wird gesendet …" while a command of ours for one of the
// card's settings is under way, and for a few seconds the reason when one failed. The
// controls themselves already show the display's value again by then.
class CommandStatus : public QWidget {
    Q_OBJECT

public:
    static constexpr double failureShownSeconds = 6;

    CommandStatus(DisplayController& controller, QList<DisplaySetting> settings,
                  QWidget* parent = nullptr);
    ~CommandStatus() override;

    QString text() const;

private:
    void refresh();

    DisplayController& m_controller;
    QList<DisplaySetting> m_settings;
    // The failure of each setting already shown (or there before this view).
    std::array<std::optional<QString>, displaySettingCount> m_seen{};
    QLabel* m_icon;
    QLabel* m_text;
    std::unique_ptr<ClockTimer> m_failureShown;
    QString m_failure;
};
