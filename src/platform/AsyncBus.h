#pragma once

#include <gio/gio.h>

#include <chrono>
#include <functional>
#include <memory>

// A message bus reached without ever blocking the calling thread. GDBus connects in the
// background; a bus that has not answered within the bound counts as missing, and the work
// waiting for it is dropped. A missing bus is tried again on a later use, at most once a
// minute, so a bus that comes back is found again. A bus that accepts the connection but never
// answers (a stopped daemon) therefore costs nothing but the dropped work.
//
// Main thread only: the callbacks arrive through GLib's main context, which Qt's event loop
// runs.
class AsyncBus
{
public:
    AsyncBus(GBusType type, std::chrono::milliseconds bound);
    ~AsyncBus();
    AsyncBus(const AsyncBus &) = delete;
    AsyncBus &operator=(const AsyncBus &) = delete;

    // Runs use with the connection: at once when there is one, once it is made when it is
    // being made, never when the bus is missing.
    void withConnection(std::function<void(GDBusConnection *)> use);

    // What the bus keeps; public only so that GLib's callbacks can find it again.
    struct State;

private:
    std::shared_ptr<State> m_state;
};
