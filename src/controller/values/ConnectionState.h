#pragma once

#include <QString>

// The state of the line as the sidebar and the toolbar show it.
struct ConnectionState {
    enum class Case { failed, disconnected, connecting, connected, waiting };

    Case state = Case::disconnected;
    QString reason; // only for failed: the German text shown to the user

    bool operator==(const ConnectionState&) const = default;

    static ConnectionState failed(const QString& reason) { return {Case::failed, reason}; }
    static ConnectionState disconnected() { return {Case::disconnected, {}}; }
    static ConnectionState connecting() { return {Case::connecting, {}}; }
    static ConnectionState connected() { return {Case::connected, {}}; }
    static ConnectionState waiting() { return {Case::waiting, {}}; }

    bool is(Case c) const { return state == c; }
};
