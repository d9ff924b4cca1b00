#include "platform/Keychain.h"

#include <libsecret/secret.h>

namespace Keychain {

namespace {

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

// The secret service connection (libsecret keeps one per process), or none when the session
// bus or the service is unreachable.
SecretService *connectService(SecretServiceFlags flags)
{
    return secret_service_get_sync(flags, nullptr, nullptr);
}

// The items for an account, locked or not. False when the search itself failed.
bool findItems(SecretService *service, const QString &account, GList **items)
{
    const QByteArray serviceName = Keychain::service().toUtf8();
    const QByteArray accountName = account.toUtf8();
    GHashTable *attributes = secret_attributes_build(schema(), "service", serviceName.constData(),
                                                     "account", accountName.constData(), nullptr);
    GError *error = nullptr;
    *items = secret_service_search_sync(service, schema(), attributes, SECRET_SEARCH_ALL, nullptr,
                                        &error);
    g_hash_table_unref(attributes);
    if (error) {
        g_error_free(error);
        return false;
    }
    return true;
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
    SecretValue *value() const
    {
        return secret_value_new(bytes.constData(), bytes.size(), "text/plain");
    }
    QByteArray bytes;
};

} // namespace

QString service()
{
    return QStringLiteral("Vigilmount");
}

std::optional<QString> password(const QString &account)
{
    if (account.isEmpty())
        return std::nullopt;
    SecretService *secretService = connectService(SECRET_SERVICE_OPEN_SESSION);
    if (!secretService)
        return std::nullopt;
    GList *items = nullptr;
    std::optional<QString> result;
    // A locked keyring is a failure, reported like a missing item: no password.
    if (findItems(secretService, account, &items) && items && !anyLocked(items)) {
        auto *item = SECRET_ITEM(items->data);
        if (secret_item_load_secret_sync(item, nullptr, nullptr)) {
            if (SecretValue *value = secret_item_get_secret(item)) {
                gsize length = 0;
                const gchar *bytes = secret_value_get(value, &length);
                if (g_utf8_validate(bytes, static_cast<gssize>(length), nullptr))
                    result = QString::fromUtf8(bytes, static_cast<qsizetype>(length));
                secret_value_unref(value);
            }
        }
    }
    g_list_free_full(items, g_object_unref);
    g_object_unref(secretService);
    return result;
}

bool save(const QString &password, const QString &account)
{
    if (account.isEmpty())
        return false;
    if (password.isEmpty())
        return deleteItem(account);
    SecretService *secretService = connectService(SECRET_SERVICE_OPEN_SESSION);
    if (!secretService)
        return false;

    bool saved = false;
    GList *items = nullptr;
    if (findItems(secretService, account, &items)) {
        const Utf8Secret secret(password);
        SecretValue *value = secret.value();
        if (items) {
            // Existing item: only its secret changes, the label stays as created.
            saved = !anyLocked(items);
            for (GList *item = items; saved && item; item = item->next)
                saved =
                    secret_item_set_secret_sync(SECRET_ITEM(item->data), value, nullptr, nullptr);
        } else {
            const QByteArray serviceName = service().toUtf8();
            const QByteArray accountName = account.toUtf8();
            const QByteArray label = (QStringLiteral("Vigilmount — ") + account).toUtf8();
            GHashTable *attributes =
                secret_attributes_build(schema(), "service", serviceName.constData(), "account",
                                        accountName.constData(), nullptr);
            // Fails on a locked collection: no item is created behind the user's back.
            saved = secret_service_store_sync(secretService, schema(), attributes,
                                              SECRET_COLLECTION_DEFAULT, label.constData(), value,
                                              nullptr, nullptr);
            g_hash_table_unref(attributes);
        }
        secret_value_unref(value);
    }
    g_list_free_full(items, g_object_unref);
    g_object_unref(secretService);
    return saved;
}

bool deleteItem(const QString &account)
{
    SecretService *secretService = connectService(SECRET_SERVICE_NONE);
    if (!secretService)
        return false;
    GList *items = nullptr;
    // An item in a locked keyring still exists: that is a failure, not "nothing to delete".
    bool deleted = findItems(secretService, account, &items) && !anyLocked(items);
    for (GList *item = items; deleted && item; item = item->next)
        deleted = secret_item_delete_sync(SECRET_ITEM(item->data), nullptr, nullptr);
    g_list_free_full(items, g_object_unref);
    g_object_unref(secretService);
    return deleted;
}

} // namespace Keychain
