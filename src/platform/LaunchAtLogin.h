#pragma once

#include <QObject>
#include <QString>
#include <optional>

class EventLog;

// Starting Vigilmount at login, through the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/vigilmount.desktop. The entry on disk is the only truth.
class LaunchAtLogin : public QObject
{
    Q_OBJECT

public:
    // Registration status values, as the General tab shows them.
    enum Status { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

    static LaunchAtLogin &shared();

    // log receives an "error" record when a change fails.
    explicit LaunchAtLogin(EventLog &log, QObject *parent = nullptr);

    bool isEnabled() const { return m_isEnabled; }
    std::optional<QString> lastError() const { return m_lastError; }

    // The status read afresh from disk.
    Status status() const;

    void setEnabled(bool enabled);
    void refresh();

Q_SIGNALS:
    void isEnabledChanged(bool value);
    void lastErrorChanged();

private:
    EventLog &m_log;
    bool m_isEnabled = false;
    std::optional<QString> m_lastError;
};
