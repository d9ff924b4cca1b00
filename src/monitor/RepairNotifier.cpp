#include "monitor/RepairNotifier.h"

#include "settings/AppSettings.h"

#include <QUuid>

RepairNotifier::RepairNotifier(AppSettings &settings, std::shared_ptr<NotificationPort> port)
    : m_settings(settings), m_port(std::move(port))
{}

void RepairNotifier::requestPermissionIfEnabled()
{
    if (m_settings.notifyOnAction() && m_port)
        m_port->requestPermission();
}

void RepairNotifier::notify(NotificationSubject subject, const QString &title, const QString &body)
{
    if (!m_settings.notifyOnAction() || !m_port)
        return;
    m_port->post(newIdentifier(), subject, title, body);
}

QString RepairNotifier::newIdentifier()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
