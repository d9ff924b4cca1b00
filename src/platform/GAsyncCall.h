#pragma once

#include "platform/GLibPointers.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QMetaObject>
#include <QTimer>

#include <gio/gio.h>

#include <chrono>
#include <coroutine>
#include <functional>
#include <memory>
#include <utility>

// Lets a coroutine await one GIO-style asynchronous call:
//   auto result = co_await GAsyncCall([&](GAsyncReadyCallback ready, gpointer data) {
//       g_bus_get(G_BUS_TYPE_SESSION, cancellable, ready, data);
//   });
//   g_bus_get_finish(result.get(), &error);
// The coroutine resumes inside GLib's callback, on the thread whose main context started the
// call (the main thread: Qt's event loop there runs GLib's main context).
class GAsyncCall
{
public:
    using Start = std::function<void(GAsyncReadyCallback, gpointer)>;

    explicit GAsyncCall(Start start) : m_start(std::move(start)) {}

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiter)
    {
        m_waiter = waiter;
        m_start(&GAsyncCall::ready, this);
    }
    GObjectPtr<GAsyncResult> await_resume() { return std::move(m_result); }

private:
    static void ready(GObject * /*source*/, GAsyncResult *result, gpointer data)
    {
        auto *self = static_cast<GAsyncCall *>(data);
        self->m_result.reset(G_ASYNC_RESULT(g_object_ref(result)));
        std::exchange(self->m_waiter, {}).resume();
    }

    Start m_start;
    std::coroutine_handle<> m_waiter;
    GObjectPtr<GAsyncResult> m_result;
};

namespace BoundedGLib {

template <typename T> struct Run
{
    std::function<void(T)> done;
    GObjectPtr<GCancellable> cancellable{g_cancellable_new()};

    void settle(T value)
    {
        if (!done)
            return;
        const std::function<void(T)> report = std::exchange(done, {});
        g_cancellable_cancel(cancellable.get());
        report(std::move(value));
    }
};

template <typename T> QCoro::Task<> follow(std::shared_ptr<Run<T>> run, QCoro::Task<T> operation)
{
    T result = co_await std::move(operation);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [run, result] { run->settle(result); }, Qt::QueuedConnection);
}

// Runs a GLib operation, a coroutine started with a cancellable, and hands `done` its result,
// or `timedOut` when the bound comes first; the operation is then cancelled and its late
// result dropped. `done` runs once, on the main thread, from the event loop (never inside
// this call). Call on the main thread.
template <typename T>
void run(const std::function<QCoro::Task<T>(GCancellable *)> &operation,
         std::chrono::milliseconds bound, T timedOut, std::function<void(T)> done)
{
    auto state = std::make_shared<Run<T>>();
    state->done = std::move(done);
    QTimer::singleShot(bound, QCoreApplication::instance(),
                       [state, timedOut = std::move(timedOut)] { state->settle(timedOut); });
    follow(state, operation(state->cancellable.get()));
}

} // namespace BoundedGLib
