#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "platform/LinkCheck.h"
#include "support/LoopbackServer.h"

#include <QEventLoop>
#include <QHash>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>

namespace {

// A scripted client: answers when the script says so, or when the test does.
class FakeClient : public HttpClient
{
public:
    class Reply : public HttpReply
    {
    public:
        Reply(FakeClient *client, const QByteArray &method, const QUrl &url, QObject *parent)
            : HttpReply(parent)
            , method(method)
            , url(url)
            , m_client(client)
        {
        }
        ~Reply() override { settle(); }

        void abort() override
        {
            if (!settled)
                aborted = true;
            settle();
        }
        void answer(const HttpAnswer &a)
        {
            QVERIFY(!settled);
            settle();
            QTimer::singleShot(0, this, [this, a] {
                if (!aborted)
                    Q_EMIT finished(a);
            });
        }

        const QByteArray method;
        const QUrl url;
        bool aborted = false;
        bool settled = false;

    private:
        void settle()
        {
            if (settled)
                return;
            settled = true;
            --m_client->m_inFlight[LinkCheck::hostKey(url)];
            --m_client->m_total;
        }
        FakeClient *m_client;
    };

    HttpReply *send(const QByteArray &method, const QUrl &url, QObject *parent) override
    {
        auto *reply = new Reply(this, method, url, parent);
        sent.append(reply);
        const QString host = LinkCheck::hostKey(url);
        maxPerHost[host] = qMax(maxPerHost.value(host), ++m_inFlight[host]);
        maxTotal = qMax(maxTotal, ++m_total);
        if (script) {
            if (const std::optional<HttpAnswer> a = script(method, url))
                reply->answer(*a);
        }
        return reply;
    }

    // Replies not answered yet, in the order they were sent.
    QList<Reply *> open() const
    {
        QList<Reply *> out;
        for (const QPointer<Reply> &r : sent) {
            if (r && !r->settled)
                out.append(r);
        }
        return out;
    }
    QStringList sentPaths() const
    {
        QStringList out;
        for (const QPointer<Reply> &r : sent)
            out.append(r ? r->url.host() + r->url.path() : QStringLiteral("?"));
        return out;
    }

    std::function<std::optional<HttpAnswer>(const QByteArray &, const QUrl &)> script;
    QList<QPointer<Reply>> sent;
    QHash<QString, int> maxPerHost;
    int maxTotal = 0;

private:
    QHash<QString, int> m_inFlight;
    int m_total = 0;
};

HttpAnswer answered(int status, QList<QPair<QByteArray, QByteArray>> headers = {})
{
    HttpAnswer a;
    a.outcome = HttpAnswer::Outcome::Answered;
    a.status = status;
    a.headers = std::move(headers);
    return a;
}

struct Collected
{
    QList<int> rows;
    QHash<int, LinkResult> results;
    QList<QList<int>> progress;
    QList<bool> finished;
};

void collect(LinkCheck &check, Collected &c)
{
    QObject::connect(&check, &LinkCheck::rowChecked, &check, [&c](int row, const LinkResult &r) {
        c.rows.append(row);
        c.results.insert(row, r);
    });
    QObject::connect(&check, &LinkCheck::progress, &check, [&c](int n, int total, int dead) {
        c.progress.append({n, total, dead});
    });
    QObject::connect(&check, &LinkCheck::finished, &check,
                     [&c](bool cancelled) { c.finished.append(cancelled); });
}

bool waitFinished(const Collected &c, int timeoutMs = 20000)
{
    return QTest::qWaitFor([&c] { return !c.finished.isEmpty(); }, timeoutMs);
}

QList<LinkCheck::Row> rowsFor(const QStringList &addresses, int firstRow = 1)
{
    QList<LinkCheck::Row> rows;
    for (int i = 0; i < addresses.size(); ++i)
        rows.append({firstRow + i, addresses[i]});
    return rows;
}

} // namespace

