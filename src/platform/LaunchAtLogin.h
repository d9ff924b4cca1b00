#pragma once

#include "common/Outcome.h"

#include <QObject>
#include <QString>
#include <optional>

// Starting Vigilmount at login, through the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/vigilmount.desktop. The entry on disk is the only truth.
class LaunchAtLogin : public QObject
{
    Q_OBJECT

public:
    // Registration status values, as the General tab shows them.
    enum Status { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

    explicit LaunchAtLogin(QObject *parent = nullptr);

    bool isEnabled() const { return m_isEnabled; }
    std::optional<QString> lastError() const { return m_lastError; }

    // The status read afresh from disk.
    Status status() const;

    // Registers or unregisters; a failure is also kept in lastError.
    ::Status setEnabled(bool enabled);
    void refresh();

    // $XDG_CONFIG_HOME/autostart/vigilmount.desktop.
    static QString entryPath();
    // A program path as one quoted Exec word of a desktop entry.
    static QString quotedExec(const QString &program);

Q_SIGNALS:
    void isEnabledChanged(bool value);
    void lastErrorChanged();

private:
    // Each answers the system's message on failure.
    std::optional<QString> registerEntry();
    std::optional<QString> unregisterEntry();
    void setIsEnabled(bool value);
    void setLastError(const std::optional<QString> &value);

    bool m_isEnabled = false;
    std::optional<QString> m_lastError;
};
