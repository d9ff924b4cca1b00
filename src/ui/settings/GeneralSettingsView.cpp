#include "ui/settings/GeneralSettingsView.h"

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/LaunchAtLogin.h"
#include "settings/AppSettings.h"
#include "ui/settings/SettingsForm.h"
#include "ui/settings/Spinner.h"
#include "ui/settings/Stepper.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

using namespace SettingsForm;

namespace {

// The stepper stops at the check timer's floor.
constexpr double stepperMinimum = AppSettings::minimumCheckIntervalSeconds / 60.0;
constexpr double stepperMaximum = 720.0;

// The caption for a registration status.
QString loginItemStatusText(LaunchAtLogin::Status status)
{
    switch (status) {
    case LaunchAtLogin::notRegistered:
        return GeneralSettingsView::tr("Off");
    case LaunchAtLogin::enabled:
        return GeneralSettingsView::tr("Enabled");
    case LaunchAtLogin::requiresApproval:
        return GeneralSettingsView::tr("Needs approval in System Settings › General › Login Items");
    case LaunchAtLogin::notFound:
        return GeneralSettingsView::tr("Not registered");
    }
    return GeneralSettingsView::tr("Unknown");
}

} // namespace

GeneralSettingsView::GeneralSettingsView(AppSettings &settings, LaunchAtLogin &launchAtLogin,
                                         Watchdog &watchdog, EventLog &log, QWidget *parent)
    : QWidget(parent), m_settings(settings), m_launchAtLogin(launchAtLogin), m_watchdog(watchdog),
      m_log(log)
{
    QVBoxLayout *form = makeScrollingForm(this);
    buildIntervalSection(form);
    buildLoginSection(form);
    buildCheckSection(form);
    connectControls();
    showInterval();
    refresh();
}

void GeneralSettingsView::buildIntervalSection(QVBoxLayout *form)
{
    QVBoxLayout *interval = addSection(form);
    QHBoxLayout *intervalRow = addRow(interval);
    auto *intervalLabel = new QLabel(tr("Check every"));
    intervalRow->addWidget(intervalLabel);
    m_intervalField = new QLineEdit;
    intervalLabel->setBuddy(m_intervalField);
    m_intervalField->setObjectName(QStringLiteral("intervalField"));
    m_intervalField->setAccessibleName(tr("Check interval in minutes"));
    m_intervalField->setAlignment(Qt::AlignRight);
    // Room for "720" at any font.
    m_intervalField->setFixedWidth(
        qMax(60, m_intervalField->fontMetrics().horizontalAdvance(QStringLiteral("0000.0")) +
                     m_intervalField->minimumSizeHint().width()));
    intervalRow->addWidget(m_intervalField);

    m_stepper = new Stepper;
    m_stepper->setObjectName(QStringLiteral("intervalStepper"));
    m_stepper->setAccessibleName(tr("Change check interval"));
    intervalRow->addWidget(m_stepper);
    intervalRow->addWidget(new QLabel(tr("minutes")));
    intervalRow->addStretch(1);
    interval->addWidget(
        makeCaption(tr("Minimum %1 seconds. A 5 minute interval is plenty for catching a "
                       "crashed server.")
                        .arg(AppSettings::minimumCheckIntervalSeconds)));
    m_wakeToggle = new QCheckBox(tr("Also check right after the computer wakes from sleep"));
    m_wakeToggle->setObjectName(QStringLiteral("wakeToggle"));
    interval->addWidget(m_wakeToggle);
}

void GeneralSettingsView::buildLoginSection(QVBoxLayout *form)
{
    QVBoxLayout *login = addSection(form);
    m_loginToggle = new QCheckBox(tr("Launch Vigilmount at login"));
    m_loginToggle->setObjectName(QStringLiteral("loginToggle"));
    login->addWidget(m_loginToggle);
    m_loginStatus = makeCaption();
    m_loginStatus->setObjectName(QStringLiteral("loginStatus"));
    login->addWidget(m_loginStatus);
    m_loginError = makeErrorLine(QStringLiteral("loginError"));
    login->addWidget(m_loginError);
    m_notifyToggle = new QCheckBox(tr("Show a notification when Vigilmount fixes something"));
    m_notifyToggle->setObjectName(QStringLiteral("notifyToggle"));
    login->addWidget(m_notifyToggle);
    auto *notifyCaption =
        makeCaption(tr("Failures are included: when this is off, Vigilmount also stays quiet "
                       "when a repair fails."));
    notifyCaption->setObjectName(QStringLiteral("notifyCaption"));
    login->addWidget(notifyCaption);
}

