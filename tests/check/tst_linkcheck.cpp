#include "check/LinkCheck.h"
#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "support/LoopbackServer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

// "◎ 200", "× 0 timed out": the mark, the final status and, unless answered, the reason.
QString verdictOf(const LinkResult &r)
{
    static const QStringList reasons {"",        " invalid",     " refused",   " unknown host",
                                      " lookup", " unreachable", " timed out", " reset",
                                      " tls",    " bad answer",  " too many"};
    return r.mark() + ' ' + QString::number(r.status) + reasons.value(int(r.reason), " ?");
}

struct Run
{
    explicit Run(HttpClient *client = nullptr,
                 LinkCheck::Order order = LinkCheck::Order::AsAnswered)
        : check(client)
    {
        check.setOrder(order);
        check.setBackoffBaseMs(20);
        QObject::connect(&check, &LinkCheck::rowChecked, &check, [this](int row, LinkResult r) {
            rows.append(row);
            results.insert(row, r);
        });
        QObject::connect(&check, &LinkCheck::progress, &check, [this](int n, int total, int dead) {
            progress.append({n, total, dead});
        });
        QObject::connect(&check, &LinkCheck::finished, &check,
                         [this](bool cancelled) { finished.append(cancelled); });
    }
    // Until the runs'th run has finished.
    bool wait(int runs = 1, int timeoutMs = 30000)
    {
        return QTest::qWaitFor([this, runs] { return finished.size() >= runs; }, timeoutMs);
    }

    LinkCheck check;
    QList<int> rows;
    QHash<int, LinkResult> results;
    QList<QList<int>> progress;
    QList<bool> finished;
};

QList<LinkCheck::Row> rowsFor(const QStringList &addresses, int firstRow = 1)
{
    QList<LinkCheck::Row> rows;
    for (int i = 0; i < addresses.size(); ++i)
        rows.append({firstRow + i, addresses[i]});
    return rows;
}

// A client whose names a.test, b.test ... all lead to 127.0.0.1: hosts of their own for the
// check, one server to count them.
std::unique_ptr<NetworkHttpClient> namedClient(const QStringList &names)
{
    NetworkHttpClient::Options options;
    for (const QString &name : names)
        options.hosts.insert(name, {QHostAddress(QHostAddress::LocalHost)});
    options.hosts.insert(QStringLiteral("gone.test"), {});
    return std::make_unique<NetworkHttpClient>(options);
}

} // namespace

class TstLinkCheck : public QObject
{
    Q_OBJECT

    LoopbackServer m_server;

    // What the server saw: "/a,GET /a" for a HEAD and then a GET.
    QString trace() const
    {
        QStringList out;
        for (const LoopbackServer::Request &r : m_server.requests())
            out.append(QString::fromUtf8(r.method + ' ' + r.path).remove("HEAD "));
        return out.join(u',');
    }
    QString at(const QString &path) const { return path.isEmpty() ? path : m_server.url(path); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.setRoute("/ok", {.headers = {{"X-Page", "ok"}}});
        for (int status : {401, 403, 404, 408, 410, 500, 302, 429}) // "/302" has no Location
            m_server.setRoute("/" + QByteArray::number(status), {.status = status});
        m_server.setRedirect("/moved", m_server.url("/ok").toUtf8());
        m_server.setRedirect("/relative", "ok", 302);
        m_server.setRedirect("/temporary", "/ok", 307);
        m_server.setRedirect("/p308", "/to-ok-302", 308);
        m_server.setRedirect("/to-ok-302", "/ok", 302);
        m_server.setRedirect("/t302", "/moved", 302);
        m_server.setRedirect("/to-ftp", "ftp://files.test/a", 302);
        m_server.setRedirect("/loop-a", "/loop-b");
        m_server.setRedirect("/loop-b", "/loop-a");
        for (int i = 1; i <= 11; ++i) // eleven redirects to /ok from /c1, ten from /c2
            m_server.setRedirect("/c" + QByteArray::number(i),
                                 i == 11 ? QByteArray("/ok") : "/c" + QByteArray::number(i + 1));
        m_server.setRedirect("/to-410", "/410");
        // HEAD refused or mangled, GET answered (with a body that must not be waited for).
        for (const auto &[path, head] : QList<std::pair<QByteArray, LoopbackServer::Response>> {
                 {"/head-405", {.status = 405}},
                 {"/head-501", {.status = 501}},
                 {"/head-404", {.status = 404}},
                 {"/hang-head", {.hangUp = true}}}) {
            m_server.setRoute(path, head, "HEAD");
            m_server.setRoute(
                path, {.headers = {{"X-Via", "get"}}, .body = QByteArray(200000, 'x')}, "GET");
        }
        m_server.setRoute("/head-405-get-404", {.status = 405}, "HEAD");
        m_server.setRoute("/head-405-get-404", {.status = 404}, "GET");
        m_server.setRedirect("/to-head-405", "/head-405", 308);
        m_server.setRoute("/cookies", {.headers = {{"Set-Cookie", "a=1"}, {"Set-Cookie", "b=2"}}});
        m_server.setRoute("/flood", {.flood = LoopbackServer::Flood::Headers});
        m_server.setRoute("/slow", {.delayMs = 300});
        m_server.setRoute("/silent", {.silent = true});
        m_server.setRoute("/drip", {.dripMs = 50}); // the head alone takes seconds
        m_server.setRoute("/hang-up", {.hangUp = true});
    }
    void init()
    {
        m_server.resetCounts();
        m_server.setSequence("/flaky", {{.status = 503}, {}});
    }
    void cleanup() { Clock::setSource({}); }

