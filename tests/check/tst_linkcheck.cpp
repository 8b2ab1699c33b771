#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "check/LinkCheck.h"
#include "support/LoopbackServer.h"

#include <QEventLoop>
#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

namespace {

// "◎ 200", "× 0 timed out": the mark, the final status and, unless answered, the reason.
QString verdictOf(const LinkResult &r)
{
    static const QStringList reasons {"",           " invalid",   " refused",
                                      " no answer", " timed out", " too many"};
    return r.mark() + ' ' + QString::number(r.status) + reasons.value(int(r.reason), " ?");
}

HttpAnswer answered(int status)
{
    return {HttpAnswer::Outcome::Answered, status, {}};
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

    HttpReply *send(const QByteArray &, const QUrl &url, QObject *parent) override
    {
        maxOpen = qMax(maxOpen, int(open().size()) + 1);
        sent.append(new Reply(parent));
        urls.append(url);
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
    int maxOpen = 0; // the most requests open at once
};

// A check and everything it emitted.
struct Run
{
    explicit Run(HttpClient *client = nullptr,
                 LinkCheck::Order order = LinkCheck::Order::AsAnswered)
        : check(client)
    {
        check.setOrder(order);
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
    bool wait(int runs = 1, int timeoutMs = 20000)
    {
        return QTest::qWaitFor([this, runs] { return finished.size() >= runs; }, timeoutMs);
    }

    LinkCheck check;
    QList<int> rows;
    QHash<int, LinkResult> results;
    QList<QList<int>> progress;
    QList<bool> finished;
};

LoopbackServer::Response response(int status, QList<QPair<QByteArray, QByteArray>> headers = {})
{
    LoopbackServer::Response r;
    r.status = status;
    r.headers = std::move(headers);
    return r;
}

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

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.setRoute("/ok", response(200, {{"X-Page", "ok"}}));
        for (int status : {403, 404, 410, 500, 302}) // "/302" has no Location
            m_server.setRoute("/" + QByteArray::number(status), response(status));
        m_server.setRedirect("/moved", m_server.url("/ok").toUtf8());
        m_server.setRedirect("/relative", "ok", 302);
        m_server.setRedirect("/temporary", "/ok", 307);
        m_server.setRedirect("/loop-a", "/loop-b");
        m_server.setRedirect("/loop-b", "/loop-a");
        for (int i = 1; i <= 11; ++i) // eleven redirects to /ok from /c1, ten from /c2
            m_server.setRedirect("/c" + QByteArray::number(i),
                                 i == 11 ? QByteArray("/ok") : "/c" + QByteArray::number(i + 1));
        m_server.setRedirect("/to-410", "/410");

        // HEAD refused, GET answered (with a body that must not be waited for).
        LoopbackServer::Response viaGet = response(200, {{"X-Via", "get"}});
        viaGet.body = QByteArray(200000, 'x');
        for (int refused : {405, 501}) {
            const QByteArray path = "/head-" + QByteArray::number(refused);
            m_server.setRoute(path, response(refused), "HEAD");
            m_server.setRoute(path, viaGet, "GET");
        }
        m_server.setRoute("/head-405-get-404", response(405), "HEAD");
        m_server.setRoute("/head-405-get-404", response(404), "GET");
        m_server.setRedirect("/to-head-405", "/head-405");

        m_server.setRoute("/cookies",
                          response(200, {{"Set-Cookie", "a=1"}, {"Set-Cookie", "b=2"}}));
        LoopbackServer::Response silent, slow;
        silent.silent = true;
        slow.delayMs = 300;
        m_server.setRoute("/silent", silent);
        m_server.setRoute("/slow", slow);
    }
    void init() { m_server.resetCounts(); }
    void cleanup() { Clock::setSource({}); }

    void verdicts_data()
    {
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("header"); // must be among the final answer's headers
        QTest::addColumn<QString>("requests"); // what the server saw, from the address checked

        QStringList chain; // /c1 to /c11
        for (int i = 1; i <= 11; ++i)
            chain << QStringLiteral("/c%1").arg(i);
        const QString loop = QString("/loop-a,/loop-b,").repeated(5) + "/loop-a";
        const auto row = [](const char *name, const char *verdict, const char *header,
                            const QString &requests) {
            QTest::newRow(name) << QString(verdict) << QString(header) << requests;
        };
        row("200", "◎ 200", "X-Page: ok", "/ok");
        row("301 gives the final headers", "◎ 200", "X-Page: ok", "/moved,/ok");
        row("302 with relative location", "◎ 200", "X-Page: ok", "/relative,/ok");
        row("307 keeps HEAD", "◎ 200", "X-Page: ok", "/temporary,/ok");
        row("redirect loop", "× 301 too many", "Location: /loop-b", loop);
        row("ten redirects", "◎ 200", "X-Page: ok", chain.mid(1).join(u',') + ",/ok");
        row("eleven redirects", "× 301 too many", "Location: /ok", chain.join(u','));
        row("404", "× 404", "", "/404");
        row("redirect to 410", "× 410", "", "/to-410,/410");
        row("500 stays alive", "◎ 500", "", "/500");
        row("403 stays alive", "◎ 403", "", "/403");
        row("302 without location is final", "◎ 302", "", "/302");
        row("405 asked again with GET", "◎ 200", "X-Via: get", "/head-405,GET /head-405");
        row("501 asked again with GET", "◎ 200", "X-Via: get", "/head-501,GET /head-501");
        row("GET answer decides", "× 404", "", "/head-405-get-404,GET /head-405-get-404");
        row("redirect then 405", "◎ 200", "X-Via: get", "/to-head-405,/head-405,GET /head-405");
        row("repeated headers", "◎ 200", "Set-Cookie: a=1\r\nSet-Cookie: b=2", "/cookies");
    }
    void verdicts()
    {
        QFETCH(QString, verdict);
        QFETCH(QString, header);
        QFETCH(QString, requests);
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
        QCOMPARE(r.alive, verdict.startsWith("◎"));
        // From the first request to the final answer, however many it took.
        QCOMPARE(r.elapsedMs, qint64(350));
        QCOMPARE(r.timeText(), QStringLiteral("3.5"));
        QVERIFY2(r.headers.contains(header), qPrintable(r.headers));
        // "Name: value" lines joined by CR LF, no status line, nothing empty.
        QVERIFY(!r.headers.startsWith("HTTP/"));
        for (const QString &line : r.headers.split("\r\n"))
            QVERIFY2(line.contains(": ") && !line.contains(u'\n'), qPrintable(line));
        QCOMPARE(trace(), requests);
    }

    void deadlineAndRefusal()
    {
        QTcpServer closed; // a port nobody listens on
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();

        Run run;
        run.check.setDeadlineMs(1000);
        QVERIFY(run.check.start({{1, m_server.url("/silent")},
                                 {2, m_server.url("/ok")},
                                 {3, QStringLiteral("http://127.0.0.1:%1/").arg(port)}}));
        QVERIFY(run.wait());
        QCOMPARE(run.rows.size(), 3);
        QCOMPARE(run.rows.last(), 1); // the silent row does not hold up the others
        QCOMPARE(verdictOf(run.results.value(1)), QString("× 0 timed out"));
        QCOMPARE(verdictOf(run.results.value(2)), QString("◎ 200"));
        QCOMPARE(verdictOf(run.results.value(3)), QString("× 0 refused"));
        QVERIFY(run.results.value(1).headers.isEmpty() && run.results.value(3).headers.isEmpty());
        const qint64 waited = run.results.value(1).elapsedMs;
        QVERIFY2(waited >= 950 && waited < 5000, qPrintable(QString::number(waited)));
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
            QVERIFY2(verdictOf(r) == "× 0 invalid" && r.timeText() == "0.0" && r.headers.isEmpty(),
                     qPrintable(invalid[row - 1]));
        }
    }

