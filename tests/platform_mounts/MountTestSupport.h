#pragma once

// Helpers for the mount tests that run against the harness's GVfs and Samba.

#include "platform/VolumeMounter.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <memory>

namespace MountTestSupport {

// What `done` delivered, and how.
struct Delivery : std::enable_shared_from_this<Delivery>
{
    int calls = 0;
    bool onMainThread = false;
    std::optional<VolumeMounter::MountResult> result;
    qint64 elapsedMs = -1;

    bool arrived() const { return calls > 0; }
    // A `done` that fills in this record (and keeps it alive).
    std::function<void(VolumeMounter::MountResult)> recorder()
    {
        auto clock = std::make_shared<QElapsedTimer>();
        clock->start();
        return [self = shared_from_this(), clock](VolumeMounter::MountResult result) {
            ++self->calls;
            self->onMainThread = QThread::currentThread() == qApp->thread();
            self->elapsedMs = clock->elapsed();
            self->result = std::move(result);
        };
    }
    QString path() const
    {
        const auto *text = result ? std::get_if<QString>(&*result) : nullptr;
        return text ? *text : QString();
    }
    QString errorText() const
    {
        const auto *error = result ? std::get_if<VolumeMounter::MountError>(&*result) : nullptr;
        return error ? error->description() : QStringLiteral("<no error>");
    }
};

// Starts a mount and returns the record `done` fills in.
inline std::shared_ptr<Delivery>
startMount(const QString &host, const QString &share, const std::optional<QString> &username,
           const std::optional<QString> &password,
           std::chrono::milliseconds bound = std::chrono::seconds(60))
{
    auto delivery = std::make_shared<Delivery>();
    VolumeMounter::mount(QStringLiteral("smb"), host, share, username, password,
                         delivery->recorder(), bound);
    return delivery;
}

struct CommandResult
{
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// Runs a helper program without blocking on anything longer than the timeout.
inline CommandResult run(const QString &program, const QStringList &arguments,
                         int timeoutMs = 15000)
{
    QProcess process;
    process.start(program, arguments);
    CommandResult result;
    if (!process.waitForStarted(5000))
        return result;
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(2000);
    }
    result.exitCode = process.exitCode();
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

// GIO completes mounts on GLib's main context, which Qt only runs with its GLib dispatcher.
inline bool qtRunsGlib()
{
    auto *dispatcher = QCoreApplication::instance()->eventDispatcher();
    return dispatcher && dispatcher->inherits("QEventDispatcherGlib");
}

} // namespace MountTestSupport
