#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests: answers each path with a scripted status,
// headers, body and delay, or never answers at all; serves files from a folder otherwise.
// Every connection is closed after its answer.
class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    struct Response
    {
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers; // besides Content-Length and Connection
        QByteArray body;
        int delayMs = 0;
        bool silent = false;     // read the request, never answer
        QByteArray contentType = "text/html; charset=utf-8";
    };

    struct Request
    {
        QByteArray method;
        QByteArray path; // with its query
        QByteArray host; // the Host header
    };

    explicit LoopbackServer(QObject *parent = nullptr);
    ~LoopbackServer() override;

    bool start(); // on a free port
    quint16 port() const;
    // "http://127.0.0.1:<port>" + path
    QString url(const QString &path = QStringLiteral("/")) const;

    void setRoute(const QByteArray &path, const Response &response);
    // A route for one method ("HEAD", "GET", ...) only; it wins over the route for all methods.
    void setRoute(const QByteArray &path, const Response &response, const QByteArray &method);
    // Shorthand routes.
    void setPage(const QByteArray &path, const QByteArray &html);
    void setRedirect(const QByteArray &path, const QByteArray &location, int status = 301);
    // Paths without a route are served from this folder (404 when missing).
    void setRoot(const QString &folder);
    // The answer for paths without route and file; 404 by default.
    void setFallback(const Response &response);

    QList<Request> requests() const { return m_requests; }
    int requestCount(const QByteArray &path) const;
    // The most requests that waited for their answer at the same time, per Host header.
    int maxInFlight(const QByteArray &host) const { return m_maxInFlight.value(host); }
    int maxInFlightTotal() const { return m_maxTotal; }
    void resetCounts();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Request &request);
    Response responseFor(const QByteArray &path, const QByteArray &method = {}) const;

    QTcpServer m_server;
    QMap<QByteArray, Response> m_routes;
    QMap<QPair<QByteArray, QByteArray>, Response> m_methodRoutes; // (method, path)
    QString m_root;
    Response m_fallback;
    QList<Request> m_requests;
    QHash<QByteArray, int> m_inFlight;
    QHash<QByteArray, int> m_maxInFlight;
    int m_total = 0;
    int m_maxTotal = 0;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
