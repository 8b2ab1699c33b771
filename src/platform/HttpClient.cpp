#include "HttpClient.h"

#include <QElapsedTimer>
#include <QHostInfo>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

// Idle connections, newest last. One is closed when it has been idle for IdleMs (servers often
// drop theirs after 5 s: closing first avoids most requests on a connection the server is
// closing), when the server closes it or sends anything, and when more than MaxIdle wait.
class NetworkHttpClient::Pool : public QObject
{
public:
    static constexpr int IdleMs = 4000;
    static constexpr int MaxIdle = 64;

    Pool()
    {
        m_clock.start();
        m_sweep.setSingleShot(true);
        connect(&m_sweep, &QTimer::timeout, this, &Pool::sweep);
    }
    ~Pool() override
    {
        while (!m_idle.empty())
            drop(m_idle.front().socket);
    }

    // "scheme://host:port", the connection's peer and the name its certificate carries.
    static QString keyOf(const QUrl &url)
    {
        const bool tls = url.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
        return (tls ? QStringLiteral("https://") : QStringLiteral("http://"))
            + url.host(QUrl::FullyEncoded).toLower() + u':'
            + QString::number(url.port(tls ? 443 : 80));
    }

    // An open connection to key that is not in use, or nullptr; the caller owns it.
    QTcpSocket *take(const QString &key)
    {
        for (auto it = m_idle.rbegin(); it != m_idle.rend();) {
            if (it->key != key) {
                ++it;
                continue;
            }
            QTcpSocket *socket = it->socket;
            if (socket->state() != QAbstractSocket::ConnectedState
                || socket->bytesAvailable() > 0) {
                drop(socket);
                it = m_idle.rbegin(); // drop() moved the others
                continue;
            }
            m_idle.erase(std::next(it).base());
            socket->disconnect(this);
            socket->setParent(nullptr);
            return socket;
        }
        return nullptr;
    }

    void put(const QString &key, QTcpSocket *socket)
    {
        socket->setParent(this);
        connect(socket, &QIODevice::readyRead, this, [this, socket] { drop(socket); });
        connect(socket, &QAbstractSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QAbstractSocket::errorOccurred, this, [this, socket] { drop(socket); });
        m_idle.push_back({key, socket, m_clock.elapsed()});
        if (int(m_idle.size()) > MaxIdle)
            drop(m_idle.front().socket);
        if (!m_sweep.isActive())
            m_sweep.start(IdleMs);
    }

private:
    struct Idle
    {
        QString key;
        QTcpSocket *socket;
        qint64 sinceMs;
    };

    void drop(QTcpSocket *socket)
    {
        const auto it = std::find_if(m_idle.begin(), m_idle.end(),
                                     [socket](const Idle &i) { return i.socket == socket; });
        if (it == m_idle.end())
            return;
        m_idle.erase(it);
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }

    void sweep()
    {
        const qint64 now = m_clock.elapsed();
        while (!m_idle.empty() && now - m_idle.front().sinceMs >= IdleMs)
            drop(m_idle.front().socket);
        if (!m_idle.empty())
            m_sweep.start(int(IdleMs - (now - m_idle.front().sinceMs)));
    }

    std::vector<Idle> m_idle;
    QElapsedTimer m_clock;
    QTimer m_sweep;
};

namespace {

// Read in pieces of this size; Qt's buffer holds no more, so a flood waits in the kernel.
constexpr int ReadChunk = 16 * 1024;

bool isTlsError(QAbstractSocket::SocketError e)
{
    return e == QAbstractSocket::SslHandshakeFailedError || e == QAbstractSocket::SslInternalError
        || e == QAbstractSocket::SslInvalidUserDataError;
}

class SocketReply final : public HttpReply
{
public:
    SocketReply(const HttpRequest &request, const NetworkHttpClient::Options &options,
                NetworkHttpClient::Pool *pool, QObject *parent)
        : HttpReply(parent)
        , m_request(request)
        , m_userAgent(options.userAgent)
        , m_hosts(options.hosts)
        , m_extraCa(options.extraCaCertificates)
        , m_parser(options.maxHeaderBytes)
        , m_maxHeaderBytes(options.maxHeaderBytes)
        , m_pool(options.keepAlive ? pool : nullptr)
        , m_poolKey(m_pool ? NetworkHttpClient::Pool::keyOf(request.url) : QString())
        , m_keepable(m_pool && request.method == "HEAD")
    {
        // The connection starts at once (the check spaces its requests by when it sends them),
        // but an answer known already waits for the event loop: finished() never comes inside
        // send().
        start();
        m_starting = false;
    }

