#include "platform/Keychain.h"

#include "platform/GAsyncCall.h"
#include "platform/GObjectList.h"
#include "platform/SessionBusNames.h"

#include <libsecret/secret.h>

#include <memory>

namespace Keychain {

namespace {

using SecretValuePtr = GLibPtr<SecretValue, secret_value_unref>;
using AttributesPtr = GLibPtr<GHashTable, g_hash_table_unref>;

QString unreachable()
{
    return QString::fromUtf8(
        QT_TRANSLATE_NOOP("Outcome", "The login keyring couldn't be reached."));
}
QString locked()
{
    return QString::fromUtf8(QT_TRANSLATE_NOOP("Outcome", "The login keyring is locked."));
}
QString notSaved()
{
    return QString::fromUtf8(
        QT_TRANSLATE_NOOP("Outcome", "The password couldn't be saved in the login keyring."));
}
QString notRemoved()
{
    return QString::fromUtf8(
        QT_TRANSLATE_NOOP("Outcome", "The password couldn't be removed from the login keyring."));
}
QString silent()
{
    return QString::fromUtf8(QT_TRANSLATE_NOOP("Outcome", "The login keyring didn't answer."));
}

// The call was cut at the bound or ran into D-Bus's own timeout.
bool isSilence(const GError *error)
{
    return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ||
           g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMED_OUT) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY);
}

// Items are found by their attributes alone (SECRET_SCHEMA_DONT_MATCH_NAME), so items made
// with other tools (secret-tool store service Vigilmount account ...) are the same items.
const SecretSchema *schema()
{
    static const SecretSchema passwordSchema = {
        "org.vigilmount.SharePassword",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return &passwordSchema;
}

AttributesPtr attributesFor(const QString &account)
{
    const QByteArray serviceName = Keychain::service().toUtf8();
    const QByteArray accountName = account.toUtf8();
    return AttributesPtr(secret_attributes_build(schema(), "service", serviceName.constData(),
                                                 "account", accountName.constData(), nullptr));
}

// The account's items (locked or not), with the connection they came through, or why the
// keyring gave none.
struct Found
{
    GObjectPtr<SecretService> service;
    GObjectListPtr items;
    GErrorPtr error;
};

QCoro::Task<Found> findItems(QString account, SecretSearchFlags flags, GCancellable *cancellable)
{
    Found found;
    GError *failure = nullptr;
    const GObjectPtr<GAsyncResult> connected =
        co_await GAsyncCall([cancellable](GAsyncReadyCallback ready, gpointer data) {
            secret_service_get(SECRET_SERVICE_OPEN_SESSION, cancellable, ready, data);
        });
    found.service.reset(secret_service_get_finish(connected.get(), &failure));
    found.error.reset(failure);
    if (!found.service)
        co_return found;

    const AttributesPtr attributes = attributesFor(account);
    const GObjectPtr<GAsyncResult> searched =
        co_await GAsyncCall([&](GAsyncReadyCallback ready, gpointer data) {
            secret_service_search(found.service.get(), schema(), attributes.get(), flags,
                                  cancellable, ready, data);
        });
    found.items.reset(secret_service_search_finish(found.service.get(), searched.get(), &failure));
    found.error.reset(failure);
    co_return found;
}

bool anyLocked(GList *items)
{
    for (GList *item = items; item; item = item->next) {
        if (secret_item_get_locked(SECRET_ITEM(item->data)))
            return true;
    }
    return false;
}

// Wipes the UTF-8 copy of a password once libsecret has its own.
struct Utf8Secret
{
    explicit Utf8Secret(const QString &text) : bytes(text.toUtf8()) {}
    ~Utf8Secret() { bytes.fill('\0'); }
    SecretValuePtr value() const
    {
        return SecretValuePtr(secret_value_new(bytes.constData(), bytes.size(), "text/plain"));
    }
    QByteArray bytes;
};

// Existing, unlocked items: only their secret changes, the label stays as created.
QCoro::Task<Status> replaceSecrets(GList *items, SecretValue *value, GCancellable *cancellable)
{
    for (GList *item = items; item; item = item->next) {
        SecretItem *secretItem = SECRET_ITEM(item->data);
        const GObjectPtr<GAsyncResult> result =
            co_await GAsyncCall([&](GAsyncReadyCallback ready, gpointer data) {
                secret_item_set_secret(secretItem, value, cancellable, ready, data);
            });
        GError *failure = nullptr;
        const bool stored = secret_item_set_secret_finish(secretItem, result.get(), &failure);
        const GErrorPtr error(failure);
        if (!stored)
            co_return Status::failure(isSilence(error.get()) ? silent() : notSaved());
    }
    co_return Status::success({});
}

// Why the default collection refused a new item: libsecret reports a locked one like any
// other refusal, so its state is asked afterwards.
QCoro::Task<QString> refusalOfNewItem(SecretService *service, GCancellable *cancellable)
{
    const GObjectPtr<GAsyncResult> result =
        co_await GAsyncCall([&](GAsyncReadyCallback ready, gpointer data) {
            secret_collection_for_alias(service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE,
                                        cancellable, ready, data);
        });
    const GObjectPtr<SecretCollection> collection(
        secret_collection_for_alias_finish(result.get(), nullptr));
    co_return collection &&secret_collection_get_locked(collection.get()) ? locked() : notSaved();
}

// A new item in the default collection. It fails on a locked collection: no item is created
// behind the user's back.
QCoro::Task<Status> storeNew(SecretService *service, QString account, SecretValue *value,
                             GCancellable *cancellable)
{
    const QByteArray label = (QStringLiteral("Vigilmount — ") + account).toUtf8();
    const AttributesPtr attributes = attributesFor(account);
    const GObjectPtr<GAsyncResult> result =
        co_await GAsyncCall([&](GAsyncReadyCallback ready, gpointer data) {
            secret_service_store(service, schema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
                                 label.constData(), value, cancellable, ready, data);
        });
    GError *failure = nullptr;
    const bool stored = secret_service_store_finish(service, result.get(), &failure);
    const GErrorPtr error(failure);
    if (stored)
        co_return Status::success({});
    if (isSilence(error.get()))
        co_return Status::failure(silent());
    co_return Status::failure(co_await refusalOfNewItem(service, cancellable));
}

QCoro::Task<Status> removeItems(GList *items, GCancellable *cancellable)
{
    for (GList *item = items; item; item = item->next) {
        SecretItem *secretItem = SECRET_ITEM(item->data);
        const GObjectPtr<GAsyncResult> result =
            co_await GAsyncCall([&](GAsyncReadyCallback ready, gpointer data) {
                secret_item_delete(secretItem, cancellable, ready, data);
            });
        GError *failure = nullptr;
        const bool deleted = secret_item_delete_finish(secretItem, result.get(), &failure);
        const GErrorPtr error(failure);
        if (!deleted)
            co_return Status::failure(isSilence(error.get()) ? silent() : notRemoved());
    }
    co_return Status::success({});
}

std::optional<QString> secretText(SecretItem *item)
{
    const SecretValuePtr value(secret_item_get_secret(item));
    if (!value)
        return std::nullopt;
    gsize length = 0;
    const gchar *bytes = secret_value_get(value.get(), &length);
    if (!g_utf8_validate(bytes, static_cast<gssize>(length), nullptr))
        return std::nullopt;
    return QString::fromUtf8(bytes, static_cast<qsizetype>(length));
}

QCoro::Task<PasswordOutcome> readPassword(QString account, GCancellable *cancellable)
{
    if (account.isEmpty())
        co_return PasswordOutcome::success(std::nullopt);
    const Found found = co_await findItems(
        account, static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS),
        cancellable);
    if (found.error && isSilence(found.error.get()))
        co_return PasswordOutcome::failure(silent());
    // No keyring to ask reads like no item: the mount goes ahead without a password.
    if (found.error || !found.items)
        co_return PasswordOutcome::success(std::nullopt);
    if (anyLocked(found.items.get()))
        co_return PasswordOutcome::failure(locked());
    co_return PasswordOutcome::success(secretText(SECRET_ITEM(found.items->data)));
}

