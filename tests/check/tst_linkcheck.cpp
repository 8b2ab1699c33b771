#include "check/LinkCheck.h"
#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "support/LoopbackServer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QLocale>
#include <QPointer>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

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

HttpAnswer answered(int status, HttpAnswer::Outcome outcome = HttpAnswer::Outcome::Answered)
{
    HttpAnswer a;
    a.outcome = outcome;
    a.status = status;
    return a;
}

// A scripted client: each reply waits for the test to answer it.
class FakeClient : public HttpClient
{
public:
    class Reply : public HttpReply
    {
    public:
        using HttpReply::HttpReply;
        void abort() override { aborted = settled = true; }
        void answer(const HttpAnswer &a)
        {
            QVERIFY(!settled);
            settled = true;
            QTimer::singleShot(0, this, [this, a] {
                if (!aborted)
                    Q_EMIT finished(a);
            });
        }
        bool settled = false; // answered or aborted
        bool aborted = false;
    };

    HttpReply *send(const HttpRequest &request, QObject *parent) override
    {
        maxOpen = qMax(maxOpen, int(open().size()) + 1);
        sent.append(new Reply(parent));
        urls.append(request.url);
        methods.append(request.method);
        return sent.last();
    }

    // Replies not answered yet, in the order they were sent.
    QList<Reply *> open() const
    {
        QList<Reply *> out;
        for (const QPointer<Reply> &r : sent)
            if (r && !r->settled)
                out.append(r);
        return out;
    }
    // "a1" for http://a.test/1.
    QStringList sentPaths() const
    {
        QStringList out;
        for (const QUrl &url : urls)
            out.append(url.host().section(u'.', 0, 0) + url.path().mid(1));
        return out;
    }

    QList<QPointer<Reply>> sent;
    QList<QUrl> urls; // of every request sent
    QList<QByteArray> methods;
    int maxOpen = 0; // the most requests open at once
};

// A check and everything it emitted. Waits between tries are short unless a test says otherwise.
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

