#include "ui/settings/HistoryRowDelegate.h"

#include "ui/Symbols.h"
#include "ui/settings/DateTexts.h"
#include "ui/settings/HistoryListModel.h"
#include "ui/settings/SettingsForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QPixmapCache>
#include <QTextLayout>

namespace {

constexpr int horizontalMargin = 10;
constexpr int verticalPadding = 4;
constexpr int symbolWidth = 16;
constexpr int spacing = 8;

int rowWidthFor(const QStyleOptionViewItem &option)
{
    if (auto *view = qobject_cast<const QAbstractItemView *>(option.widget))
        return view->viewport()->width();
    return option.rect.width();
}

QString symbolName(LogEvent::Kind kind)
{
    using Kind = LogEvent::Kind;
    switch (kind) {
    case Kind::appStarted:
    case Kind::appStopped:
        return QStringLiteral("power");
    case Kind::wake:
        return QStringLiteral("sun.max");
    case Kind::checkStarted:
    case Kind::info:
        return QStringLiteral("info.circle");
    case Kind::plexOK:
    case Kind::volumeOK:
        return QStringLiteral("checkmark.circle");
    case Kind::plexDown:
    case Kind::volumeDown:
        return QStringLiteral("exclamationmark.triangle.fill");
    case Kind::plexLaunched:
    case Kind::volumeMounted:
        return QStringLiteral("arrow.clockwise.circle.fill");
    case Kind::plexLaunchFailed:
    case Kind::volumeMountFailed:
    case Kind::error:
        return QStringLiteral("xmark.octagon.fill");
    }
    return QStringLiteral("info.circle");
}

// Failures red, then outages orange, then repairs green, else the secondary colour.
QColor tint(LogEvent::Kind kind, const QPalette &palette)
{
    if (LogEvent::isFailure(kind))
        return SettingsForm::red();
    if (LogEvent::isOutage(kind))
        return SettingsForm::orange();
    if (LogEvent::isRepair(kind))
        return SettingsForm::green();
    return SettingsForm::secondaryColor(palette);
}

// The kind's symbol in the given colour, drawn once per kind, colour and pixel ratio.
QPixmap symbolPixmap(LogEvent::Kind kind, const QColor &color, qreal ratio)
{
    const QString cacheKey =
        QStringLiteral("vm-history-%1-%2-%3").arg(int(kind)).arg(color.rgba()).arg(ratio);
    QPixmap symbol;
    if (!QPixmapCache::find(cacheKey, &symbol)) {
        symbol = tintedSymbolIcon(symbolName(kind), color, symbolWidth)
                     .pixmap(QSize(symbolWidth, symbolWidth), ratio);
        QPixmapCache::insert(cacheKey, symbol);
    }
    return symbol;
}

// Up to two lines of detail from the first line's baseline on; everything after the first
// line goes on the second, cut with an ellipsis. The painter's font and pen are set.
void drawDetail(QPainter *painter, const QString &detail, QPoint baseline, int width)
{
    const QFont font = painter->font();
    const QFontMetrics fontMetrics(font);
    QString text = detail;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, font);
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrapping);
    layout.beginLayout();
    QTextLine first = layout.createLine();
    first.setLineWidth(width);
    QTextLine second = layout.createLine();
    if (second.isValid())
        second.setLineWidth(width);
    layout.endLayout();

    QString firstText = text.mid(first.textStart(), first.textLength());
    firstText.remove(QChar::LineSeparator);
    painter->drawText(baseline, firstText);
    if (second.isValid()) {
        QString rest = text.mid(second.textStart());
        rest.replace(QChar::LineSeparator, QLatin1Char(' '));
        baseline.ry() += fontMetrics.lineSpacing();
        painter->drawText(baseline, fontMetrics.elidedText(rest, Qt::ElideRight, width));
    }
}

} // namespace

const HistoryRowDelegate::Metrics &HistoryRowDelegate::metrics(const QFont &font) const
{
    if (m_metrics.titleHeight > 0 && m_metrics.font == font)
        return m_metrics;
    m_advances.clear();
    m_metrics.font = font;
    m_metrics.captionFont = SettingsForm::captionFont(font);
    m_metrics.captionMetrics = QFontMetrics(m_metrics.captionFont);
    const QFontMetrics title(font);
    m_metrics.titleHeight = title.height();
    m_metrics.titleAscent = title.ascent();
    m_metrics.captionAscent = m_metrics.captionMetrics.ascent();
    m_metrics.captionLineSpacing = m_metrics.captionMetrics.lineSpacing();
    // The widest date the list can show: a two-digit day and hour late in a long month.
    const QDateTime sample(QDate(2026, 12, 28), QTime(22, 58), Qt::LocalTime);
    m_metrics.dateWidth = m_metrics.captionMetrics.horizontalAdvance(
                              DateTexts::abbreviated(Clock::fromDateTime(sample))) +
                          2;
    return m_metrics;
}

