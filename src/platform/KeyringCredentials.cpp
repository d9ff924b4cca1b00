#include "platform/KeyringCredentials.h"

#include "platform/Keychain.h"

std::optional<QString> KeyringCredentials::password(const QString &account)
{
    return Keychain::password(account);
}
