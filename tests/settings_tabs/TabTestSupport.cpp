#include "TabTestSupport.h"

#include "history/EventLog.h"
#include "ui/settings/Stepper.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QScrollArea>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

namespace TabTestSupport {

namespace {
Instant currentNow;

QString describe(const QWidget *widget)
{
    QString text;
    if (auto *label = qobject_cast<const QLabel *>(widget))
        text = label->text();
    else if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        text = button->text();
    return QStringLiteral("%1 '%2' (%3)")
        .arg(QString::fromLatin1(widget->metaObject()->className()), text, widget->objectName());
}

bool isControl(const QWidget *widget)
{
    return qobject_cast<const QAbstractButton *>(widget) ||
           qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QComboBox *>(widget) ||
           qobject_cast<const QAbstractItemView *>(widget) || qobject_cast<const Stepper *>(widget);
}

} // namespace

void useFixedEnvironment()
{
    qputenv("TZ", "UTC");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QIcon::setThemeName(QStringLiteral("Adwaita"));
}

void setNow(Instant now)
{
    currentNow = now;
    Clock::setSourceForTesting([] { return currentNow; });
}

Instant fixedNow()
{
    return currentNow;
}

void recordAt(EventLog &log, LogEvent::Kind kind, Instant when, const QString &detail)
{
    const Instant saved = currentNow;
    currentNow = when;
    log.record(kind, detail);
    currentNow = saved;
}

void whenFileDialogOpens(std::function<void(QFileDialog *)> action)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            action(dialog);
        }
    });
    poll->start();
}

QWidget *hostInWindow(QWidget *content, const QString &tabLabel)
{
    auto *window = new QTabWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setDocumentMode(false);
    window->addTab(content, tabLabel);
    window->setFixedSize(560, 470);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowExposed(window))
        qWarning("the test window was not exposed");
    return window;
}

QString saveScreenshot(QWidget *window, const QString &name)
{
    const QString folder = QStringLiteral(VIGILMOUNT_ARTIFACTS_DIR);
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    QApplication::processEvents();
    if (!window->grab().save(path))
        qWarning("could not save %s", qPrintable(path));
    return path;
}

QStringList clippedWidgets(QWidget *root)
{
    QStringList clipped;
    for (QScrollArea *scroll : root->findChildren<QScrollArea *>()) {
        // Nothing may run off the right edge: there is no horizontal scrolling.
        if (scroll->widget() &&
            scroll->widget()->minimumSizeHint().width() > scroll->viewport()->width())
            clipped << QStringLiteral("form content wider than its scroll area");
    }
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(root))
            continue;
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            if (label->text().isEmpty() ||
                label->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
                continue; // Empty, or cut with an ellipsis by design.
            const bool fits = label->wordWrap()
                                  ? label->height() >= label->heightForWidth(label->width())
                                  : label->width() >= label->sizeHint().width() &&
                                        label->height() >= label->sizeHint().height();
            if (!fits)
                clipped << describe(label);
        } else if (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QComboBox *>(widget)) {
            const QSize needed = widget->minimumSizeHint();
            if (widget->width() < needed.width() || widget->height() < needed.height())
                clipped << describe(widget);
        } else if (qobject_cast<QLineEdit *>(widget)) {
            if (widget->height() < widget->minimumSizeHint().height())
                clipped << describe(widget);
        }
    }
    return clipped;
}

QStringList unreachableOrUnnamedControls(QWidget *root)
{
    QSet<QWidget *> chain;
    QWidget *start = root->window();
    for (QWidget *w = start->nextInFocusChain(); w && w != start; w = w->nextInFocusChain())
        chain.insert(w);

    QStringList problems;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (!isControl(widget) || !widget->isVisibleTo(root))
            continue;
        if (QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget)) {
            if (accessible->text(QAccessible::Name).trimmed().isEmpty())
                problems << QStringLiteral("no accessible name: ") + describe(widget);
        }
        if (!(widget->focusPolicy() & Qt::TabFocus) || !chain.contains(widget))
            problems << QStringLiteral("not reachable by Tab: ") + describe(widget);
    }
    return problems;
}

} // namespace TabTestSupport
