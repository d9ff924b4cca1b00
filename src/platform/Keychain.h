#pragma once

#include "common/Outcome.h"

#include <QString>
#include <optional>

// The share password in the user's login keyring (Secret Service), one item per account
// (attributes service = "Vigilmount", account = the account text).
namespace Keychain {

// "Vigilmount": the service attribute of every item.
QString service();

// The stored password, or none (also when the account is empty, the keyring is locked or
// the service is unreachable).
std::optional<QString> password(const QString &account);

// Stores the password: updates the secret of an existing item (its label stays), or creates
// one labelled "Vigilmount — " + account. An empty password deletes the item. Fails, with a
// sentence for the user, when the keyring is unreachable or locked, when the keyring refuses,
// and always for an empty account.
Status save(const QString &password, const QString &account);

// True when afterwards no item exists for the account (deleted now, or there was none).
bool deleteItem(const QString &account);

} // namespace Keychain
