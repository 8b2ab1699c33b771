#include "platform/LocalServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

constexpr quint16 kPort = 48999;
const QByteArray kToken = "s3cret-Token_x";

// A request head from lines joined by CR LF; "AUTH" stands for a right Authorization line.
QByteArray head(const QByteArray &lines)
{
    QByteArray h = lines;
    h.replace("AUTH", QByteArray("Authorization: Bearer " + kToken));
    h.replace("HOST", "Host: 127.0.0.1:48999");
    h.replace('|', "\r\n");
    return h + "\r\n\r\n";
}

// Answers every request 200 with its method, path, query and body.
class Echo : public Local::HttpHandler
{
public:
    void handle(const Local::HttpRequest &r, Reply reply) override
    {
        reply({200, r.method + ' ' + r.path + '?' + r.query + ' ' + r.body});
    }
};

} // namespace

// The receiver's rules on the plain reader, then the server over real sockets.
class TestLocalServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rules_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status"); // 0 ready, -1 waits for more
        QTest::addColumn<QByteArray>("body");
        // Rows name a head: "|" ends a line, HOST and AUTH stand for the right lines.
        const auto row
            = [](const char *name, const QByteArray &r, int status, const QByteArray &body = {}) {
                  QTest::newRow(name)
                      << (r.contains('|') ? head(r) + body + (body.isEmpty() ? "" : "+extra") : r)
                      << status << body;
              };
        row("accepted, query apart", "GET /api/links?url=a%20b HTTP/1.1|HOST|AUTH", 0);
        row("localhost, any case", "GET /api/groups HTTP/1.1|host: LocalHost:48999|AUTH", 0);
        row("body by its length", "POST /api/links HTTP/1.1|HOST|AUTH|Content-Length: 5", 0,
            "hello");
        row("extension origin", "GET /api/groups HTTP/1.1|HOST|Origin: chrome-extension://a|AUTH",
            0);
        row("extension preflight, no token",
            "OPTIONS /api/pages HTTP/1.1|HOST|Origin: chrome-extension://a", 204);
        row("firefox extension", "GET /api/groups HTTP/1.1|HOST|Origin: moz-extension://x-y|AUTH",
            0);
        row("foreign host", "GET /api/groups HTTP/1.1|Host: evil.example:48999|AUTH", 403);
        row("other port", "GET /api/groups HTTP/1.1|Host: 127.0.0.1:80|AUTH", 403);
        row("no host", "GET /api/groups HTTP/1.1|AUTH", 403);
        row("two hosts", "GET /api/groups HTTP/1.1|HOST|Host: evil.example|AUTH", 403);
        row("web origin", "GET /api/groups HTTP/1.1|HOST|Origin: https://a.example|AUTH", 403);
        row("null origin", "GET /api/groups HTTP/1.1|HOST|Origin: null|AUTH", 403);
        row("scheme only", "GET /api/groups HTTP/1.1|HOST|Origin: chrome-extension://|AUTH", 403);
        row("no token", "GET /api/groups HTTP/1.1|HOST", 401);
        row("wrong token", "GET /api/groups HTTP/1.1|HOST|Authorization: Bearer s3cret-Token_",
            401);
        row("64 MB + 1 at once", "POST /api/pages HTTP/1.1|HOST|AUTH|Content-Length: 67108865",
            413);
        row("64 MB waits for its body",
            "POST /api/pages HTTP/1.1|HOST|AUTH|Content-Length: 67108864", -1);
        row("no length", "POST /api/links HTTP/1.1|HOST|AUTH", 411);
        row("chunked", "POST /api/links HTTP/1.1|HOST|AUTH|Transfer-Encoding: chunked", 411);
        row("two lengths", "POST /api/links HTTP/1.1|HOST|AUTH|Content-Length: 1|Content-Length: 2",
            400);
        row("signed length", "POST /api/links HTTP/1.1|HOST|AUTH|Content-Length: -1", 400);
        row("other path", "GET /api/linksx HTTP/1.1|HOST|AUTH", 404);
        row("wrong method", "DELETE /api/links HTTP/1.1|HOST|AUTH", 405);
        row("not HTTP/1", "GET /api/groups HTTP/2|HOST|AUTH", 505);
        row("absolute target", "GET http://127.0.0.1:48999/api/groups HTTP/1.1|HOST|AUTH", 400);
        row("folded header", "GET /api/groups HTTP/1.1|HOST| Host: evil|AUTH", 400);
        row("endless headers", "GET / HTTP/1.1\r\n" + QByteArray(70 * 1024, 'x'), 431);
    }
    void rules()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        const HttpReader::Rules rules {.port = kPort,
                                       .token = kToken,
                                       .routes = {{"/api/links", {"GET", "POST"}},
                                                  {"/api/groups", {"GET"}},
                                                  {"/api/pages", {"POST"}}}};
        // Whole and byte by byte: where the pieces end changes nothing.
        for (int step : {int(request.size()), 1}) {
            HttpReader reader(rules);
            for (qsizetype i = 0; i < request.size() && reader.state() == HttpReader::State::More;
                 i += step)
                reader.feed(request.mid(i, step));
            // Only an extension's answers say which origin may read them.
            QCOMPARE(HttpReader::wire({}, reader.corsOrigin())
                         .contains("Access-Control-Allow-Origin: chrome-extension://a\r\n"),
                     request.contains("chrome-extension://a\r\n"));
            if (status > 0) {
                QCOMPARE(reader.state(), HttpReader::State::Refused);
                QCOMPARE(reader.refusal().status, status);
                QCOMPARE(QJsonDocument::fromJson(reader.refusal().body)["error"].isString(),
                         status != 204);
            } else {
                QCOMPARE(reader.state(),
                         status ? HttpReader::State::More : HttpReader::State::Ready);
                QCOMPARE(reader.request().body, body);
            }
        }
    }

    void sockets()
    {
        Echo echo;
        LocalServer server(echo);
        server.setRoutes({{"/p", {"GET", "POST"}}});
        server.setTimeout(400);
        const QHostAddress address(QStringLiteral("127.0.0.7"));
        QVERIFY(server.start(kPort, kToken, nullptr, address));
        // A second server on the same port says which one is taken.
        LocalServer other(echo);
        QString error;
        QVERIFY(!other.start(kPort, kToken, &error, address));
        QVERIFY(error.contains(QString::number(kPort)));

        const QByteArray host = "Host: localhost:48999|";
        std::vector<std::unique_ptr<QTcpSocket>> held;
        const auto open = [&](const QByteArray &bytes) {
            held.push_back(std::make_unique<QTcpSocket>());
            held.back()->connectToHost(address, kPort);
            held.back()->write(bytes);
            return held.back().get();
        };
        // The whole answer, once the server has closed the connection (the server runs on this
        // thread: the wait lets events run).
        const auto answerOf = [](QTcpSocket *s) {
            (void)QTest::qWaitFor([s] { return s->state() == QAbstractSocket::UnconnectedState; },
                                  5000);
            return s->readAll();
        };
        QVERIFY(
            answerOf(open(head("POST /p?q=1 HTTP/1.1|" + host + "AUTH|Content-Length: 3") + "abc"))
                .endsWith("\r\n\r\nPOST /p?q=1 abc"));
        // Refused as soon as the head is in: no byte of the body was sent.
        QVERIFY(answerOf(open(head("POST /p HTTP/1.1|" + host + "AUTH|Content-Length: 67108865")))
                    .startsWith("HTTP/1.1 413 "));
        // A request that drips ends within the time limit, however long it drips.
        QTcpSocket *drip = open("GET /p HTTP/1.1\r\n");
        QTimer dripper;
        QObject::connect(&dripper, &QTimer::timeout, drip, [drip] { drip->write("X-A: b\r\n"); });
        dripper.start(50);
        QVERIFY(answerOf(drip).startsWith("HTTP/1.1 408 "));
        dripper.stop();
        // A renewed token: the old one is refused from the next request on.
        server.setToken("renewed");
        QVERIFY(
            answerOf(open(head("GET /p HTTP/1.1|" + host + "AUTH"))).startsWith("HTTP/1.1 401 "));
        server.setToken(kToken);

        // Eight connections at once; the ninth is turned away until one ends.
        held.clear();
        server.setTimeout(60'000);
        QTRY_COMPARE(server.connections(), 0);
        for (int i = 0; i < LocalServer::kMaxConnections; ++i)
            open("GET /p HTTP/1.1\r\n");
        QTRY_COMPARE(server.connections(), LocalServer::kMaxConnections);
        QVERIFY(
            answerOf(open(head("GET /p HTTP/1.1|" + host + "AUTH"))).startsWith("HTTP/1.1 503 "));
        held.front()->abort();
        QTRY_COMPARE(server.connections(), LocalServer::kMaxConnections - 1);
        QVERIFY(
            answerOf(open(head("GET /p HTTP/1.1|" + host + "AUTH"))).startsWith("HTTP/1.1 200 "));
    }
};

QTEST_GUILESS_MAIN(TestLocalServer)
#include "tst_localserver.moc"
