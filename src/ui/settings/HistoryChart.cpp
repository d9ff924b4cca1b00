#include "ui/settings/HistoryChart.h"

#include "ui/EnglishPlurals.h"
#include "ui/settings/PeriodTexts.h"
#include "ui/settings/SettingsForm.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <algorithm>

using Window = HistoryView::Window;
using Period = OutageHistogram::Period;

namespace {

constexpr int sideMargin = 12;
constexpr int topMargin = 4;
constexpr int bottomMargin = 8;
constexpr int legendGap = 4;

Period periodOf(Window window)
{
    switch (window) {
    case Window::day:
        return Period::hour;
    case Window::week:
    case Window::month:
        return Period::day;
    case Window::all:
        break;
    }
    return Period::week;
}

QColor mixed(const QColor &a, const QColor &b, qreal share)
{
    return QColor::fromRgbF(float(a.redF() * share + b.redF() * (1 - share)),
                            float(a.greenF() * share + b.greenF() * (1 - share)),
                            float(a.blueF() * share + b.blueF() * (1 - share)));
}

// The server in the palette's accent, the share in a grey between text and window: read
// from the palette at each paint, so a live switch to a dark scheme repaints in dark colours.
QColor serverColor(const QPalette &palette)
{
    return palette.color(QPalette::Highlight);
}

QColor shareColor(const QPalette &palette)
{
    return mixed(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.55);
}

} // namespace

