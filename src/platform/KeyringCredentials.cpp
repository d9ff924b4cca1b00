#include "platform/KeyringCredentials.h"

#include "platform/Keychain.h"

void KeyringCredentials::password(const QString &account, std::function<void(PasswordOutcome)> done)
{
    Keychain::password(account, std::move(done), m_bound);
}

void KeyringCredentials::missingService(std::function<void(MissingService)> done)
{
    Keychain::missingService(std::move(done), m_bound);
}
