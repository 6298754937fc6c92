#include "app/terminal/LogModel.h"

#include "controller/DisplayController.h"
#include "controller/TrafficLog.h"

LogModel::LogModel(DisplayController& controller, QObject* parent)
    : QAbstractListModel(parent)
    , m_controller(controller)
    , m_timeFormat(timeFormat(QLocale()))
    , m_rows(controller.log().entries().size())
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(batchIntervalMs);
    connect(&m_batch, &QTimer::timeout, this, &LogModel::flush);
    const TrafficLog& log = controller.log();
    connect(&log, &TrafficLog::appended, this, &LogModel::appended);
    connect(&log, &TrafficLog::removedFromFront, this, &LogModel::removedFromFront);
    connect(&log, &TrafficLog::cleared, this, &LogModel::cleared);
    connect(&log, &TrafficLog::showHexChanged, this, &LogModel::showHexChanged);
}

int LogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

const LogEntry* LogModel::entryAt(int row) const
{
    // Row r shows entry r - m_dropped: the first m_dropped rows are already gone from the log.
    const int index = row - m_dropped;
    if (row < 0 || row >= m_rows || index < 0 || index >= m_controller.log().entries().size())
        return nullptr;
    return &m_controller.log().entries().at(index);
}

QVariant LogModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const LogEntry* entry = entryAt(index.row());
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return timeText(*entry) + u' ' + LogEntry::symbol(entry->kind) + u' ' +
               bodyText(*entry, m_controller.log().showHex());
    case KindRole:
        return int(entry->kind);
    case TimeRole:
        return timeText(*entry);
    case SymbolRole:
        return LogEntry::symbol(entry->kind);
    case BodyRole:
        return bodyText(*entry, m_controller.log().showHex());
    case IdRole:
        return entry->id;
    case PollRole:
        return entry->poll;
    case BytesRole:
        return entry->bytes;
    case TextRole:
        return entry->text;
    default:
        return {};
    }
}

QHash<int, QByteArray> LogModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(KindRole, "kind");
    names.insert(TimeRole, "time");
    names.insert(SymbolRole, "symbol");
    names.insert(BodyRole, "body");
    names.insert(IdRole, "entryId");
    names.insert(PollRole, "poll");
    return names;
}

QString LogModel::bodyText(const LogEntry& entry, bool showHex)
{
    if (!showHex || entry.bytes.isEmpty())
        return entry.text;
    return entry.hexText() + QStringLiteral("  │ ") + LogEntry::printable(entry.bytes);
}

QString LogModel::timeText(const LogEntry& entry) const
{
    // Entries keep UTC; the zone is looked up here, for the rows on screen only.
    return m_locale.toString(entry.date.toLocalTime().time(), m_timeFormat);
}

QString LogModel::timeFormat(const QLocale& locale)
{
    // The locale's short time ("HH:mm", "h:mm AP", "HH:mm:ss") read token by token: hours,
    // minutes, the AM/PM marker and quoted text are kept; seconds, fractions and the time zone
    // are dropped with the separator before them; after the minutes come the seconds (with the
    // separator the locale puts between hours and minutes) and the milliseconds (after its
    // decimal sign).
    const QString shortFormat = locale.timeFormat(QLocale::ShortFormat);
    QString format;
    QString pending; // separators not yet known to be kept
    QString separator = QStringLiteral(":");
    bool minutes = false;
    for (qsizetype i = 0; i < shortFormat.size();) {
        const QChar c = shortFormat.at(i);
        if (c == u'\'') { // quoted text, kept as it is
            const qsizetype end = shortFormat.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? shortFormat.size() : end + 1;
            pending += shortFormat.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (!c.isLetter()) {
            pending += c;
            ++i;
            continue;
        }
        qsizetype run = i;
        while (run < shortFormat.size() && shortFormat.at(run) == c)
            ++run;
        const QString token = shortFormat.mid(i, run - i);
        i = run;
        if (c == u's' || c == u'z' || c == u't') {
            pending.clear();
            continue;
        }
        if (c == u'm') {
            if (!pending.trimmed().isEmpty() && !pending.contains(u'\''))
                separator = pending.trimmed();
            format += pending + QStringLiteral("mm") + separator + QStringLiteral("ss") +
                      locale.decimalPoint() + QStringLiteral("zzz");
            minutes = true;
        } else {
            format += pending + token;
        }
        pending.clear();
    }
    format += pending;
    return minutes ? format : QStringLiteral("HH:mm:ss") + locale.decimalPoint() + "zzz";
}

void LogModel::appended(int count)
{
    m_pending += count;
    scheduleFlush();
}

void LogModel::removedFromFront(int count)
{
    // The oldest entries go first: rows the view already shows, then waiting entries.
    const int shown = qMin(count, m_rows - m_dropped);
    m_dropped += shown;
    m_pending -= count - shown;
    scheduleFlush();
}

void LogModel::cleared()
{
    m_batch.stop();
    beginResetModel();
    m_rows = 0;
    m_dropped = 0;
    m_pending = 0;
    endResetModel();
}

void LogModel::showHexChanged()
{
    if (m_rows > 0)
        emit dataChanged(index(0), index(m_rows - 1), {Qt::DisplayRole, BodyRole});
}

void LogModel::scheduleFlush()
{
    // Not restarted by later entries: a steady stream still shows up every interval.
    if (!m_batch.isActive())
        m_batch.start();
}

void LogModel::flush()
{
    m_batch.stop();
    if (m_dropped > 0) {
        beginRemoveRows({}, 0, m_dropped - 1);
        m_rows -= m_dropped;
        m_dropped = 0;
        endRemoveRows();
    }
    if (m_pending > 0) {
        beginInsertRows({}, m_rows, m_rows + m_pending - 1);
        m_rows += m_pending;
        m_pending = 0;
        endInsertRows();
    }
}
