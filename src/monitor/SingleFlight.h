#pragma once

#include "monitor/CompletionAwaiter.h"

#include <QCoroTask>
#include <chrono>
#include <functional>
#include <vector>

// One operation of a kind at a time: a request made while one is in flight joins it and gets its
// outcome instead of starting a second (two launches of the server, or a mount beside a mount
// that would fail with "already mounted"). Main thread only.
template <typename T> class SingleFlight
{
public:
    bool inFlight() const { return m_inFlight; }

    // Runs `operation` unless one is in flight, else waits for that one's outcome. A joiner
    // waits at most `bound` (the operation's own bound) and then gets `fallback`. When `owner`
    // goes away, every waiter unwinds with OwnerGone without touching this object again.
    QCoro::Task<T> run(QObject *owner, std::function<QCoro::Task<T>()> operation,
                       std::chrono::milliseconds bound, T fallback)
    {
        if (m_inFlight) {
            co_return co_await CompletionAwaiter<T>(
                owner, [this](std::function<void(T)> done) { m_joiners.push_back(done); },
                bound, std::move(fallback));
        }
        m_inFlight = true;
        // OwnerGone passes through: this object went with the owner.
        T outcome = co_await operation();
        m_inFlight = false;
        for (const std::function<void(T)> &joiner : std::exchange(m_joiners, {}))
            joiner(outcome);
        co_return outcome;
    }

private:
    bool m_inFlight = false;
    std::vector<std::function<void(T)>> m_joiners;
};
