#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <coroutine>
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
// - When `owner` is destroyed while the coroutine waits, the coroutine is never resumed (it
//   would run on a destroyed object); its frame is given up.
template <typename T> class CompletionAwaiter
{
public:
    using Completion = std::function<void(T)>;
    using Starter = std::function<void(Completion)>;

    CompletionAwaiter(QObject *owner, Starter start, std::chrono::milliseconds bound, T fallback)
        : m_state(std::make_shared<State>()), m_start(std::move(start)), m_bound(bound),
          m_fallback(std::move(fallback))
    {
        m_state->owner = owner;
    }

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> waiter)
    {
        const std::shared_ptr<State> state = m_state;
        state->waiter = waiter;
        QTimer::singleShot(m_bound, state->owner.data(),
                           [state, fallback = m_fallback] { state->settle(fallback); });
        m_start([state](T outcome) {
            // Any thread: hand the outcome to the main thread's event loop.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [state, outcome] { state->settle(outcome); },
                Qt::QueuedConnection);
        });
    }

    T await_resume() { return std::move(*m_state->outcome); }

private:
    // Touched on the main thread only.
    struct State
    {
        QPointer<QObject> owner;
        std::coroutine_handle<> waiter;
        std::optional<T> outcome;

        void settle(const T &value)
        {
            if (outcome)
                return;
            outcome = value;
            if (owner && waiter)
                std::exchange(waiter, {}).resume();
        }
    };

    std::shared_ptr<State> m_state;
    Starter m_start;
    std::chrono::milliseconds m_bound;
    T m_fallback;
};