void GeneralSettingsView::buildCheckSection(QVBoxLayout *form)
{
    QVBoxLayout *check = addSection(form);
    QHBoxLayout *checkRow = addRow(check);
    m_checkNow = new QPushButton(tr("Check Now"));
    m_checkNow->setObjectName(QStringLiteral("checkNowButton"));
    checkRow->addWidget(m_checkNow);
    m_spinner = new Spinner;
    m_spinner->setObjectName(QStringLiteral("checkSpinner"));
    m_spinner->setAccessibleName(tr("Checking"));
    checkRow->addWidget(m_spinner);
    checkRow->addStretch(1);
    m_lastMessage = makeCaption();
    m_lastMessage->setObjectName(QStringLiteral("lastMessage"));
    check->addWidget(m_lastMessage);
}

void GeneralSettingsView::connectControls()
{
    connect(m_intervalField, &QLineEdit::editingFinished, this,
            &GeneralSettingsView::commitInterval);
    connect(m_stepper, &Stepper::stepped, this, &GeneralSettingsView::step);
    connect(m_wakeToggle, &QCheckBox::clicked, &m_settings, &AppSettings::setCheckOnWake);
    connect(m_loginToggle, &QCheckBox::clicked, this, [this](bool on) {
        const Status changed = m_launchAtLogin.setEnabled(on);
        if (!changed)
            m_log.record(LogEvent::Kind::error,
                         QStringLiteral("Launch at login: ") + changed.error());
        refresh();
    });
    connect(m_notifyToggle, &QCheckBox::clicked, &m_settings, &AppSettings::setNotifyOnAction);
    connect(m_checkNow, &QPushButton::clicked, this,
            [this] { m_watchdog.checkNow(QStringLiteral("manual")); });

    connect(&m_settings, &AppSettings::changed, this, &GeneralSettingsView::refresh);
    connect(&m_settings, &AppSettings::checkIntervalMinutesChanged, this,
            &GeneralSettingsView::showInterval);
    connect(&m_launchAtLogin, &LaunchAtLogin::isEnabledChanged, this,
            &GeneralSettingsView::refresh);
    connect(&m_launchAtLogin, &LaunchAtLogin::lastErrorChanged, this,
            &GeneralSettingsView::refresh);
    connect(&m_watchdog, &Watchdog::isCheckingChanged, this, &GeneralSettingsView::refresh);
    connect(&m_watchdog, &Watchdog::lastMessageChanged, this, &GeneralSettingsView::refresh);
}

void GeneralSettingsView::step(int direction)
{
    const double next = m_settings.checkIntervalMinutes() + direction;
    m_settings.setCheckIntervalMinutes(std::clamp(next, stepperMinimum, stepperMaximum));
}

void GeneralSettingsView::commitInterval()
{
    bool ok = false;
    const double typed = locale().toDouble(m_intervalField->text().trimmed(), &ok);
    if (ok)
        m_settings.setCheckIntervalMinutes(typed);
    else
        showInterval(); // Text that is not a number gives way to the stored value.
}

void GeneralSettingsView::showInterval()
{
    m_intervalField->setText(
        locale().toString(m_settings.checkIntervalMinutes(), 'f', QLocale::FloatingPointShortest));
}

void GeneralSettingsView::refresh()
{
    m_wakeToggle->setChecked(m_settings.checkOnWake());
    m_notifyToggle->setChecked(m_settings.notifyOnAction());
    m_loginToggle->setChecked(m_launchAtLogin.isEnabled());
    // The registration can change outside the program, so the status is read afresh each time.
    m_loginStatus->setText(loginItemStatusText(m_launchAtLogin.status()));
    showError(m_loginError, m_launchAtLogin.lastError());
    m_spinner->setVisible(m_watchdog.isChecking());
    m_lastMessage->setText(m_watchdog.lastMessage());
}

void GeneralSettingsView::showEvent(QShowEvent *event)
{
    m_launchAtLogin.refresh();
    refresh();
    QWidget::showEvent(event);
}

void GeneralSettingsView::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::LocaleChange:
        showInterval();
        break;
    case QEvent::ActivationChange:
        if (isActiveWindow())
            refresh();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}
