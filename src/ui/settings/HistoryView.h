#pragma once

#include "history/LogEvent.h"

#include <QBasicTimer>
#include <QList>
#include <QWidget>
#include <optional>

class AppSettings;
class EventLog;
class HistoryChart;
class HistoryListModel;
class HistoryRowDelegate;
class QAction;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QListView;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class SegmentedControl;
class SummaryCard;

// The History tab: outage and repair counts for a time window, the window's records newest
// first, and the footer with verbose logging, reveal, export and clear (a failed export shows
// in red under it).
class HistoryView : public QWidget
{
    Q_OBJECT

public:
    // Which records the list shows.
    enum class Filter { incidents, all };
    // The time window of cards, list and export.
    enum class Window { day, week, month, all };

    HistoryView(EventLog &log, AppSettings &settings, QWidget *parent = nullptr);

    void setFilter(Filter filter);
    void setTimeWindow(Window window);

    // Recomputes cards, captions and list from the store and the settings.
    void refresh();

    QListView *listView() const { return m_list; }

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    static QString label(Filter filter);
    static QString label(Window window);
    static QList<LogEvent> newestFirst(const QList<LogEvent> &inWindow, Filter filter);

    QHBoxLayout *buildCards();
    QHBoxLayout *buildPickers();
    QStackedWidget *buildListArea();
    QWidget *buildEmptyState();
    QVBoxLayout *buildFooter();
    QPushButton *buildClearButton();
    void connectControls();

    // The window's records, oldest first.
    QList<LogEvent> windowEvents() const;
    // The cards' "Last …" captions, relative to now.
    void showLastOutages(Instant now);
    void exportWindow();
    // The file the user chose for an export, or none when the dialog was cancelled.
    std::optional<QString> chooseExportFile();

    EventLog &m_log;
    AppSettings &m_settings;
    Filter m_filter = Filter::incidents;
    Window m_window = Window::week;

    SummaryCard *m_crashes;
    SummaryCard *m_drops;
    SummaryCard *m_fixes;
    SegmentedControl *m_windowPicker;
    HistoryChart *m_chart;
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
    QAction *m_deleteOlder;
    QAction *m_deleteAll;
    QLabel *m_exportError;
    QBasicTimer m_captionTimer;
};
