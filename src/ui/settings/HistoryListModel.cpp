#include "ui/settings/HistoryListModel.h"

#include "ui/settings/DateTexts.h"

void HistoryListModel::setEvents(QList<LogEvent> newestFirst)
{
    beginResetModel();
    m_events = std::move(newestFirst);
    endResetModel();
}

int HistoryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_events.size());
}

QVariant HistoryListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_events.size())
        return {};
    const LogEvent &event = m_events[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return LogEvent::title(event.kind);
    case Qt::AccessibleTextRole: {
        QStringList parts{LogEvent::title(event.kind)};
        if (!event.detail.isEmpty())
            parts << event.detail;
        parts << DateTexts::abbreviated(event.date);
        return parts.join(QStringLiteral(", "));
    }
    case KindRole:
        return int(event.kind);
    case DetailRole:
        return event.detail;
    case DateRole:
        return qint64(event.date.time_since_epoch().count());
    default:
        return {};
    }
}
