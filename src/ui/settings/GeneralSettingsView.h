#pragma once

#include <QWidget>
#include <functional>

class AppSettings;
class EventLog;
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
    static constexpr double stepperMinimum = 0.5;
    static constexpr double stepperMaximum = 720.0;

    // Where the login item's registration status is read from (LaunchAtLogin::Status values,
    // anything else reads "Unknown").
    using StatusSource = std::function<int()>;

    // A failed change of the login item is recorded in log as an "error" record.
    GeneralSettingsView(AppSettings &settings, LaunchAtLogin &launchAtLogin, Watchdog &watchdog,
                        EventLog &log, QWidget *parent = nullptr);

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
    EventLog &m_log;
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
