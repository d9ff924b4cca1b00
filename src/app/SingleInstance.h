#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

// One Vigilmount per user. The first process holds a lock and listens on a user-only local
// socket in the runtime folder; a later start connects, asks the first one to reopen, and
// ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        primary,    // this process is the one that runs
        handedOver, // another instance runs and has taken the reopen request
        failed,     // another instance holds the lock but did not answer
    };

    // $XDG_RUNTIME_DIR, or Qt's per-user runtime folder when it is not set.
    static QString defaultDirectory();

    explicit SingleInstance(const QString &directory = defaultDirectory(),
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the primary instance or hands over to the running one; waits at most
    // timeoutMs for a running instance that is still starting up to answer.
    Role claim(int timeoutMs = 5000);
    QString errorString() const { return m_error; }
    QString socketPath() const;

Q_SIGNALS:
    // Someone started Vigilmount again while this instance runs.
    void reopenRequested();

private:
    bool listen();
    Role handOver(int timeoutMs);
    void acceptConnections();

    QString m_directory;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
    QString m_error;
};
