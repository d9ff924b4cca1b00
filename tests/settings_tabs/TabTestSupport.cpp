#include "TabTestSupport.h"

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
#include <QMessageBox>
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

bool fits(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (label->text().isEmpty() ||
            label->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
            return true; // Empty, or cut with an ellipsis by design.
        if (label->wordWrap())
            return label->height() >= label->heightForWidth(label->width());
        return label->width() >= label->sizeHint().width() &&
               label->height() >= label->sizeHint().height();
    }
    if (qobject_cast<QLineEdit *>(widget))
        return widget->height() >= widget->minimumSizeHint().height();
    if (isControl(widget) && !qobject_cast<QAbstractItemView *>(widget))
        return widget->width() >= widget->minimumSizeHint().width() &&
               widget->height() >= widget->minimumSizeHint().height();
    return true;
}

} // namespace

void useFixedEnvironment()
{
    qputenv("TZ", "UTC");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    setNow(Clock::fromDateTime(QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC)));
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

Instant hoursAgo(double hours)
{
    return currentNow - std::chrono::milliseconds(qint64(hours * 3'600'000));
}

void recordAt(EventLog &log, LogEvent::Kind kind, Instant when, const QString &detail)
{
    const Instant saved = currentNow;
    currentNow = when;
    log.record(kind, detail);
    currentNow = saved;
}

void TabWorld::setUp()
{
    dir = std::make_unique<QTemporaryDir>();
    log = std::make_unique<EventLog>(dir->filePath(QStringLiteral("history")));
    settings = std::make_unique<AppSettings>();
    settings->setWatchPlex(true);
    settings->setWatchVolume(true);
    settings->setVerboseLogging(false);
    settings->setUsername(QString());
    settings->setServerHost(QStringLiteral("nas.local"));
    settings->setShareName(QStringLiteral("media"));
    machine = FakeMachine();
    machine.server->running = true;
    watchdog = std::make_unique<Watchdog>(*settings, *log, machine.services());
}

void TabWorld::tearDown()
{
    delete window;
    watchdog.reset();
    settings.reset();
    log.reset();
    dir.reset();
}

void TabWorld::show(QWidget *tab, const QString &label)
{
    auto *tabs = new QTabWidget;
    tabs->addTab(tab, label);
    tabs->setFixedSize(560, 470);
    tabs->show();
    tabs->activateWindow();
    if (!QTest::qWaitForWindowExposed(tabs))
        qWarning("the test window was not exposed");
    window = tabs;
}

void whenFileDialogOpens(std::function<void(QFileDialog *)> action)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            action(dialog);
        }
    });
    poll->start(10);
}

void typePathAndAccept(QFileDialog *dialog, const QString &path)
{
    // Replacing an existing file asks first; the answer is yes.
    auto *confirm = new QTimer(qApp);
    QObject::connect(confirm, &QTimer::timeout, confirm, [confirm] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            confirm->deleteLater();
            confirm->stop();
            box->button(QMessageBox::Yes)->click();
        }
    });
    QTimer::singleShot(2000, confirm, &QObject::deleteLater);
    confirm->start(10);
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setText(path);
    static_cast<QDialog *>(dialog)->accept();
}

ScaledFont::ScaledFont(qreal scale) : m_original(QApplication::font())
{
    QFont scaled = m_original;
    scaled.setPointSizeF(m_original.pointSizeF() * scale);
    QApplication::setFont(scaled);
}

ScaledFont::~ScaledFont()
{
    QApplication::setFont(m_original);
}

void savePicture(QWidget *window, const QString &name)
{
    QApplication::processEvents();
    const QString folder = QStringLiteral(VIGILMOUNT_ARTIFACTS_DIR);
    QDir().mkpath(folder);
    if (!window->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png")))
        qWarning("could not save the picture %s", qPrintable(name));
}

QStringList layoutProblems(QWidget *tab, QWidget *window, const QString &name)
{
    savePicture(window, name);

    QStringList problems;
    for (QScrollArea *scroll : tab->findChildren<QScrollArea *>()) {
        // Nothing may run off the right edge: there is no horizontal scrolling.
        if (scroll->widget() &&
            scroll->widget()->minimumSizeHint().width() > scroll->viewport()->width())
            problems << QStringLiteral("form content wider than its scroll area");
    }
    QSet<QWidget *> chain;
    for (QWidget *w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
        chain.insert(w);
    for (QWidget *widget : tab->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(tab))
            continue;
        if (!fits(widget))
            problems << QStringLiteral("clipped: ") + describe(widget);
        if (!isControl(widget))
            continue;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            problems << QStringLiteral("no accessible name: ") + describe(widget);
        if (!(widget->focusPolicy() & Qt::TabFocus) || !chain.contains(widget))
            problems << QStringLiteral("not reachable by Tab: ") + describe(widget);
    }
    return problems;
}

} // namespace TabTestSupport
