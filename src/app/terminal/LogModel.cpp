#include "app/terminal/LogModel.h"

#include "controller/DisplayController.h"

LogModel::LogModel(DisplayController& controller, QObject* parent)
    : QAbstractListModel(parent)
    , m_controller(controller)
    , m_timeFormat(timeFormat(QLocale()))
    , m_rows(controller.log().size())
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(batchIntervalMs);
    connect(&m_batch, &QTimer::timeout, this, &LogModel::flush);
    connect(&controller, &DisplayController::logAppended, this, &LogModel::appended);
    connect(&controller, &DisplayController::logRemovedFromFront, this,
            &LogModel::removedFromFront);
    connect(&controller, &DisplayController::logCleared, this, &LogModel::cleared);
    connect(&controller, &DisplayController::showHexChanged, this, &LogModel::showHexChanged);
}

int LogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

const LogEntry* LogModel::entryAt(int row) const
{
    // Row r shows entry r - m_dropped: the first m_dropped rows are already gone from the log.
    const int index = row - m_dropped;
    if (row < 0 || row >= m_rows || index < 0 || index >= m_controller.log().size())
        return nullptr;
    return &m_controller.log().at(index);
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
               bodyText(*entry, m_controller.showHex());
    case KindRole:
        return int(entry->kind);
    case TimeRole:
        return timeText(*entry);
    case SymbolRole:
        return LogEntry::symbol(entry->kind);
    case BodyRole:
        return bodyText(*entry, m_controller.showHex());
    case IdRole:
        return entry->id;
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
    return names;
}

QString LogModel::bodyText(const LogEntry& entry, bool showHex)
{
    return showHex && !entry.bytes.isEmpty() ? entry.hexText() : entry.text;
}

QString LogModel::timeText(const LogEntry& entry) const
{
    // Entries keep UTC; the zone is looked up here, for the rows on screen only.
    return m_locale.toString(entry.date.toLocalTime().time(), m_timeFormat);
}

QString LogModel::timeFormat(const QLocale& locale)
{
    // The locale's short time ("HH:mm", "h:mm AP") with seconds and milliseconds after the
    // minutes, separated by the locale's decimal sign.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype minutes = format.indexOf(QStringLiteral("mm"));
    if (minutes < 0)
        return QStringLiteral("HH:mm:ss,zzz");
    format.insert(minutes + 2,
                  QStringLiteral(":ss") + locale.decimalPoint() + QStringLiteral("zzz"));
    return format;
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
