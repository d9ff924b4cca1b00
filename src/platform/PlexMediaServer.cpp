#include "platform/PlexMediaServer.h"

#include "platform/PlexController.h"

bool PlexMediaServer::isRunning()
{
    return PlexController::runningInstance().has_value();
}

void PlexMediaServer::launch(const QString &path, std::function<void(LaunchOutcome)> done)
{
    PlexController::launch(path, [done = std::move(done)](PlexController::LaunchResult result) {
        done(result.succeeded() ? LaunchOutcome{true, *result.appPath, {}}
                                : LaunchOutcome{false, {}, result.error});
    });
}
