#pragma once

#include <QList>
#include <QString>

// One selectable port of the sidebar. Its identity is the path.
struct SerialPortInfo {
    QString path;
    QString name;
    QString detail;
    bool isSimulator = false;

    bool operator==(const SerialPortInfo&) const = default;

    // The hardware ports of this computer, adapters first; never fails.
    static QList<SerialPortInfo> scan();

    bool looksLikeUSBAdapter() const;
    // Ports that belong to the computer itself and are never the adapter.
    bool isInternalPort() const;
    // What the sidebar says when such a port is selected.
    static QString internalPortWarning();
    // What the sidebar and the tool's port list say when there is no adapter at all.
    static QString noAdapterText();

    // Adapter-like ports first, each group ascending by path.
    static QList<SerialPortInfo> sorted(QList<SerialPortInfo> ports);

    // The selection after a rescan: the old one while it is listed and is not an
    // internal port passed over for an adapter; otherwise the first adapter-like
    // port, or none. The simulators are only ever chosen by the user.
    static QString repairSelection(const QString& selected, const QList<SerialPortInfo>& ports);

    // The two built-in simulator entries, listed after the real ports.
    static const QString smartSimulatorPath;
    static const QString loopbackSimulatorPath;
    static QList<SerialPortInfo> simulatorEntries();
};

size_t qHash(const SerialPortInfo& port, size_t seed = 0) noexcept;
