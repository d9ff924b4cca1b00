#pragma once

#include <QDBusVirtualObject>
#include <QPointer>

class QDBusAbstractAdaptor;

// The Status of the tray icon's StatusNotifierItem. Qt exports a QSystemTrayIcon as an item
// whose Status is always "Active" and offers no way to change it. This object takes the place
// of Qt's item object on Qt's own connection: it answers every property and call with Qt's
// adaptor, passes its change signals on, and reports Status itself, so panels that hide
// passive items, or that mark items asking for attention, see "NeedsAttention" while something
// is down. On an XEmbed tray, or when Qt's item is not found, nothing changes.
class StatusNotifierStatus : public QDBusVirtualObject
{
    Q_OBJECT

public:
    using QDBusVirtualObject::QDBusVirtualObject;
    ~StatusNotifierStatus() override;

    // Call after QSystemTrayIcon::show(), which exports Qt's item. Takes over the item exported
    // last that has not been taken over yet; false when there is none.
    bool attach();
    bool isAttached() const { return !m_adaptor.isNull(); }
    void setNeedsAttention(bool needsAttention);
    // "NeedsAttention" or "Active".
    QString status() const;

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private Q_SLOTS:
    // Passes one of the adaptor's change signals (NewIcon, NewToolTip, …) on to the bus.
    void relaySignal();

private:
    QDBusMessage propertyReply(const QDBusMessage &message) const;
    QVariantMap allProperties() const;
    void emitSignal(const QString &name, const QVariantList &arguments = {}) const;

    QString m_connectionName;
    QPointer<QDBusAbstractAdaptor> m_adaptor;
    bool m_needsAttention = false;
};
