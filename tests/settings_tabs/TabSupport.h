#pragma once

#include "history/Clock.h"
#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "monitor/WatchdogPorts.h"
#include "settings/AppSettings.h"
#include "ui/settings/Stepper.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

// A port whose completions arrive from the event loop, as the real services deliver them; a
// held completion waits for release().
template <typename Outcome> class HeldPort
{
public:
    HeldPort() = default;
    explicit HeldPort(Outcome first) : outcome(std::move(first)) {}

    Outcome outcome;
    bool hold = false;
    int calls = 0;
    bool pending() const { return bool(m_pending); }
    void release() { deliver(std::exchange(m_pending, {})); }

protected:
    void start(std::function<void(Outcome)> done)
    {
        ++calls;
        hold ? void(m_pending = std::move(done)) : deliver(std::move(done));
    }

private:
    void deliver(std::function<void(Outcome)> done)
    {
        QTimer::singleShot(0, [done = std::move(done), o = outcome] { done(o); });
    }
    std::function<void(Outcome)> m_pending;
};

struct FakeServer : MediaServerPort, HeldPort<LaunchOutcome>
{
    bool running = true;
    FakeServer() : HeldPort(LaunchOutcome::success(QStringLiteral("/opt/plex/Plex Media Server")))
    {}
    bool isRunning() override { return running; }
    void launch(const QString &, std::function<void(LaunchOutcome)> done) override
    {
        start(std::move(done));
    }
};

struct FakeShare : SharePort, HeldPort<MountOutcome>
{
    FakeShare()
        : HeldPort(MountOutcome::success(QStringLiteral("/run/user/1000/gvfs/smb-share:media")))
    {}
    std::optional<QString> mountPoint(const QString &, const QString &) override { return {}; }
    void mount(const MountRequest &, std::function<void(MountOutcome)> done) override
    {
        start(std::move(done));
    }
    void openFolder(const QString &) override {}
    void missingService(std::function<void(MissingService)> done) override { done({}); }
};

struct NoCredentials : CredentialPort
{
    void password(const QString &, std::function<void(PasswordOutcome)> done) override
    {
        done(PasswordOutcome::success(std::nullopt));
    }
    void missingService(std::function<void(MissingService)> done) override { done({}); }
};

struct NoNotifications : NotificationPort
{
    void requestPermission() override {}
    void post(const QString &, const QString &, const QString &) override {}
};

inline Instant currentNow;
inline Instant hoursAgo(double hours)
{
    return currentNow - std::chrono::milliseconds(qint64(hours * 3'600'000));
}

// English (US) texts, UTC, Fusion and a fixed "now" (1 March 2026, 12:00), whatever the machine.
inline void useFixedEnvironment()
{
    qputenv("TZ", "UTC");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    currentNow = Clock::fromDateTime(QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC));
    Clock::setSourceForTesting([] { return currentNow; });
}

inline void recordAt(EventLog &log, LogEvent::Kind kind, Instant when, const QString &detail = {})
{
    const Instant saved = std::exchange(currentNow, when);
    log.record(kind, detail);
    currentNow = saved;
}

// What a tab is built on: history in a fresh folder, settings, and a watchdog on fakes.
struct TabWorld
{
    QTemporaryDir dir;
    EventLog log{dir.filePath(QStringLiteral("history"))};
    AppSettings settings;
    std::shared_ptr<FakeServer> server = std::make_shared<FakeServer>();
    std::shared_ptr<FakeShare> share = std::make_shared<FakeShare>();
    std::unique_ptr<Watchdog> watchdog;
    std::unique_ptr<QTabWidget> window; // declared last: destroyed first

    TabWorld()
    {
        settings.setUsername(QString());
        settings.setServerHost(QStringLiteral("nas.local"));
        settings.setShareName(QStringLiteral("media"));
        watchdog = std::make_unique<Watchdog>(
            settings, log,
            WatchdogServices{server, share, std::make_shared<NoCredentials>(),
                             std::make_shared<NoNotifications>(), std::make_shared<WakePort>()});
    }

    // Shows the tab in a tab container of the settings window's size.
    template <typename View> View *show(View *tab)
    {
        window = std::make_unique<QTabWidget>();
        window->addTab(tab, QStringLiteral("Tab"));
        window->setFixedSize(560, 470);
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("the test window was not exposed");
        return tab;
    }
};

// Runs action on the file dialog once it is the active modal window (exec() blocks).
inline void whenFileDialogOpens(std::function<void(QFileDialog *)> action)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            action(dialog);
        }
    });
    poll->start(10);
}

// Types the full path into the dialog's name field and confirms, answering yes to "replace?".
inline void typePathAndAccept(QFileDialog *dialog, const QString &path)
{
    auto *confirm = new QTimer(qApp);
    QObject::connect(confirm, &QTimer::timeout, confirm, [confirm] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            confirm->stop();
            confirm->deleteLater();
            box->button(QMessageBox::Yes)->click();
        }
    });
    QTimer::singleShot(2000, confirm, &QObject::deleteLater);
    confirm->start(10);
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setText(path);
    static_cast<QDialog *>(dialog)->accept();
}

inline bool isControl(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractItemView *>(w) ||
           qobject_cast<const Stepper *>(w);
}

inline bool fits(QWidget *w)
{
    if (auto *label = qobject_cast<QLabel *>(w)) {
        if (label->text().isEmpty() ||
            label->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
            return true; // empty, or elided by design
        if (label->wordWrap())
            return label->height() >= label->heightForWidth(label->width());
        return label->width() >= label->sizeHint().width() &&
               label->height() >= label->sizeHint().height();
    }
    if (qobject_cast<QLineEdit *>(w))
        return w->height() >= w->minimumSizeHint().height();
    if (isControl(w) && !qobject_cast<QAbstractItemView *>(w))
        return w->width() >= w->minimumSizeHint().width() &&
               w->height() >= w->minimumSizeHint().height();
    return true;
}

// Saves <artifacts>/<name>.png, then lists clipped texts and controls, controls without an
// accessible name and controls the Tab key does not reach, and horizontal overflow.
inline QStringList layoutProblems(QWidget *tab, QWidget *window, const QString &name)
{
    QApplication::processEvents();
    QDir().mkpath(QStringLiteral(VIGILMOUNT_ARTIFACTS_DIR));
    window->grab().save(QStringLiteral(VIGILMOUNT_ARTIFACTS_DIR "/%1.png").arg(name));

    QStringList problems;
    for (QScrollArea *scroll : tab->findChildren<QScrollArea *>())
        if (scroll->widget() &&
            scroll->widget()->minimumSizeHint().width() > scroll->viewport()->width())
            problems << QStringLiteral("form wider than its scroll area");
    QSet<QWidget *> chain;
    for (QWidget *w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
        chain.insert(w);
    for (QWidget *w : tab->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(tab))
            continue;
        const QString what =
            QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
        if (!fits(w))
            problems << QStringLiteral("clipped: ") + what;
        if (!isControl(w))
            continue;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(w);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            problems << QStringLiteral("no accessible name: ") + what;
        if (!(w->focusPolicy() & Qt::TabFocus) || !chain.contains(w))
            problems << QStringLiteral("not reachable by Tab: ") + what;
    }
    return problems;
}
