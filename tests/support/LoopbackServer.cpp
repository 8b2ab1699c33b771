#include "LoopbackServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

// Endless answers are written in pieces of this size while the client still reads.
constexpr qint64 Piece = 64 * 1024;

// Keeps writing what next() makes while the socket is open and its buffer runs low; next()
// returns nothing when it is done, and the connection is then closed.
void feed(QTcpSocket *socket, std::function<QByteArray()> next)
{
    auto more = std::make_shared<std::function<void()>>();
    *more = [socket, next = std::move(next)] {
        while (socket->state() == QAbstractSocket::ConnectedState
               && socket->bytesToWrite() < Piece) {
            const QByteArray piece = next();
            if (piece.isEmpty()) {
                socket->disconnectFromHost();
                return;
            }
            socket->write(piece);
        }
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [more] { (*more)(); });
    (*more)();
}

} // namespace

QByteArray LoopbackServer::Request::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

LoopbackServer::LoopbackServer(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackServer::onNewConnection);
}

LoopbackServer::~LoopbackServer()
{
    m_server.close();
    // Connections still open go first, while the counts they update still exist.
    const QList<QTcpSocket *> sockets = m_server.findChildren<QTcpSocket *>();
    for (QTcpSocket *socket : sockets)
        socket->disconnect(this);
    qDeleteAll(sockets);
}

int LoopbackServer::requestCount(const QByteArray &path) const
{
    int n = 0;
    for (const Request &r : m_requests)
        n += r.path == path;
    return n;
}

qint64 LoopbackServer::minSpacingMs() const
{
    QHash<QByteArray, QList<qint64>> times;
    for (const Request &r : m_requests)
        times[r.host].append(r.connectedMs);
    qint64 least = -1;
    for (QList<qint64> &t : times) {
        std::sort(t.begin(), t.end());
        for (int i = 1; i < t.size(); ++i)
            least = least < 0 ? t[i] - t[i - 1] : qMin(least, t[i] - t[i - 1]);
    }
    return least;
}

void LoopbackServer::resetCounts()
{
    m_requests.clear();
    m_maxInFlight.clear();
    m_maxTotal = 0;
    m_bytesSent = 0;
    m_sequenceTaken.clear();
    m_connections = 0;
}

quint16 LoopbackServer::refusingPort()
{
    QTcpServer closed;
    if (!closed.listen(QHostAddress::LocalHost, 0))
        return 0;
    return closed.serverPort(); // closed again on return
}

void LoopbackServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setProperty("connectedMs", m_clock.elapsed());
        ++m_connections;
        if (!m_greeting.isEmpty())
            socket->write(m_greeting);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 n) { m_bytesSent += n; });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { settle(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this, socket] {
            m_buffers.remove(socket);
            settle(socket);
        });
    }
}

void LoopbackServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    const int end = int(buffer.indexOf("\r\n\r\n"));
    if (end < 0)
        return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.clear();
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    Request request;
    request.method = first.value(0);
    request.path = first.value(1);
    request.atMs = m_clock.elapsed();
    request.connectedMs = socket->property("connectedMs").toLongLong();
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const int colon = int(line.indexOf(':'));
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    request.host = request.header("Host");
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    m_requests.append(request);
    m_open.insert(socket, request.host);
    const int now = ++m_inFlight[request.host];
    m_maxInFlight[request.host] = qMax(m_maxInFlight.value(request.host), now);
    m_maxTotal = qMax(m_maxTotal, ++m_total);

    const Response response = responseFor(request.path, request.method);
    if (response.silent)
        return; // counted as answered when the client gives up
    if (response.hangUp) {
        settle(socket);
        socket->abort();
        return;
    }
    QPointer<QTcpSocket> guard(socket);
    auto go = [this, guard, request, response] {
        if (guard)
            answer(guard, request, response);
    };
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, Qt::PreciseTimer, this, go);
    else
        go();
}

