#pragma once

#include "platform/HttpReader.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

class QTcpServer;

// The local receiver: HTTP/1.1 on a loopback address, one request per connection. Each
// connection's request is read by an HttpReader under the rules (host, origin, token, size,
// routes) and handed whole to the handler; a request not whole within the time limit gets 408,
// a connection beyond the eighth at once gets 503.
class LocalServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 8;
    static constexpr int kTimeoutMs = 30'000;

    // The handler is not owned and must outlive the server's connections.
    explicit LocalServer(Local::HttpHandler &handler, QObject *parent = nullptr);
    ~LocalServer() override;

    // Listens on address:port (127.0.0.1 unless a test gives another loopback address); false
    // with *error naming the port when it cannot, for example because it is in use.
    bool start(quint16 port, const QByteArray &token, QString *error = nullptr,
               const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));
    // Stops listening and drops every connection; answers still pending go nowhere.
    void stop();
    bool isListening() const;
    quint16 port() const { return m_rules.port; }

    // From the next request on; requests already past their head keep the token they had.
    void setToken(const QByteArray &token) { m_rules.token = token; }
    void setRoutes(const QList<HttpReader::Route> &routes) { m_rules.routes = routes; }
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int connections() const { return m_connections; }

private:
    void accept();

    class Connection;
    Local::HttpHandler &m_handler;
    QTcpServer *m_server = nullptr;
    HttpReader::Rules m_rules;
    int m_timeoutMs = kTimeoutMs;
    int m_connections = 0;
};
