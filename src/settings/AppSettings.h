#pragma once

#include "settings/ShareProtocol.h"

#include <QObject>
#include <QSettings>
#include <QString>
#include <memory>

// The user's settings: twelve observable properties backed by the per-user settings file.
// Every set notifies and writes at once, even when the value did not change; nothing is
// clamped or validated here (consumers apply their own floors).
class AppSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double checkIntervalMinutes READ checkIntervalMinutes WRITE setCheckIntervalMinutes
                   NOTIFY checkIntervalMinutesChanged)
    Q_PROPERTY(bool watchPlex READ watchPlex WRITE setWatchPlex NOTIFY watchPlexChanged)
    Q_PROPERTY(QString plexAppPath READ plexAppPath WRITE setPlexAppPath NOTIFY plexAppPathChanged)
    Q_PROPERTY(bool watchVolume READ watchVolume WRITE setWatchVolume NOTIFY watchVolumeChanged)
    Q_PROPERTY(QString serverHost READ serverHost WRITE setServerHost NOTIFY serverHostChanged)
    Q_PROPERTY(QString shareName READ shareName WRITE setShareName NOTIFY shareNameChanged)
    Q_PROPERTY(QString username READ username WRITE setUsername NOTIFY usernameChanged)
    Q_PROPERTY(bool notifyOnAction READ notifyOnAction WRITE setNotifyOnAction NOTIFY
                   notifyOnActionChanged)
    Q_PROPERTY(bool checkOnWake READ checkOnWake WRITE setCheckOnWake NOTIFY checkOnWakeChanged)
    Q_PROPERTY(bool verboseLogging READ verboseLogging WRITE setVerboseLogging NOTIFY
                   verboseLoggingChanged)
    Q_PROPERTY(qint64 logRetentionDays READ logRetentionDays WRITE setLogRetentionDays NOTIFY
                   logRetentionDaysChanged)

public:
    static inline const QString defaultPlexAppPath =
        QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server");

    // Reads the settings file once. Tests build their own instances to simulate a relaunch.
    explicit AppSettings(QObject *parent = nullptr);
    ~AppSettings() override;

    double checkIntervalMinutes() const { return m_checkIntervalMinutes; }
    bool watchPlex() const { return m_watchPlex; }
    QString plexAppPath() const { return m_plexAppPath; }
    bool watchVolume() const { return m_watchVolume; }
    ShareProtocol shareProtocol() const { return m_shareProtocol; }
    QString serverHost() const { return m_serverHost; }
    QString shareName() const { return m_shareName; }
    QString username() const { return m_username; }
    bool notifyOnAction() const { return m_notifyOnAction; }
    bool checkOnWake() const { return m_checkOnWake; }
    bool verboseLogging() const { return m_verboseLogging; }
    qint64 logRetentionDays() const { return m_logRetentionDays; }

    void setCheckIntervalMinutes(double value);
    void setWatchPlex(bool value);
    void setPlexAppPath(const QString &value);
    void setWatchVolume(bool value);
    void setShareProtocol(ShareProtocol value);
    void setServerHost(const QString &value);
    void setShareName(const QString &value);
    void setUsername(const QString &value);
    void setNotifyOnAction(bool value);
    void setCheckOnWake(bool value);
    void setVerboseLogging(bool value);
    void setLogRetentionDays(qint64 value);

    // Server and share both non-blank after trimming spaces and tabs (not line breaks).
    bool isVolumeConfigured() const;
    // The keyring account of the share password: user@host/share, joined as stored.
    QString keychainAccount() const;

Q_SIGNALS:
    void checkIntervalMinutesChanged(double value);
    void watchPlexChanged(bool value);
    void plexAppPathChanged(const QString &value);
    void watchVolumeChanged(bool value);
    void shareProtocolChanged(ShareProtocol value);
    void serverHostChanged(const QString &value);
    void shareNameChanged(const QString &value);
    void usernameChanged(const QString &value);
    void notifyOnActionChanged(bool value);
    void checkOnWakeChanged(bool value);
    void verboseLoggingChanged(bool value);
    void logRetentionDaysChanged(qint64 value);
    // Any property was set.
    void changed();

private:
    void write(const QString &key, const QVariant &value);

    std::unique_ptr<QSettings> m_store;
    double m_checkIntervalMinutes;
    bool m_watchPlex;
    QString m_plexAppPath;
    bool m_watchVolume;
    ShareProtocol m_shareProtocol;
    QString m_serverHost;
    QString m_shareName;
    QString m_username;
    bool m_notifyOnAction;
    bool m_checkOnWake;
    bool m_verboseLogging;
    qint64 m_logRetentionDays;
};
