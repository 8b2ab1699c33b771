#include "check/CheckHistory.h"
#include "check/CheckRun.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/LoopbackServer.h"
#include "support/SqlLines.h"

#include <QTemporaryDir>
#include <QTest>

// One check run over a real database and a loopback server: which links, each result with its
// mark, the history it leaves, a stop, and a history that cannot be written.
class TestCheckRun : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    LoopbackServer m_server;

    static QList<int> numbers(const QList<CheckRun::Link> &links)
    {
        QList<int> out;
        for (const CheckRun::Link &l : links)
            out << l.nURL;
        return out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.setPage("/ok", "<html>ok</html>");
        m_server.setRedirect("/old", "/ok", 301);
        m_server.setRoute("/gone", {.status = 404});
        m_server.setRoute("/busy", {.status = 503});
        m_server.setRoute("/silent", {.silent = true});
        QVERIFY(Store::OpenDb(m_tmp.filePath(QStringLiteral("dbLink.mdb"))));
        SqlSteps::exec(Sql::kInsertGroup, {1, QStringLiteral("News"), 1});
        SqlSteps::exec(Sql::kInsertGroup, {2, QStringLiteral("Other"), 2});
        const QList<QVariantList> links {
            {105, m_server.url(QStringLiteral("/gone")), 1},
            {101, m_server.url(QStringLiteral("/old")), 1},
            {103, QStringLiteral("not\tan address"), 0},
            {102, m_server.url(QStringLiteral("/busy")), 2},
            {104, m_server.url(QStringLiteral("/ok")), 9}, // its group row is missing
        };
        for (const QVariantList &l : links)
            SqlSteps::exec(Sql::kInsertLink, {l[0], l[1], l[2], QStringLiteral("t"), QString(), 1});
    }
    void cleanupTestCase() { Store::CloseDb(); }
    void init() { SqlSteps::exec(QStringLiteral("Delete From tURLCheck")); }

    void whichLinks()
    {
        QList<CheckRun::Link> links;
        QVERIFY(CheckRun::allLinks(links));
        QCOMPARE(numbers(links), (QList<int> {101, 102, 103, 104, 105}));
        for (const auto &[nGrp, expected] :
             QList<std::pair<int, QList<int>>> {{1, {101, 105}}, {0, {103}}, {9, {104}}, {7, {}}}) {
            QVERIFY(CheckRun::linksOfGroup(nGrp, links));
            QCOMPARE(numbers(links), expected);
        }
        // Nothing to check is a run that ends at once.
        CheckRun run;
        QVERIFY(run.run(links));
        QVERIFY(run.results().isEmpty() && !run.stopped());
    }

    // Every link: a result and a mark each, the history's dead run taken into account, and
    // every result recorded; the grid's load finds the same marks in the history.
    void everyLink()
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        SqlSteps::exec(QStringLiteral("Insert Into tURLCheck (nURL, nAt, nVerdict, nStatus) Values "
                                      "(105, %1, 1, 404), (103, %2, 1, 0)")
                           .arg(now - 2 * 86400)
                           .arg(now - 3600));
        CheckRun run;
        run.engine().setBackoffBaseMs(10);
        QList<QList<int>> progress;
        connect(&run, &CheckRun::progress, this, [&](int checked, int total, int dead) {
            progress.append({checked, total, dead});
        });
        int signalled = 0;
        connect(&run, &CheckRun::checked, this, [&] { ++signalled; });
        QList<CheckRun::Link> links;
        QVERIFY(CheckRun::allLinks(links));
        QString error;
        QVERIFY2(run.run(links, &error), qPrintable(error));
        QHash<int, QString> marks;
        for (const CheckRun::Checked &c : run.results())
            marks.insert(c.nURL, c.mark);
        const QString base = m_server.url(QString()), ok = base + "/ok";
        // Moved for good, uncertain, dead again within the day, alive, dead for two days.
        const QHash<int, QString> expected {
            {101, "→"}, {102, "△"}, {103, "×"}, {104, "◎"}, {105, "××"}};
        QCOMPARE(marks, expected);
        QCOMPARE(signalled, 5);
        QCOMPARE(run.deadCount(), 2);
        QCOMPARE(progress.size(), 5);
        QCOMPARE(progress.last(), (QList<int> {5, 5, 2}));
        QVERIFY(!run.stopped());
        QCOMPARE(SqlLines::of("Select nURL, nVerdict, nStatus, sFinal, sMoved From tURLCheck "
                              "Where nAt > strftime('%s','now') - 60 Order By nURL"),
                 (QStringList {"101|0|200|" + ok + "|" + ok, "102|2|503|" + base + "/busy|",
                               "103|1|0|not\tan address|", "104|0|200|" + ok + "|",
                               "105|1|404|" + base + "/gone|"}));
        QHash<qint64, CheckHistory::Latest> latest;
        QVERIFY(CheckHistory::readLatest(latest));
        QCOMPARE(latest.size(), 5);
        for (auto l = latest.cbegin(); l != latest.cend(); ++l)
            QCOMPARE(l->mark(), expected.value(l.key()));
        QCOMPARE(latest.value(101).last.movedTo, ok);
    }

    // Stopped after the first answer: what was checked is kept and recorded, nothing else is
    // asked any more (a retry that was due neither), and no connection is left open.
    void stopKeepsWhatWasChecked()
    {
        m_server.resetCounts();
        m_server.setRoute("/500", {.status = 500});
        CheckRun run;
        run.engine().setBackoffBaseMs(300);
        connect(&run, &CheckRun::checked, &run, &CheckRun::stop);
        QList<CheckRun::Link> links {
            {1, m_server.url("/silent")}, {2, m_server.url("/500")}, {3, m_server.url("/ok")}};
        QVERIFY(run.run(links));
        QVERIFY(run.stopped());
        QCOMPARE(run.results().size(), 1);
        QCOMPARE(run.results().first().nURL, 3);
        QCOMPARE(SqlLines::of("Select nURL From tURLCheck"), QStringList {"3"});
        QVERIFY(QTest::qWaitFor([this] { return m_server.openConnections() == 0; }));
        const int seen = int(m_server.requests().size());
        QTest::qWait(700); // the retry of /500 was due after 300 ms
        QCOMPARE(int(m_server.requests().size()), seen);
    }

    // Results that cannot be recorded are still returned, and the failure is named.
    void unrecordedResults()
    {
        SqlSteps::exec(QStringLiteral("Create Trigger refuse Before Insert On tURLCheck When "
                                      "New.nURL = 105 Begin Select Raise(Abort, 'refused'); End"));
        CheckRun run;
        run.engine().setMaxRetries(0);
        QList<CheckRun::Link> links;
        QVERIFY(CheckRun::linksOfGroup(1, links));
        QString error;
        QVERIFY(!run.run(links, &error));
        SqlSteps::exec(QStringLiteral("Drop Trigger refuse"));
        QVERIFY2(error.startsWith(QStringLiteral("ﾁｪｯｸ結果を記録できませんでした: "))
                     && error.contains(QStringLiteral("refused")),
                 qPrintable(error));
        QCOMPARE(run.results().size(), 2);
        QCOMPARE(SqlLines::of("Select count(*) From tURLCheck"), QStringList {"0"});
    }

    // Seconds with two decimals, rounded; the address's control characters stay on the line.
    void lineFields()
    {
        CheckRun::Checked c;
        c.nURL = 7;
        c.result.verdict = LinkResult::Verdict::Uncertain;
        c.result.status = 503;
        c.result.finalAddress = QStringLiteral("http://a/\r\nb\x7f");
        for (const auto &[ms, seconds] : QList<std::pair<qint64, QString>> {
                 {7035, "7.04"}, {60, "0.06"}, {4, "0.00"}, {87000, "87.00"}, {-5, "0.00"}}) {
            c.result.elapsedMs = ms;
            QCOMPARE(c.line(), "7\tuncertain\t503\thttp://a/%0D%0Ab%7F\t" + seconds);
        }
    }
};

QTEST_GUILESS_MAIN(TestCheckRun)
#include "tst_checkrun.moc"
