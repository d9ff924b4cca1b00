#pragma once

// Small helpers shared by the platform tests.

#include "platform/VolumeMounter.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <QThread>

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
    QByteArray output, errors;
};

// Runs a helper program, killing it after the timeout so that nothing hangs the test.
inline CommandResult run(const QString &program, const QStringList &arguments,
                         const QByteArray &input = {}, int timeoutMs = 15000)
{
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    const bool finished = process.waitForFinished(timeoutMs);
    if (!finished)
        process.kill(), process.waitForFinished(2000);
    return {finished, finished ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// Starts the harness's server that accepts connections and never answers; returns its port
// ("0" asks for any free one), empty when it did not start.
inline QByteArray startSilentServer(QProcess &server, const QString &port)
{
    server.start(qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") + "/tools/silent-server.py",
                 {port});
    const bool started = QTest::qWaitFor([&] { return server.canReadLine(); }, 10000);
    return started ? server.readLine().trimmed() : QByteArray();
}

// What a mount's `done` delivered, and how.
struct Delivery
{
    int calls = 0, callsOnMainThread = 0;
    std::optional<Outcome<QString>> result;

    QString path() const { return result && result->ok() ? result->value() : QString(); }
    QString errorText() const { return result && !result->ok() ? result->error() : "<no error>"; }
};

// Mounts through VolumeMounter, recording what `done` delivers.
inline std::shared_ptr<Delivery>
startMount(const QString &host, const QString &share, const std::optional<QString> &username,
           const std::optional<QString> &password,
           std::chrono::milliseconds bound = std::chrono::seconds(60))
{
    auto delivery = std::make_shared<Delivery>();
    VolumeMounter::mount(
        "smb", host, share, username, password,
        [delivery](Outcome<QString> result) {
            ++delivery->calls;
            delivery->callsOnMainThread +=
                QThread::currentThread() == QCoreApplication::instance()->thread();
            delivery->result = std::move(result);
        },
        bound);
    return delivery;
}

// Waits for the delivery, then a moment longer: a second call would show up.
inline bool arrivesOnce(const Delivery &delivery, int timeoutMs = 30000)
{
    const bool arrived = QTest::qWaitFor([&] { return delivery.calls > 0; }, timeoutMs);
    QTest::qWait(100);
    return arrived && delivery.calls == 1 && delivery.callsOnMainThread == 1;
}

} // namespace PlatformTestSupport
