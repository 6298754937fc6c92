#pragma once

#include <QAbstractListModel>
#include <QLocale>
#include <QTimer>

class DisplayController;
struct LogEntry;

// The controller's traffic log as a list model, one row per entry, oldest first.
//
// The log announces every entry on its own; a busy line brings hundreds per second. Like
// KDevelop's output model, the rows are handed to the view in batches instead: appended
// entries and entries trimmed at the front (the log's cap) are collected and announced
// together, with one beginRemoveRows for the front and one beginInsertRows for the end.
// Between two batches the model's rows lag behind the log: rows whose entries are already
// trimmed show nothing, entries not yet announced are not rows yet. Only clearing the log
// resets the model.
class LogModel : public QAbstractListModel {
    Q_OBJECT

public:
    // How long new entries may wait before they become rows: below what the eye notices, and
    // long enough that a stream of small chunks costs one view update per batch, not per entry.
    static constexpr int batchIntervalMs = 30;

    enum Role {
        KindRole = Qt::UserRole + 1, // LogEntry::Kind as int
        TimeRole,                    // the entry's time as the row shows it
        SymbolRole,                  // the kind's symbol
        BodyRole,                    // hex text or text, after the controller's showHex
        IdRole,                      // the entry's id
        PollRole,                    // a row of the poll cycle: query, answer or timeout
        BytesRole,                   // the bytes sent or received, if any
        TextRole,                    // the entry's text, whatever showHex says
    };

    explicit LogModel(DisplayController& controller, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Announces what is waiting now instead of at the end of the batch interval.
    void flush();
    bool hasPendingChanges() const { return m_dropped > 0 || m_pending > 0; }

    // Hours, minutes, seconds and milliseconds in the locale's style, each exactly once:
    // 14:03:22,105 in German, 2:03:22.105 PM in American English, 14:03:22.105 in C.
    static QString timeFormat(const QLocale& locale);
    // What a row shows as its text: when asked for and present, the bytes as hex with the
    // same bytes as characters beside them.
    static QString bodyText(const LogEntry& entry, bool showHex);

private:
    void appended(int count);
    void removedFromFront(int count);
    void cleared();
    void showHexChanged();
    void scheduleFlush();
    const LogEntry* entryAt(int row) const;
    QString timeText(const LogEntry& entry) const;

    DisplayController& m_controller;
    QString m_timeFormat;
    QLocale m_locale;
    int m_rows = 0;    // rows the view knows
    int m_dropped = 0; // rows at the front whose entries the log has already trimmed
    int m_pending = 0; // entries at the end of the log that are no rows yet
    QTimer m_batch;
};
