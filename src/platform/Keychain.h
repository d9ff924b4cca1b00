#pragma once

#include "common/Outcome.h"

#include <QString>
#include <chrono>
#include <functional>
#include <optional>

// The share password in the user's login keyring (Secret Service), one item per account
// (attributes service = "Vigilmount", account = the account text).
//
// Every call returns at once: libsecret works asynchronously on GLib's main context, which
// Qt's event loop runs on the main thread. `done` runs exactly once, later, on the main
// thread; a keyring that has not answered within `bound` is left behind ("The login keyring
// didn't answer.") and its call cancelled. Call on the main thread.
namespace Keychain {

// The password, none, or why the keyring gave no answer.
using PasswordOutcome = Outcome<std::optional<QString>>;

constexpr std::chrono::milliseconds defaultBound = std::chrono::seconds(5);

// "Vigilmount": the service attribute of every item.
QString service();

// The stored password; none when there is no item, when the account is empty (nothing is
// asked) and when there is no keyring to ask. Fails when the keyring is locked or doesn't
// answer.
void password(const QString &account, std::function<void(PasswordOutcome)> done,
              std::chrono::milliseconds bound = defaultBound);

// Stores the password: updates the secret of an existing item (its label stays), or creates
// one labelled "Vigilmount — " + account. An empty password deletes the account's items
// (success when there are none). Fails, with a sentence for the user, when the keyring is
// unreachable, locked or silent, when the keyring refuses, and always for an empty account.
void save(const QString &password, const QString &account, std::function<void(Status)> done,
          std::chrono::milliseconds bound = defaultBound);

// Whether the Secret Service is missing: "The login keyring isn't available." (or the
// session bus sentence), none when it is there.
void missingService(std::function<void(std::optional<QString>)> done,
                    std::chrono::milliseconds bound = defaultBound);

} // namespace Keychain
