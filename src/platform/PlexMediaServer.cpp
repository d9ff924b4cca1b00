#include "platform/PlexMediaServer.h"

#include "platform/PlexController.h"
#include "platform/ServerProcessScanner.h"

bool PlexMediaServer::isRunning()
{
    return ServerProcessScanner::findOnThisMachine().has_value();
}

void PlexMediaServer::launch(const QString &path, std::function<void(LaunchOutcome)> done)
{
    PlexController::launch(path, std::move(done));
}