class TstLinkCheck : public QObject
{
    Q_OBJECT

private:
    LoopbackServer m_server;

    QString trace() const
    {
        QStringList out;
        for (const LoopbackServer::Request &r : m_server.requests())
            out.append(QString::fromUtf8(r.method + ' ' + r.path));
        return out.join(u',');
    }
    QByteArray hostHeader(const QString &host) const
    {
        return (host + u':' + QString::number(m_server.port())).toUtf8();
    }

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void verdicts_data();
    void verdicts();
    void deadlineAbortsSilentServer();
    void refusedConnection();
    void invalidAddressesNeverReachNetwork_data();
    void invalidAddressesNeverReachNetwork();
    void timeText_data();
    void timeText();
    void timeTextFromRealRequest();
    void progressCountsAndRowSorting();
    void emptyRunAndBusyStart();
    void cancelMidRun();
    void cancelAbortsEveryOpenRequest();
    void cancelInsideHandlerInRowOrder();
    void perHostLimitOnOneHost();
    void twoHostsRunInParallel();
    void totalCapAndRowOrderDispatch();
    void waitingRowsGoInRowOrder();
    void rowOrderReleasesInOrderWithoutReentry();
    void asAnsweredEmitsInArrivalOrder();
};

void TstLinkCheck::initTestCase()
{
    QVERIFY(m_server.start());
    LoopbackServer::Response ok;
    ok.headers.emplaceBack("X-Page", "ok");
    m_server.setRoute("/ok", ok);

    m_server.setRedirect("/moved", m_server.url(QStringLiteral("/ok")).toUtf8());
    m_server.setRedirect("/relative", "ok", 302);
    m_server.setRedirect("/temporary", "/ok", 307);
    m_server.setRedirect("/loop-a", "/loop-b");
    m_server.setRedirect("/loop-b", "/loop-a");
    for (int i = 1; i <= 10; ++i) // /ten1 .. /ten10 then /ok: ten redirects
        m_server.setRedirect("/ten" + QByteArray::number(i),
                             i == 10 ? QByteArray("/ok") : "/ten" + QByteArray::number(i + 1));
    for (int i = 1; i <= 11; ++i) // eleven redirects
        m_server.setRedirect("/eleven" + QByteArray::number(i),
                             i == 11 ? QByteArray("/ok") : "/eleven" + QByteArray::number(i + 1));
    m_server.setRedirect("/to-gone", "/gone");

    auto status = [this](const QByteArray &path, int code) {
        LoopbackServer::Response r;
        r.status = code;
        m_server.setRoute(path, r);
    };
    status("/missing", 404);
    status("/gone", 410);
    status("/error", 500);
    status("/forbidden", 403);
    status("/no-location", 302);

    // HEAD refused, GET answered.
    LoopbackServer::Response viaGet;
    viaGet.headers.emplaceBack("X-Via", "get");
    viaGet.body = QByteArray(200000, 'x');
    for (const QByteArray path : {"/no-head-405", "/no-head-501"}) {
        LoopbackServer::Response refused;
        refused.status = path.endsWith("405") ? 405 : 501;
        m_server.setRoute(path, refused, "HEAD");
        m_server.setRoute(path, viaGet, "GET");
    }
    LoopbackServer::Response refused405;
    refused405.status = 405;
    m_server.setRoute("/no-head-get-404", refused405, "HEAD");
    LoopbackServer::Response missing;
    missing.status = 404;
    m_server.setRoute("/no-head-get-404", missing, "GET");
    m_server.setRedirect("/to-no-head", "/no-head-405");

    LoopbackServer::Response cookies;
    cookies.headers.emplaceBack("Set-Cookie", "a=1");
    cookies.headers.emplaceBack("Set-Cookie", "b=2");
    m_server.setRoute("/cookies", cookies);

    LoopbackServer::Response silent;
    silent.silent = true;
    m_server.setRoute("/silent", silent);

    LoopbackServer::Response slow;
    slow.delayMs = 300;
    m_server.setRoute("/slow", slow);
}

