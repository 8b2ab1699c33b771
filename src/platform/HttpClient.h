#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

// What one HTTP request got back, up to the end of the response headers.
struct HttpAnswer
{
    enum class Outcome {
        Answered, // a status line and headers arrived (any status)
        Refused, // the connection was refused
        Failed, // no answer at all: unknown host, connection dropped, TLS failure, ...
    };
    Outcome outcome = Outcome::Failed;
    int status = 0; // 0 without an answer
    QList<QPair<QByteArray, QByteArray>> headers;
};

// One request in flight.
class HttpReply : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~HttpReply() override = default;

    // Stops the request at once; finished() does not come afterwards.
    virtual void abort() = 0;

Q_SIGNALS:
    // Comes once, from the event loop (never from inside HttpClient::send).
    void finished(const HttpAnswer &answer);
};

// The link check's view of the network: one request, redirects not followed, the answer wanted
// only up to its headers (a body is never read). Tests swap in a scripted client.
class HttpClient
{
public:
    virtual ~HttpClient() = default;

    // method is "HEAD" or "GET". The reply is a child of parent; the caller deletes it.
    virtual HttpReply *send(const QByteArray &method, const QUrl &url, QObject *parent) = 0;
};

// The real client, on one QNetworkAccessManager shared by all its requests.
class NetworkHttpClient : public HttpClient
{
public:
    NetworkHttpClient();
    ~NetworkHttpClient() override;

    HttpReply *send(const QByteArray &method, const QUrl &url, QObject *parent) override;

    QNetworkAccessManager *manager() const { return m_manager.get(); }

private:
    std::unique_ptr<QNetworkAccessManager> m_manager;
};
