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

// One Vigilmount per history. The first process holds a lock in the history's folder (two
// writers of one history would lose records, whatever their runtime folders) and listens on a
// local socket in a private runtime folder; a later start connects, sends one request line
// ("reopen", "settings", "check-now" or "status"), reads the one-line answer, and ends. Both
// ends talk only to processes of the same user.
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

    // $XDG_RUNTIME_DIR when it is a 0700 folder of the user's, otherwise a private 0700 folder
    // in the temporary folder; empty when neither can be had (the socket then has an abstract
    // name).
    static QString runtimeDirectory();

    explicit SingleInstance(const QString &lockDirectory, const QString &socketDirectory,
                            QObject *parent = nullptr);
    // The lock next to the history, the socket in the runtime folder.
    SingleInstance();
    ~SingleInstance() override;

    // Becomes the primary instance or hands the request over to the running one; waits at
    // most timeoutMs for a running instance that is still starting up to answer. A primary
    // that cannot listen still runs; errorString() then says that it cannot be reached.
    Role claim(Request request = Request::reopen, int timeoutMs = 5000);
    // Sends the request to the running instance without ever becoming one: its answer, or
    // none when no instance runs (or it did not answer in time).
    std::optional<QByteArray> ask(Request request, int timeoutMs = 5000);
    // What the primary answers to "status": one line of JSON.
    void setStatusProvider(std::function<QByteArray()> provider);
    QString errorString() const { return m_error; }
    // A file path, or an abstract socket name (no leading slash) when no path fits.
    QString socketName() const;
    QString lockPath() const;

Q_SIGNALS:
    // A later start asked for something this instance does (reopen, settings, check-now).
    void requested(SingleInstance::Request request);

private:
    bool listen();
    std::optional<QByteArray> send(Request request, int timeoutMs, bool waitForStartingOwner);
    bool lockOwnerAlive() const;
    void answer(QLocalSocket *client);

    QString m_lockDirectory;
    QString m_socketDirectory;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    std::function<QByteArray()> m_statusProvider;
    QString m_error;
};
