#pragma once

#include <QList>
#include <optional>

// The echo delays (seconds) of the correct packets of one loopback run. The
// controller's statistics keep the smallest and largest; the median needs them all.
class RoundTripTimes {
public:
    void add(double seconds) { m_seconds.append(seconds); }
    qsizetype count() const { return m_seconds.size(); }

    // The middle value; with an even count the mean of the two middle ones.
    std::optional<double> median() const;

private:
    QList<double> m_seconds;
};
