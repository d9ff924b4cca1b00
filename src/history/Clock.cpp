#include "history/Clock.h"

namespace Clock {

namespace {
std::function<Instant()> &source()
{
    static std::function<Instant()> current;
    return current;
}
} // namespace

Instant now()
{
    if (const auto &override = source())
        return override();
    return std::chrono::time_point_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now());
}

void setSourceForTesting(std::function<Instant()> source_)
{
    source() = std::move(source_);
}

} // namespace Clock
