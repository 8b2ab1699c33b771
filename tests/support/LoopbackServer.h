#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP/1.1 server on a loopback address for tests: answers each path with a scripted
// status, headers, body and delay, never answers, or misbehaves (drips, floods with headers,
// streams a huge body, hangs up); serves files from a folder otherwise. Every connection is
// closed after its answer. It counts what clients do: requests with their time and headers,
// requests in flight per host, bytes sent.
class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    enum class Flood {
        None,
        Headers, // header lines without end after the status line
        HeaderLine, // one header line without end after the status line
    };

    // Written with designated initializers: {.status = 404, .delayMs = 300}.
    struct Response
    {
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers {}; // besides Content-Length and Connection
        QByteArray body {};
        int delayMs = 0;
        bool silent = false; // read the request, never answer
        QByteArray contentType = "text/html; charset=utf-8";
        int dripMs = 0; // send the answer one byte at a time, one every dripMs
        Flood flood = Flood::None;
        qint64 bodyBytes = 0; // instead of body: this many bytes, made as they are sent
        bool hangUp = false; // close the connection without an answer
    };

    struct Request
    {
        QByteArray method;
        QByteArray path; // with its query
        QByteArray host; // the Host header
        QList<QPair<QByteArray, QByteArray>> headers;
        qint64 atMs = 0; // when the request was complete, on the server's monotonic clock
        qint64 connectedMs = 0; // when its connection was taken, on the same clock
        QByteArray header(const QByteArray &name) const;
    };

    explicit LoopbackServer(QObject *parent = nullptr);
    ~LoopbackServer() override;

    // On a free port unless one is given; any 127.x.y.z address is this machine.
    bool start(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost),
               quint16 port = 0)
    {
        return m_server.listen(address, port);
    }
    quint16 port() const { return m_server.serverPort(); }
    QHostAddress address() const { return m_server.serverAddress(); }
    // "http://<address>:<port>" + path
    QString url(const QString &path = QStringLiteral("/")) const
    {
        return QStringLiteral("http://%1%2").arg(QString::fromLatin1(hostHeader()), path);
    }
    // The Host header a client sends for url(): "<address>:<port>".
    QByteArray hostHeader() const
    {
        return address().toString().toLatin1() + ':' + QByteArray::number(port());
    }

    void setRoute(const QByteArray &path, const Response &response)
    {
        m_routes.insert(path, response);
    }
    // A route for one method ("HEAD", "GET", ...) only; it wins over the route for all methods.
    void setRoute(const QByteArray &path, const Response &response, const QByteArray &method)
    {
        m_methodRoutes.insert({method, path}, response);
    }
    // Each request to path takes the next answer; the last one answers every request after.
    void setSequence(const QByteArray &path, const QList<Response> &responses)
    {
        m_sequences.insert(path, responses);
        m_sequenceTaken.remove(path);
    }
    // Shorthand routes.
    void setPage(const QByteArray &path, const QByteArray &html) { setRoute(path, {.body = html}); }
    void setRedirect(const QByteArray &path, const QByteArray &location, int status = 301)
    {
        setRoute(path, {.status = status, .headers = {{"Location", location}}});
    }
    // Paths without a route are served from this folder (404 when missing).
    void setRoot(const QString &folder) { m_root = folder; }
    // The answer for paths without route and file; 404 by default.
    void setFallback(const Response &response) { m_fallback = response; }
    // Bytes written as soon as a client connects, before any request: a server that does not
    // speak TLS to a client that does, say.
    void setGreeting(const QByteArray &bytes) { m_greeting = bytes; }

    // Keeps a connection open for this many answers (0: closes it after each), answering
    // "keep-alive" and then closing it unannounced, as a server ends an idle one. Plain answers
    // only (not dripped, flooded or endless).
    void setKeepAlive(int answers) { m_keepFor = answers; }
    // Connections taken since the start or the last resetCounts().
    int connections() const { return m_connections; }

    // A port on 127.0.0.1 that nobody listens on: connections to it are refused.
    static quint16 refusingPort();

    QList<Request> requests() const { return m_requests; }
    int requestCount(const QByteArray &path) const;
    // The most requests that waited for their answer at the same time, per Host header.
    int maxInFlight(const QByteArray &host) const { return m_maxInFlight.value(host); }
    int maxInFlightTotal() const { return m_maxTotal; }
    // The shortest time between the connections of two requests to one Host, over all hosts;
    // -1 with fewer than two.
    qint64 minSpacingMs() const;
    qint64 bytesSent() const { return m_bytesSent; }
    int openConnections() const { return int(m_open.size()); }
    void resetCounts();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Request &request, const Response &response);
    void settle(QTcpSocket *socket);
    Response responseFor(const QByteArray &path, const QByteArray &method);

    QTcpServer m_server;
    QElapsedTimer m_clock;
    QMap<QByteArray, Response> m_routes;
    QMap<QPair<QByteArray, QByteArray>, Response> m_methodRoutes; // (method, path)
    QMap<QByteArray, QList<Response>> m_sequences;
    QHash<QByteArray, int> m_sequenceTaken;
    QString m_root;
    Response m_fallback {.status = 404, .body = "<html><body>not found</body></html>"};
    QByteArray m_greeting;
    QList<Request> m_requests;
    QHash<QByteArray, int> m_inFlight;
    QHash<QByteArray, int> m_maxInFlight;
    QHash<QTcpSocket *, QByteArray> m_open; // answered not yet: socket -> host
    int m_total = 0;
    int m_maxTotal = 0;
    qint64 m_bytesSent = 0;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    int m_keepFor = 0;
    int m_connections = 0;
};
