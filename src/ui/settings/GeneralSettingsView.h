#pragma once

#include "settings/AppSettings.h"

#include <QWidget>

class EventLog;
class LaunchAtLogin;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class Spinner;
class Stepper;
class Watchdog;

// The General tab: check interval, wake check, login item, notifications and a manual check.
// Holds no state of its own; every control reads and writes the shared objects at once.
class GeneralSettingsView : public QWidget
{
    Q_OBJECT

public:
    // A failed change of the login item is recorded in log as an "error" record.
    GeneralSettingsView(AppSettings &settings, LaunchAtLogin &launchAtLogin, Watchdog &watchdog,
                        EventLog &log, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildIntervalSection(QVBoxLayout *form);
    void buildLoginSection(QVBoxLayout *form);
    void buildCheckSection(QVBoxLayout *form);
    void connectControls();
    void step(int direction);
    void commitInterval();
    void showInterval();
    void refresh();

    AppSettings &m_settings;
    LaunchAtLogin &m_launchAtLogin;
    Watchdog &m_watchdog;
    EventLog &m_log;

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
