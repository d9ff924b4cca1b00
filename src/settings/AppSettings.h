#pragma once

#include "settings/ShareProtocol.h"

#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>
#include <tuple>

// The user's settings: fifteen observable properties backed by the per-user settings file.
// Every set notifies and writes at once, even when the value did not change; nothing is
// clamped or validated here (consumers apply the floors named below).
class AppSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double checkIntervalMinutes READ checkIntervalMinutes WRITE setCheckIntervalMinutes
                   NOTIFY checkIntervalMinutesChanged)
    Q_PROPERTY(bool watchPlex READ watchPlex WRITE setWatchPlex NOTIFY watchPlexChanged)
    Q_PROPERTY(QString plexAppPath READ plexAppPath WRITE setPlexAppPath NOTIFY plexAppPathChanged)
    Q_PROPERTY(bool restartUnresponsivePlex READ restartUnresponsivePlex WRITE
                   setRestartUnresponsivePlex NOTIFY restartUnresponsivePlexChanged)
    Q_PROPERTY(qint64 plexPort READ plexPort WRITE setPlexPort NOTIFY plexPortChanged)
    Q_PROPERTY(bool watchVolume READ watchVolume WRITE setWatchVolume NOTIFY watchVolumeChanged)
    Q_PROPERTY(bool repairUnresponsiveVolume READ repairUnresponsiveVolume WRITE
                   setRepairUnresponsiveVolume NOTIFY repairUnresponsiveVolumeChanged)
    Q_PROPERTY(ShareProtocol shareProtocol READ shareProtocol WRITE setShareProtocol NOTIFY
                   shareProtocolChanged)
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
    // One setting: its key in the file, which is also the name of its property, and its
    // registered default, whose type is the setting's type. The default is what reads while the
    // file holds no value of that type under the key; it is never written.
    template <typename T> struct Key
    {
        const char *name;
        T registeredDefault;
    };

    // Every setting, once.
    struct Keys
    {
        static inline const Key<double> checkIntervalMinutes{"checkIntervalMinutes", 5.0};
        static inline const Key<bool> watchPlex{"watchPlex", true};
        static inline const Key<QString> plexAppPath{
            "plexAppPath", QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server")};
        static inline const Key<bool> restartUnresponsivePlex{"restartUnresponsivePlex", true};
        static inline const Key<qint64> plexPort{"plexPort", 32400};
        static inline const Key<bool> watchVolume{"watchVolume", true};
        static inline const Key<bool> repairUnresponsiveVolume{"repairUnresponsiveVolume", true};
        static inline const Key<ShareProtocol> shareProtocol{"shareProtocol", ShareProtocol::smb};
        static inline const Key<QString> serverHost{"serverHost", {}};
        static inline const Key<QString> shareName{"shareName", {}};
        static inline const Key<QString> username{"username", {}};
        static inline const Key<bool> notifyOnAction{"notifyOnAction", true};
        static inline const Key<bool> checkOnWake{"checkOnWake", true};
        static inline const Key<bool> verboseLogging{"verboseLogging", false};
        static inline const Key<qint64> logRetentionDays{"logRetentionDays", 90};

        // The rows above, for code that visits every setting.
        static auto all()
        {
            return std::tie(checkIntervalMinutes, watchPlex, plexAppPath, restartUnresponsivePlex,
                            plexPort, watchVolume, repairUnresponsiveVolume, shareProtocol,
                            serverHost, shareName, username, notifyOnAction, checkOnWake,
                            verboseLogging, logRetentionDays);
        }
    };

    // The floors the consumers apply: the check timer never runs more often than this, and
    // pruning at start-up keeps at least this much history.
    static constexpr double minimumCheckIntervalSeconds = 30.0;
    static constexpr qint64 minimumRetentionDays = 7;

    // Reads and writes the per-user settings file, or the file at storePath.
    explicit AppSettings(QObject *parent = nullptr);
    explicit AppSettings(const QString &storePath, QObject *parent = nullptr);
    ~AppSettings() override;

    double checkIntervalMinutes() const { return value(Keys::checkIntervalMinutes); }
    bool watchPlex() const { return value(Keys::watchPlex); }
    QString plexAppPath() const { return value(Keys::plexAppPath); }
    bool restartUnresponsivePlex() const { return value(Keys::restartUnresponsivePlex); }
    qint64 plexPort() const { return value(Keys::plexPort); }
    bool watchVolume() const { return value(Keys::watchVolume); }
    bool repairUnresponsiveVolume() const { return value(Keys::repairUnresponsiveVolume); }
    ShareProtocol shareProtocol() const { return value(Keys::shareProtocol); }
    QString serverHost() const { return value(Keys::serverHost); }
    QString shareName() const { return value(Keys::shareName); }
    QString username() const { return value(Keys::username); }
    bool notifyOnAction() const { return value(Keys::notifyOnAction); }
    bool checkOnWake() const { return value(Keys::checkOnWake); }
    bool verboseLogging() const { return value(Keys::verboseLogging); }
    qint64 logRetentionDays() const { return value(Keys::logRetentionDays); }

    void setCheckIntervalMinutes(double v)
    {
        assign(Keys::checkIntervalMinutes, v, &AppSettings::checkIntervalMinutesChanged);
    }
    void setWatchPlex(bool v) { assign(Keys::watchPlex, v, &AppSettings::watchPlexChanged); }
    void setPlexAppPath(const QString &v)
    {
        assign(Keys::plexAppPath, v, &AppSettings::plexAppPathChanged);
    }
    void setRestartUnresponsivePlex(bool v)
    {
        assign(Keys::restartUnresponsivePlex, v, &AppSettings::restartUnresponsivePlexChanged);
    }
    void setPlexPort(qint64 v) { assign(Keys::plexPort, v, &AppSettings::plexPortChanged); }
    void setWatchVolume(bool v) { assign(Keys::watchVolume, v, &AppSettings::watchVolumeChanged); }
    void setRepairUnresponsiveVolume(bool v)
    {
        assign(Keys::repairUnresponsiveVolume, v, &AppSettings::repairUnresponsiveVolumeChanged);
    }
    void setShareProtocol(ShareProtocol v)
    {
        assign(Keys::shareProtocol, v, &AppSettings::shareProtocolChanged);
    }
    void setServerHost(const QString &v)
    {
        assign(Keys::serverHost, v, &AppSettings::serverHostChanged);
    }
    void setShareName(const QString &v)
    {
        assign(Keys::shareName, v, &AppSettings::shareNameChanged);
    }
    void setUsername(const QString &v) { assign(Keys::username, v, &AppSettings::usernameChanged); }
    void setNotifyOnAction(bool v)
    {
        assign(Keys::notifyOnAction, v, &AppSettings::notifyOnActionChanged);
    }
    void setCheckOnWake(bool v) { assign(Keys::checkOnWake, v, &AppSettings::checkOnWakeChanged); }
    void setVerboseLogging(bool v)
    {
        assign(Keys::verboseLogging, v, &AppSettings::verboseLoggingChanged);
    }
    void setLogRetentionDays(qint64 v)
    {
        assign(Keys::logRetentionDays, v, &AppSettings::logRetentionDaysChanged);
    }

    // Server and share both non-blank after trimming spaces and tabs (not line breaks).
    bool isVolumeConfigured() const;
    // The keyring account of the share password: user@host/share, joined as stored.
    QString keychainAccount() const;

Q_SIGNALS:
    void checkIntervalMinutesChanged(double value);
    void watchPlexChanged(bool value);
    void plexAppPathChanged(const QString &value);
    void restartUnresponsivePlexChanged(bool value);
    void plexPortChanged(qint64 value);
    void watchVolumeChanged(bool value);
    void repairUnresponsiveVolumeChanged(bool value);
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
    // The file gives every value back as text; each type reads its own form of it, and
    // anything else (or nothing) reads as the fallback.
    static double decode(const QVariant &stored, double fallback);
    static bool decode(const QVariant &stored, bool fallback);
    static qint64 decode(const QVariant &stored, qint64 fallback);
    static QString decode(const QVariant &stored, const QString &fallback);
    static ShareProtocol decode(const QVariant &stored, ShareProtocol fallback);
    template <typename T> static QVariant encode(const T &value)
    {
        return QVariant::fromValue(value);
    }
    static QVariant encode(ShareProtocol value) { return rawValue(value); }

    template <typename T> T value(const Key<T> &key) const
    {
        return decode(m_store->value(QLatin1String(key.name)), key.registeredDefault);
    }

    // Writes, then notifies the property's and the general subscribers; always, even when the
    // value is unchanged.
    template <typename T, typename Signal>
    void assign(const Key<T> &key, const T &value, Signal changedSignal)
    {
        write(QLatin1String(key.name), encode(value));
        Q_EMIT(this->*changedSignal)(value);
        Q_EMIT changed();
    }
    void write(const QString &key, const QVariant &value);

    std::unique_ptr<QSettings> m_store;
};