    ~SocketReply() override { abort(); }

    void abort() override
    {
        m_done = true;
        m_aborted = true;
        stop();
    }

private:
    void start()
    {
        if (m_pool && !m_fresh) {
            if (QTcpSocket *socket = m_pool->take(m_poolKey)) {
                m_reused = true;
                socket->setParent(this);
                wire(socket);
                m_tcpConnected = true;
                sendRequest();
                return;
            }
        }
        const QString host = m_request.url.host(QUrl::FullyEncoded);
        if (QHostAddress literal; literal.setAddress(host)) {
            m_addresses = {literal};
            connectNext();
            return;
        }
        const auto known = m_hosts.constFind(host.toLower());
        if (known != m_hosts.constEnd()) {
            m_addresses = *known;
            if (m_addresses.isEmpty())
                fail(HttpAnswer::Outcome::UnknownHost,
                     QStringLiteral("Host %1 not found").arg(host));
            else
                connectNext();
            return;
        }
        m_lookupId = QHostInfo::lookupHost(host, this, [this](const QHostInfo &info) {
            m_lookupId = -1;
            onLookup(info);
        });
    }

    void onLookup(const QHostInfo &info)
    {
        if (m_done)
            return;
        if (info.error() == QHostInfo::HostNotFound) {
            fail(HttpAnswer::Outcome::UnknownHost, info.errorString());
            return;
        }
        m_addresses = info.addresses();
        if (info.error() != QHostInfo::NoError || m_addresses.isEmpty()) {
            fail(HttpAnswer::Outcome::LookupFailed, info.errorString());
            return;
        }
        connectNext();
    }

    // Tries the addresses of the name one after the other until one takes the connection.
    void connectNext()
    {
        if (m_next >= m_addresses.size()) {
            fail(m_connectOutcome, m_connectError);
            return;
        }
        const QHostAddress address = m_addresses[m_next++];
        const bool tls = m_request.url.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
        if (tls && !QSslSocket::supportsSsl()) {
            fail(HttpAnswer::Outcome::Tls, QStringLiteral("TLS is not available"));
            return;
        }
        QTcpSocket *socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
        m_tcpConnected = false;
        socket->setReadBufferSize(ReadChunk);
        connect(socket, &QAbstractSocket::connected, this, [this] { m_tcpConnected = true; });
        wire(socket);
        const quint16 port = quint16(m_request.url.port(tls ? 443 : 80));
        if (tls) {
            auto *ssl = static_cast<QSslSocket *>(socket);
            if (!m_extraCa.isEmpty()) {
                QSslConfiguration configuration = ssl->sslConfiguration();
                configuration.addCaCertificates(m_extraCa);
                ssl->setSslConfiguration(configuration);
            }
            connect(ssl, &QSslSocket::encrypted, this, &SocketReply::sendRequest);
            // The name the certificate must carry, and the name sent for virtual hosting.
            ssl->connectToHostEncrypted(address.toString(), port,
                                        m_request.url.host(QUrl::FullyEncoded));
        } else {
            connect(socket, &QAbstractSocket::connected, this, &SocketReply::sendRequest);
            socket->connectToHost(address, port);
        }
    }

    void wire(QTcpSocket *socket)
    {
        m_socket = socket;
        connect(socket, &QAbstractSocket::errorOccurred, this, &SocketReply::onError);
        connect(socket, &QIODevice::readyRead, this, &SocketReply::drain);
        connect(socket, &QAbstractSocket::disconnected, this, [this] {
            drain();
            if (!m_done && !retryFresh())
                fail(HttpAnswer::Outcome::Reset,
                     QStringLiteral("Connection closed before the headers were complete"));
        });
    }

    void sendRequest()
    {
        m_sent = true;
        m_socket->write(NetworkHttpClient::requestText(m_request, m_userAgent, m_keepable));
    }

    // A kept connection the server closed before it read the request (it may close an idle one
    // at any time): the request goes again on a new connection, as if it had not been tried.
    bool retryFresh()
    {
        if (!m_reused || m_read > 0)
            return false;
        m_reused = false;
        m_fresh = true;
        m_sent = false;
        dropSocket();
        start();
        return true;
    }

