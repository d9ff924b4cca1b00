#pragma once

#include "monitor/WatchdogPorts.h"

// The watchdog's credentials on Linux: the share password from the login keyring.
class KeyringCredentials final : public CredentialPort
{
public:
    std::optional<QString> password(const QString &account) override;
};
