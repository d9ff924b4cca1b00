#pragma once

#include "ui/settings/HistoryView.h"
#include "ui/settings/OutageHistogram.h"

#include <QWidget>

// The History tab's chart: the window's outages as stacked bars, server and share, by hour
// (24 hours), day (7 and 30 days) or week (all time). Hovering a bar tells its period and
// count; picking a bar (click, or Left and Right) narrows the list to that period, and picking
// it again widens it back. Colours come from the palette when it paints.
class HistoryChart : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryChart(QWidget *parent = nullptr);

    // Counts the outages among the window's records. A picked period that is still among the
    // bars stays picked (the list keeps its narrowing when a record arrives).
    void setRecords(const QList<LogEvent> &inWindow, HistoryView::Window window,
                    Instant windowStart, Instant now);
    void clearSelection();
    // The records of the picked period, or all of them when no bar is picked.
    QList<LogEvent> recordsInSelection(const QList<LogEvent> &records) const;

    // "3 outages in the last 7 days, most on Tuesday": also the accessible name.
    QString summary() const { return m_summary; }
    // Where bar index is drawn (its whole column, which takes clicks).
    QRectF barSlot(qsizetype index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void selectionChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QRectF plotArea() const;
    std::optional<qsizetype> barAt(QPointF position) const;
    void select(std::optional<qsizetype> index);
    QString periodText(const OutageHistogram::Bucket &bucket) const;
    QString barToolTip(qsizetype index) const;
    QString summaryText() const;
    void paintLegend(QPainter &painter) const;
    void paintBars(QPainter &painter) const;

    HistoryView::Window m_window = HistoryView::Window::week;
    OutageHistogram m_histogram;
    std::optional<qsizetype> m_selected;
    std::optional<qsizetype> m_hovered;
    QString m_summary;
};