void TstLinkCheck::init()
{
    m_server.resetCounts();
}
void TstLinkCheck::cleanup()
{
    Clock::setSource({});
}

void TstLinkCheck::verdicts_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("alive");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("reason");
    QTest::addColumn<QStringList>("headerLines"); // each must be present
    QTest::addColumn<QString>("absent"); // must not appear in the headers
    QTest::addColumn<QString>("requests"); // what the server saw

    const int answered = int(LinkResult::Reason::Answered);
    const QString okTrace = QStringLiteral("HEAD /ok");
    auto chain = [](const QString &stem, int n) {
        QStringList t;
        for (int i = 1; i <= n; ++i)
            t << QStringLiteral("HEAD /%1%2").arg(stem).arg(i);
        return t.join(u',');
    };

    QTest::newRow("200") << "/ok" << true << 200 << answered
                         << QStringList {"Content-Type: text/html; charset=utf-8", "X-Page: ok"}
                         << "" << okTrace;
    QTest::newRow("301 to 200 gives the final headers")
        << "/moved" << true << 200 << answered << QStringList {"X-Page: ok"} << "Location"
        << "HEAD /moved," + okTrace;
    QTest::newRow("302 with relative location")
        << "/relative" << true << 200 << answered << QStringList {"X-Page: ok"} << ""
        << "HEAD /relative," + okTrace;
    QTest::newRow("307 keeps HEAD")
        << "/temporary" << true << 200 << answered << QStringList {"X-Page: ok"} << ""
        << "HEAD /temporary," + okTrace;
    QTest::newRow("redirect loop")
        << "/loop-a" << false << 301 << int(LinkResult::Reason::TooManyRedirects)
        << QStringList {"Location: /loop-"} << ""
        << "HEAD /loop-a,HEAD /loop-b,HEAD /loop-a,HEAD /loop-b,HEAD /loop-a,HEAD /loop-b,"
           "HEAD /loop-a,HEAD /loop-b,HEAD /loop-a,HEAD /loop-b,HEAD /loop-a";
    QTest::newRow("ten redirects are followed")
        << "/ten1" << true << 200 << answered << QStringList {"X-Page: ok"} << ""
        << chain(QStringLiteral("ten"), 10) + u',' + okTrace;
    QTest::newRow("eleven redirects are dead")
        << "/eleven1" << false << 301 << int(LinkResult::Reason::TooManyRedirects)
        << QStringList {"Location: /ok"} << "" << chain(QStringLiteral("eleven"), 11);
    QTest::newRow("404") << "/missing" << false << 404 << answered << QStringList {} << ""
                         << "HEAD /missing";
    QTest::newRow("410") << "/gone" << false << 410 << answered << QStringList {} << ""
                         << "HEAD /gone";
    QTest::newRow("redirect to 410")
        << "/to-gone" << false << 410 << answered << QStringList {} << ""
        << "HEAD /to-gone,HEAD /gone";
    QTest::newRow("no route is 404")
        << "/nothing-here" << false << 404 << answered << QStringList {} << ""
        << "HEAD /nothing-here";
    QTest::newRow("500 stays alive") << "/error" << true << 500 << answered << QStringList {} << ""
                                     << "HEAD /error";
    QTest::newRow("403 stays alive")
        << "/forbidden" << true << 403 << answered << QStringList {} << ""
        << "HEAD /forbidden";
    QTest::newRow("302 without location is final")
        << "/no-location" << true << 302 << answered << QStringList {} << ""
        << "HEAD /no-location";
    QTest::newRow("405 asked again with GET")
        << "/no-head-405" << true << 200 << answered << QStringList {"X-Via: get"} << ""
        << "HEAD /no-head-405,GET /no-head-405";
    QTest::newRow("501 asked again with GET")
        << "/no-head-501" << true << 200 << answered << QStringList {"X-Via: get"} << ""
        << "HEAD /no-head-501,GET /no-head-501";
    QTest::newRow("GET answer decides")
        << "/no-head-get-404" << false << 404 << answered << QStringList {} << ""
        << "HEAD /no-head-get-404,GET /no-head-get-404";
    QTest::newRow("redirect then 405")
        << "/to-no-head" << true << 200 << answered << QStringList {"X-Via: get"} << ""
        << "HEAD /to-no-head,HEAD /no-head-405,GET /no-head-405";
    QTest::newRow("repeated headers are separate lines")
        << "/cookies" << true << 200 << answered
        << QStringList {"Set-Cookie: a=1\r\nSet-Cookie: b=2"} << ""
        << "HEAD /cookies";
}

