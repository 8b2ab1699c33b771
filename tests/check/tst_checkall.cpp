#include "check/CheckAll.h"
#include "store/LinkStore.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/LoopbackServer.h"
#include "support/SqlSteps.h"

#include <QTemporaryDir>
#include <QTest>

// The headless check over a real database and a loopback server: which links, the lines in
// number order, and the history it leaves.
class TestCheckAll : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    LoopbackServer m_server;

    static QStringList lines(const QList<CheckAll::Row> &rows)
    {
        QStringList out;
        for (const CheckAll::Row &r : rows) {
            QStringList fields = r.line().split(u'\t');
            // The time varies: only its form is fixed.
            if (fields.size() != 5
                || !fields[4].contains(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\d$"))))
                return {QStringLiteral("bad line: ") + r.line()};
            fields.removeLast();
            out << fields.join(u'\t');
        }
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

    // Every link, whatever its group, one line each in number order; the history gets every
    // result with its time, final status and addresses.
    void everyLink()
    {
        CheckAll check;
        check.engine().setBackoffBaseMs(10);
        QList<int> progress;
        QList<CheckAll::Row> rows;
        QString error;
        QVERIFY2(check.run(QString(), rows, &error,
                           [&](int checked, int total, int dead) {
                               QCOMPARE(total, 5);
                               progress << checked << dead;
                           }),
                 qPrintable(error));
        const QString base = m_server.url(QString());
        QCOMPARE(lines(rows),
                 (QStringList {"101\talive\t200\t" + base + "/ok",
                               "102\tuncertain\t503\t" + base + "/busy",
                               "103\tdead\t0\tnot%09an address", "104\talive\t200\t" + base + "/ok",
                               "105\tdead\t404\t" + base + "/gone"}));
        QCOMPARE(progress.size(), 10);
        QCOMPARE(progress.mid(8), (QList<int> {5, 2}));
        QCOMPARE(rows[0].result.movedTo, base + QStringLiteral("/ok"));
        const QString ok = base + "/ok", busy = base + "/busy", gone = base + "/gone";
        QCOMPARE(SqlSteps::rows(QStringLiteral("Select nURL, nVerdict, nStatus, sFinal, sMoved, "
                                               "nAt > 1700000000 From tURLCheck Order By nURL")),
                 (Sql::Rows {{101, 0, 200, ok, ok, 1},
                             {102, 2, 503, busy, QString(), 1},
                             {103, 1, 0, QStringLiteral("not\tan address"), QString(), 1},
                             {104, 0, 200, ok, QString(), 1},
                             {105, 1, 404, gone, QString(), 1}}));
    }

    // One group by its name in any letter case, group 0 by its name; an unknown name checks
    // nothing and says so.
    void oneGroup_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QList<int>>("numbers");
        QTest::newRow("news") << "NEWS" << QList<int> {101, 105};
        QTest::newRow("ungrouped") << "未分類" << QList<int> {103};
        QTest::newRow("empty group") << "Other" << QList<int> {102};
        QTest::newRow("unknown") << "Nope" << QList<int> {};
    }
    void oneGroup()
    {
        QFETCH(QString, group);
        QFETCH(QList<int>, numbers);
        CheckAll check;
        check.engine().setMaxRetries(0);
        QList<CheckAll::Row> rows;
        QString error;
        QCOMPARE(check.run(group, rows, &error), !numbers.isEmpty());
        QList<int> got;
        for (const CheckAll::Row &r : rows)
            got << r.nURL;
        QCOMPARE(got, numbers);
        if (numbers.isEmpty())
            QCOMPARE(error, QStringLiteral("分類がありません: Nope"));
        QCOMPARE(SqlSteps::rows(QStringLiteral("Select count(*) From tURLCheck")),
                 (Sql::Rows {{numbers.size()}}));
    }

    // The time is in seconds, whatever the window shows.
    void lineFields()
    {
        CheckAll::Row row;
        row.nURL = 7;
        row.result.verdict = LinkResult::Verdict::Uncertain;
        row.result.status = 503;
        row.result.finalAddress = QStringLiteral("http://a/\r\nb\x7f");
        row.result.elapsedMs = 7035;
        QCOMPARE(row.line(), QStringLiteral("7\tuncertain\t503\thttp://a/%0D%0Ab%7F\t7.04"));
    }

    // Results that cannot be recorded are still returned, and the failure is named.
    void unrecordedResults()
    {
        SqlSteps::exec(QStringLiteral("Create Trigger refuse Before Insert On tURLCheck When "
                                      "New.nURL = 105 Begin Select Raise(Abort, 'refused'); End"));
        CheckAll check;
        check.engine().setMaxRetries(0);
        QList<CheckAll::Row> rows;
        QString error;
        QVERIFY(!check.run(QStringLiteral("News"), rows, &error));
        SqlSteps::exec(QStringLiteral("Drop Trigger refuse"));
        QVERIFY2(error.startsWith(QStringLiteral("ﾁｪｯｸ結果を記録できませんでした: "))
                     && error.contains(QStringLiteral("refused")),
                 qPrintable(error));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(SqlSteps::rows(QStringLiteral("Select count(*) From tURLCheck")),
                 (Sql::Rows {{0}}));
    }
};

QTEST_GUILESS_MAIN(TestCheckAll)
#include "tst_checkall.moc"
