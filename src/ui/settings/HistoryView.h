#pragma once

#include "history/LogEvent.h"

#include <QList>
#include <QWidget>
#include <functional>

class AppSettings;
class EventLog;
class HistoryListModel;
class HistoryRowDelegate;
class QCheckBox;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QPushButton;
class QStackedWidget;
class SegmentedControl;
class SummaryCard;

// The History tab: outage and repair counts for a time window, the window's records newest
// first, and the footer with verbose logging, reveal, export and clear.
class HistoryView : public QWidget
{
    Q_OBJECT

public:
    // Which records the list shows.
    enum class Filter { incidents, all };
    // The time window of cards, list and export.
    enum class Window { day, week, month, all };

    static QString label(Filter filter);
    static QString label(Window window);
    // The earliest instant the window covers.
    static Instant startDate(Window window, Instant now);

    static inline const QString proposedExportName = QStringLiteral("Vigilmount-history.tsv");

    HistoryView(EventLog &log, AppSettings &settings, QWidget *parent = nullptr);

    Filter filter() const { return m_filter; }
    Window timeWindow() const { return m_window; }
    void setFilter(Filter filter);
    void setTimeWindow(Window window);

    // The window's records, oldest first.
    QList<LogEvent> windowEvents() const;
    // The records the list shows, newest first.
    QList<LogEvent> visibleEvents() const;

    // Recomputes cards, captions and list from the store and the settings.
    void refresh();

    // Shows the history file in the file manager (tests watch the path instead).
    void setRevealHandlerForTesting(std::function<void(const QString &)> handler);

    QListView *listView() const { return m_list; }

protected:
    void changeEvent(QEvent *event) override;

private:
    static QList<LogEvent> newestFirst(const QList<LogEvent> &inWindow, Filter filter);
    void exportWindow();
    void revealLogFile();

    EventLog &m_log;
    AppSettings &m_settings;
    Filter m_filter = Filter::incidents;
    Window m_window = Window::week;
    std::function<void(const QString &)> m_reveal;

    SummaryCard *m_crashes;
    SummaryCard *m_drops;
    SummaryCard *m_fixes;
    SegmentedControl *m_windowPicker;
    QComboBox *m_filterPicker;
    QStackedWidget *m_listArea;
    QListView *m_list;
    HistoryListModel *m_model;
    HistoryRowDelegate *m_delegate;
    QLabel *m_emptyText;
    QCheckBox *m_verbose;
    QPushButton *m_revealButton;
    QPushButton *m_export;
    QPushButton *m_clear;
    QMenu *m_clearMenu;
};