    void timeText()
    {
        // Tenths of a second, rounded to one decimal: 350 ms is "3.5".
        const QList<std::pair<qint64, QString>> cases {{4, "0.0"},       {5, "0.1"},
                                                       {349, "3.5"},     {1234, "12.3"},
                                                       {20000, "200.0"}, {99999, "1000.0"}};
        for (const auto &[ms, text] : cases)
            QCOMPARE(LinkResult::timeText(ms), text);
    }

    void progressCountsAndRowSorting()
    {
        Run run(nullptr, LinkCheck::Order::RowOrder);
        QVERIFY(run.check.start({{9, m_server.url("/404")},
                                 {3, m_server.url("/ok")},
                                 {5, "nonsense"},
                                 {4, m_server.url("/500")},
                                 {8, m_server.url("/410")}}));
        QVERIFY(run.check.isRunning());
        QVERIFY(run.wait());
        QVERIFY(!run.check.isRunning());
        QCOMPARE(run.rows, (QList<int> {3, 4, 5, 8, 9}));
        const QList<QList<int>> expected {{1, 5, 0}, {2, 5, 0}, {3, 5, 1}, {4, 5, 2}, {5, 5, 3}};
        QCOMPARE(run.progress, expected);
        QCOMPARE(run.finished, QList<bool> {false});
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
        client.sent[1]->answer(answered(404));
        QVERIFY(run.wait(3));
        QCOMPARE(run.rows, (QList<int> {1, 2}));
        QCOMPARE(run.progress, (QList<QList<int>> {{1, 1, 0}, {1, 1, 1}}));
        QCOMPARE(run.finished, (QList<bool> {false, false, false}));
    }

