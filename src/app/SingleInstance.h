#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;

// One Vigilmount per user. The first process holds a lock and listens on a user-only local
// socket in the runtime folder; a later start connects, sends one request line ("reopen",
// "settings", "check-now" or "status"), reads the one-line answer, and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        primary,    // this process is the one that runs
        handedOver, // another instance runs and has taken the request
        failed,     // another instance holds the lock but did not answer
    };
    enum class Request { reopen, settings, checkNow, status };

    // $XDG_RUNTIME_DIR, or Qt's per-user runtime folder when it is not set.
    static QString defaultDirectory();

    explicit SingleInstance(const QString &directory = defaultDirectory(),
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the primary instance or hands the request over to the running one; waits at
    // most timeoutMs for a running instance that is still starting up to answer.
    Role claim(Request request = Request::reopen, int timeoutMs = 5000);
    // Sends the request to the running instance without ever becoming one: its answer, or
    // none when no instance runs (or it did not answer in time).
    std::optional<QByteArray> ask(Request request, int timeoutMs = 5000);
    // What the primary answers to "status": one line of JSON.
    void setStatusProvider(std::function<QByteArray()> provider);
    QString errorString() const { return m_error; }
    QString socketPath() const;

Q_SIGNALS:
    // A later start asked for something this instance does (reopen, settings, check-now).
    void requested(SingleInstance::Request request);

private:
    bool listen();
    std::optional<QByteArray> send(Request request, int timeoutMs, bool waitForStartingOwner);
    bool lockOwnerAlive() const;
    void answer(QLocalSocket *client);

    QString m_directory;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
    std::function<QByteArray()> m_statusProvider;
    QString m_error;
};