HistoryChart::HistoryChart(QWidget *parent) : QWidget(parent)
{
    EnglishPlurals::install();
    setObjectName(QStringLiteral("historyChart"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleDescription(tr("Pick a bar to list only its period; pick it again, or a time "
                                "window, to list the whole window."));
}

void HistoryChart::setRecords(const QList<LogEvent> &inWindow, HistoryView::Window window,
                              Instant windowStart, Instant now)
{
    const std::optional<Instant> picked =
        m_selected ? std::optional(m_histogram.buckets()[*m_selected].start) : std::nullopt;
    m_window = window;
    m_histogram = OutageHistogram(inWindow, periodOf(window),
                                  window == Window::all ? std::nullopt : std::optional(windowStart),
                                  now, QLocale().firstDayOfWeek());
    m_selected.reset();
    if (picked) {
        const std::optional<qsizetype> index = m_histogram.indexOf(*picked);
        if (index && m_histogram.buckets()[*index].start == *picked)
            m_selected = index;
    }
    m_hovered.reset();
    m_summary = summaryText();
    setAccessibleName(m_summary);
    update();
}

void HistoryChart::clearSelection()
{
    m_selected.reset();
    update();
}

QList<LogEvent> HistoryChart::recordsInSelection(const QList<LogEvent> &records) const
{
    if (!m_selected)
        return records;
    const OutageHistogram::Bucket &bucket = m_histogram.buckets()[*m_selected];
    QList<LogEvent> inPeriod;
    std::copy_if(
        records.cbegin(), records.cend(), std::back_inserter(inPeriod),
        [&bucket](const LogEvent &e) { return e.date >= bucket.start && e.date < bucket.end; });
    return inPeriod;
}

QString HistoryChart::summaryText() const
{
    const int total = m_histogram.total();
    QString count;
    switch (m_window) {
    case Window::day:
        count = tr("%n outage(s) in the last 24 hours", nullptr, total);
        break;
    case Window::week:
        count = tr("%n outage(s) in the last 7 days", nullptr, total);
        break;
    case Window::month:
        count = tr("%n outage(s) in the last 30 days", nullptr, total);
        break;
    case Window::all:
        count = tr("%n outage(s) in all recorded history", nullptr, total);
        break;
    }
    const std::optional<qsizetype> busiest = m_histogram.busiest();
    if (!busiest || total < 2)
        return count;
    const Instant start = m_histogram.buckets()[*busiest].start;
    switch (m_window) {
    case Window::day:
        return tr("%1, most at %2").arg(count, PeriodTexts::date(start, "j"));
    case Window::week: // seven days and a part: the weekday names the day
        return tr("%1, most on %2").arg(count, PeriodTexts::date(start, "EEEE"));
    case Window::month:
        return tr("%1, most on %2").arg(count, PeriodTexts::date(start, "MMMd"));
    case Window::all:
        break;
    }
    return tr("%1, most in the week of %2").arg(count, PeriodTexts::date(start, "MMMd"));
}

QString HistoryChart::periodText(const OutageHistogram::Bucket &bucket) const
{
    switch (m_histogram.period()) {
    case Period::hour:
        return PeriodTexts::range(bucket.start, bucket.end, "MMMdjm");
    case Period::day:
        return PeriodTexts::date(bucket.start, "EEEEMMMd");
    case Period::week:
        break;
    }
    // The week's last day, not the midnight after it.
    return PeriodTexts::range(bucket.start, bucket.end - std::chrono::hours(12), "yMMMd");
}

QString HistoryChart::barToolTip(qsizetype index) const
{
    const OutageHistogram::Bucket &bucket = m_histogram.buckets()[index];
    QString text =
        periodText(bucket) + QLatin1Char('\n') + tr("%n outage(s)", nullptr, bucket.total());
    if (bucket.total() > 0)
        text += QLatin1Char('\n') + tr("Plex: %1, volume: %2").arg(bucket.server).arg(bucket.share);
    return text;
}

QSize HistoryChart::sizeHint() const
{
    const int legend = QFontMetrics(SettingsForm::captionFont(font())).height();
    return {320, topMargin + legend + legendGap + 3 * fontMetrics().height() + bottomMargin};
}

QSize HistoryChart::minimumSizeHint() const
{
    return {120, sizeHint().height()};
}

QRectF HistoryChart::plotArea() const
{
    const int legend = QFontMetrics(SettingsForm::captionFont(font())).height();
    return QRectF(rect()).adjusted(sideMargin, topMargin + legend + legendGap, -sideMargin,
                                   -bottomMargin);
}

QRectF HistoryChart::barSlot(qsizetype index) const
{
    const QRectF plot = plotArea();
    const qreal width = plot.width() / qreal(std::max<qsizetype>(1, m_histogram.buckets().size()));
    return {plot.left() + qreal(index) * width, plot.top(), width, plot.height()};
}

std::optional<qsizetype> HistoryChart::barAt(QPointF position) const
{
    const QRectF plot = plotArea();
    const qsizetype count = m_histogram.buckets().size();
    if (count == 0 || !plot.contains(position))
        return std::nullopt;
    const auto index = qsizetype((position.x() - plot.left()) / plot.width() * qreal(count));
    return std::clamp<qsizetype>(index, 0, count - 1);
}

void HistoryChart::select(std::optional<qsizetype> index)
{
    m_selected = index == m_selected ? std::nullopt : index; // picking it again widens back
    update();
    Q_EMIT selectionChanged();
}

bool HistoryChart::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (const std::optional<qsizetype> index = barAt(help->pos()))
            QToolTip::showText(help->globalPos(), barToolTip(*index), this,
                               barSlot(*index).toAlignedRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void HistoryChart::mousePressEvent(QMouseEvent *event)
{
    const std::optional<qsizetype> index = barAt(event->position());
    if (event->button() != Qt::LeftButton || !index)
        return QWidget::mousePressEvent(event);
    select(index);
}

void HistoryChart::mouseMoveEvent(QMouseEvent *event)
{
    const std::optional<qsizetype> index = barAt(event->position());
    if (index != m_hovered) {
        m_hovered = index;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void HistoryChart::leaveEvent(QEvent *event)
{
    m_hovered.reset();
    update();
    QWidget::leaveEvent(event);
}

void HistoryChart::keyPressEvent(QKeyEvent *event)
{
    const qsizetype last = m_histogram.buckets().size() - 1;
    if (last >= 0 && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        const qsizetype step = event->key() == Qt::Key_Left ? -1 : 1;
        const qsizetype from = m_selected.value_or(step < 0 ? last + 1 : -1);
        const qsizetype index = std::clamp<qsizetype>(from + step, 0, last);
        if (index != m_selected)
            select(index);
        return;
    }
    if (event->key() == Qt::Key_Escape && m_selected) // otherwise Escape closes the window
        return select(m_selected);
    QWidget::keyPressEvent(event);
}

void HistoryChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintLegend(painter);
    paintBars(painter);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = plotArea().adjusted(-3, -2, 3, 2).toAlignedRect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

// "■ Plex  ■ Volume" on the left; the picked period on the right.
void HistoryChart::paintLegend(QPainter &painter) const
{
    const QFont font = SettingsForm::captionFont(this->font());
    const QFontMetrics metrics(font);
    painter.setFont(font);
    const QRect row(sideMargin, topMargin, width() - 2 * sideMargin, metrics.height());
    const int swatch = metrics.ascent() * 2 / 3;
    int x = row.left();
    for (const auto &[color, name] : {std::pair{serverColor(palette()), tr("Plex")},
                                      std::pair{shareColor(palette()), tr("Volume")}}) {
        painter.fillRect(QRect(x, row.top() + metrics.ascent() - swatch, swatch, swatch), color);
        x += swatch + 4;
        painter.setPen(SettingsForm::secondaryColor(palette()));
        painter.drawText(QRect(x, row.top(), row.right() - x, row.height()), Qt::AlignLeft, name);
        x += metrics.horizontalAdvance(name) + 12;
    }
    if (m_selected) {
        const QString picked = periodText(m_histogram.buckets()[*m_selected]);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(x, row.top(), row.right() - x, row.height()), Qt::AlignRight,
                         metrics.elidedText(picked, Qt::ElideMiddle, row.right() - x));
    }
}

void HistoryChart::paintBars(QPainter &painter) const
{
    const QRectF plot = plotArea();
    const QList<OutageHistogram::Bucket> &buckets = m_histogram.buckets();
    int most = 1;
    for (const OutageHistogram::Bucket &bucket : buckets)
        most = std::max(most, bucket.total());
    QColor tint = palette().color(QPalette::Highlight);
    tint.setAlphaF(0.18f);
    QColor hover = palette().color(QPalette::WindowText);
    hover.setAlphaF(0.07f);
    for (qsizetype i = 0; i < buckets.size(); ++i) {
        const QRectF slot = barSlot(i);
        if (i == m_selected || i == m_hovered)
            painter.fillRect(slot, i == m_selected ? tint : hover);
        const qreal width = std::max(1.0, slot.width() * 0.7);
        const qreal x = slot.center().x() - width / 2;
        const qreal server = plot.height() * buckets[i].server / most;
        const qreal share = plot.height() * buckets[i].share / most;
        // The other bars step back while one period is picked.
        painter.setOpacity(m_selected && i != m_selected ? 0.35 : 1.0);
        painter.fillRect(QRectF(x, plot.bottom() - server, width, server), serverColor(palette()));
        painter.fillRect(QRectF(x, plot.bottom() - server - share, width, share),
                         shareColor(palette()));
        painter.setOpacity(1.0);
    }
    QColor axis = palette().color(QPalette::WindowText);
    axis.setAlphaF(0.25f);
    painter.fillRect(QRectF(plot.left(), plot.bottom(), plot.width(), 1), axis);
}
