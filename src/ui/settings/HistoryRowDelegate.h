#pragma once

#include "history/LogEvent.h"

#include <QColor>
#include <QStyledItemDelegate>

// Draws one history row: the kind's symbol in its colour, the title, up to two lines of
// detail, and the date on the trailing edge. Row heights are worked out from font metrics
// alone, so laying out thousands of rows stays cheap.
class HistoryRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QString symbolName(LogEvent::Kind kind);
    // Failures red, then outages orange, then repairs green, else the secondary colour.
    static QColor tint(LogEvent::Kind kind, const QPalette &palette);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // How many lines the detail takes in a row of the given width (0, 1 or 2).
    int detailLineCount(const QString &detail, const QFont &font, int rowWidth) const;

private:
    struct Geometry
    {
        int detailWidth;
        int dateWidth;
    };
    Geometry geometry(const QFont &font, int rowWidth) const;
};
