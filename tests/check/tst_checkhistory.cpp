#include "check/CheckHistory.h"

#include <QTest>

// The history rule: how many checks in a row found a link dead, since when, and whether that
// is lasting; and what the grid shows of it.
class TestCheckHistory : public QObject
{
    Q_OBJECT
private:
    static constexpr qint64 kDay = 24 * 60 * 60;

    // Verdicts newest first, as "d@time" (dead), "a@time" (alive), "u@time" (uncertain).
    static QList<CheckRecord> checks(const QStringList &items)
    {
        QList<CheckRecord> out;
        for (const QString &item : items) {
            CheckRecord c;
            c.nURL = 100;
            c.verdict = item[0] == u'd' ? CheckRecord::Dead
                : item[0] == u'a'       ? CheckRecord::Alive
                                        : CheckRecord::Uncertain;
            c.at = item.mid(2).toLongLong();
            out.append(c);
        }
        return out;
    }

private Q_SLOTS:
    void deadRun_data()
    {
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<int>("count");
        QTest::addColumn<qint64>("since");
        QTest::addColumn<bool>("lasting");
        const QString day = QString::number(kDay);
        const QString dayLess = QString::number(kDay - 1);
        QTest::newRow("never checked") << QStringList {} << 0 << qint64(0) << false;
        QTest::newRow("alive now")
            << QStringList {"a@500", "d@400", "d@0"} << 0 << qint64(0) << false;
        QTest::newRow("once dead") << QStringList {"d@" + day, "a@0"} << 1 << kDay << false;
        QTest::newRow("twice, a day apart")
            << QStringList {"d@" + day, "d@0", "a@-5"} << 2 << qint64(0) << true;
        QTest::newRow("twice, a second short of a day")
            << QStringList {"d@" + dayLess, "d@0"} << 2 << qint64(0) << false;
        QTest::newRow("many the same hour")
            << QStringList {"d@300", "d@200", "d@100", "d@0"} << 4 << qint64(0) << false;
        QTest::newRow("uncertain ends the run")
            << QStringList {"d@" + day, "u@" + dayLess, "d@0"} << 1 << kDay << false;
        QTest::newRow("three over days")
            << QStringList {"d@" + QString::number(3 * kDay), "d@" + day, "d@5", "a@0"} << 3
            << qint64(5) << true;
    }
    void deadRun()
    {
        QFETCH(QStringList, history);
        QFETCH(int, count);
        QFETCH(qint64, since);
        QFETCH(bool, lasting);
        const QList<CheckRecord> newestFirst = checks(history);
        const CheckHistory::DeadRun run = CheckHistory::deadRun(newestFirst);
        QCOMPARE(run.count, count);
        QCOMPARE(run.since, since);
        QCOMPARE(run.lasting(), lasting);
        // The grid's load folds the same history oldest first to the same run.
        CheckHistory::Latest latest;
        for (auto c = newestFirst.crbegin(); c != newestFirst.crend(); ++c)
            latest.add(*c);
        QCOMPARE(latest.run.count, count);
        QCOMPARE(latest.run.since, since);
        if (!newestFirst.isEmpty())
            QCOMPARE(latest.mark(), CheckHistory::mark(newestFirst));
        // Only a lasting dead link gets the second mark; "ﾘﾝｸ切れを削除" takes either. (The
        // other marks are the run's test.)
        CheckRecord last;
        QCOMPARE(CheckHistory::mark(last, run),
                 lasting ? QStringLiteral("××") : QStringLiteral("×"));
        QVERIFY(CheckHistory::isDeadMark(CheckHistory::mark(last, run)));
        for (const char *m : {"◎", "→", "△", ""})
            QVERIFY(!CheckHistory::isDeadMark(QString::fromUtf8(m)));
    }

    // Addresses are text, never markup; no answer at all says so.
    void toolTips()
    {
        QCOMPARE(CheckHistory::toolTip({}, QStringLiteral("http://a/"), QString()), QString());
        const qint64 t0 = QDateTime(QDate(2026, 12, 1), QTime(10, 0)).toSecsSinceEpoch();
        const qint64 t1 = QDateTime(QDate(2026, 12, 7), QTime(14, 30)).toSecsSinceEpoch();
        QList<CheckRecord> h = checks({"d@" + QString::number(t1), "d@" + QString::number(t0)});
        h[0].finalAddress = QStringLiteral("http://a/<b>");
        QCOMPARE(
            CheckHistory::toolTip(h, QStringLiteral("http://a/&"), QStringLiteral("http://n/")),
            QStringLiteral("<p style='white-space:pre'>URL: http://a/&amp;<br>"
                           "最終ﾁｪｯｸ: 2026/12/07 14:30  ×  応答なし<br>"
                           "最終URL: http://a/&lt;b&gt;<br>"
                           "ﾘﾝｸ切れ: 2回連続 (2026/12/01 10:00 から)<br>"
                           "移転先: http://n/</p>"));
    }
};

QTEST_GUILESS_MAIN(TestCheckHistory)
#include "tst_checkhistory.moc"
