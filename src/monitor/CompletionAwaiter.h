#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

// Lets a coroutine on the main thread co_await an operation that reports back through a
// completion callback, called once on any thread.
//
// - The waiting coroutine always resumes on the main thread, from the event loop, never
//   inside the callback or inside the call that started the operation.
// - The wait is bounded: when the completion has not arrived after `bound`, the coroutine
//   resumes with `fallback`. Whatever comes second (a late completion, a second call of a
//   misbehaving callback, the bound after the completion) is dropped.
// - When `owner` is destroyed while the coroutine waits, the coroutine resumes at once with
//   OwnerGone thrown from the co_await: the coroutines awaiting it unwind without running on
//   the destroyed object, and their frames are freed. Later answers are dropped.
struct OwnerGone : std::exception
{
    const char *what() const noexcept override { return "the waiting object was destroyed"; }
};

template <typename T> class CompletionAwaiter
{
public:
    using Completion = std::function<void(T)>;
    using Starter = std::function<void(Completion)>;

    CompletionAwaiter(QObject *owner, Starter start, std::chrono::milliseconds bound, T fallback)
        : m_state(std::make_shared<State>()), m_owner(owner), m_start(std::move(start)),
          m_bound(bound), m_fallback(std::move(fallback))
    {}

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> waiter)
    {
        const std::shared_ptr<State> state = m_state;
        state->waiter = waiter;
        state->ownerWatch =
            QObject::connect(m_owner, &QObject::destroyed, [state] { state->abandon(); });
        QTimer::singleShot(m_bound, m_owner,
                           [state, fallback = m_fallback] { state->settle(fallback); });
        m_start([state](T outcome) {
            // Any thread: hand the outcome to the main thread's event loop.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [state, outcome] { state->settle(outcome); },
                Qt::QueuedConnection);
        });
    }

    T await_resume()
    {
        if (m_state->ownerGone)
            throw OwnerGone();
        return std::move(*m_state->outcome);
    }

private:
    // Touched on the main thread only.
    struct State
    {
        std::coroutine_handle<> waiter;
        std::optional<T> outcome;
        bool ownerGone = false;
        QMetaObject::Connection ownerWatch;

        void settle(const T &value)
        {
            if (outcome || ownerGone)
                return;
            outcome = value;
            QObject::disconnect(ownerWatch);
            std::exchange(waiter, {}).resume();
        }
        void abandon()
        {
            if (outcome || ownerGone)
                return;
            ownerGone = true;
            std::exchange(waiter, {}).resume();
        }
    };

    std::shared_ptr<State> m_state;
    QObject *m_owner = nullptr;
    Starter m_start;
    std::chrono::milliseconds m_bound;
    T m_fallback;
};
