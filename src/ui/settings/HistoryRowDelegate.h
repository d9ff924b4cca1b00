#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QStyledItemDelegate>

// Draws one history row: the kind's symbol in its colour, the title, up to two lines of
// detail, and the date on the trailing edge. Row heights are worked out from font metrics
// alone, so laying out thousands of rows stays cheap.
class HistoryRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Forgets the measurements, after the locale changed.
    void invalidate();

private:
    // Font measurements, worked out once per font and locale rather than once per row.
    struct Metrics
    {
        QFont font;
        QFont captionFont;
        QFontMetrics captionMetrics{QFont()};
        int titleHeight = 0;
        int titleAscent = 0;
        int captionAscent = 0;
        int captionLineSpacing = 0;
        int dateWidth = 0;
    };
    const Metrics &metrics(const QFont &font) const;
    // How many lines the detail takes in a row of the given width (0, 1 or 2).
    int detailLineCount(const QString &detail, const QFont &font, int rowWidth) const;
    int detailWidth(const Metrics &metrics, int rowWidth) const;
    int detailAdvance(const QString &detail, const Metrics &metrics) const;

    mutable Metrics m_metrics;
    // Widths of detail texts; the same few texts come back again and again in a history.
    mutable QHash<QString, int> m_advances;
};