void TstLinkCheck::verdicts()
{
    QFETCH(QString, path);
    QFETCH(bool, alive);
    QFETCH(int, status);
    QFETCH(int, reason);
    QFETCH(QStringList, headerLines);
    QFETCH(QString, absent);
    QFETCH(QString, requests);

    LinkCheck check;
    Collected c;
    collect(check, c);
    QVERIFY(check.start({{7, m_server.url(path)}}));
    QVERIFY(waitFinished(c));
    QCOMPARE(c.finished, QList<bool> {false});
    QCOMPARE(c.rows, QList<int> {7});
    const LinkResult r = c.results.value(7);
    QCOMPARE(r.alive, alive);
    QCOMPARE(r.mark(), alive ? QStringLiteral("◎") : QStringLiteral("×"));
    QCOMPARE(r.status, status);
    QCOMPARE(int(r.reason), reason);
    for (const QString &line : headerLines)
        QVERIFY2(r.headers.contains(line), qPrintable(r.headers));
    if (!absent.isEmpty())
        QVERIFY2(!r.headers.contains(absent), qPrintable(r.headers));
    QVERIFY(!r.headers.isEmpty());
    QVERIFY(!r.headers.endsWith(u'\n'));
    for (const QString &line : r.headers.split(QStringLiteral("\r\n")))
        QVERIFY2(line.contains(QStringLiteral(": ")) && !line.contains(u'\n'), qPrintable(line));
    QVERIFY(!r.headers.startsWith(QStringLiteral("HTTP/")));
    QCOMPARE(trace(), requests);
}

void TstLinkCheck::deadlineAbortsSilentServer()
{
    LinkCheck check;
    check.setDeadlineMs(1000);
    Collected c;
    collect(check, c);
    QVERIFY(check.start(
        {{1, m_server.url(QStringLiteral("/silent"))}, {2, m_server.url(QStringLiteral("/ok"))}}));
    QVERIFY(waitFinished(c));
    const LinkResult r = c.results.value(1);
    QCOMPARE(r.mark(), QStringLiteral("×"));
    QCOMPARE(int(r.reason), int(LinkResult::Reason::TimedOut));
    QCOMPARE(r.status, 0);
    QVERIFY(r.headers.isEmpty());
    QVERIFY2(r.elapsedMs >= 950, qPrintable(QString::number(r.elapsedMs)));
    // The silent row does not hold up the others.
    QCOMPARE(c.rows, (QList<int> {2, 1}));
    QCOMPARE(c.results.value(2).mark(), QStringLiteral("◎"));
}

void TstLinkCheck::refusedConnection()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();

    LinkCheck check;
    Collected c;
    collect(check, c);
    QVERIFY(check.start({{3, QStringLiteral("http://127.0.0.1:%1/").arg(port)}}));
    QVERIFY(waitFinished(c));
    const LinkResult r = c.results.value(3);
    QCOMPARE(r.mark(), QStringLiteral("×"));
    QCOMPARE(int(r.reason), int(LinkResult::Reason::Refused));
    QCOMPARE(r.status, 0);
    QVERIFY(r.headers.isEmpty());
}

