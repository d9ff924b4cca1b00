#pragma once

#include <QByteArray>
#include <QPointer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

// Asks the media server on this machine whether it answers: GET
// http://127.0.0.1:<port>/identity, never through a proxy, bounded. A hung server still accepts
// the connection and then sends nothing, so only an answer counts. One request at a time: a
// probe asked for while one is out gets that one's answer. Main thread only.
class ServerIdentityProbe
{
public:
    explicit ServerIdentityProbe(std::chrono::milliseconds bound);
    ~ServerIdentityProbe();

    // Calls done exactly once, on the main thread: true when the server answered.
    void probe(quint16 port, std::function<void(bool)> done);

    // The server answers with its identity document (status 200), or turns the request away
    // (any 4xx): either way it is alive.
    static bool isAnswer(int status, const QByteArray &body);

private:
    void finish(bool answered);

    std::chrono::milliseconds m_bound;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QPointer<QNetworkReply> m_reply;
    std::vector<std::function<void(bool)>> m_waiting;
};
