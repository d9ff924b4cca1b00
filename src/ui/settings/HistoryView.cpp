#include "ui/settings/HistoryView.h"

#include "history/EventLog.h"
#include "platform/FileBrowser.h"
#include "settings/AppSettings.h"
#include "ui/EnglishPlurals.h"
#include "ui/Symbols.h"
#include "ui/settings/DateTexts.h"
#include "ui/settings/HistoryChart.h"
#include "ui/settings/HistoryListModel.h"
#include "ui/settings/HistoryRowDelegate.h"
#include "ui/settings/SegmentedControl.h"
#include "ui/settings/SettingsForm.h"
#include "ui/settings/SummaryCard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProxyStyle>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyleOptionMenuItem>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <algorithm>

using namespace SettingsForm;

namespace {

// Draws the menu items named as destructive in red.
class DestructiveItemStyle : public QProxyStyle
{
public:
    explicit DestructiveItemStyle(QStringList destructive) : m_destructive(std::move(destructive))
    {}

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element == CE_MenuItem && item && m_destructive.contains(item->text) &&
            !(item->state & State_Selected)) {
            QStyleOptionMenuItem red = *item;
            for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
                red.palette.setColor(role, SettingsForm::red());
            return QProxyStyle::drawControl(element, &red, painter, widget);
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

private:
    QStringList m_destructive;
};

QFrame *divider()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

qsizetype countWhere(const QList<LogEvent> &events, bool (*test)(LogEvent::Kind))
{
    return std::count_if(events.cbegin(), events.cend(),
                         [test](const LogEvent &event) { return test(event.kind); });
}

qsizetype countKind(const QList<LogEvent> &events, LogEvent::Kind kind)
{
    return std::count_if(events.cbegin(), events.cend(),
                         [kind](const LogEvent &event) { return event.kind == kind; });
}

// The earliest instant the window covers.
Instant startDate(HistoryView::Window window, Instant now)
{
    using Window = HistoryView::Window;
    switch (window) {
    case Window::day:
        return Clock::secondsAgo(now, 86'400);
    case Window::week:
        return Clock::secondsAgo(now, 604'800);
    case Window::month:
        return Clock::secondsAgo(now, 2'592'000);
    case Window::all:
        break;
    }
    return Instant::min();
}

} // namespace

QString HistoryView::label(Filter filter)
{
    return filter == Filter::incidents ? tr("Outages & fixes") : tr("Everything");
}

QString HistoryView::label(Window window)
{
    switch (window) {
    case Window::day:
        return tr("24 hours");
    case Window::week:
        return tr("7 days");
    case Window::month:
        return tr("30 days");
    case Window::all:
        return tr("All time");
    }
    return {};
}

HistoryView::HistoryView(EventLog &log, AppSettings &settings, QWidget *parent)
    : QWidget(parent), m_log(log), m_settings(settings)
{
    EnglishPlurals::install(); // the failed-repairs caption counts in English too
    // The style's margins around the tab; the parts are apart by the form's row spacing.
    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(rowSpacing(this));
    stack->addLayout(buildCards());
    stack->addWidget(divider());
    stack->addLayout(buildPickers());
    stack->addWidget(m_chart = new HistoryChart);
    stack->addWidget(divider());
    stack->addWidget(buildListArea(), 1);
    stack->addWidget(divider());
    stack->addLayout(buildFooter());
    connectControls();
    refresh();
}

QHBoxLayout *HistoryView::buildCards()
{
    auto *cards = new QHBoxLayout;
    cards->setSpacing(sectionSpacing(this));
    m_crashes = new SummaryCard(tr("Plex crashes"), QStringLiteral("play.slash"));
    m_crashes->setObjectName(QStringLiteral("crashesCard"));
    m_drops = new SummaryCard(tr("Volume drops"), QStringLiteral("externaldrive.badge.xmark"));
    m_drops->setObjectName(QStringLiteral("dropsCard"));
    m_fixes = new SummaryCard(tr("Auto-fixes"), QStringLiteral("arrow.clockwise"));
    m_fixes->setObjectName(QStringLiteral("fixesCard"));
    for (SummaryCard *card : {m_crashes, m_drops, m_fixes})
        cards->addWidget(card, 1);
    return cards;
}

QHBoxLayout *HistoryView::buildPickers()
{
    auto *controls = new QHBoxLayout;
    controls->setSpacing(sectionSpacing(this));
    QStringList windowLabels;
    for (Window window : {Window::day, Window::week, Window::month, Window::all})
        windowLabels << label(window);
    m_windowPicker = new SegmentedControl(windowLabels);
    m_windowPicker->setObjectName(QStringLiteral("windowPicker"));
    m_windowPicker->setAccessibleName(tr("Time window"));
    // Wider only when a larger font needs it.
    m_windowPicker->setFixedWidth(qMax(300, m_windowPicker->sizeHint().width()));
    controls->addWidget(m_windowPicker);
    controls->addStretch(1);
    m_filterPicker = new QComboBox;
    m_filterPicker->setObjectName(QStringLiteral("filterPicker"));
    m_filterPicker->setAccessibleName(tr("Show"));
    m_filterPicker->addItems({label(Filter::incidents), label(Filter::all)});
    m_filterPicker->setFixedWidth(qMax(150, m_filterPicker->sizeHint().width()));
    controls->addWidget(m_filterPicker);
    return controls;
}

// The list, or the empty state when the filter leaves no rows.
QStackedWidget *HistoryView::buildListArea()
{
    m_listArea = new QStackedWidget;
    m_model = new HistoryListModel(this);
    m_delegate = new HistoryRowDelegate(this);
    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setAccessibleName(tr("Events"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(m_delegate);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Row heights depend on the width (details wrap), so a resize lays the rows out again.
    m_list->setResizeMode(QListView::Adjust);
    m_list->setUniformItemSizes(false);
    m_listArea->addWidget(m_list);
    m_listArea->addWidget(buildEmptyState());
    return m_listArea;
}

QWidget *HistoryView::buildEmptyState()
{
    auto *empty = new QWidget;
    empty->setObjectName(QStringLiteral("emptyState"));
    auto *emptyColumn = new QVBoxLayout(empty);
    emptyColumn->setSpacing(rowSpacing(this));
    emptyColumn->addStretch(1);
    emptyColumn->addWidget(makeSymbolLabel(QStringLiteral("checkmark.seal"), 32), 0,
                           Qt::AlignHCenter);
    m_emptyText = new QLabel;
    m_emptyText->setObjectName(QStringLiteral("emptyText"));
    m_emptyText->setAlignment(Qt::AlignCenter);
    m_emptyText->setWordWrap(true);
    followSecondaryColor(m_emptyText);
    emptyColumn->addWidget(m_emptyText);
    emptyColumn->addStretch(1);
    return empty;
}

// The footer's buttons, with the line for a failed export under them.
QVBoxLayout *HistoryView::buildFooter()
{
    auto *footer = new QVBoxLayout;
    auto *buttons = new QHBoxLayout;
    m_verbose = new QCheckBox(tr("Log every check"));
    m_verbose->setObjectName(QStringLiteral("verboseToggle"));
    m_verbose->setToolTip(tr("Records a line even when everything is fine. Useful when you're "
                             "debugging, noisy otherwise."));
    buttons->addWidget(m_verbose);
    buttons->addStretch(1);
    m_revealButton = new QPushButton(tr("Reveal Log File"));
    m_revealButton->setObjectName(QStringLiteral("revealButton"));
    buttons->addWidget(m_revealButton);
    m_export = new QPushButton(tr("Export…"));
    m_export->setObjectName(QStringLiteral("exportButton"));
    buttons->addWidget(m_export);
    buttons->addWidget(buildClearButton());
    footer->addLayout(buttons);
    m_exportError = makeErrorLine(QStringLiteral("exportError"));
    footer->addWidget(m_exportError);
    return footer;
}

QPushButton *HistoryView::buildClearButton()
{
    m_clear = new QPushButton(tr("Clear"));
    m_clear->setObjectName(QStringLiteral("clearButton"));
    auto *menu = new QMenu(m_clear);
    menu->setObjectName(QStringLiteral("clearMenu"));
    const QString deleteAllText = tr("Delete all history");
    auto *menuStyle = new DestructiveItemStyle({deleteAllText});
    menuStyle->setParent(menu);
    menu->setStyle(menuStyle);
    m_deleteOlder = menu->addAction(tr("Delete entries older than 30 days"));
    m_deleteOlder->setObjectName(QStringLiteral("deleteOlderAction"));
    m_deleteAll = menu->addAction(deleteAllText);
    m_deleteAll->setObjectName(QStringLiteral("deleteAllAction"));
    m_clear->setMenu(menu);
    m_clear->setMinimumWidth(80);
    return m_clear;
}

void HistoryView::connectControls()
{
    connect(m_windowPicker, &SegmentedControl::activated, this,
            [this](int index) { setTimeWindow(Window(index)); });
    connect(m_filterPicker, &QComboBox::activated, this,
            [this](int index) { setFilter(Filter(index)); });
    connect(m_chart, &HistoryChart::selectionChanged, this, &HistoryView::refresh);
    connect(m_verbose, &QCheckBox::clicked, &m_settings, &AppSettings::setVerboseLogging);
    // The file may not exist yet; its location is passed all the same.
    connect(m_revealButton, &QPushButton::clicked, this,
            [this] { FileBrowser::revealFile(m_log.fileURL()); });
    connect(m_export, &QPushButton::clicked, this, &HistoryView::exportWindow);
    connect(m_deleteOlder, &QAction::triggered, this, [this] { m_log.prune(30); });
    connect(m_deleteAll, &QAction::triggered, this, [this] { m_log.clear(); });

    connect(&m_log, &EventLog::eventsChanged, this, &HistoryView::refresh);
    connect(&m_settings, &AppSettings::changed, this, &HistoryView::refresh);
}

void HistoryView::setFilter(Filter filter)
{
    m_filter = filter;
    refresh();
}

void HistoryView::setTimeWindow(Window window)
{
    m_window = window;
    m_chart->clearSelection(); // picking a window, even the same one, lists all of it
    refresh();
}

QList<LogEvent> HistoryView::windowEvents() const
{
    if (m_window == Window::all)
        return m_log.events();
    return m_log.eventsSince(startDate(m_window, Clock::now()));
}

QList<LogEvent> HistoryView::newestFirst(const QList<LogEvent> &inWindow, Filter filter)
{
    QList<LogEvent> visible;
    visible.reserve(inWindow.size());
    for (auto it = inWindow.crbegin(); it != inWindow.crend(); ++it) {
        if (filter == Filter::all || LogEvent::isIncident(it->kind))
            visible.append(*it);
    }
    return visible;
}

void HistoryView::refresh()
{
    const Instant now = Clock::now();
    const QList<LogEvent> inWindow = windowEvents();

    m_crashes->setCount(countKind(inWindow, LogEvent::Kind::plexDown));
    m_drops->setCount(countKind(inWindow, LogEvent::Kind::volumeDown));
    showLastOutages(now);
    m_fixes->setCount(countWhere(inWindow, &LogEvent::isRepair));
    const qsizetype failed = countWhere(inWindow, &LogEvent::isFailure);
    m_fixes->setCaption(failed == 0 ? tr("No failed repairs")
                                    : tr("%n repair(s) failed", nullptr, int(failed)));

    m_windowPicker->setCurrentIndex(int(m_window));
    m_filterPicker->setCurrentIndex(int(m_filter));
    m_verbose->setChecked(m_settings.verboseLogging());

    m_chart->setRecords(inWindow, m_window, startDate(m_window, now), now);
    QList<LogEvent> visible = newestFirst(m_chart->recordsInSelection(inWindow), m_filter);
    const bool empty = visible.isEmpty();
    m_model->setEvents(std::move(visible));
    m_emptyText->setText(m_filter == Filter::incidents ? tr("No outages in this period.")
                                                       : tr("Nothing logged in this period."));
    m_listArea->setCurrentIndex(empty ? 1 : 0);
}

void HistoryView::showLastOutages(Instant now)
{
    const auto lastCaption = [&](LogEvent::Kind kind) {
        const std::optional<LogEvent> last = m_log.lastEvent(kind);
        return last ? tr("Last %1").arg(DateTexts::relative(last->date, now)) : tr("None recorded");
    };
    m_crashes->setCaption(lastCaption(LogEvent::Kind::plexDown));
    m_drops->setCaption(lastCaption(LogEvent::Kind::volumeDown));
}

void HistoryView::showEvent(QShowEvent *event)
{
    // The window may have stayed hidden for a long time: the counts and "Last …" are redone.
    refresh();
    m_captionTimer.start(30'000, this);
    QWidget::showEvent(event);
}

void HistoryView::hideEvent(QHideEvent *event)
{
    m_captionTimer.stop();
    QWidget::hideEvent(event);
}

void HistoryView::timerEvent(QTimerEvent *event)
{
    // While the tab stays open the relative times move on; the list is left as it is.
    if (event->timerId() == m_captionTimer.timerId())
        showLastOutages(Clock::now());
    QWidget::timerEvent(event);
}

void HistoryView::changeEvent(QEvent *event)
{
    // Dates are written in the user's locale: measure and draw them again.
    if (event->type() == QEvent::LocaleChange) {
        m_delegate->invalidate();
        refresh();
    }
    QWidget::changeEvent(event);
}

std::optional<QString> HistoryView::chooseExportFile()
{
    QFileDialog dialog(window(), tr("Export History"));
    dialog.setObjectName(QStringLiteral("exportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false); // new folders can be made in the dialog
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    dialog.setDirectory(QDir(documents).exists() ? documents : QDir::homePath());
    dialog.selectFile(QStringLiteral("Vigilmount-history.tsv"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    return chosen.first();
}

void HistoryView::exportWindow()
{
    const std::optional<QString> path = chooseExportFile();
    if (!path)
        return;
    // The whole window, whatever the filter shows.
    const QString text = m_log.exportTSV(windowEvents());
    if (writeFileAtomically(*path, text.toUtf8()))
        showError(m_exportError, std::nullopt);
    else
        showError(m_exportError,
                  tr("The history couldn't be exported to %1.").arg(QFileInfo(*path).fileName()));
}