void TstLinkCheck::invalidAddressesNeverReachNetwork_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << QStringLiteral("   ");
    QTest::newRow("not a url") << QStringLiteral("not a url");
    QTest::newRow("ftp") << QStringLiteral("ftp://x");
    QTest::newRow("no host") << QStringLiteral("http://");
    QTest::newRow("https no host") << QStringLiteral("https://");
    QTest::newRow("path only") << QStringLiteral("http:///path");
    QTest::newRow("mailto") << QStringLiteral("mailto:a@example.com");
    QTest::newRow("script") << QStringLiteral("javascript:alert(1)");
    QTest::newRow("file") << QStringLiteral("file:///etc/hosts");
}

void TstLinkCheck::invalidAddressesNeverReachNetwork()
{
    QFETCH(QString, address);
    FakeClient client;
    LinkCheck check(&client);
    Collected c;
    collect(check, c);
    QVERIFY(check.start({{5, address}, {6, QStringLiteral("HTTP://Example.test/")}}));
    QVERIFY(c.rows.isEmpty()); // nothing is emitted inside start()
    QCOMPARE(client.sentPaths(), QStringList {"example.test/"});
    client.open().value(0)->answer(answered(200));
    QVERIFY(waitFinished(c));
    const LinkResult r = c.results.value(5);
    QCOMPARE(r.mark(), QStringLiteral("×"));
    QCOMPARE(int(r.reason), int(LinkResult::Reason::InvalidAddress));
    QCOMPARE(r.timeText(), QStringLiteral("0.0"));
    QVERIFY(r.headers.isEmpty());
    QCOMPARE(c.results.value(6).mark(), QStringLiteral("◎"));
    QCOMPARE(client.sent.size(), 1);
}

void TstLinkCheck::timeText_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("instant") << qint64(0) << "0.0";
    QTest::newRow("4 ms") << qint64(4) << "0.0";
    QTest::newRow("5 ms rounds up") << qint64(5) << "0.1";
    QTest::newRow("349 ms") << qint64(349) << "3.5";
    QTest::newRow("0.35 s") << qint64(350) << "3.5";
    QTest::newRow("1.234 s") << qint64(1234) << "12.3";
    QTest::newRow("deadline") << qint64(20000) << "200.0";
    QTest::newRow("100 s") << qint64(99999) << "1000.0";
}

void TstLinkCheck::timeText()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    qint64 now = 5000;
    Clock::setSource([&now] { return now; });
    FakeClient client;
    LinkCheck check(&client);
    Collected c;
    collect(check, c);
    QVERIFY(check.start({{1, QStringLiteral("http://a.test/")}}));
    now += ms;
    client.open().value(0)->answer(answered(200));
    QVERIFY(waitFinished(c));
    QCOMPARE(c.results.value(1).elapsedMs, ms);
    QCOMPARE(c.results.value(1).timeText(), text);
}

void TstLinkCheck::timeTextFromRealRequest()
{
    // The request starts at 1000 ms; every later reading says 1350 ms.
    int readings = 0;
    Clock::setSource([&readings] { return readings++ == 0 ? qint64(1000) : qint64(1350); });
    LinkCheck check;
    Collected c;
    collect(check, c);
    QVERIFY(check.start({{1, m_server.url(QStringLiteral("/moved"))}}));
    QVERIFY(waitFinished(c));
    QCOMPARE(c.results.value(1).timeText(), QStringLiteral("3.5"));
}

void TstLinkCheck::progressCountsAndRowSorting()
{
    LinkCheck check;
    check.setOrder(LinkCheck::Order::RowOrder);
    Collected c;
    collect(check, c);
    QVERIFY(check.start({{9, m_server.url(QStringLiteral("/missing"))},
                         {3, m_server.url(QStringLiteral("/ok"))},
                         {5, QStringLiteral("nonsense")},
                         {4, m_server.url(QStringLiteral("/error"))},
                         {8, m_server.url(QStringLiteral("/gone"))}}));
    QVERIFY(check.isRunning());
    QVERIFY(waitFinished(c));
    QVERIFY(!check.isRunning());
    QCOMPARE(c.rows, (QList<int> {3, 4, 5, 8, 9}));
    const QList<QList<int>> expected {{1, 5, 0}, {2, 5, 0}, {3, 5, 1}, {4, 5, 2}, {5, 5, 3}};
    QCOMPARE(c.progress, expected);
    QCOMPARE(c.finished, QList<bool> {false});
}