    void onError(QAbstractSocket::SocketError error)
    {
        if (!m_socket)
            return;
        drain(); // headers may be in, followed by the close that raised this
        if (m_done || retryFresh())
            return;
        QString text = m_socket->errorString();
        if (isTlsError(error)) {
            if (auto *ssl = qobject_cast<QSslSocket *>(m_socket);
                ssl && !ssl->sslHandshakeErrors().isEmpty())
                text = ssl->sslHandshakeErrors().constFirst().errorString();
            fail(HttpAnswer::Outcome::Tls, text);
            return;
        }
        if (m_sent || m_tcpConnected) {
            fail(HttpAnswer::Outcome::Reset, text);
            return;
        }
        // No connection to this address: the next one may take it.
        m_connectOutcome = error == QAbstractSocket::ConnectionRefusedError
            ? HttpAnswer::Outcome::Refused
            : error == QAbstractSocket::HostNotFoundError ? HttpAnswer::Outcome::UnknownHost
                                                          : HttpAnswer::Outcome::Unreachable;
        m_connectError = text;
        dropSocket();
        connectNext();
    }

    void drain()
    {
        char buffer[ReadChunk];
        while (!m_done && m_socket && m_socket->bytesAvailable() > 0) {
            const qint64 n = m_socket->read(buffer, sizeof buffer);
            if (n <= 0)
                return;
            m_read += n;
            switch (m_parser.feed(buffer, n)) {
            case HttpHeadParser::State::NeedMore: break;
            case HttpHeadParser::State::Done: {
                // Nothing may follow the head of a HEAD answer, or the next answer on this
                // connection would start with it.
                m_keep = m_keepable && m_parser.keepsConnection() && m_parser.status() != 101
                    && m_read == m_parser.taken() && m_socket->bytesAvailable() == 0;
                HttpAnswer answer;
                answer.outcome = HttpAnswer::Outcome::Answered;
                answer.status = m_parser.status();
                answer.headers = m_parser.headers();
                finish(answer);
                return;
            }
            case HttpHeadParser::State::Bad:
                fail(HttpAnswer::Outcome::BadAnswer, QStringLiteral("Not an HTTP answer"));
                return;
            case HttpHeadParser::State::TooLarge:
                fail(HttpAnswer::Outcome::BadAnswer,
                     QStringLiteral("Headers longer than %1 bytes").arg(m_maxHeaderBytes));
                return;
            }
        }
    }

    void fail(HttpAnswer::Outcome outcome, const QString &error)
    {
        HttpAnswer answer;
        answer.outcome = outcome;
        answer.error = error;
        finish(answer);
    }

    void finish(const HttpAnswer &answer)
    {
        m_done = true;
        if (m_keep && m_pool) {
            // Back to the pool before the caller hears of it: its next request may take it.
            QTcpSocket *socket = std::exchange(m_socket, nullptr);
            socket->disconnect(this);
            m_pool->put(m_poolKey, socket);
        }
        stop(); // the connection goes before the body comes
        if (!m_starting) {
            Q_EMIT finished(answer);
            return;
        }
        QMetaObject::invokeMethod(
            this,
            [this, answer] {
                if (!m_aborted)
                    Q_EMIT finished(answer);
            },
            Qt::QueuedConnection);
    }

    void stop()
    {
        if (m_lookupId >= 0) {
            QHostInfo::abortHostLookup(m_lookupId);
            m_lookupId = -1;
        }
        dropSocket();
    }

    void dropSocket()
    {
        if (!m_socket)
            return;
        QTcpSocket *socket = m_socket;
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }

    const HttpRequest m_request;
    const QByteArray m_userAgent;
    const QHash<QString, QList<QHostAddress>> m_hosts;
    const QList<QSslCertificate> m_extraCa;
    HttpHeadParser m_parser;
    const int m_maxHeaderBytes;
    const QPointer<NetworkHttpClient::Pool> m_pool; // none when connections are not kept
    const QString m_poolKey;
    // A HEAD answer has no body: its connection can serve again. A GET takes a kept connection
    // but closes it after the headers, as it does its own.
    const bool m_keepable;
    bool m_reused = false; // the connection came from the pool
    bool m_fresh = false; // a new connection whatever the pool holds
    bool m_keep = false; // the connection goes back to the pool
    qint64 m_read = 0; // bytes of the answer read
    QList<QHostAddress> m_addresses;
    int m_next = 0;
    int m_lookupId = -1;
    QTcpSocket *m_socket = nullptr;
    bool m_tcpConnected = false;
    bool m_sent = false;
    bool m_done = false;
    bool m_starting = true; // inside send()
    bool m_aborted = false;
    HttpAnswer::Outcome m_connectOutcome = HttpAnswer::Outcome::Unreachable;
    QString m_connectError;
};

} // namespace

