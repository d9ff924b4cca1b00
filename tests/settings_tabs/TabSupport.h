#pragma once

#include "EngineFakes.h"
#include "history/Clock.h"
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
#include <QTimer>
#include <QtTest>

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

// What a tab is built on: a watchdog on the fake machine, with the server running and a
// share configured.
struct TabWorld : EngineWorld
{
    std::unique_ptr<QTabWidget> window; // destroyed before the watchdog

    TabWorld()
    {
        fake.running = true;
        configureShare();
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

// Runs action on the modal window of type T once it is active (exec() blocks the caller).
template <typename T> void whenModal(std::function<void(T *)> action, int giveUpMs = 10000)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        if (auto *modal = qobject_cast<T *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            action(modal);
        }
    });
    QTimer::singleShot(giveUpMs, poll, &QObject::deleteLater);
    poll->start(10);
}

// Types the full path into the file dialog's name field and confirms, answering "replace?".
inline void typePathAndAccept(QFileDialog *dialog, const QString &path)
{
    whenModal<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); }, 2000);
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
