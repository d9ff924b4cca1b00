#include "platform/ServerIdentityProbe.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QUrl>

namespace {
// The identity document is a few hundred bytes; anything beyond this is not it.
constexpr qint64 bodyLimit = 64 * 1024;
} // namespace

ServerIdentityProbe::ServerIdentityProbe(std::chrono::milliseconds bound) : m_bound(bound) {}

ServerIdentityProbe::~ServerIdentityProbe()
{
    if (m_reply)
        m_reply->disconnect();
}

bool ServerIdentityProbe::isAnswer(int status, const QByteArray &body)
{
    if (status >= 400 && status < 500)
        return true;
    return status == 200 && body.contains("<MediaContainer") && body.contains("machineIdentifier");
}

void ServerIdentityProbe::probe(quint16 port, std::function<void(bool)> done)
{
    m_waiting.push_back(std::move(done));
    if (m_reply)
        return;
    if (!m_network) {
        m_network = std::make_unique<QNetworkAccessManager>();
        m_network->setProxy(QNetworkProxy::NoProxy);
    }
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(port);
    url.setPath(QStringLiteral("/identity"));
    QNetworkRequest request(url);
    request.setTransferTimeout(int(m_bound.count()));
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setRawHeader("Accept", "application/xml");
    m_reply = m_network->get(request);
    QObject::connect(m_reply.data(), &QNetworkReply::finished, m_reply.data(), [this] {
        QNetworkReply *reply = m_reply.data();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool answered =
            isAnswer(status, reply->isOpen() ? reply->read(bodyLimit) : QByteArray());
        reply->deleteLater();
        finish(answered);
    });
}

void ServerIdentityProbe::finish(bool answered)
{
    m_reply.clear();
    for (const std::function<void(bool)> &done : std::exchange(m_waiting, {}))
        done(answered);
}