QCoro::Task<Status> writePassword(QString password, QString account, GCancellable *cancellable)
{
    if (account.isEmpty())
        co_return Status::failure(notSaved());
    const Found found = co_await findItems(account, SECRET_SEARCH_ALL, cancellable);
    if (found.error && isSilence(found.error.get()))
        co_return Status::failure(silent());
    if (!found.service)
        co_return Status::failure(unreachable());
    if (found.error)
        co_return Status::failure(password.isEmpty() ? notRemoved() : notSaved());
    // An item in a locked keyring still exists: removing it fails too.
    if (anyLocked(found.items.get()))
        co_return Status::failure(locked());
    if (password.isEmpty())
        co_return co_await removeItems(found.items.get(), cancellable);

    const Utf8Secret secret(password);
    const SecretValuePtr value = secret.value();
    if (found.items)
        co_return co_await replaceSecrets(found.items.get(), value.get(), cancellable);
    co_return co_await storeNew(found.service.get(), account, value.get(), cancellable);
}

} // namespace

QString service()
{
    return QStringLiteral("Vigilmount");
}

void password(const QString &account, std::function<void(PasswordOutcome)> done,
              std::chrono::milliseconds bound)
{
    BoundedGLib::run<PasswordOutcome>(
        [account](GCancellable *cancellable) { return readPassword(account, cancellable); }, bound,
        PasswordOutcome::failure(silent()), std::move(done));
}

void save(const QString &password, const QString &account, std::function<void(Status)> done,
          std::chrono::milliseconds bound)
{
    BoundedGLib::run<Status>(
        [password, account](GCancellable *cancellable) {
            return writePassword(password, account, cancellable);
        },
        bound, Status::failure(silent()), std::move(done));
}

void missingService(std::function<void(std::optional<QString>)> done,
                    std::chrono::milliseconds bound)
{
    SessionBusNames::missingOwner(
        QStringLiteral("org.freedesktop.secrets"),
        QString::fromUtf8(QT_TRANSLATE_NOOP("Outcome", "The login keyring isn't available.")),
        std::move(done), bound);
}

} // namespace Keychain
