#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <optional>

// Whether a desktop service is there: its well-known name on the session bus has an owner.
namespace SessionBusNames {

// "The desktop session bus isn't available."
QString busMissing();

// Asks the session bus whether `name` has an owner. `done` gets none when it has, `absent`
// when it has none, and busMissing() when there is no session bus or it does not answer
// within `bound`. It runs once, later, on the main thread; call on the main thread.
void missingOwner(const QString &name, const QString &absent,
                  std::function<void(std::optional<QString>)> done,
                  std::chrono::milliseconds bound = std::chrono::seconds(5));

} // namespace SessionBusNames
