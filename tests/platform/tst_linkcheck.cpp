#include "platform/Clock.h"
#include "platform/LinkCheck.h"
#include "support/LoopbackServer.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

// The link check against a scripted server on 127.0.0.1.
class TestLinkCheck : public QObject
{
    Q_OBJECT
private:
    LoopbackServer m_server;

    // Checks the addresses and returns the results by row.
    QHash<int, LinkCheck::Result> run(const QStringList &urls, int deadlineMs = 20000, bool sequential = false)
    {
        LinkCheck check;
        check.setDeadlineMs(deadlineMs);
        QHash<int, LinkCheck::Result> results;
        connect(&check, &LinkCheck::rowChecked, this,
                [&](int row, const LinkCheck::Result &r) { results.insert(row, r); });
        QSignalSpy done(&check, &LinkCheck::finished);
        QList<LinkCheck::Job> jobs;
        for (int i = 0; i < urls.size(); ++i)
            jobs.append({i + 1, urls[i]});
        check.start(jobs, sequential);
        if (!done.wait(60000))
            qWarning("the check did not finish");
        return results;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.setPage("/ok", "<html>ok</html>");
        m_server.setRedirect("/moved", "/ok");
        m_server.setRedirect("/loop1", "/loop2");
        m_server.setRedirect("/loop2", "/loop1");
        for (int status : {404, 410, 500, 403}) {
            LoopbackServer::Response r;
            r.status = status;
            m_server.setRoute("/s" + QByteArray::number(status), r);
        }
        LoopbackServer::Response silent;
        silent.silent = true;
        m_server.setRoute("/silent", silent);
    }