HttpHeadParser::HttpHeadParser(int maxBytes)
    : m_maxBytes(maxBytes)
{
}

HttpHeadParser::State HttpHeadParser::feed(const char *data, qsizetype size)
{
    while (m_state == State::NeedMore && size > 0) {
        const auto *newline = static_cast<const char *>(std::memchr(data, '\n', size_t(size)));
        const qsizetype take = newline ? newline - data + 1 : size;
        if (m_taken + take > m_maxBytes) {
            m_state = State::TooLarge;
            break;
        }
        m_taken += int(take);
        m_line.append(data, take);
        data += take;
        size -= take;
        if (!newline)
            break;
        m_line.chop(1);
        if (m_line.endsWith('\r'))
            m_line.chop(1);
        takeLine(std::exchange(m_line, {}));
    }
    return m_state;
}

void HttpHeadParser::takeLine(QByteArray line)
{
    if (!m_haveStatus) {
        if (line.isEmpty())
            return; // blank lines before a status line are tolerated
        // "HTTP/1.1 200 OK": the version, a space, three digits, then a space or nothing.
        const int space = int(line.indexOf(' '));
        const QByteArray code = line.mid(space + 1, 3);
        const bool digits = code.size() == 3
            && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!line.startsWith("HTTP/1.") || space != 8 || !digits
            || (line.size() > 12 && line[12] != ' ')) {
            m_state = State::Bad;
            return;
        }
        m_status = code.toInt();
        m_http10 = line.startsWith("HTTP/1.0");
        m_haveStatus = true;
        return;
    }
    if (line.isEmpty()) {
        if (m_status >= 100 && m_status < 200 && m_status != 101) {
            // An interim answer: the real one follows.
            m_haveStatus = false;
            m_headers.clear();
            return;
        }
        m_state = State::Done;
        return;
    }
    if (line.startsWith(' ') || line.startsWith('\t')) {
        // A folded line continues the previous header.
        if (!m_headers.isEmpty())
            m_headers.last().second += ' ' + line.trimmed();
        return;
    }
    const int colon = int(line.indexOf(':'));
    if (colon <= 0)
        return; // not a header line: ignored, as browsers do
    m_headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
}

bool HttpHeadParser::keepsConnection() const
{
    bool keep = !m_http10;
    for (const auto &h : m_headers) {
        if (h.first.compare("Connection", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray &token : h.second.split(',')) {
            if (token.trimmed().compare("close", Qt::CaseInsensitive) == 0)
                return false;
            if (token.trimmed().compare("keep-alive", Qt::CaseInsensitive) == 0)
                keep = true;
        }
    }
    return keep;
}

NetworkHttpClient::NetworkHttpClient()
    : NetworkHttpClient(Options())
{
}

NetworkHttpClient::NetworkHttpClient(Options options)
    : m_options(std::move(options))
    , m_pool(std::make_unique<Pool>())
{
}

NetworkHttpClient::~NetworkHttpClient() = default;

HttpReply *NetworkHttpClient::send(const HttpRequest &request, QObject *parent)
{
    return new SocketReply(request, m_options, m_pool.get(), parent);
}

QByteArray NetworkHttpClient::requestText(const HttpRequest &request, const QByteArray &userAgent,
                                          bool keepAlive)
{
    const QUrl &url = request.url;
    QByteArray target
        = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/'))
        target.prepend('/');
    QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':'))
        host = '[' + host + ']';
    const bool tls = url.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
    if (url.port() != -1 && url.port() != (tls ? 443 : 80))
        host += ':' + QByteArray::number(url.port());

    QByteArray out = request.method + ' ' + target + " HTTP/1.1\r\nHost: " + host
        + "\r\nUser-Agent: " + userAgent + "\r\nAccept: */*\r\n";
    if (!url.userName().isEmpty()) {
        const QByteArray credentials = url.userName(QUrl::FullyDecoded).toUtf8() + ':'
            + url.password(QUrl::FullyDecoded).toUtf8();
        out += "Authorization: Basic " + credentials.toBase64() + "\r\n";
    }
    for (const auto &h : request.headers)
        out += h.first + ": " + h.second + "\r\n";
    out += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return out;
}
