#pragma once

// The keyring's asynchronous calls, waited for on the test's event loop.

#include "platform/Keychain.h"

#include <QFile>
#include <QTest>
#include <csignal>

namespace KeychainWait {

template <typename T, typename Start> T answerOf(Start start)
{
    std::optional<T> answer;
    start([&answer](T outcome) { answer = std::move(outcome); });
    if (!QTest::qWaitFor([&] { return answer.has_value(); }, 30000))
        qFatal("the keyring call never called back");
    return *answer;
}

inline Keychain::PasswordOutcome password(const QString &account,
                                          std::chrono::milliseconds bound = Keychain::defaultBound)
{
    return answerOf<Keychain::PasswordOutcome>(
        [&](auto done) { Keychain::password(account, std::move(done), bound); });
}

// The stored password, none also when the read failed.
inline std::optional<QString> stored(const QString &account)
{
    const Keychain::PasswordOutcome answer = password(account);
    return answer ? answer.value() : std::nullopt;
}

inline Status save(const QString &secret, const QString &account,
                   std::chrono::milliseconds bound = Keychain::defaultBound)
{
    return answerOf<Status>(
        [&](auto done) { Keychain::save(secret, account, std::move(done), bound); });
}

// Sends a signal to the harness's gnome-keyring (SIGSTOP: a keyring that doesn't answer).
inline bool signalKeyring(int signal)
{
    QFile pidFile(qEnvironmentVariable("VIGILMOUNT_TEST_ROOT") + "/keyring/pid");
    const pid_t pid = pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toInt() : 0;
    return pid > 0 && ::kill(pid, signal) == 0;
}

} // namespace KeychainWait
