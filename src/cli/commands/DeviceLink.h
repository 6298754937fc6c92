#pragma once

#include <QString>
#include <optional>

// A symbolic link to the simulator's pseudo-terminal under a fixed name, so that
// scripts and other serial programs need not learn the changing /dev/pts number.
// Removed when destroyed, but only while it still points where it was made to point.
class DeviceLink {
public:
    DeviceLink() = default;
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Creates `path` pointing to `target`. A link left behind by a simulator that was
    // killed (its pseudo-terminal gone, or taken over by some other program meanwhile)
    // is replaced; a link that a running simulator uses, or any file that is no link,
    // is kept. Returns the German error text on failure.
    std::optional<QString> create(const QString& path, const QString& target);

private:
    QString m_path;
    QString m_target;
};