// "a1 b2" stands for http://a.test/1 and http://b.test/2.
QStringList fake(const QString &names)
{
    QStringList out;
    for (const QString &a : names.split(u' '))
        out.append(QStringLiteral("http://%1.test/%2").arg(a.left(1), a.mid(1)));
    return out;
}

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
        QTest::addColumn<bool>("permanent");

        QStringList chain; // /c1 to /c11
        for (int i = 1; i <= 11; ++i)
            chain << QStringLiteral("/c%1").arg(i);
        const QString loop = QString("/loop-a,/loop-b,").repeated(5) + "/loop-a";
        const auto row
            = [](const char *name, const char *verdict, const char *header, const QString &requests,
                 const char *finalPath, const char *movedTo = "", bool permanent = false) {
                  QTest::newRow(name) << QString(verdict) << QString(header) << requests
                                      << QString(finalPath) << QString(movedTo) << permanent;
              };
        row("200", "◎ 200", "X-Page: ok", "/ok", "/ok");
        row("301 to 200 has moved", "◎ 200", "X-Page: ok", "/moved,/ok", "/ok", "/ok", true);
        row("moved only as far as the 308", "◎ 200", "", "/p308,/to-ok-302,/ok", "/ok",
            "/to-ok-302", true);
        row("302 then 301 has not moved", "◎ 200", "", "/t302,/moved,/ok", "/ok", "", true);
        row("302 with relative location", "◎ 200", "X-Page: ok", "/relative,/ok", "/ok");
        row("307 keeps HEAD", "◎ 200", "X-Page: ok", "/temporary,/ok", "/ok");
        row("redirect loop", "× 301 too many", "Location: /loop-b", loop, "/loop-a", "", true);
        row("ten redirects", "◎ 200", "X-Page: ok", chain.mid(1).join(u',') + ",/ok", "/ok", "/ok",
            true);
        row("eleven redirects", "× 301 too many", "Location: /ok", chain.join(u','), "/c11", "",
            true);
        row("404 asked again with GET", "× 404", "", "/404,GET /404", "/404");
        row("redirect to 410", "× 410", "", "/to-410,/410,GET /410", "/410", "", true);
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
            "/head-405", "/head-405", true);
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
        QFETCH(bool, permanent);
        // The first request starts at 1000 ms; every later reading says 1350 ms.
        int readings = 0;
        Clock::setSource([&readings] { return readings++ == 0 ? qint64(1000) : qint64(1350); });
        const QDateTime before = QDateTime::currentDateTimeUtc();

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
        QCOMPARE(r.permanentRedirect, permanent);
        // From the first request to the verdict, however many it took.
        QCOMPARE(r.elapsedMs, qint64(350));
        QCOMPARE(r.timeText(), QStringLiteral("3.5"));
        QVERIFY(r.checkedAt >= before && r.checkedAt <= QDateTime::currentDateTimeUtc());
        QCOMPARE(r.checkedAt.timeSpec(), Qt::UTC);
        QVERIFY2(r.headers.contains(header), qPrintable(r.headers));
        // "Name: value" lines joined by CR LF, no status line, nothing empty.
        QVERIFY(!r.headers.startsWith("HTTP/"));
        for (const QString &line : r.headers.split("\r\n"))
            QVERIFY2(line.isEmpty() == r.headers.isEmpty() && !line.contains(u'\n'),
                     qPrintable(line));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("methods"); // what the server saw, if it saw anything
        const auto row = [](const char *name, const char *kind, const char *verdict,
                            const char *methods = "HEAD,GET,GET,GET") {
            QTest::newRow(name) << QString(kind) << QString(verdict) << QString(methods);
        };
        row("refused", "refused", "× 0 refused", "");
        row("unknown host", "unknown", "× 0 unknown host", "");
        row("TLS handshake fails", "tls", "△ 0 tls", "");
        row("never answers", "silent", "× 0 timed out");
        row("drips a byte at a time", "drip", "× 0 timed out");
        row("hangs up every time", "hang-up", "△ 0 reset");
    }
    void failures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, verdict);
        QFETCH(QString, methods);
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
        QElapsedTimer clock;
        clock.start();
        QVERIFY(run.check.start({{1, addresses.value(kind, m_server.url('/' + kind))}}));
        QVERIFY(run.wait());
        const LinkResult r = run.results.value(1);
        QCOMPARE(verdictOf(r), verdict);
        QVERIFY(r.headers.isEmpty());
        QVERIFY(!r.error.isEmpty());
        QStringList seen;
        for (const LoopbackServer::Request &request : m_server.requests())
            seen << QString::fromLatin1(request.method);
        QCOMPARE(seen.join(u','), methods);
        // Refused, unknown and TLS failures are final at once; the others are tried four times,
        // each try ending at its deadline, with waits of 20, 40 and 80 ms between.
        const int tries = methods.isEmpty() ? 1 : 4;
        QCOMPARE(r.requests, tries);
        QCOMPARE(r.retries, tries - 1);
        if (r.reason == LinkResult::Reason::TimedOut)
            QVERIFY2(r.elapsedMs >= 4 * deadline + 140, qPrintable(QString::number(r.elapsedMs)));
        QVERIFY2(clock.elapsed() < 4 * deadline + 140 + 2000,
                 qPrintable(QString::number(clock.elapsed())));
        // Nothing is left open at the server.
        QVERIFY(QTest::qWaitFor([this] { return m_server.openConnections() == 0; }));
    }

    // Waits between tries: the backoff doubling, or what Retry-After asks up to a minute.
    void retryWaits_data()
    {
        QTest::addColumn<QByteArray>("retryAfter"); // on a 503 answered by a 200; empty: only 503s
        QTest::addColumn<QList<int>>("leastGapsMs"); // between one request and the next
        QTest::addColumn<QString>("verdict");
        QTest::newRow("backoff doubles") << QByteArray() << QList<int> {100, 200, 400} << "△ 503";
        QTest::newRow("seconds") << QByteArray("1") << QList<int> {990} << "◎ 200";
        QTest::newRow("date") << QByteArray("in 2 s") << QList<int> {950} << "◎ 200";
        QTest::newRow("zero waits the backoff") << QByteArray("0") << QList<int> {95} << "◎ 200";
        QTest::newRow("beyond a minute ends the tries")
            << QByteArray("120") << QList<int> {} << "△ 503";
    }
    void retryWaits()
    {
        QFETCH(QByteArray, retryAfter);
        QFETCH(QList<int>, leastGapsMs);
        QFETCH(QString, verdict);
        if (retryAfter == "in 2 s") // to the second: between one and two seconds from now
            retryAfter = QLocale::c()
                             .toString(QDateTime::currentDateTimeUtc().addSecs(2),
                                       QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
                             .toLatin1();
        if (retryAfter.isEmpty())
            m_server.setSequence("/busy", {{.status = 503}});
        else
            m_server.setSequence("/busy",
                                 {{.status = 503, .headers = {{"Retry-After", retryAfter}}}, {}});
        Run run;
        run.check.setBackoffBaseMs(100);
        QVERIFY(run.check.start({{1, m_server.url("/busy")}}));
        QVERIFY(run.wait());
        QCOMPARE(verdictOf(run.results.value(1)), verdict);
        const QList<LoopbackServer::Request> seen = m_server.requests();
        QCOMPARE(seen.size(), leastGapsMs.size() + 1);
        for (int i = 1; i < seen.size(); ++i) {
            const qint64 gap = seen[i].atMs - seen[i - 1].atMs, least = leastGapsMs[i - 1];
            QVERIFY2(gap >= least - 5 && gap < 2 * least + 300, qPrintable(QString::number(gap)));
        }
        QVERIFY(run.results.value(1).elapsedMs < 3000);
    }

    void tooManyRequestsHoldsBackTheHost()
    {
        m_server.setSequence("/limited", {{.status = 429, .headers = {{"Retry-After", "1"}}}, {}});
        Run run;
        run.check.setMaxPerHost(1); // /ok waits for the 429, however slow it comes
        QVERIFY(run.check.start({{1, m_server.url("/limited")}, {2, m_server.url("/ok")}}));
        QVERIFY(run.wait());
        QCOMPARE(verdictOf(run.results.value(1)), QString("◎ 200"));
        QCOMPARE(verdictOf(run.results.value(2)), QString("◎ 200"));
        // /ok was due as soon as the 429 was in, but the host had asked for a second's pause.
        const QList<LoopbackServer::Request> seen = m_server.requests();
        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen[0].path, QByteArray("/limited"));
        for (int i = 1; i < 3; ++i)
            QVERIFY2(seen[i].atMs - seen[0].atMs >= 950,
                     qPrintable(QString::number(seen[i].atMs - seen[0].atMs)));
    }

    void retryAfterValues_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<qint64>("ms"); // -1: not a Retry-After value
        QTest::newRow("seconds") << QByteArray("5") << qint64(5000);
        QTest::newRow("spaces") << QByteArray(" 0 ") << qint64(0);
        QTest::newRow("date") << QByteArray("Wed, 21 Oct 2015 07:28:00 GMT") << qint64(60000);
        QTest::newRow("obsolete date")
            << QByteArray("Wednesday, 21-Oct-15 07:28:00 GMT") << qint64(60000);
        QTest::newRow("C date") << QByteArray("Wed Oct 21 07:28:00 2015") << qint64(60000);
        QTest::newRow("past date") << QByteArray("Wed, 21 Oct 2015 07:00:00 GMT") << qint64(0);
        QTest::newRow("words") << QByteArray("soon") << qint64(-1);
        QTest::newRow("negative") << QByteArray("-5") << qint64(-1);
        QTest::newRow("empty") << QByteArray() << qint64(-1);
        QTest::newRow("more digits than a number")
            << QByteArray("99999999999999999999999")
            << qint64(std::numeric_limits<qint64>::max() / 2);
    }
    void retryAfterValues()
    {
        QFETCH(QByteArray, value);
        QFETCH(qint64, ms);
        const QDateTime now(QDate(2015, 10, 21), QTime(7, 27), QTimeZone::utc());
        QCOMPARE(LinkCheck::retryAfterMs(value, now).value_or(-1), ms);
    }

    void hostLimitsCountedAtServer()
    {
        // Six names of this machine are six hosts; the one server counts them all.
        const QStringList names {"a.test", "b.test", "c.test", "d.test", "e.test", "f.test"};
        const auto client = namedClient(names);
        QStringList addresses;
        for (const QString &name : names)
            for (int i = 0; i < 8; ++i)
                addresses << QStringLiteral("http://%1:%2/slow").arg(name).arg(m_server.port());
        Run run(client.get());
        run.check.setMaxInFlight(20);
        QVERIFY(run.check.start(rowsFor(addresses)));
        QVERIFY(run.wait(1, 60000));
        QCOMPARE(run.progress.last(), (QList<int> {48, 48, 0}));
        const QByteArray port = ':' + QByteArray::number(m_server.port());
        QList<int> perHost;
        for (const QString &name : names)
            perHost << m_server.maxInFlight(name.toLatin1() + port);
        // Each host could take six in the 300 ms of an answer, all of them 48.
        QCOMPARE(*std::max_element(perHost.begin(), perHost.end()), 4);
        QCOMPARE(m_server.maxInFlightTotal(), 20);
        // 50 ms between starts at one host, measured where the connections arrive (late by
        // as much as the event loop is busy: without the spacing they come a millisecond apart).
        QVERIFY2(m_server.minSpacingMs() >= 30,
                 qPrintable(QString::number(m_server.minSpacingMs())));
    }

    void redirectsCountAtTheirTargetHost()
    {
        const QStringList names {"a.test", "b.test", "c.test", "target.test"};
        const auto client = namedClient(names);
        const QByteArray target
            = QStringLiteral("http://target.test:%1/slow").arg(m_server.port()).toUtf8();
        m_server.setRedirect("/go", target, 302);
        QStringList addresses;
        for (int i = 0; i < 12; ++i)
            addresses << QStringLiteral("http://%1:%2/go").arg(names[i % 3]).arg(m_server.port());
        Run run(client.get());
        QVERIFY(run.check.start(rowsFor(addresses)));
        QVERIFY(run.wait(1, 60000));
        QCOMPARE(run.progress.last(), (QList<int> {12, 12, 0}));
        QCOMPARE(m_server.requestCount("/slow"), 12);
        QCOMPARE(m_server.maxInFlight("target.test:" + QByteArray::number(m_server.port())), 4);
        QCOMPARE(run.results.value(1).finalAddress, QString::fromUtf8(target));
        QVERIFY(run.results.value(1).movedTo.isEmpty());
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

    // Servers that stream headers without end, next to healthy ones: the healthy answer in
    // their time and the flooding ones end at once as uncertain, never as dead.
    void endlessHeadersDoNotStarveOtherHosts()
    {
        std::vector<std::unique_ptr<LoopbackServer>> servers;
        const QList<LoopbackServer::Response> kinds {{.flood = LoopbackServer::Flood::Headers},
                                                     {.flood = LoopbackServer::Flood::HeaderLine},
                                                     {.delayMs = 200},
                                                     {.delayMs = 200}};
        for (int i = 0; i < 4; ++i) {
            servers.push_back(std::make_unique<LoopbackServer>());
            QVERIFY(servers.back()->start(QHostAddress(QStringLiteral("127.0.0.%1").arg(7 + i))));
            servers.back()->setFallback(kinds[i]);
        }
        QStringList addresses;
        for (int i = 0; i < 16; ++i)
            addresses << servers[i % 4]->url(QStringLiteral("/p%1").arg(i));
        Run run;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(run.check.start(rowsFor(addresses, 0)));
        QVERIFY(run.wait(1, 60000));
        for (int i = 0; i < 16; ++i) {
            const LinkResult r = run.results.value(i);
            if (i % 4 < 2) {
                QCOMPARE(verdictOf(r), QString("△ 0 bad answer"));
                QVERIFY2(r.error.contains(u"65536"), qPrintable(r.error));
            } else {
                QCOMPARE(verdictOf(r), QString("◎ 200"));
                QVERIFY2(r.elapsedMs < 1500, qPrintable(QString::number(r.elapsedMs)));
            }
        }
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        for (int i = 0; i < 2; ++i) // two requests (HEAD, GET) per address, each cut off
            QVERIFY(servers[i]->bytesSent() < 8 * 16 * 1024 * 1024);
    }

    void cancelStopsRequestsAndRetries()
    {
        Run run;
        run.check.setBackoffBaseMs(300);
        QVERIFY(run.check.start({{1, m_server.url("/silent")},
                                 {2, m_server.url("/500")},
                                 {3, m_server.url("/silent")}}));
        QVERIFY(QTest::qWaitFor([this] { return m_server.requestCount("/500") >= 1; }));
        QVERIFY(QTest::qWaitFor([this] { return m_server.openConnections() == 2; }));
        run.check.cancel();
        QCOMPARE(run.finished, QList<bool> {true}); // before cancel() returns
        QVERIFY(run.rows.isEmpty());
        QVERIFY(QTest::qWaitFor([this] { return m_server.openConnections() == 0; }));
        const int seen = int(m_server.requests().size());
        QTest::qWait(700); // the retry of /500 was due after 300 ms
        QCOMPARE(int(m_server.requests().size()), seen);
        QVERIFY(run.rows.isEmpty());
        QCOMPARE(run.finished.size(), 1);
    }

    void invalidAddressesNeverReachNetwork()
    {
        // Empty, not http or https, or without a host.
        const QStringList invalid
            = QString("|   |not a url|ftp://x|http://|https://|http:///path|"
                      "mailto:a@example.com|javascript:alert(1)|file:///etc/hosts")
                  .split(u'|');
        FakeClient client;
        Run run(&client);
        QVERIFY(run.check.start(rowsFor(QStringList(invalid) << "HTTP://Example.test/")));
        QVERIFY(run.rows.isEmpty()); // nothing is emitted inside start()
        QCOMPARE(client.sentPaths(), QStringList {"example"});
        client.sent[0]->answer(answered(200));
        QVERIFY(run.wait());
        QCOMPARE(run.rows.size(), 11);
        QCOMPARE(verdictOf(run.results.value(11)), QString("◎ 200"));
        for (int row = 1; row <= invalid.size(); ++row) {
            const LinkResult r = run.results.value(row);
            QVERIFY2(verdictOf(r) == "× 0 invalid" && r.timeText() == "0.0" && r.headers.isEmpty()
                         && r.requests == 0 && r.finalAddress == invalid[row - 1].trimmed(),
                     qPrintable(invalid[row - 1]));
        }
    }

    // Tenths of a second, rounded to one decimal: 350 ms is "3.5". (Marks and verdict names
    // are checked with every verdict and every line of the headless check.)
    void timeText()
    {
        const QList<std::pair<qint64, QString>> cases {{4, "0.0"},       {5, "0.1"},
                                                       {349, "3.5"},     {1234, "12.3"},
                                                       {20000, "200.0"}, {99999, "1000.0"}};
        for (const auto &[ms, text] : cases)
            QCOMPARE(LinkResult::timeText(ms), text);
    }

    void emptyRunAndBusyStart()
    {
        FakeClient client;
        Run run(&client);
        QVERIFY(run.check.start({}));
        QVERIFY(run.finished.isEmpty()); // not even an empty run finishes inside start()
        QVERIFY(run.wait());

        QVERIFY(run.check.start({{1, "http://a.test/"}}));
        QVERIFY(!run.check.start({{2, "http://b.test/"}}));
        QCOMPARE(client.sent.size(), 1);
        client.sent[0]->answer(answered(200));
        QVERIFY(run.wait(2));

        // A second run on the same object starts clean.
        QVERIFY(run.check.start({{2, "http://b.test/"}}));
        client.sent[1]->answer(answered(410));
        QVERIFY(QTest::qWaitFor([&client] { return client.sent.size() == 3; }));
        QCOMPARE(client.methods[2], QByteArray("GET"));
        client.sent[2]->answer(answered(410));
        QVERIFY(run.wait(3));
        QCOMPARE(run.rows, (QList<int> {1, 2}));
        QCOMPARE(run.progress, (QList<QList<int>> {{1, 1, 0}, {1, 1, 1}}));
        QCOMPARE(run.finished, (QList<bool> {false, false, false}));
    }

    void arrivalOrderThenCancel()
    {
        FakeClient client;
        Run run(&client);
        run.check.setMinSpacingMs(0);
        QVERIFY(run.check.start(rowsFor(fake("a1 b2 c3 a4 b5 c6 a7 b8 c9 a10 b11 c12"))));
        QCOMPARE(client.open().size(), 12);
        // As answered: row 3 answers first and comes first.
        client.sent[2]->answer(answered(200));
        QVERIFY(QTest::qWaitFor([&run] { return run.rows.size() == 1; }));
        client.sent[0]->answer(answered(200));
        QVERIFY(QTest::qWaitFor([&run] { return run.rows.size() == 2; }));
        QCOMPARE(run.rows, (QList<int> {3, 1}));

        client.sent[1]->answer(answered(200)); // answered, not yet taken in
        client.sent[3]->answer(answered(200));
        run.check.cancel();
        QCOMPARE(run.finished, QList<bool> {true}); // before cancel() returns
        QVERIFY(!run.check.isRunning());
        int aborted = 0;
        for (const auto &r : client.sent)
            aborted += r && r->aborted;
        QCOMPARE(aborted, 10); // the eight open and the two not taken in
        QTest::qWait(50);
        QCOMPARE(run.rows, (QList<int> {3, 1})); // the late answers are dropped too
        run.check.cancel(); // nothing running: nothing happens
        QCOMPARE(run.finished.size(), 1);
    }

    void cancelInsideHandlerInRowOrder()
    {
        FakeClient client;
        Run run(&client, LinkCheck::Order::RowOrder);
        run.check.setMinSpacingMs(0);
        connect(&run.check, &LinkCheck::rowChecked, this, [&run](int row) {
            if (row == 2)
                run.check.cancel();
        });
        QVERIFY(run.check.start(rowsFor(fake("a1 a2 a3 b4"))));
        for (FakeClient::Reply *reply : client.open())
            reply->answer(answered(200));
        QVERIFY(run.wait());
        QTest::qWait(50);
        QCOMPARE(run.rows, (QList<int> {1, 2}));
        QCOMPARE(run.progress.size(), 1); // no progress after the cancelled row
        QCOMPARE(run.finished, QList<bool> {true});
    }

    void totalCapAndRowOrderDispatch()
    {
        FakeClient client;
        Run run(&client);
        run.check.setMinSpacingMs(0);
        const int cap = LinkCheck::DefaultMaxInFlight;
        QCOMPARE(cap, 64);
        QStringList addresses;
        for (int i = 0; i < 400; ++i)
            addresses << QStringLiteral("http://h%1.test/%2").arg(i % 100).arg(i);
        QVERIFY(run.check.start(rowsFor(addresses)));
        QCOMPARE(client.open().size(), cap);
        for (int i = 0; i < cap; ++i) // the first rows went first
            QCOMPARE(client.urls[i].path(), QStringLiteral("/%1").arg(i));
        // Answer in bursts; the engine keeps the cap going until the queue runs dry.
        int done = 0;
        while (!client.open().isEmpty()) {
            const QList<FakeClient::Reply *> open = client.open();
            for (int i = 0; i < open.size(); i += 3, ++done)
                open[i]->answer(answered(i % 2 ? 200 : 204));
            const int expected = qMin(cap, 400 - done);
            QVERIFY(QTest::qWaitFor([&] { return client.open().size() == expected; }));
        }
        QVERIFY(run.wait());
        QCOMPARE(client.sent.size(), 400);
        QCOMPARE(client.maxOpen, cap);
        QCOMPARE(run.rows.size(), 400);
    }

    void waitingRowsGoInRowOrder()
    {
        FakeClient client;
        Run run(&client);
        run.check.setMaxInFlight(5);
        run.check.setMinSpacingMs(0);
        QVERIFY(run.check.start(rowsFor(fake("a1 a2 a3 a4 a5 a6 b7 b8"))));
        QCOMPARE(client.sentPaths(), (QStringList {"a1", "a2", "a3", "a4", "b7"}));
        client.sent[1]->answer(answered(200)); // a2 done: a5 is the lowest row with room
        QVERIFY(QTest::qWaitFor([&client] { return client.sent.size() == 6; }));
        client.sent[4]->answer(answered(200)); // b7 done: a6 waits behind a full host, b8 goes
        QVERIFY(QTest::qWaitFor([&client] { return client.sent.size() == 7; }));
        client.sent[0]->answer(answered(200));
        QVERIFY(QTest::qWaitFor([&client] { return client.sent.size() == 8; }));
        QCOMPARE(client.sentPaths(),
                 (QStringList {"a1", "a2", "a3", "a4", "b7", "a5", "b8", "a6"}));
        run.check.cancel();
    }

    void rowOrderReleasesInOrderWithoutReentry()
    {
        FakeClient client;
        Run run(&client, LinkCheck::Order::RowOrder);
        int depth = 0, deepest = 0;
        // Like a modal box: each handler runs a nested event loop while more answers come in.
        connect(&run.check, &LinkCheck::rowChecked, this, [&](int) {
            deepest = qMax(deepest, ++depth);
            const QList<FakeClient::Reply *> open = client.open();
            if (!open.isEmpty())
                open.last()->answer(answered(200));
            QEventLoop loop;
            QTimer::singleShot(30, &loop, &QEventLoop::quit);
            loop.exec();
            --depth;
        });
        QList<LinkCheck::Row> rows = rowsFor(fake("a1 b2 c3 d4 e5 f6"), 10);
        rows[2].address = QStringLiteral("nonsense");
        QVERIFY(run.check.start(rows));
        QVERIFY(run.check.isRunning());
        QCOMPARE(client.open().size(), 5);
        // Later rows answer first (row 13 refused, row 11 uncertain): nothing may come before
        // row 10. Row 14 answers from inside a handler's nested loop.
        client.sent[4]->answer(answered(200));
        client.sent[2]->answer(answered(0, HttpAnswer::Outcome::Refused));
        client.sent[1]->answer(answered(0, HttpAnswer::Outcome::Tls));
        QTest::qWait(50);
        QVERIFY(run.rows.isEmpty());
        client.sent[0]->answer(answered(200));
        QVERIFY(run.wait());
        QVERIFY(!run.check.isRunning());
        QCOMPARE(run.rows, (QList<int> {10, 11, 12, 13, 14, 15}));
        QCOMPARE(deepest, 1);
        QCOMPARE(verdictOf(run.results.value(12)), QString("× 0 invalid"));
        QCOMPARE(verdictOf(run.results.value(13)), QString("× 0 refused"));
        // Only "×" counts as dead: the TLS failure is uncertain.
        const QList<QList<int>> progress {{1, 6, 0}, {2, 6, 0}, {3, 6, 1},
                                          {4, 6, 2}, {5, 6, 2}, {6, 6, 2}};
        QCOMPARE(run.progress, progress);
        QCOMPARE(run.finished, QList<bool> {false});
    }
};

QTEST_GUILESS_MAIN(TstLinkCheck)
#include "tst_linkcheck.moc"
