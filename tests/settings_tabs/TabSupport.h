#pragma once

#include "EngineFakes.h"
#include "history/Clock.h"
#include "platform/LaunchAtLogin.h"
#include "ui/settings/Stepper.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDBusArgument>
#include <QDBusInterface>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

inline Instant currentNow;

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

// Records an event the given number of hours before "now".
inline void recordAt(EventLog &log, LogEvent::Kind kind, double hoursAgo,
                     const QString &detail = {})
{
    const Instant now = std::exchange(
        currentNow, currentNow - std::chrono::milliseconds(qint64(hoursAgo * 3'600'000)));
    log.record(kind, detail);
    currentNow = now;
}

// What a tab is built on: a watchdog on the fake machine, with the server running and a
// share configured.
struct TabWorld : EngineWorld
{
    LaunchAtLogin login;
    std::unique_ptr<QTabWidget> window; // destroyed before the watchdog

    TabWorld() : EngineWorld({.probeRetryDelay = std::chrono::milliseconds(1)})
    {
        fake.running = true;
        configureShare();
    }

    // Shows the tab in a tab container of the settings window's size.
    QWidget *show(QWidget *tab)
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

// Where pictures of the window go: $VIGILMOUNT_ARTIFACTS, else a folder of the build tree.
inline QString artifactsDir()
{
    return qEnvironmentVariable("VIGILMOUNT_ARTIFACTS", QStringLiteral(VIGILMOUNT_ARTIFACTS_DIR));
}

// Saves <artifacts>/<name>.png, then lists clipped texts and controls, controls without an
// accessible name and controls the Tab key does not reach, and horizontal overflow.
inline QStringList layoutProblems(QWidget *tab, QWidget *window, const QString &name)
{
    QApplication::processEvents();
    QDir().mkpath(artifactsDir());
    window->grab().save(artifactsDir() + QStringLiteral("/%1.png").arg(name));

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

// Unlocks the login keyring again with the harness's password, through gnome-keyring's own
// interface: the standard unlock asks for it in a prompt, which fails without a display.
inline bool unlockKeyring()
{
    const QString name = QStringLiteral("org.freedesktop.secrets");
    const QString path = QStringLiteral("/org/freedesktop/secrets");
    QDBusInterface service(name, path, QStringLiteral("org.freedesktop.Secret.Service"));
    const QVariantList session = service
                                     .call(QStringLiteral("OpenSession"), QStringLiteral("plain"),
                                           QVariant::fromValue(QDBusVariant(QString())))
                                     .arguments();
    const QVariantList alias =
        service.call(QStringLiteral("ReadAlias"), QStringLiteral("default")).arguments();
    if (session.size() != 2 || alias.size() != 1)
        return false;
    QDBusArgument master; // (session, parameters, value, content type)
    master.beginStructure();
    master << session[1].value<QDBusObjectPath>() << QByteArray()
           << qgetenv("VIGILMOUNT_KEYRING_PASSWORD") << QStringLiteral("text/plain");
    master.endStructure();
    QDBusInterface keyring(
        name, path, QStringLiteral("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface"));
    return keyring
               .call(QStringLiteral("UnlockWithMasterPassword"), alias[0],
                     QVariant::fromValue(master))
               .type() == QDBusMessage::ReplyMessage;
}