void TstLinkCheck::emptyRunAndBusyStart()
{
    FakeClient client;
    LinkCheck check(&client);
    Collected c;
    collect(check, c);
    QVERIFY(check.start({}));
    QVERIFY(c.finished.isEmpty());
    QVERIFY(waitFinished(c));
    QCOMPARE(c.finished, QList<bool> {false});
    QVERIFY(c.rows.isEmpty());

    c.finished.clear();
    QVERIFY(check.start({{1, QStringLiteral("http://a.test/")}}));
    QVERIFY(!check.start({{2, QStringLiteral("http://b.test/")}}));
    QCOMPARE(client.sent.size(), 1);
    client.open().value(0)->answer(answered(200));
    QVERIFY(waitFinished(c));
    QCOMPARE(c.rows, QList<int> {1});

    // A second run on the same object starts clean.
    c = {};
    QVERIFY(check.start({{2, QStringLiteral("http://b.test/")}}));
    client.open().value(0)->answer(answered(404));
    QVERIFY(waitFinished(c));
    QCOMPARE(c.rows, QList<int> {2});
    QCOMPARE(c.progress, (QList<QList<int>> {{1, 1, 1}}));
}

void TstLinkCheck::cancelMidRun()
{
    LinkCheck check;
    Collected c;
    collect(check, c);
    QList<LinkCheck::Row> rows {{1, m_server.url(QStringLiteral("/ok"))},
                                {2, m_server.url(QStringLiteral("/ok"))}};
    for (int r = 3; r <= 10; ++r)
        rows.append({r, m_server.url(QStringLiteral("/silent"))});
    QVERIFY(check.start(rows));
    QVERIFY(QTest::qWaitFor([&c] { return c.rows.size() == 2; }, 10000));
    QVERIFY(c.finished.isEmpty());
    check.cancel();
    QCOMPARE(c.finished, QList<bool> {true});
    QVERIFY(!check.isRunning());
    QTest::qWait(300);
    QCOMPARE(c.rows, (QList<int> {1, 2}));
    QCOMPARE(c.finished, QList<bool> {true});
    check.cancel(); // nothing running: nothing happens
    QCOMPARE(c.finished.size(), 1);
}

void TstLinkCheck::cancelAbortsEveryOpenRequest()
{
    FakeClient client;
    LinkCheck check(&client);
    Collected c;
    collect(check, c);
    QStringList addresses;
    for (int i = 0; i < 12; ++i)
        addresses << QStringLiteral("http://h%1.test/").arg(i % 3);
    QVERIFY(check.start(rowsFor(addresses)));
    QCOMPARE(client.open().size(), 12);
    client.open().value(0)->answer(answered(200));
    client.open().value(0)->answer(answered(200)); // answered, not yet taken in
    check.cancel();
    QCOMPARE(c.finished, QList<bool> {true});
    int aborted = 0;
    for (const auto &r : client.sent)
        aborted += r && r->aborted;
    QCOMPARE(aborted, 10);
    QVERIFY(client.open().isEmpty());
    QTest::qWait(50);
    QVERIFY(c.rows.isEmpty()); // answers that came before cancel are dropped too
    QCOMPARE(c.finished.size(), 1);
}