    void verdicts_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("alive");
        QTest::addColumn<int>("status");
        QTest::newRow("200") << "/ok" << true << 200;
        QTest::newRow("301 to 200") << "/moved" << true << 200;
        QTest::newRow("redirect loop") << "/loop1" << false << 0;
        QTest::newRow("404") << "/s404" << false << 404;
        QTest::newRow("410") << "/s410" << false << 410;
        QTest::newRow("500 stays alive") << "/s500" << true << 500;
        QTest::newRow("403 stays alive") << "/s403" << true << 403;
    }
    void verdicts()
    {
        QFETCH(QString, path);
        QFETCH(bool, alive);
        QFETCH(int, status);
        const auto results = run({m_server.url(path)});
        QVERIFY(results.contains(1));
        const LinkCheck::Result r = results[1];
        QCOMPARE(r.alive, alive);
        QCOMPARE(r.status, status);
        QCOMPARE(r.mark(), alive ? QStringLiteral("◎") : QStringLiteral("×"));
        if (status == 200)
            QVERIFY2(r.headers.contains(QStringLiteral("Content-Type: text/html")), qPrintable(r.headers));
        if (status == 0)
            QCOMPARE(r.headers, QString());
    }

    void headRefusedIsAskedWithGet_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("405") << 405;
        QTest::newRow("501") << 501;
    }
    void headRefusedIsAskedWithGet()
    {
        QFETCH(int, status);
        // A server that answers HEAD with the status and GET with a page.
        LoopbackServer server;
        QVERIFY(server.start());
        LoopbackServer::Response refuse;
        refuse.headStatus = status;
        refuse.body = "<html>page</html>";
        server.setRoute("/page", refuse);
        LinkCheck check;
        QHash<int, LinkCheck::Result> results;
        connect(&check, &LinkCheck::rowChecked, this, [&](int row, const LinkCheck::Result &r) { results.insert(row, r); });
        QSignalSpy done(&check, &LinkCheck::finished);
        check.start({{1, server.url(QStringLiteral("/page"))}});
        QVERIFY(done.wait(20000));
        QCOMPARE(server.requests().value(0).method, QByteArray("HEAD"));
        QCOMPARE(server.requests().value(1).method, QByteArray("GET"));
        QVERIFY(results[1].alive);
        QCOMPARE(results[1].status, 200);
    }

    void noAnswer()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        const auto results = run({m_server.url(QStringLiteral("/silent")),
                                  QStringLiteral("http://127.0.0.1:%1/").arg(port), QString(),
                                  QStringLiteral("not a url"), QStringLiteral("ftp://127.0.0.1/"),
                                  QStringLiteral("http://")},
                                 1000);
        QCOMPARE(results.size(), 6);
        for (int row = 1; row <= 6; ++row) {
            QVERIFY2(!results[row].alive, qPrintable(QString::number(row)));
            QCOMPARE(results[row].headers, QString());
        }
        QVERIFY(results[1].elapsedMs >= 900); // the deadline, not at once
    }

    void timeText()
    {
        qint64 now = 1000;
        Clock::setSource([&] { return now; });
        LinkCheck check;
        LinkCheck::Result got;
        connect(&check, &LinkCheck::rowChecked, this, [&](int, const LinkCheck::Result &r) {
            got = r;
        });
        connect(&check, &LinkCheck::progress, this, [] {});
        QSignalSpy done(&check, &LinkCheck::finished);
        check.start({{1, QStringLiteral("bad address")}});
        now = 1350; // before the check runs from the event loop
        QVERIFY(done.wait(5000));
        Clock::setSource({});
        QCOMPARE(got.elapsedMs, 0); // an invalid address is settled at once
        LinkCheck::Result r;
        r.elapsedMs = 350;
        QCOMPARE(r.tenths(), QStringLiteral("3.5"));
        r.elapsedMs = 0;
        QCOMPARE(r.tenths(), QStringLiteral("0.0"));
        r.elapsedMs = 12345;
        QCOMPARE(r.tenths(), QStringLiteral("123.5"));
    }

    void limitsPerHostAndInAll()
    {
        LoopbackServer::Response slow;
        slow.delayMs = 300;
        slow.body = "slow";
        m_server.setRoute("/slow", slow);
        m_server.resetCounts();
        QStringList urls;
        for (int i = 0; i < 12; ++i) {
            urls << m_server.url(QStringLiteral("/slow"));
            urls << QStringLiteral("http://localhost:%1/slow").arg(m_server.port());
        }
        const auto results = run(urls);
        QCOMPARE(results.size(), 24);
        const QByteArray a = "127.0.0.1:" + QByteArray::number(m_server.port());
        const QByteArray b = "localhost:" + QByteArray::number(m_server.port());
        QVERIFY2(m_server.maxInFlight(a) <= 4 && m_server.maxInFlight(a) > 1, QByteArray::number(m_server.maxInFlight(a)));
        QVERIFY(m_server.maxInFlight(b) <= 4);
        QVERIFY2(m_server.maxInFlightTotal() > 4, QByteArray::number(m_server.maxInFlightTotal())); // both hosts at once
        // One at a time when asked.
        m_server.resetCounts();
        run(urls.mid(0, 4), 20000, true);
        QCOMPARE(m_server.maxInFlightTotal(), 1);
    }

    void cancelStopsAndGivesNoResult()
    {
        LoopbackServer::Response slow;
        slow.delayMs = 2000;
        m_server.setRoute("/slower", slow);
        LinkCheck check;
        int results = 0;
        connect(&check, &LinkCheck::rowChecked, this, [&] { ++results; });
        QSignalSpy done(&check, &LinkCheck::finished);
        QList<LinkCheck::Job> jobs;
        for (int i = 1; i <= 10; ++i)
            jobs.append({i, m_server.url(QStringLiteral("/slower"))});
        check.start(jobs);
        QVERIFY(QTest::qWaitFor([&] { return m_server.requestCount("/slower") >= 4; }, 10000));
        check.cancel();
        QCOMPARE(done.size(), 1);
        QTest::qWait(50);
        QCOMPARE(results, 0);
        QVERIFY(!check.running());
    }
};

QTEST_GUILESS_MAIN(TestLinkCheck)
#include "tst_linkcheck.moc"
