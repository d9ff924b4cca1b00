#include "platform/DesktopNotifications.h"

#include "common/ApplicationId.h"
#include "platform/GLibPointers.h"

#include <QCoreApplication>

#include <map>
#include <optional>

namespace {

constexpr const char *service = "org.freedesktop.Notifications";
constexpr const char *path = "/org/freedesktop/Notifications";
constexpr const char *interface = "org.freedesktop.Notifications";
constexpr const char *openSettingsAction = "open-settings";

using Reply = std::function<void(GDBusConnection *, GVariant *)>;

void replied(GObject *source, GAsyncResult *result, gpointer data)
{
    const std::unique_ptr<Reply> done(static_cast<Reply *>(data));
    auto *bus = G_DBUS_CONNECTION(source);
    const GVariantPtr reply(g_dbus_connection_call_finish(bus, result, nullptr));
    (*done)(bus, reply.get());
}

// Calls a method of the server; done gets its reply, or null when it failed or timed out.
void callServer(GDBusConnection *bus, const char *method, GVariant *parameters, int timeout,
                Reply done)
{
    g_dbus_connection_call(bus, service, path, interface, method, parameters, nullptr,
                           G_DBUS_CALL_FLAGS_NONE, timeout, nullptr, &replied,
                           new Reply(std::move(done)));
}

bool offersActions(GVariant *capabilities)
{
    if (!capabilities || !g_variant_is_of_type(capabilities, G_VARIANT_TYPE("(as)")))
        return false;
    const GVariantPtr list(g_variant_get_child_value(capabilities, 0));
    const GStrvPtr names(g_variant_dup_strv(list.get(), nullptr));
    return g_strv_contains(names.get(), "actions");
}

} // namespace

struct DesktopNotifications::State
{
    struct Message
    {
        QString identifier, title, body;
        bool withAction = false;
    };
    struct Subject
    {
        quint32 shown = 0;
        bool sending = false;
        std::optional<Message> waiting; // posted while the one before was still on its way
    };

    DesktopNotifications::OpenSettings openSettings;
    std::map<NotificationSubject, Subject> subjects;
    int timeout = 0;
    GDBusConnection *connection = nullptr; // owned by the bus
    guint subscription = 0;

    void send(GDBusConnection *bus, const std::shared_ptr<State> &self, NotificationSubject subject,
              const Message &message);
    static void actionInvoked(GDBusConnection *, const gchar *, const gchar *, const gchar *,
                              const gchar *, GVariant *parameters, gpointer state);
};

namespace {

GVariant *notifyParameters(const DesktopNotifications::State::Message &message, quint32 replaces)
{
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                          g_variant_new_string(applicationId.toUtf8().constData()));
    g_variant_builder_add(&hints, "{sv}", "x-vigilmount-id",
                          g_variant_new_string(message.identifier.toUtf8().constData()));
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    if (message.withAction) {
        // Pairs of key and label.
        g_variant_builder_add(&actions, "s", openSettingsAction);
        g_variant_builder_add(&actions, "s",
                              QCoreApplication::translate("DesktopNotifications", "Open Settings")
                                  .toUtf8()
                                  .constData());
    }
    const QByteArray body = DesktopNotifications::escapedBody(message.body).toUtf8();
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout.
    return g_variant_new("(susssasa{sv}i)", "Vigilmount", replaces, "",
                         message.title.toUtf8().constData(), body.constData(), &actions, &hints,
                         -1);
}

} // namespace

