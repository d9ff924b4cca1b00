#pragma once

#include "monitor/WatchdogPorts.h"

#include <chrono>

// The watchdog's credentials on Linux: the share password from the login keyring.
class KeyringCredentials final : public CredentialPort
{
public:
    // How long a keyring call may take before it counts as unanswered.
    explicit KeyringCredentials(std::chrono::milliseconds bound = std::chrono::seconds(5))
        : m_bound(bound)
    {}

    void password(const QString &account, std::function<void(PasswordOutcome)> done) override;
    void missingService(std::function<void(MissingService)> done) override;

private:
    std::chrono::milliseconds m_bound;
};
