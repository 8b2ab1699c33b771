#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <memory>

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// One request of the link check: the answer is wanted up to its headers only.
struct HttpRequest
{
    QByteArray method = "HEAD"; // "HEAD" or "GET"
    QUrl url;
    HttpHeaders headers; // besides Host, User-Agent, Accept and Connection
};

// What one request got back, up to the end of the response headers.
struct HttpAnswer
{
    enum class Outcome {
        Answered, // a status line and headers arrived (any status)
        Refused, // the connection was refused
        UnknownHost, // the name does not exist
        LookupFailed, // the name could not be looked up (no resolver, temporary failure)
        Unreachable, // no connection for another reason (no route, network down)
        Tls, // the TLS handshake failed or the certificate is not trusted
        Reset, // the connection broke before the headers were complete
        BadAnswer, // not an HTTP answer, or headers beyond the size limit
    };
    Outcome outcome = Outcome::Reset;
    int status = 0; // 0 without an answer
    HttpHeaders headers; // in the order sent, one entry per header line
    QString error; // why there is no answer, as the network layer put it
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

    // The reply is a child of parent; the caller deletes it.
    virtual HttpReply *send(const HttpRequest &request, QObject *parent) = 0;
};

// Reads the head of an HTTP/1.x answer as it arrives, in pieces of any size: the status line
// and the header lines up to the empty line. Interim answers (1xx but 101) are skipped. Nothing
// beyond maxBytes (all heads together) is taken in, so a server that streams headers without end
// costs a bounded amount of memory and work.
class HttpHeadParser
{
public:
    enum class State { NeedMore, Done, Bad, TooLarge };

    explicit HttpHeadParser(int maxBytes);

    // Takes bytes in; stops at the end of the head and ignores whatever follows.
    State feed(const char *data, qsizetype size);
    State state() const { return m_state; }
    int status() const { return m_status; }
    const HttpHeaders &headers() const { return m_headers; }
    // Bytes taken in up to the end of the head.
    int taken() const { return m_taken; }
    // Whether the server keeps the connection open after this answer: HTTP/1.1 unless it says
    // "Connection: close", HTTP/1.0 only when it says "keep-alive".
    bool keepsConnection() const;

private:
    void takeLine(QByteArray line);

    int m_maxBytes;
    int m_taken = 0;
    State m_state = State::NeedMore;
    bool m_haveStatus = false;
    bool m_http10 = false;
    int m_status = 0;
    QByteArray m_line; // the line being read
    HttpHeaders m_headers;
};

// The link check has a client of its own because Qt 6.4's QNetworkAccessManager puts no cap on
// the size of response headers: one server that sends headers without end held every other
// request. It can go once the oldest Qt the program supports caps the response headers it reads,
// provided the check keeps its per-host limits and exact deadlines on top of that stack.
//
// The real client: HTTP/1.1 over sockets of its own (TLS for https), on the caller's thread.
// A HEAD answer has no body, so its connection goes back to a pool and the next request to the
// same host uses it again (one TLS handshake for many requests); a GET's connection is closed as
// soon as the headers are in, so a body is never downloaded. The pool never holds more
// connections to a host than there were requests to it at once, so the caller's per-host limit
// bounds the connections too. A head longer than maxHeaderBytes ends the request at once
// (BadAnswer): no server can hold the thread for longer than it takes to read that much.
class NetworkHttpClient : public HttpClient
{
public:
    static constexpr int DefaultMaxHeaderBytes = 64 * 1024;

    struct Options
    {
        QByteArray userAgent = "Linkwell/" LINKWELL_VERSION;
        int maxHeaderBytes = DefaultMaxHeaderBytes;
        // Names looked up here before the system is asked (lower case); an empty list is a name
        // that does not exist. Tests map their names to loopback addresses with it.
        QHash<QString, QList<QHostAddress>> hosts;
        // Off, every request has a connection of its own.
        bool keepAlive = true;
        // Trusted besides the system's certificates. The program never sets any: a benchmark's
        // self-signed loopback server does.
        QList<QSslCertificate> extraCaCertificates;
    };

    NetworkHttpClient();
    explicit NetworkHttpClient(Options options);
    ~NetworkHttpClient() override;

    Options &options() { return m_options; }

    HttpReply *send(const HttpRequest &request, QObject *parent) override;

    // The bytes sent for a request; keepAlive asks the server to leave the connection open.
    static QByteArray requestText(const HttpRequest &request, const QByteArray &userAgent,
                                  bool keepAlive = false);

    class Pool;

private:
    Options m_options;
    std::unique_ptr<Pool> m_pool;
};