void TstLinkCheck::cancelInsideHandlerInRowOrder()
{
    FakeClient client;
    client.script = [](const QByteArray &, const QUrl &) { return answered(200); };
    LinkCheck check(&client);
    check.setOrder(LinkCheck::Order::RowOrder);
    Collected c;
    collect(check, c);
    connect(&check, &LinkCheck::rowChecked, this, [&check](int row) {
        if (row == 2)
            check.cancel();
    });
    QVERIFY(check.start(
        rowsFor({"http://a.test/1", "http://a.test/2", "http://a.test/3", "http://b.test/4"})));
    QVERIFY(waitFinished(c));
    QTest::qWait(50);
    QCOMPARE(c.rows, (QList<int> {1, 2}));
    QCOMPARE(c.progress.size(), 1); // no progress after the cancelled row
    QCOMPARE(c.finished, QList<bool> {true});
}

void TstLinkCheck::perHostLimitOnOneHost()
{
    QStringList addresses;
    for (int i = 0; i < 20; ++i)
        addresses << m_server.url(QStringLiteral("/slow"));
    LinkCheck check;
    Collected c;
    collect(check, c);
    QVERIFY(check.start(rowsFor(addresses)));
    QVERIFY(waitFinished(c, 60000));
    QCOMPARE(c.rows.size(), 20);
    for (const LinkResult &r : std::as_const(c.results))
        QCOMPARE(r.mark(), QStringLiteral("◎"));
    const int seen = m_server.maxInFlight(hostHeader(QStringLiteral("127.0.0.1")));
    QVERIFY2(seen <= 4 && seen > 1, qPrintable(QString::number(seen)));
}

void TstLinkCheck::twoHostsRunInParallel()
{
    QStringList addresses;
    const QString other = QStringLiteral("http://localhost:%1/slow").arg(m_server.port());
    for (int i = 0; i < 10; ++i)
        addresses << m_server.url(QStringLiteral("/slow")) << other;
    LinkCheck check;
    Collected c;
    collect(check, c);
    QVERIFY(check.start(rowsFor(addresses)));
    QVERIFY(waitFinished(c, 60000));
    QCOMPARE(c.rows.size(), 20);
    for (const LinkResult &r : std::as_const(c.results))
        QCOMPARE(r.mark(), QStringLiteral("◎"));
    const int a = m_server.maxInFlight(hostHeader(QStringLiteral("127.0.0.1")));
    const int b = m_server.maxInFlight(hostHeader(QStringLiteral("localhost")));
    QVERIFY2(a <= 4 && b <= 4, qPrintable(QStringLiteral("%1 %2").arg(a).arg(b)));
    QVERIFY2(m_server.maxInFlightTotal() > 4,
             qPrintable(QString::number(m_server.maxInFlightTotal())));
}

void TstLinkCheck::totalCapAndRowOrderDispatch()
{
    FakeClient client;
    LinkCheck check(&client);
    Collected c;
    collect(check, c);
    QStringList addresses;
    for (int i = 0; i < 200; ++i)
        addresses << QStringLiteral("http://h%1.test/%2").arg(i % 50).arg(i);
    QVERIFY(check.start(rowsFor(addresses)));
    QCOMPARE(client.open().size(), 32);
    // The first 32 rows went first.
    for (int i = 0; i < 32; ++i)
        QCOMPARE(client.sent[i]->url.path(), QStringLiteral("/%1").arg(i));
    // Answer in bursts; the engine keeps 32 going until the queue runs dry.
    int done = 0;
    while (!client.open().isEmpty()) {
        const QList<FakeClient::Reply *> open = client.open();
        for (int i = 0; i < open.size(); i += 3, ++done)
            open[i]->answer(answered(i % 2 ? 200 : 404));
        const int expected = qMin(32, 200 - done);
        QVERIFY(QTest::qWaitFor([&] { return client.open().size() == expected; }));
    }
    QVERIFY(waitFinished(c));
    QCOMPARE(client.sent.size(), 200);
    QCOMPARE(client.maxTotal, 32);
    for (auto it = client.maxPerHost.cbegin(); it != client.maxPerHost.cend(); ++it)
        QVERIFY2(it.value() <= 4, qPrintable(it.key()));
    QCOMPARE(c.rows.size(), 200);
}