void HistoryRowDelegate::invalidate()
{
    m_metrics.titleHeight = 0;
    m_advances.clear();
}

int HistoryRowDelegate::detailAdvance(const QString &detail, const Metrics &metrics) const
{
    if (const auto found = m_advances.constFind(detail); found != m_advances.constEnd())
        return *found;
    if (m_advances.size() > 50'000)
        m_advances.clear();
    const int advance = metrics.captionMetrics.horizontalAdvance(detail);
    m_advances.insert(detail, advance);
    return advance;
}

int HistoryRowDelegate::detailWidth(const Metrics &metrics, int rowWidth) const
{
    return qMax(40,
                rowWidth - 2 * horizontalMargin - symbolWidth - 2 * spacing - metrics.dateWidth);
}

int HistoryRowDelegate::detailLineCount(const QString &detail, const QFont &font,
                                        int rowWidth) const
{
    if (detail.isEmpty())
        return 0;
    if (detail.contains(QLatin1Char('\n')))
        return 2;
    const Metrics &m = metrics(font);
    return detailAdvance(detail, m) > detailWidth(m, rowWidth) ? 2 : 1;
}

QSize HistoryRowDelegate::sizeHint(const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    const QString detail = index.data(HistoryListModel::DetailRole).toString();
    const int rowWidth = rowWidthFor(option);
    const Metrics &m = metrics(option.font);
    const int lines = detailLineCount(detail, option.font, rowWidth);
    int height = 2 * verticalPadding + m.titleHeight;
    if (lines > 0)
        height += 1 + lines * m.captionLineSpacing;
    return {rowWidth, height};
}

void HistoryRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    QStyleOptionViewItem panel = option;
    initStyleOption(&panel, index);
    panel.text.clear();
    panel.icon = QIcon();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, painter, widget);

    const auto kind = LogEvent::Kind(index.data(HistoryListModel::KindRole).toInt());
    const QString detail = index.data(HistoryListModel::DetailRole).toString();
    const Instant date{
        std::chrono::milliseconds(index.data(HistoryListModel::DateRole).toLongLong())};

    const bool selected = option.state & QStyle::State_Selected;
    const QColor textColor =
        option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor secondary = selected ? textColor : SettingsForm::secondaryColor(option.palette);

    const QFont captionFont = SettingsForm::captionFont(option.font);
    const QFontMetrics titleMetrics(option.font);
    const QFontMetrics captionMetrics(captionFont);
    const QRect area = option.rect.adjusted(horizontalMargin, verticalPadding, -horizontalMargin,
                                            -verticalPadding);
    const int textWidth = detailWidth(metrics(option.font), option.rect.width());
    const int baseline = area.top() + titleMetrics.ascent();

    painter->save();

    // The symbol sits on the title's line.
    const QColor symbolColor = selected ? textColor : tint(kind, option.palette);
    const int symbolTop = area.top() + (titleMetrics.height() - symbolWidth) / 2;
    painter->drawPixmap(QRect(area.left(), symbolTop, symbolWidth, symbolWidth),
                        symbolPixmap(kind, symbolColor, painter->device()->devicePixelRatioF()));

    const int textLeft = area.left() + symbolWidth + spacing;
    painter->setFont(option.font);
    painter->setPen(textColor);
    painter->drawText(QPoint(textLeft, baseline),
                      titleMetrics.elidedText(LogEvent::title(kind), Qt::ElideRight, textWidth));

    painter->setFont(captionFont);
    painter->setPen(secondary);
    if (!detail.isEmpty()) {
        const int detailBaseline = area.top() + titleMetrics.height() + 1 + captionMetrics.ascent();
        drawDetail(painter, detail, QPoint(textLeft, detailBaseline), textWidth);
    }
    const QString dateText = DateTexts::abbreviated(date);
    const int dateLeft = area.right() + 1 - captionMetrics.horizontalAdvance(dateText);
    painter->drawText(QPoint(dateLeft, baseline), dateText);

    painter->restore();
}
