#pragma once

#include "history/LogEvent.h"

#include <QAbstractListModel>
#include <QList>

// The History tab's rows: records in display order (newest first), one row each.
class HistoryListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        KindRole = Qt::UserRole + 1, // LogEvent::Kind as int
        DetailRole,                  // QString, may be empty
        DateRole,                    // milliseconds since the epoch (qint64)
    };

    using QAbstractListModel::QAbstractListModel;

    // Replaces every row.
    void setEvents(QList<LogEvent> newestFirst);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QList<LogEvent> m_events;
};