void TstLinkCheck::waitingRowsGoInRowOrder()
{
    FakeClient client;
    LinkCheck check(&client);
    check.setMaxInFlight(5);
    Collected c;
    collect(check, c);
    QVERIFY(check.start(
        rowsFor({"http://a.test/1", "http://a.test/2", "http://a.test/3", "http://a.test/4",
                 "http://a.test/5", "http://a.test/6", "http://b.test/7", "http://b.test/8"})));
    QCOMPARE(client.sentPaths(),
             (QStringList {"a.test/1", "a.test/2", "a.test/3", "a.test/4", "b.test/7"}));
    client.sent[1]->answer(answered(200)); // a2 done: a5 is the lowest row with room
    QVERIFY(QTest::qWaitFor([&client] { return client.sent.size() == 6; }));
    QCOMPARE(client.sent[5]->url.path(), QStringLiteral("/5"));
    client.sent[4]->answer(answered(200)); // b7 done: a6 waits behind a full host, b8 goes
    QVERIFY(QTest::qWaitFor([&client] { return client.sent.size() == 7; }));
    QCOMPARE(client.sent[6]->url.path(), QStringLiteral("/8"));
    client.sent[0]->answer(answered(200));
    QVERIFY(QTest::qWaitFor([&client] { return client.sent.size() == 8; }));
    QCOMPARE(client.sent[7]->url.path(), QStringLiteral("/6"));
    QCOMPARE(client.maxPerHost.value(QStringLiteral("a.test:80")), 4);
    check.cancel();
}

void TstLinkCheck::rowOrderReleasesInOrderWithoutReentry()
{
    FakeClient client;
    LinkCheck check(&client);
    check.setOrder(LinkCheck::Order::RowOrder);
    Collected c;
    collect(check, c);
    int depth = 0;
    int deepest = 0;
    // Like a modal box: each handler runs a nested event loop while more answers come in.
    connect(&check, &LinkCheck::rowChecked, this, [&](int) {
        ++depth;
        deepest = qMax(deepest, depth);
        const QList<FakeClient::Reply *> open = client.open();
        if (!open.isEmpty())
            open.last()->answer(answered(200));
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
        --depth;
    });
    QVERIFY(check.start(rowsFor({"http://a.test/1", "http://b.test/2", "http://c.test/3",
                                 "http://d.test/4", "http://e.test/5", "http://f.test/6"},
                                10)));
    QCOMPARE(client.open().size(), 6);
    // Later rows answer first: nothing may come before row 10. Rows 12 and 14 answer from
    // inside the handlers' nested loops.
    for (int i : {5, 3, 1})
        client.sent[i]->answer(answered(i == 3 ? 404 : 200));
    QTest::qWait(50);
    QVERIFY(c.rows.isEmpty());
    client.sent[0]->answer(answered(200));
    QVERIFY(waitFinished(c));
    QCOMPARE(c.rows, (QList<int> {10, 11, 12, 13, 14, 15}));
    QCOMPARE(deepest, 1);
    QCOMPARE(c.results.value(13).mark(), QStringLiteral("×"));
    QCOMPARE(c.progress.last(), (QList<int> {6, 6, 1}));
}

void TstLinkCheck::asAnsweredEmitsInArrivalOrder()
{
    FakeClient client;
    LinkCheck check(&client);
    Collected c;
    collect(check, c);
    QVERIFY(check.start(rowsFor({"http://a.test/1", "http://b.test/2", "http://c.test/3"})));
    client.sent[2]->answer(answered(200));
    QVERIFY(QTest::qWaitFor([&c] { return c.rows.size() == 1; }));
    client.sent[0]->answer(answered(200));
    QVERIFY(QTest::qWaitFor([&c] { return c.rows.size() == 2; }));
    client.sent[1]->answer(answered(200));
    QVERIFY(waitFinished(c));
    QCOMPARE(c.rows, (QList<int> {3, 1, 2}));
}

QTEST_GUILESS_MAIN(TstLinkCheck)
#include "tst_linkcheck.moc"
