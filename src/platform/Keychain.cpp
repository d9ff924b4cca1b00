#include "platform/Keychain.h"

#include "platform/GLibPointers.h"
#include "platform/GObjectList.h"

#include <libsecret/secret.h>

#include <memory>

namespace Keychain {

namespace {

struct SecretValueUnref
{
    void operator()(SecretValue *value) const { secret_value_unref(value); }
};
using SecretValuePtr = std::unique_ptr<SecretValue, SecretValueUnref>;

struct HashTableUnref
{
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
};
using AttributesPtr = std::unique_ptr<GHashTable, HashTableUnref>;

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

// The secret service connection (libsecret keeps one per process), or none when the session
// bus or the service is unreachable.
GObjectPtr<SecretService> connectService(SecretServiceFlags flags)
{
    return GObjectPtr<SecretService>(secret_service_get_sync(flags, nullptr, nullptr));
}

// The items for an account, locked or not. False when the search itself failed.
bool findItems(SecretService *service, const QString &account, GObjectListPtr &items)
{
    GError *failure = nullptr;
    items.reset(secret_service_search_sync(service, schema(), attributesFor(account).get(),
                                           SECRET_SEARCH_ALL, nullptr, &failure));
    const GErrorPtr error(failure);
    return !error;
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

// Existing items: only their secret changes, the label stays as created.
Status replaceSecrets(GList *items, SecretValue *value)
{
    if (anyLocked(items))
        return Status::failure(locked());
    for (GList *item = items; item; item = item->next) {
        if (!secret_item_set_secret_sync(SECRET_ITEM(item->data), value, nullptr, nullptr))
            return Status::failure(notSaved());
    }
    return Status::success({});
}

// Why the default collection refused a new item: libsecret reports a locked one like any
// other refusal, so its state is asked afterwards.
QString refusalOfNewItem(SecretService *service)
{
    const GObjectPtr<SecretCollection> collection(secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, nullptr));
    return collection && secret_collection_get_locked(collection.get()) ? locked() : notSaved();
}

// A new item in the default collection. It fails on a locked collection: no item is created
// behind the user's back.
Status storeNew(SecretService *service, const QString &account, SecretValue *value)
{
    const QByteArray label = (QStringLiteral("Vigilmount — ") + account).toUtf8();
    if (!secret_service_store_sync(service, schema(), attributesFor(account).get(),
                                   SECRET_COLLECTION_DEFAULT, label.constData(), value, nullptr,
                                   nullptr))
        return Status::failure(refusalOfNewItem(service));
    return Status::success({});
}

Status removeItems(const QString &account)
{
    const GObjectPtr<SecretService> secretService = connectService(SECRET_SERVICE_NONE);
    if (!secretService)
        return Status::failure(unreachable());
    GObjectListPtr items;
    if (!findItems(secretService.get(), account, items))
        return Status::failure(notRemoved());
    // An item in a locked keyring still exists: that is a failure, not "nothing to delete".
    if (anyLocked(items.get()))
        return Status::failure(locked());
    for (GList *item = items.get(); item; item = item->next) {
        if (!secret_item_delete_sync(SECRET_ITEM(item->data), nullptr, nullptr))
            return Status::failure(notRemoved());
    }
    return Status::success({});
}

std::optional<QString> loadText(SecretItem *item)
{
    if (!secret_item_load_secret_sync(item, nullptr, nullptr))
        return std::nullopt;
    const SecretValuePtr value(secret_item_get_secret(item));
    if (!value)
        return std::nullopt;
    gsize length = 0;
    const gchar *bytes = secret_value_get(value.get(), &length);
    if (!g_utf8_validate(bytes, static_cast<gssize>(length), nullptr))
        return std::nullopt;
    return QString::fromUtf8(bytes, static_cast<qsizetype>(length));
}

} // namespace

QString service()
{
    return QStringLiteral("Vigilmount");
}

std::optional<QString> password(const QString &account)
{
    if (account.isEmpty())
        return std::nullopt;
    const GObjectPtr<SecretService> secretService = connectService(SECRET_SERVICE_OPEN_SESSION);
    if (!secretService)
        return std::nullopt;
    GObjectListPtr items;
    // A locked keyring is a failure, reported like a missing item: no password.
    if (!findItems(secretService.get(), account, items) || !items || anyLocked(items.get()))
        return std::nullopt;
    return loadText(SECRET_ITEM(items->data));
}

Status save(const QString &password, const QString &account)
{
    if (account.isEmpty())
        return Status::failure(notSaved());
    if (password.isEmpty())
        return removeItems(account);
    const GObjectPtr<SecretService> secretService = connectService(SECRET_SERVICE_OPEN_SESSION);
    if (!secretService)
        return Status::failure(unreachable());
    GObjectListPtr items;
    if (!findItems(secretService.get(), account, items))
        return Status::failure(notSaved());
    const Utf8Secret secret(password);
    const SecretValuePtr value = secret.value();
    return items ? replaceSecrets(items.get(), value.get())
                 : storeNew(secretService.get(), account, value.get());
}

bool deleteItem(const QString &account)
{
    return removeItems(account).ok();
}

} // namespace Keychain
