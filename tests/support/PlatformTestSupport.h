#pragma once

// Small helpers shared by the platform tests.

#include "platform/VolumeMounter.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <memory>

namespace PlatformTestSupport {

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct CommandResult
{
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// Runs a helper program, killing it after the timeout so that nothing hangs the test.
inline CommandResult run(const QString &program, const QStringList &arguments,
                         const QByteArray &input = {}, int timeoutMs = 15000)
{
    QProcess process;
    process.start(program, arguments);
    CommandResult result;
    if (!process.waitForStarted(5000))
        return result;
    process.write(input);
    process.closeWriteChannel();
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

// Starts the harness's server that accepts connections and never answers; returns its port
// ("0" asks for any free one), empty when it did not start.
inline QByteArray startSilentServer(QProcess &server, const QString &port)
{
    const QString script =
        qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") + QStringLiteral("/tools/silent-server.py");
    server.start(script, {port});
    if (!QTest::qWaitFor([&] { return server.canReadLine(); }, 10000))
        return {};
    const QByteArray line = server.readLine().trimmed();
    return line.startsWith("listening ") ? line.mid(10) : QByteArray();
}

// What a mount's `done` delivered, and how.
struct Delivery
{
    int calls = 0;
    bool onMainThread = false;
    qint64 elapsedMs = -1;
    std::optional<Outcome<QString>> result;

    QString path() const { return result && result->ok() ? result->value() : QString(); }
    QString errorText() const
    {
        return result && !result->ok() ? result->error() : QStringLiteral("<no error>");
    }
};

// A `done` that fills in the record (and keeps it alive).
inline std::function<void(Outcome<QString>)> recorder(const std::shared_ptr<Delivery> &delivery)
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    return [delivery, clock](Outcome<QString> result) {
        ++delivery->calls;
        delivery->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        delivery->elapsedMs = clock->elapsed();
        delivery->result = std::move(result);
    };
}

inline std::shared_ptr<Delivery>
startMount(const QString &host, const QString &share, const std::optional<QString> &username,
           const std::optional<QString> &password,
           std::chrono::milliseconds bound = std::chrono::seconds(60))
{
    auto delivery = std::make_shared<Delivery>();
    VolumeMounter::mount(QStringLiteral("smb"), host, share, username, password, recorder(delivery),
                         bound);
    return delivery;
}

// Waits for the delivery, then a moment longer: a second call would show up.
inline bool arrivesOnce(const Delivery &delivery, int timeoutMs = 30000)
{
    const bool arrived = QTest::qWaitFor([&] { return delivery.calls > 0; }, timeoutMs);
    QTest::qWait(100);
    return arrived && delivery.calls == 1 && delivery.onMainThread;
}

// GIO completes mounts on GLib's main context, which Qt only runs with its GLib dispatcher.
inline bool qtRunsGlib()
{
    auto *dispatcher = QCoreApplication::instance()->eventDispatcher();
    return dispatcher && dispatcher->inherits("QEventDispatcherGlib");
}

} // namespace PlatformTestSupport
