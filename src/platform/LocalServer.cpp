#include "LocalServer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(LocalServer)
};

// After its answer a connection waits this long for the client to hang up.
constexpr int kLingerMs = 2000;

} // namespace

// One client: its request read under the rules, handed to the handler, its answer sent.
class LocalServer::Connection : public QObject
{
public:
    Connection(LocalServer &server, QTcpSocket *socket, bool counted)
        : QObject(&server)
        , m_server(server)
        , m_socket(socket)
        , m_reader(server.m_rules)
        , m_counted(counted)
    {
        if (m_counted)
            ++m_server.m_connections;
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, &Connection::read);
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        connect(socket, &QTcpSocket::bytesWritten, this, &Connection::written);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &Connection::timedOut);
        m_timer.start(counted ? server.m_timeoutMs : kLingerMs);
        if (!counted)
            answer(HttpReader::error(503, Tr::tr("同時に受け付けられる要求の数を超えています")));
        else
            read();
    }
    ~Connection() override
    {
        if (m_counted)
            --m_server.m_connections;
    }

private:
    void read()
    {
        const QByteArray bytes = m_socket->readAll();
        // Once the request is whole, what else comes is thrown away unread.
        if (m_handed || m_answered)
            return;
        const HttpReader::State state = m_reader.feed(bytes);
        if (state == HttpReader::State::Refused)
            return answer(m_reader.refusal());
        if (state == HttpReader::State::More) {
            if (m_reader.wantsContinue() && !m_continued) {
                m_continued = true;
                m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
            }
            return;
        }
        m_handed = true;
        m_timer.stop();
        QPointer<Connection> self(this);
        m_server.m_handler.handle(m_reader.request(), [self](const Local::HttpAnswer &a) {
            if (self)
                self->answer(a);
        });
    }

    void answer(const Local::HttpAnswer &a)
    {
        if (m_answered)
            return;
        m_answered = true;
        m_socket->write(HttpReader::wire(a, m_reader.corsOrigin()));
        // The connection ends when the client hangs up, or after a while.
        m_timer.start(kLingerMs);
        written();
    }

    // Once the answer is out, the sending side closes; the client's unread bytes are drained
    // meanwhile, so that closing does not reset the connection before the answer is read.
    void written()
    {
        if (m_answered && !m_shut && m_socket->bytesToWrite() == 0) {
            m_shut = true;
            ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
        }
    }

    void timedOut()
    {
        if (m_answered || m_handed) {
            if (m_answered)
                m_socket->abort();
            return;
        }
        answer(HttpReader::error(408, Tr::tr("要求が時間内に届きませんでした")));
    }

    LocalServer &m_server;
    QTcpSocket *m_socket;
    HttpReader m_reader;
    QTimer m_timer;
    bool m_counted;
    bool m_handed = false;
    bool m_answered = false;
    bool m_continued = false;
    bool m_shut = false;
};

LocalServer::LocalServer(Local::HttpHandler &handler, QObject *parent)
    : QObject(parent)
    , m_handler(handler)
{
}

LocalServer::~LocalServer()
{
    stop();
}

bool LocalServer::start(quint16 port, const QByteArray &token, QString *error,
                        const QHostAddress &address)
{
    stop();
    m_rules.port = port;
    m_rules.token = token;
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, &LocalServer::accept);
    if (m_server->listen(address, port))
        return true;
    if (error)
        *error = m_server->serverError() == QAbstractSocket::AddressInUseError
            ? Tr::tr("ﾎﾟｰﾄ %1 は他のﾌﾟﾛｸﾞﾗﾑが使用中です").arg(port)
            : Tr::tr("ﾎﾟｰﾄ %1 で待ち受けできません: %2").arg(port).arg(m_server->errorString());
    delete m_server;
    m_server = nullptr;
    return false;
}

void LocalServer::stop()
{
    delete m_server;
    m_server = nullptr;
    qDeleteAll(findChildren<Connection *>(Qt::FindDirectChildrenOnly));
}

bool LocalServer::isListening() const
{
    return m_server && m_server->isListening();
}

void LocalServer::accept()
{
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        new Connection(*this, socket, m_connections < kMaxConnections);
    }
}
