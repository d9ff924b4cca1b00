#pragma once

#include "settings/AppSettings.h"

#include <QWidget>
#include <functional>

class LaunchAtLogin;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Spinner;
class Stepper;
class Watchdog;

// The General tab: check interval, wake check, login item, notifications and a manual check.
// Holds no state of its own; every control reads and writes the shared objects at once.
class GeneralSettingsView : public QWidget
{
    Q_OBJECT

public:
    // The stepper stops at the check timer's floor.
    static constexpr double stepperMinimum = AppSettings::minimumCheckIntervalSeconds / 60.0;
    static constexpr double stepperMaximum = 720.0;

    // Where the login item's registration status is read from (LaunchAtLogin::Status values,
    // anything else reads "Unknown").
    using StatusSource = std::function<int()>;

    GeneralSettingsView(AppSettings &settings, LaunchAtLogin &launchAtLogin, Watchdog &watchdog,
                        QWidget *parent = nullptr);

    // Tests read the status from their own source.
    void setStatusSourceForTesting(StatusSource source);

    // The caption for a registration status.
    static QString loginItemStatusText(int status);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void step(int direction);
    void commitInterval();
    void showInterval();
    void refresh();

    AppSettings &m_settings;
    LaunchAtLogin &m_launchAtLogin;
    Watchdog &m_watchdog;
    StatusSource m_statusSource;

    QLineEdit *m_intervalField;
    Stepper *m_stepper;
    QCheckBox *m_wakeToggle;
    QCheckBox *m_loginToggle;
    QLabel *m_loginStatus;
    QLabel *m_loginError;
    QCheckBox *m_notifyToggle;
    QPushButton *m_checkNow;
    Spinner *m_spinner;
    QLabel *m_lastMessage;
};
