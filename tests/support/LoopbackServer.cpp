#include "LoopbackServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 410: return "Gone";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    default: return "Status";
    }
}

QByteArray contentTypeFor(const QString &file)
{
    const QString ext = QFileInfo(file).suffix().toLower();
    if (ext == u"htm" || ext == u"html")
        return "text/html; charset=utf-8";
    if (ext == u"jpg" || ext == u"jpeg")
        return "image/jpeg";
    if (ext == u"png")
        return "image/png";
    return "application/octet-stream";
}

} // namespace

LoopbackServer::LoopbackServer(QObject *parent)
    : QObject(parent)
{
    m_fallback.status = 404;
    m_fallback.body = "<html><body>not found</body></html>";
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackServer::onNewConnection);
}

LoopbackServer::~LoopbackServer()
{
    m_server.close();
    // Connections still open (a browser keeps some ready) go while the bookkeeping that their
    // end touches still exists.
    qDeleteAll(m_server.findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly));
}

bool LoopbackServer::start() { return m_server.listen(QHostAddress::LocalHost, 0); }
quint16 LoopbackServer::port() const { return m_server.serverPort(); }

QString LoopbackServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void LoopbackServer::setRoute(const QByteArray &path, const Response &response)
{
    m_routes.insert(path, response);
}

void LoopbackServer::setRoute(const QByteArray &path, const Response &response,
                              const QByteArray &method)
{
    m_methodRoutes.insert({method, path}, response);
}

void LoopbackServer::setPage(const QByteArray &path, const QByteArray &html)
{
    Response r;
    r.body = html;
    setRoute(path, r);
}

void LoopbackServer::setRedirect(const QByteArray &path, const QByteArray &location, int status)
{
    Response r;
    r.status = status;
    r.headers.append({"Location", location});
    setRoute(path, r);
}

void LoopbackServer::setRoot(const QString &folder) { m_root = folder; }
void LoopbackServer::setFallback(const Response &response) { m_fallback = response; }

int LoopbackServer::requestCount(const QByteArray &path) const
{
    int n = 0;
    for (const Request &r : m_requests)
        n += r.path == path;
    return n;
}

void LoopbackServer::resetCounts()
{
    m_requests.clear();
    m_maxInFlight.clear();
    m_maxTotal = 0;
}

void LoopbackServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this, socket] { m_buffers.remove(socket); });
    }
}

void LoopbackServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.clear();
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    Request request;
    request.method = first.value(0);
    request.path = first.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "host")
            request.host = line.mid(colon + 1).trimmed();
    }
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    m_requests.append(request);
    const int now = ++m_inFlight[request.host];
    m_maxInFlight[request.host] = qMax(m_maxInFlight.value(request.host), now);
    m_maxTotal = qMax(m_maxTotal, ++m_total);

    const Response response = responseFor(request.path, request.method);
    QPointer<QTcpSocket> guard(socket);
    auto finish = [this, guard, request] {
        --m_inFlight[request.host];
        --m_total;
        if (guard)
            answer(guard, request);
    };
    if (response.silent) {
        // Counted as answered when the client gives up.
        connect(socket, &QTcpSocket::disconnected, this, [this, request] {
            --m_inFlight[request.host];
            --m_total;
        });
        return;
    }
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, this, finish);
    else
        finish();
}

LoopbackServer::Response LoopbackServer::responseFor(const QByteArray &path,
                                                    const QByteArray &method) const
{
    const auto byMethod = m_methodRoutes.constFind({method, path});
    if (byMethod != m_methodRoutes.constEnd())
        return *byMethod;
    const auto it = m_routes.constFind(path);
    if (it != m_routes.constEnd())
        return *it;
    if (!m_root.isEmpty()) {
        QString local = QString::fromUtf8(path);
        local = local.left(local.indexOf(u'?') >= 0 ? local.indexOf(u'?') : local.size());
        const QString file = QDir(m_root).filePath(local.mid(1));
        QFile f(file);
        if (!local.contains(QStringLiteral("..")) && QFileInfo(file).isFile() && f.open(QIODevice::ReadOnly)) {
            Response r;
            r.body = f.readAll();
            r.contentType = contentTypeFor(file);
            return r;
        }
    }
    return m_fallback;
}

void LoopbackServer::answer(QTcpSocket *socket, const Request &request)
{
    const Response r = responseFor(request.path, request.method);
    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reason(r.status) + "\r\n";
    out += "Content-Type: " + r.contentType + "\r\n";
    for (const auto &h : r.headers)
        out += h.first + ": " + h.second + "\r\n";
    out += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    if (request.method != "HEAD")
        out += r.body;
    socket->write(out);
    socket->disconnectFromHost();
}