    void verdicts_data()
    {
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("header"); // must be among the final answer's headers
        QTest::addColumn<QString>("requests"); // what the server saw, from the address checked
        QTest::addColumn<QString>("finalPath");
        QTest::addColumn<QString>("movedTo"); // a path, or empty

        QStringList chain; // /c1 to /c11
        for (int i = 1; i <= 11; ++i)
            chain << QStringLiteral("/c%1").arg(i);
        const QString loop = QString("/loop-a,/loop-b,").repeated(5) + "/loop-a";
        const auto row
            = [](const char *name, const char *verdict, const char *header, const QString &requests,
                 const char *finalPath, const char *movedTo = "") {
                  QTest::newRow(name) << QString(verdict) << QString(header) << requests
                                      << QString(finalPath) << QString(movedTo);
              };
        row("200", "◎ 200", "X-Page: ok", "/ok", "/ok");
        row("301 to 200 has moved", "◎ 200", "X-Page: ok", "/moved,/ok", "/ok", "/ok");
        row("moved only as far as the 308", "◎ 200", "", "/p308,/to-ok-302,/ok", "/ok",
            "/to-ok-302");
        row("302 then 301 has not moved", "◎ 200", "", "/t302,/moved,/ok", "/ok", "");
        row("302 with relative location", "◎ 200", "X-Page: ok", "/relative,/ok", "/ok");
        row("307 keeps HEAD", "◎ 200", "X-Page: ok", "/temporary,/ok", "/ok");
        row("redirect loop", "× 301 too many", "Location: /loop-b", loop, "/loop-a", "");
        row("ten redirects", "◎ 200", "X-Page: ok", chain.mid(1).join(u',') + ",/ok", "/ok", "/ok");
        row("eleven redirects", "× 301 too many", "Location: /ok", chain.join(u','), "/c11", "");
        row("404 asked again with GET", "× 404", "", "/404,GET /404", "/404");
        row("redirect to 410", "× 410", "", "/to-410,/410,GET /410", "/410", "");
        row("401", "△ 401", "", "/401,GET /401", "/401");
        row("403", "△ 403", "", "/403,GET /403", "/403");
        row("408 after the retries", "△ 408", "", "/408,GET /408,GET /408,GET /408", "/408");
        row("302 without location", "△ 302", "", "/302", "/302");
        row("redirect to an address not checked", "△ 302", "Location: ftp:", "/to-ftp", "/to-ftp");
        row("405 asked again with GET", "◎ 200", "X-Via: get", "/head-405,GET /head-405",
            "/head-405");
        row("501 asked again with GET at once", "◎ 200", "X-Via: get", "/head-501,GET /head-501",
            "/head-501");
        row("HEAD 404 but GET 200", "◎ 200", "X-Via: get", "/head-404,GET /head-404", "/head-404");
        row("GET answer decides", "× 404", "", "/head-405-get-404,GET /head-405-get-404",
            "/head-405-get-404");
        row("308 then 405", "◎ 200", "X-Via: get", "/to-head-405,/head-405,GET /head-405",
            "/head-405", "/head-405");
        row("repeated headers", "◎ 200", "Set-Cookie: a=1\r\nSet-Cookie: b=2", "/cookies",
            "/cookies");
        row("500 after the retries", "△ 500", "", "/500,GET /500,GET /500,GET /500", "/500");
        row("429 after the retries", "△ 429", "", "/429,GET /429,GET /429,GET /429", "/429");
        row("503 then 200", "◎ 200", "", "/flaky,GET /flaky", "/flaky");
        row("HEAD hangs up, GET answers", "◎ 200", "X-Via: get", "/hang-head,GET /hang-head",
            "/hang-head");
        row("headers without end", "△ 0 bad answer", "", "/flood,GET /flood", "/flood");
    }
    void verdicts()
    {
        QFETCH(QString, verdict);
        QFETCH(QString, header);
        QFETCH(QString, requests);
        QFETCH(QString, finalPath);
        QFETCH(QString, movedTo);
        // The first request starts at 1000 ms; every later reading says 1350 ms.
        int readings = 0;
        Clock::setSource([&readings] { return readings++ == 0 ? qint64(1000) : qint64(1350); });

        Run run;
        QVERIFY(run.check.start({{7, m_server.url(requests.section(u',', 0, 0))}}));
        QVERIFY(run.wait());
        QCOMPARE(run.finished, QList<bool> {false});
        QCOMPARE(run.rows, QList<int> {7});
        const LinkResult r = run.results.value(7);
        QCOMPARE(verdictOf(r), verdict);
        QCOMPARE(trace(), requests);
        QCOMPARE(r.requests, int(requests.count(u',')) + 1);
        QCOMPARE(r.finalAddress, m_server.url(finalPath));
        QCOMPARE(r.movedTo, at(movedTo));
        // From the first request to the verdict, however many it took.
        QCOMPARE(r.elapsedMs, qint64(350));
        QCOMPARE(r.timeText(), QStringLiteral("0.35"));
        QCOMPARE(r.checkedAt.timeSpec(), Qt::UTC);
        QVERIFY2(r.headers.contains(header), qPrintable(r.headers));
        // "Name: value" lines joined by CR LF, no status line, nothing empty.
        QVERIFY2(!r.headers.startsWith("HTTP/") && !r.headers.contains("\r\n\r\n")
                     && !r.headers.endsWith(u'\n')
                     && !r.headers.contains(QRegularExpression("[^\r]\n")),
                 qPrintable(r.headers));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("requests"); // what the server saw
        const auto row = [](const char *name, const char *kind, const char *verdict,
                            bool tried = false) {
            const QString path = '/' + QString(kind);
            QTest::newRow(name) << QString(kind) << QString(verdict)
                                << (tried ? path + QString(",GET " + path).repeated(3) : QString());
        };
        row("refused", "refused", "× 0 refused");
        row("unknown host", "unknown", "× 0 unknown host");
        row("TLS handshake fails", "tls", "△ 0 tls");
        row("never answers", "silent", "× 0 timed out", true);
        row("drips a byte at a time", "drip", "× 0 timed out", true);
        row("hangs up every time", "hang-up", "△ 0 reset", true);
    }
    void failures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, verdict);
        QFETCH(QString, requests);
        // A server that speaks before it is asked: no TLS handshake can come of it.
        LoopbackServer plain;
        QVERIFY(plain.start());
        plain.setGreeting("HTTP/1.1 200 OK\r\n\r\n");
        const QHash<QString, QString> addresses {
            {"refused", QStringLiteral("http://127.0.0.1:%1/").arg(LoopbackServer::refusingPort())},
            {"unknown", QStringLiteral("http://gone.test/")},
            {"tls", QStringLiteral("https://127.0.0.1:%1/").arg(plain.port())}};
        const auto client = namedClient({});
        Run run(client.get());
        const int deadline = 300;
        run.check.setDeadlineMs(deadline);
        QVERIFY(run.check.start({{1, addresses.value(kind, m_server.url('/' + kind))}}));
        QVERIFY(run.wait());
        const LinkResult r = run.results.value(1);
        QCOMPARE(verdictOf(r), verdict);
        QVERIFY(r.headers.isEmpty() && !r.error.isEmpty());
        QCOMPARE(trace(), requests);
        // Refused, unknown and TLS failures are final at once; the others are tried four times,
        // each try ending at its deadline, with waits of 20, 40 and 80 ms between.
        QCOMPARE(r.requests, requests.isEmpty() ? 1 : 4);
        if (r.reason == LinkResult::Reason::TimedOut)
            QVERIFY2(r.elapsedMs >= 4 * deadline + 140, qPrintable(QString::number(r.elapsedMs)));
        // Nothing is left open at the server.
        QVERIFY(QTest::qWaitFor([this] { return m_server.openConnections() == 0; }));
    }

    // Waits between tries: the backoff doubling, or what Retry-After asks up to a minute.
    void retryWaits_data()
    {
        QTest::addColumn<int>("status"); // answered once (with Retry-After), then 200
        QTest::addColumn<QByteArray>("retryAfter"); // empty: only 503s
        QTest::addColumn<QList<int>>("leastGapsMs"); // between one request and the next
        QTest::addColumn<QString>("verdict");
        QTest::newRow("backoff doubles")
            << 503 << QByteArray() << QList<int> {100, 200, 400} << "△ 503";
        QTest::newRow("seconds") << 503 << QByteArray("1") << QList<int> {990} << "◎ 200";
        QTest::newRow("date") << 503 << QByteArray("in 2 s") << QList<int> {950} << "◎ 200";
        QTest::newRow("zero waits the backoff")
            << 503 << QByteArray("0") << QList<int> {95} << "◎ 200";
        QTest::newRow("beyond a minute ends the tries")
            << 503 << QByteArray("120") << QList<int> {} << "△ 503";
        // /ok was due as soon as the 429 was in, but the host had asked for a second's pause.
        QTest::newRow("429 holds back the host")
            << 429 << QByteArray("1") << QList<int> {990, 0} << "◎ 200";
    }
    void retryWaits()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, retryAfter);
        QFETCH(QList<int>, leastGapsMs);
        QFETCH(QString, verdict);
        if (retryAfter == "in 2 s") // to the second: between one and two seconds from now
            retryAfter = QLocale::c()
                             .toString(QDateTime::currentDateTimeUtc().addSecs(2),
                                       QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
                             .toLatin1();
        if (retryAfter.isEmpty())
            m_server.setSequence("/busy", {{.status = status}});
        else
            m_server.setSequence(
                "/busy", {{.status = status, .headers = {{"Retry-After", retryAfter}}}, {}});
        Run run;
        run.check.setBackoffBaseMs(100);
        run.check.setMaxPerHost(1); // /ok waits for the first answer, however slow it comes
        QList<LinkCheck::Row> rows {{1, m_server.url("/busy")}};
        if (status == 429)
            rows.append({2, m_server.url("/ok")});
        QVERIFY(run.check.start(rows));
        QVERIFY(run.wait());
        QCOMPARE(verdictOf(run.results.value(1)), verdict);
        const QList<LoopbackServer::Request> seen = m_server.requests();
        QCOMPARE(seen.size(), leastGapsMs.size() + 1);
        for (int i = 1; i < seen.size(); ++i) {
            const qint64 gap = seen[i].atMs - seen[i - 1].atMs, least = leastGapsMs[i - 1];
            QVERIFY2(gap >= least - 5 && gap < 2 * least + 300, qPrintable(QString::number(gap)));
        }
    }

    // Seconds or an HTTP date in any of its three forms; -1: not a Retry-After value.
    void retryAfterValues()
    {
        const QDateTime now(QDate(2015, 10, 21), QTime(7, 27), QTimeZone::utc());
        const QList<std::pair<QByteArray, qint64>> values {
            {"5", 5000},
            {" 0 ", 0},
            {"Wed, 21 Oct 2015 07:28:00 GMT", 60000},
            {"Wednesday, 21-Oct-15 07:28:00 GMT", 60000},
            {"Wed Oct 21 07:28:00 2015", 60000},
            {"Wed, 21 Oct 2015 07:00:00 GMT", 0}, // past
            {"soon", -1},
            {"-5", -1},
            {"", -1},
            {"99999999999999999999999", std::numeric_limits<qint64>::max() / 2}};
        for (const auto &[value, ms] : values)
            QVERIFY2(LinkCheck::retryAfterMs(value, now).value_or(-1) == ms, value.constData());
    }

    // At most four requests at once per host and 50 ms between their starts, counted at the
    // host each request goes to (a redirect's target included), the hosts' rows in row order;
    // a full host holds back no other.
    void hostLimitsCountedWhereRequestsGo()
    {
        LoopbackServer slow;
        QVERIFY(slow.start());
        slow.setFallback({.delayMs = 300});
        const QStringList names {"a.test", "b.test", "c.test", "d.test", "e.test", "f.test"};
        const QStringList hosts = QStringList(names) << "target.test";
        const auto client = namedClient(hosts);
        const QString port = QString::number(slow.port());
        slow.setRedirect("/go", "http://target.test:" + port.toUtf8() + "/t", 302);
        QStringList addresses;
        for (int i = 0; i < 48; ++i)
            addresses << QStringLiteral("http://%1:%2/%3").arg(names[i % 6], port).arg(i);
        for (int i = 0; i < 12; ++i) // twelve rows of three hosts end at one
            addresses << QStringLiteral("http://%1:%2/go").arg(names[i % 3], port);
        Run run(client.get());
        run.check.setMaxInFlight(20);
        QVERIFY(run.check.start(rowsFor(addresses)));
        QVERIFY(run.wait(1, 60000));
        QCOMPARE(run.progress.last(), (QList<int> {60, 60, 0}));
        QList<int> perHost;
        for (const QString &host : hosts)
            perHost << slow.maxInFlight((host + u':' + port).toLatin1());
        QCOMPARE(*std::max_element(perHost.begin(), perHost.end()), 4);
        QCOMPARE(perHost.last(), 4); // twelve redirected there
        QCOMPARE(slow.maxInFlightTotal(), 20);
        QCOMPARE(run.results.value(49).finalAddress, "http://target.test:" + port + "/t");
        QVERIFY(run.results.value(49).movedTo.isEmpty());
        // Measured where the connections arrive (late by as much as the event loop is busy:
        // without the spacing they come a millisecond apart).
        QVERIFY2(slow.minSpacingMs() >= 30, qPrintable(QString::number(slow.minSpacingMs())));
        QHash<QByteArray, int> last;
        for (const LoopbackServer::Request &r : slow.requests()) {
            const int n = r.path.mid(1).toInt();
            QVERIFY2(r.path == "/go" || r.path == "/t" || n > last.value(r.host, -1), r.path);
            last[r.host] = n;
        }
    }

    void cookiesGoBackToTheirHost()
    {
        const auto client = namedClient({"shop.test", "other.test"});
        const QString port = QString::number(m_server.port());
        m_server.setRoute("/login",
                          {.status = 302,
                           .headers = {{"Set-Cookie", "sid=42; Path=/; HttpOnly"},
                                       {"Set-Cookie", "lang=ja"},
                                       {"Location", "/home"}}});
        const QByteArray elsewhere = "http://other.test:" + port.toUtf8() + "/elsewhere";
        m_server.setRoute(
            "/away",
            {.status = 302, .headers = {{"Set-Cookie", "sid=7"}, {"Location", elsewhere}}});
        m_server.setPage("/home", "<html></html>");
        m_server.setPage("/elsewhere", "<html></html>");
        Run run(client.get());
        QVERIFY(run.check.start({{1, "http://shop.test:" + port + "/login"},
                                 {2, "http://shop.test:" + port + "/away"}}));
        QVERIFY(run.wait());
        QCOMPARE(verdictOf(run.results.value(1)), QString("◎ 200"));
        QCOMPARE(verdictOf(run.results.value(2)), QString("◎ 200"));
        QHash<QByteArray, QByteArray> cookie;
        for (const LoopbackServer::Request &r : m_server.requests())
            cookie.insert(r.path, r.header("Cookie"));
        QCOMPARE(cookie.value("/login"), QByteArray());
        QCOMPARE(cookie.value("/home"), QByteArray("sid=42; lang=ja"));
        QCOMPARE(cookie.value("/elsewhere"), QByteArray()); // another host
    }

    // Addresses that are empty, not http or https, or without a host are dead at once and
    // never sent.
    void invalidAddressesNeverReachNetwork()
    {
        const QStringList invalid
            = QString("|   |not a url|ftp://x|http://|https://|http:///path|"
                      "mailto:a@example.com|javascript:alert(1)|file:///etc/hosts")
                  .split(u'|');
        Run run;
        QVERIFY(
            run.check.start(rowsFor(QStringList(invalid) << "HTTP" + m_server.url("/ok").mid(4))));
        QVERIFY(run.rows.isEmpty()); // nothing is emitted inside start()
        QVERIFY(run.wait());
        QCOMPARE(trace(), "/ok");
        QCOMPARE(verdictOf(run.results.value(11)), QString("◎ 200"));
        for (int row = 1; row <= invalid.size(); ++row) {
            const LinkResult r = run.results.value(row);
            QVERIFY2(verdictOf(r) == "× 0 invalid" && r.timeText() == "0.00" && r.headers.isEmpty()
                         && r.requests == 0 && r.finalAddress == invalid[row - 1].trimmed(),
                     qPrintable(invalid[row - 1]));
        }
    }

    // Strictly in row order while later rows answer first; a handler that runs a nested event
    // loop (a modal box) is never entered again meanwhile, and the requests go on. Only "×"
    // counts as dead in the progress.
    void rowOrder()
    {
        Run run(nullptr, LinkCheck::Order::RowOrder);
        int depth = 0, deepest = 0;
        connect(&run.check, &LinkCheck::rowChecked, this, [&] {
            deepest = qMax(deepest, ++depth);
            QEventLoop loop;
            QTimer::singleShot(30, &loop, &QEventLoop::quit);
            loop.exec();
            --depth;
        });
        const QString refused
            = QStringLiteral("http://127.0.0.1:%1/").arg(LoopbackServer::refusingPort());
        QVERIFY(run.check.start({{10, m_server.url("/slow")},
                                 {11, m_server.url("/ok")},
                                 {12, "nonsense"},
                                 {13, refused},
                                 {14, m_server.url("/401")}}));
        QVERIFY(run.check.isRunning());
        QVERIFY(run.wait());
        QVERIFY(!run.check.isRunning());
        QCOMPARE(deepest, 1);
        QCOMPARE(run.rows, (QList<int> {10, 11, 12, 13, 14}));
        QCOMPARE(verdictOf(run.results.value(13)), QString("× 0 refused"));
        int dead = 0;
        for (int i = 0; i < 5; ++i) {
            dead += run.results.value(run.rows[i]).isDead();
            QCOMPARE(run.progress[i], (QList<int> {i + 1, 5, dead}));
        }
        QCOMPARE(dead, 2);
        QCOMPARE(run.finished, QList<bool> {false});
    }

    // Many links on one host: a HEAD's connection serves the next ones, so there are no more
    // connections than the per-host limit (and the GET's own, closed after its headers), and a
    // server that closes a kept connection unannounced costs neither a verdict nor a retry.
    void keepAlive_data()
    {
        QTest::addColumn<int>("answersPerConnection");
        QTest::newRow("kept open") << 1000;
        QTest::newRow("closed after two answers") << 2;
    }
    void keepAlive()
    {
        QFETCH(int, answersPerConnection);
        LoopbackServer server;
        QVERIFY(server.start(QHostAddress(QStringLiteral("127.0.0.4"))));
        server.setKeepAlive(answersPerConnection);
        server.setFallback({.delayMs = 20});
        server.setRoute("/head-refused", {.status = 405}, "HEAD");
        server.setRedirect("/moved", "/page0");
        Run run;
        constexpr int perHost = 3;
        run.check.setMaxPerHost(perHost);
        run.check.setMinSpacingMs(0);
        QStringList addresses {server.url("/head-refused"), server.url("/moved")};
        for (int i = 0; i < 30; ++i)
            addresses << server.url(QStringLiteral("/page%1").arg(i));
        QVERIFY(run.check.start(rowsFor(addresses)));
        QVERIFY(run.wait());
        for (int row = 1; row <= addresses.size(); ++row) {
            const LinkResult r = run.results.value(row);
            QVERIFY2(verdictOf(r) == "◎ 200" && r.retries == 0 && r.requests == (row <= 2 ? 2 : 1),
                     qPrintable(addresses[row - 1] + ' ' + verdictOf(r)));
        }
        QCOMPARE(server.requests().size(), 34);
        QVERIFY(server.maxInFlight(server.hostHeader()) <= perHost);
        if (answersPerConnection > 34)
            QVERIFY2(server.connections() <= perHost + 1,
                     qPrintable(QString::number(server.connections())));
    }
};

QTEST_GUILESS_MAIN(TstLinkCheck)
#include "tst_linkcheck.moc"