// An answered request no longer counts as in flight.
void LoopbackServer::settle(QTcpSocket *socket)
{
    const auto it = m_open.find(socket);
    if (it == m_open.end())
        return;
    --m_inFlight[*it];
    --m_total;
    m_open.erase(it);
}

LoopbackServer::Response LoopbackServer::responseFor(const QByteArray &path,
                                                     const QByteArray &method)
{
    const auto byMethod = m_methodRoutes.constFind({method, path});
    if (byMethod != m_methodRoutes.constEnd())
        return *byMethod;
    const auto sequence = m_sequences.constFind(path);
    if (sequence != m_sequences.constEnd() && !sequence->isEmpty()) {
        const int taken = m_sequenceTaken[path]++;
        return sequence->value(taken, sequence->last());
    }
    const auto it = m_routes.constFind(path);
    if (it != m_routes.constEnd())
        return *it;
    // The folder holds the test pages: every file goes out as a page.
    const QString local = QString::fromUtf8(path).section(u'?', 0, 0);
    QFile f(QDir(m_root).filePath(local.mid(1)));
    if (!m_root.isEmpty() && !local.contains(QStringLiteral("..")) && QFileInfo(f).isFile()
        && f.open(QIODevice::ReadOnly))
        return {.body = f.readAll()};
    return m_fallback;
}

void LoopbackServer::answer(QTcpSocket *socket, const Request &request, const Response &r)
{
    // Clients read the code only; the phrase is for people reading a trace.
    const QByteArray phrase = r.status < 300 ? "OK" : r.status < 400 ? "Moved" : "Trouble";
    QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + phrase + "\r\n";
    if (r.flood != Flood::None) {
        // Headers that never end: the client has to give up.
        socket->write(head + (r.flood == Flood::HeaderLine ? "X-Flood: " : ""));
        const QByteArray piece = r.flood == Flood::HeaderLine
            ? QByteArray(Piece, 'a')
            : QByteArray("X-Flood: " + QByteArray(100, 'a') + "\r\n").repeated(Piece / 100);
        feed(socket, [piece] { return piece; });
        return;
    }
    head += "Content-Type: " + r.contentType + "\r\n";
    for (const auto &h : r.headers)
        head += h.first + ": " + h.second + "\r\n";
    const qint64 length = r.bodyBytes > 0 ? r.bodyBytes : r.body.size();
    const int answered = socket->property("answered").toInt() + 1;
    socket->setProperty("answered", answered);
    // The last answer says keep-alive too: the client learns of the close from the socket.
    const bool keep = m_keepFor > 0 && r.dripMs == 0 && r.bodyBytes == 0;
    head += "Content-Length: " + QByteArray::number(length)
        + (keep ? "\r\nConnection: keep-alive\r\n\r\n" : "\r\nConnection: close\r\n\r\n");
    const bool withBody = request.method != "HEAD";
    if (r.dripMs > 0) {
        // In flight until the last byte is out and the connection closes.
        const QByteArray all = withBody ? head + r.body : head;
        auto *timer = new QTimer(socket);
        auto sent = std::make_shared<int>(0);
        connect(timer, &QTimer::timeout, socket, [socket, timer, all, sent] {
            if (*sent >= all.size()) {
                timer->stop();
                socket->disconnectFromHost();
                return;
            }
            socket->write(all.mid((*sent)++, 1));
        });
        timer->start(r.dripMs);
        return;
    }
    settle(socket);
    socket->write(head);
    if (withBody && r.bodyBytes > 0) {
        auto left = std::make_shared<qint64>(r.bodyBytes);
        feed(socket, [left] {
            const qint64 n = qMin(*left, Piece);
            *left -= n;
            return QByteArray(n, 'x');
        });
        return;
    }
    if (withBody)
        socket->write(r.body);
    if (keep && answered < m_keepFor) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
        return;
    }
    socket->disconnectFromHost();
}
