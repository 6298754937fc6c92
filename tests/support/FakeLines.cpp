#include "FakeLines.h"

#include <QCoreApplication>

class FakeLine final : public Line {
public:
    FakeLine(FakeLines& lines, QString device)
        : m_lines(lines)
        , m_device(std::move(device))
    {
        m_lines.current = this;
    }
    ~FakeLine() override
    {
        close();
        *m_alive = false;
    }

    void open(OpenDone done) override
    {
        if (m_lines.openLater)
            m_pendingOpen = std::move(done);
        else
            finishOpen(std::move(done), m_lines.openFailure);
    }
    std::optional<LineError> apply(const SerialSettings&) override
    {
        if (m_open)
            ++m_lines.applied;
        return std::nullopt;
    }
    std::optional<LineError> write(const QByteArray& bytes) override
    {
        if (!m_open)
            return LineError::of(LineError::Kind::notOpen, m_device);
        if (m_lines.writeFailure)
            return m_lines.writeFailure;
        for (const QString& line : m_lines.record(bytes)) {
            if (m_lines.display)
                receiveLater(m_lines.display(line));
        }
        return std::nullopt;
    }
    void close() override
    {
        m_open = false;
        m_pendingOpen = nullptr;
        ++m_opening;
        if (m_lines.current == this)
            m_lines.current = nullptr;
    }
    QString name() const override { return m_device; }

    bool isOpen() const { return m_open; }
    void finishPendingOpen(std::optional<LineError> error)
    {
        if (auto done = std::exchange(m_pendingOpen, nullptr))
            finishOpen(std::move(done), std::move(error));
    }
    // From the event loop, and only while this opening of the line lasts.
    void receiveLater(const QByteArray& bytes)
    {
        if (bytes.isEmpty())
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, opening = m_opening, alive = m_alive, bytes] {
                if (*alive && m_open && m_opening == opening && onData)
                    onData(bytes);
            },
            Qt::QueuedConnection);
    }

private:
    void finishOpen(OpenDone done, std::optional<LineError> error)
    {
        m_open = !error;
        done(std::move(error));
        if (m_open && m_lines.afterOpen)
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [this, opening = m_opening, alive = m_alive] {
                    if (*alive && m_open && m_opening == opening)
                        m_lines.afterOpen();
                },
                Qt::QueuedConnection);
    }

    FakeLines& m_lines;
    QString m_device;
    OpenDone m_pendingOpen;
    bool m_open = false;
    quint64 m_opening = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

void FakeLines::receive(const QByteArray& bytes)
{
    if (current && current->isOpen() && current->onData)
        current->onData(bytes);
}

void FakeLines::lose(const QString& reason)
{
    if (current && current->isOpen() && current->onError)
        current->onError(LineError::peerClosed(current->name(), reason));
}

void FakeLines::finishOpen(std::optional<LineError> error)
{
    if (current)
        current->finishPendingOpen(std::move(error));
}

ControllerOptions::LineMaker FakeLines::maker()
{
    return [this](const LineAddress& address, const SerialSettings&,
                  DisplaySeries) -> std::unique_ptr<Line> {
        devices.append(address.text());
        return std::make_unique<FakeLine>(*this, address.text());
    };
}

QStringList FakeLines::record(const QByteArray& bytes)
{
    written += bytes;
    const QStringList completed = m_commandLines.feed(bytes);
    lines += completed;
    return completed;
}
