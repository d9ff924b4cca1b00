#include "platform/StatusNotifierStatus.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMetaMethod>
#include <QMetaProperty>

namespace {

const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
// How many tray icons one process may have made before the one looked for.
constexpr int maximumInstances = 64;

QString classInfo(const QObject &object, const char *name)
{
    const QMetaObject *meta = object.metaObject();
    const int index = meta->indexOfClassInfo(name);
    return index < 0 ? QString() : QString::fromUtf8(meta->classInfo(index).value());
}

// Qt's item adaptor on the object Qt exported on the named connection, if it is still Qt's.
QDBusAbstractAdaptor *qtItemAdaptor(const QString &connectionName)
{
    const QDBusConnection connection(connectionName);
    QObject *item = connection.isConnected() ? connection.objectRegisteredAt(itemPath) : nullptr;
    if (!item || qobject_cast<StatusNotifierStatus *>(item))
        return nullptr;
    for (auto *adaptor : item->findChildren<QDBusAbstractAdaptor *>(Qt::FindDirectChildrenOnly))
        if (classInfo(*adaptor, "D-Bus Interface") == itemInterface)
            return adaptor;
    return nullptr;
}

} // namespace

StatusNotifierStatus::~StatusNotifierStatus()
{
    if (!isAttached())
        return;
    // Qt's item, still there, goes back in its place.
    QDBusConnection connection(m_connectionName);
    connection.unregisterObject(itemPath);
    connection.registerObject(itemPath, m_adaptor->parent(), QDBusConnection::ExportAdaptors);
}

bool StatusNotifierStatus::attach()
{
    if (isAttached())
        return true;
    // Qt gives each tray icon a connection of its own, named after the item's bus name.
    for (int instance = maximumInstances; instance > 0 && !isAttached(); --instance) {
        const QString name = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(instance);
        if (QDBusAbstractAdaptor *adaptor = qtItemAdaptor(name)) {
            m_connectionName = name;
            m_adaptor = adaptor;
        }
    }
    if (!isAttached())
        return false;
    QDBusConnection connection(m_connectionName);
    connection.unregisterObject(itemPath);
    if (!connection.registerVirtualObject(itemPath, this)) {
        // Put Qt's item back as it was.
        connection.registerObject(itemPath, m_adaptor->parent(), QDBusConnection::ExportAdaptors);
        m_adaptor.clear();
        return false;
    }
    const QMetaObject *meta = m_adaptor->metaObject();
    const QMetaMethod relay = metaObject()->method(metaObject()->indexOfSlot("relaySignal()"));
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        // Status is this object's own.
        if (method.methodType() == QMetaMethod::Signal && method.parameterCount() == 0)
            connect(m_adaptor, method, this, relay);
    }
    emitSignal(QStringLiteral("NewStatus"), {status()});
    return true;
}

void StatusNotifierStatus::setNeedsAttention(bool needsAttention)
{
    if (m_needsAttention == needsAttention)
        return;
    m_needsAttention = needsAttention;
    if (isAttached())
        emitSignal(QStringLiteral("NewStatus"), {status()});
}

QString StatusNotifierStatus::status() const
{
    return m_needsAttention ? QStringLiteral("NeedsAttention") : QStringLiteral("Active");
}

QString StatusNotifierStatus::introspect(const QString &) const
{
    return m_adaptor ? classInfo(*m_adaptor, "D-Bus Introspection") : QString();
}

bool StatusNotifierStatus::handleMessage(const QDBusMessage &message,
                                         const QDBusConnection &connection)
{
    if (!m_adaptor || message.type() != QDBusMessage::MethodCallMessage)
        return false;
    if (message.interface() == propertiesInterface) {
        connection.send(propertyReply(message));
        return true;
    }
    if (message.interface() != itemInterface && !message.interface().isEmpty())
        return false;
    // Activate, SecondaryActivate, ContextMenu (int x, int y), Scroll (int, string) and
    // ProvideXdgActivationToken (string).
    const QVariantList in = message.arguments();
    const QByteArray member = message.member().toLatin1();
    const QString signature = message.signature();
    bool done = false;
    if (signature == QLatin1String("ii"))
        done = QMetaObject::invokeMethod(m_adaptor, member.constData(), Q_ARG(int, in[0].toInt()),
                                         Q_ARG(int, in[1].toInt()));
    else if (signature == QLatin1String("is"))
        done = QMetaObject::invokeMethod(m_adaptor, member.constData(), Q_ARG(int, in[0].toInt()),
                                         Q_ARG(QString, in[1].toString()));
    else if (signature == QLatin1String("s"))
        done = QMetaObject::invokeMethod(m_adaptor, member.constData(),
                                         Q_ARG(QString, in[0].toString()));
    connection.send(done ? message.createReply()
                         : message.createErrorReply(QDBusError::UnknownMethod, message.member()));
    return true;
}

QDBusMessage StatusNotifierStatus::propertyReply(const QDBusMessage &message) const
{
    const QVariantList in = message.arguments();
    const QString interface = in.value(0).toString();
    if (message.member() == QLatin1String("GetAll") && interface == itemInterface)
        return message.createReply(QVariant::fromValue(allProperties()));
    if (message.member() == QLatin1String("Get") && interface == itemInterface) {
        const QString name = in.value(1).toString();
        const QVariant value = allProperties().value(name);
        if (value.isValid())
            return message.createReply(QVariant::fromValue(QDBusVariant(value)));
        return message.createErrorReply(QDBusError::UnknownProperty, name);
    }
    return message.createErrorReply(QDBusError::AccessDenied,
                                    QStringLiteral("The item's properties are read-only"));
}

QVariantMap StatusNotifierStatus::allProperties() const
{
    QVariantMap properties;
    const QMetaObject *meta = m_adaptor->metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        properties.insert(QString::fromLatin1(meta->property(i).name()),
                          meta->property(i).read(m_adaptor));
    properties.insert(QStringLiteral("Status"), status());
    return properties;
}

void StatusNotifierStatus::relaySignal()
{
    const QMetaMethod signal = sender()->metaObject()->method(senderSignalIndex());
    emitSignal(QString::fromLatin1(signal.name()));
}

void StatusNotifierStatus::emitSignal(const QString &name, const QVariantList &arguments) const
{
    QDBusMessage message = QDBusMessage::createSignal(itemPath, itemInterface, name);
    message.setArguments(arguments);
    QDBusConnection(m_connectionName).send(message);
}