void DesktopNotifications::State::send(GDBusConnection *bus, const std::shared_ptr<State> &self,
                                       NotificationSubject subject, const Message &message)
{
    Subject &about = subjects[subject];
    if (about.sending) {
        // Sent once the server has said which notification this one replaces.
        about.waiting = message;
        return;
    }
    about.sending = true;
    const std::weak_ptr<State> weak = self;
    callServer(bus, "Notify", notifyParameters(message, about.shown), timeout,
               [weak, subject](GDBusConnection *bus, GVariant *reply) {
                   const std::shared_ptr<State> state = weak.lock();
                   if (!state)
                       return;
                   Subject &about = state->subjects[subject];
                   if (reply && g_variant_is_of_type(reply, G_VARIANT_TYPE("(u)")))
                       g_variant_get(reply, "(u)", &about.shown);
                   about.sending = false;
                   if (auto next = std::exchange(about.waiting, std::nullopt))
                       state->send(bus, state, subject, *next);
               });
}

void DesktopNotifications::State::actionInvoked(GDBusConnection *, const gchar *, const gchar *,
                                                const gchar *, const gchar *, GVariant *parameters,
                                                gpointer data)
{
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)")))
        return;
    quint32 id = 0;
    const gchar *action = nullptr;
    g_variant_get(parameters, "(u&s)", &id, &action);
    const auto *state = static_cast<State *>(data);
    if (qstrcmp(action, openSettingsAction) != 0 || id == 0)
        return;
    // The signal goes to every client of the server: only this program's ids count.
    for (const auto &[subject, about] : state->subjects)
        if (about.shown == id)
            state->openSettings(subject);
}

DesktopNotifications::DesktopNotifications(std::chrono::milliseconds bound,
                                           OpenSettings openSettings)
    : m_bus(G_BUS_TYPE_SESSION, bound), m_state(std::make_shared<State>())
{
    m_state->openSettings = std::move(openSettings);
    m_state->timeout = int(bound.count());
    if (!m_state->openSettings)
        return;
    // The bus calls back only while this object lives: it owns the bus.
    m_bus.withConnection([state = m_state.get()](GDBusConnection *bus) {
        state->connection = bus;
        state->subscription = g_dbus_connection_signal_subscribe(
            bus, service, interface, "ActionInvoked", path, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            &State::actionInvoked, state, nullptr);
    });
}

DesktopNotifications::~DesktopNotifications()
{
    if (m_state->subscription)
        g_dbus_connection_signal_unsubscribe(m_state->connection, m_state->subscription);
}

void DesktopNotifications::requestPermission()
{
    const int timeout = m_state->timeout;
    m_bus.withConnection([timeout](GDBusConnection *bus) {
        callServer(bus, "GetCapabilities", nullptr, timeout, [](GDBusConnection *, GVariant *) {});
    });
}

void DesktopNotifications::post(const QString &identifier, NotificationSubject subject,
                                const QString &title, const QString &body)
{
    const std::weak_ptr<State> weak = m_state;
    State::Message message{identifier, title, body};
    m_bus.withConnection([weak, subject, message](GDBusConnection *bus) {
        const auto state = weak.lock();
        if (!state)
            return;
        // The server may have changed since the last notification: ask each time.
        callServer(bus, "GetCapabilities", nullptr, state->timeout,
                   [weak, subject, message](GDBusConnection *bus, GVariant *capabilities) mutable {
                       const auto state = weak.lock();
                       if (!state)
                           return;
                       message.withAction = state->openSettings && offersActions(capabilities);
                       state->send(bus, state, subject, message);
                   });
    });
}

quint32 DesktopNotifications::shownNotification(NotificationSubject subject) const
{
    const auto found = m_state->subjects.find(subject);
    return found == m_state->subjects.end() ? 0 : found->second.shown;
}

QString DesktopNotifications::escapedBody(const QString &body)
{
    QString escaped;
    escaped.reserve(body.size());
    for (QChar c : body) {
        if (c == QLatin1Char('&'))
            escaped += QStringLiteral("&amp;");
        else if (c == QLatin1Char('<'))
            escaped += QStringLiteral("&lt;");
        else if (c == QLatin1Char('>'))
            escaped += QStringLiteral("&gt;");
        else
            escaped += c;
    }
    return escaped;
}
