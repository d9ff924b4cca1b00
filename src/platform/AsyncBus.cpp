#include "platform/AsyncBus.h"

#include "platform/GLibPointers.h"

#include <QTimer>

#include <vector>

namespace {
constexpr std::chrono::seconds retryPause{60};
using SteadyTime = std::chrono::steady_clock::time_point;
} // namespace

struct AsyncBus::State
{
    GBusType type;
    std::chrono::milliseconds bound;
    GObjectPtr<GDBusConnection> connection;
    GObjectPtr<GCancellable> cancellable;
    std::vector<std::function<void(GDBusConnection *)>> waiting;
    unsigned attempt = 0; // answers of an abandoned attempt are ignored
    bool connecting = false;
    std::optional<SteadyTime> failedAt;

    void fail()
    {
        connecting = false;
        failedAt = std::chrono::steady_clock::now();
        waiting.clear();
        if (cancellable)
            g_cancellable_cancel(cancellable.get());
    }

    void connected(GDBusConnection *bus)
    {
        connecting = false;
        failedAt.reset();
        // The process must never end because a bus went away (GDBus's default for the shared
        // connections).
        g_dbus_connection_set_exit_on_close(bus, FALSE);
        connection.reset(bus);
        for (auto &use : std::exchange(waiting, {}))
            use(bus);
    }
};

namespace {

// What a g_bus_get() answer needs to find its bus again, if that still exists.
struct Pending
{
    std::weak_ptr<AsyncBus::State> state;
    unsigned attempt;
};

} // namespace

AsyncBus::AsyncBus(GBusType type, std::chrono::milliseconds bound)
    : m_state(std::make_shared<State>())
{
    m_state->type = type;
    m_state->bound = bound;
}

AsyncBus::~AsyncBus()
{
    if (m_state->cancellable)
        g_cancellable_cancel(m_state->cancellable.get());
}

void AsyncBus::withConnection(std::function<void(GDBusConnection *)> use)
{
    State &state = *m_state;
    if (state.connection && g_dbus_connection_is_closed(state.connection.get()))
        state.connection.reset(); // the bus went away: connect afresh
    if (state.connection) {
        use(state.connection.get());
        return;
    }
    if (state.failedAt && std::chrono::steady_clock::now() - *state.failedAt < retryPause)
        return;
    state.waiting.push_back(std::move(use));
    if (state.connecting)
        return;

    state.connecting = true;
    const unsigned attempt = ++state.attempt;
    state.cancellable.reset(g_cancellable_new());
    g_bus_get(
        state.type, state.cancellable.get(),
        [](GObject *, GAsyncResult *result, gpointer data) {
            std::unique_ptr<Pending> pending(static_cast<Pending *>(data));
            GDBusConnection *bus = g_bus_get_finish(result, nullptr);
            const std::shared_ptr<State> state = pending->state.lock();
            if (!state || state->attempt != pending->attempt || !state->connecting) {
                if (bus)
                    g_object_unref(bus);
                return;
            }
            if (bus)
                state->connected(bus);
            else
                state->fail();
        },
        new Pending{m_state, attempt});
    // The answer may never come (a stopped daemon keeps the connection open): give up after
    // the bound.
    QTimer::singleShot(state.bound, [weak = std::weak_ptr<State>(m_state), attempt] {
        const std::shared_ptr<State> state = weak.lock();
        if (state && state->connecting && state->attempt == attempt)
            state->fail();
    });
}