    void arrivalOrderThenCancel()
    {
        FakeClient client;
        Run run(&client);
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

    void hostLimitsOnRealServer()
    {
        // Two names of the loopback address count as two hosts, four requests each at most.
        QStringList addresses;
        for (int i = 0; i < 10; ++i)
            addresses << m_server.url("/slow")
                      << QStringLiteral("http://localhost:%1/slow").arg(m_server.port());
        Run run;
        QVERIFY(run.check.start(rowsFor(addresses)));
        QVERIFY(run.wait(1, 60000));
        QCOMPARE(run.progress.last(), (QList<int> {20, 20, 0})); // all alive
        const QByteArray port = ':' + QByteArray::number(m_server.port());
        const int a = m_server.maxInFlight("127.0.0.1" + port);
        const int b = m_server.maxInFlight("localhost" + port);
        const int total = m_server.maxInFlightTotal();
        QVERIFY2(a <= 4 && b <= 4 && total > 4,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(a).arg(b).arg(total)));
    }

    void totalCapAndRowOrderDispatch()
    {
        FakeClient client;
        Run run(&client);
        QStringList addresses;
        for (int i = 0; i < 200; ++i)
            addresses << QStringLiteral("http://h%1.test/%2").arg(i % 50).arg(i);
        QVERIFY(run.check.start(rowsFor(addresses)));
        QCOMPARE(client.open().size(), 32);
        for (int i = 0; i < 32; ++i) // the first 32 rows went first
            QCOMPARE(client.urls[i].path(), QStringLiteral("/%1").arg(i));
        // Answer in bursts; the engine keeps 32 going until the queue runs dry.
        int done = 0;
        while (!client.open().isEmpty()) {
            const QList<FakeClient::Reply *> open = client.open();
            for (int i = 0; i < open.size(); i += 3, ++done)
                open[i]->answer(answered(i % 2 ? 200 : 404));
            const int expected = qMin(32, 200 - done);
            QVERIFY(QTest::qWaitFor([&] { return client.open().size() == expected; }));
        }
        QVERIFY(run.wait());
        QCOMPARE(client.sent.size(), 200);
        QCOMPARE(client.maxOpen, 32);
        QCOMPARE(run.rows.size(), 200);
    }

    void waitingRowsGoInRowOrder()
    {
        FakeClient client;
        Run run(&client);
        run.check.setMaxInFlight(5);
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
        QVERIFY(run.check.start(rowsFor(fake("a1 b2 c3 d4 e5 f6"), 10)));
        QCOMPARE(client.open().size(), 6);
        // Later rows answer first (row 13 with no answer at all): nothing may come before row
        // 10. Rows 12 and 14 answer from inside the handlers' nested loops.
        for (int i : {5, 3, 1})
            client.sent[i]->answer(i == 3 ? HttpAnswer() : answered(200));
        QTest::qWait(50);
        QVERIFY(run.rows.isEmpty());
        client.sent[0]->answer(answered(200));
        QVERIFY(run.wait());
        QCOMPARE(run.rows, (QList<int> {10, 11, 12, 13, 14, 15}));
        QCOMPARE(deepest, 1);
        QCOMPARE(verdictOf(run.results.value(13)), QString("× 0 no answer"));
        QCOMPARE(run.progress.last(), (QList<int> {6, 6, 1}));
    }
};

QTEST_GUILESS_MAIN(TstLinkCheck)
#include "tst_linkcheck.moc"
