#include "search/SearchDriver.h"

#include <QSignalSpy>
#include <QTest>

namespace {

struct Texts
{
    qint64 number;
    QByteArray address, title, description;
};

void put(LinkSearch &index, const Texts &t)
{
    index.upsert({t.number, t.address, t.title, t.description});
}

std::vector<qint64> numbersOf(const QSignalSpy &spy, int i)
{
    return spy.at(i).at(0).value<SearchResult>().numbers;
}

using V = std::vector<qint64>;

} // namespace

Q_DECLARE_METATYPE(SearchResult)

class TestSearchDriver : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        qRegisterMetaType<SearchResult>();
        m_index.clear();
        put(m_index, {1, "https://qt.io/", "Qt", "フレームワーク"});
        put(m_index, {2, "https://example.jp/", "Qt 入門", "ガイド"});
        put(m_index, {3, "https://example.jp/b", "ブログ", ""});
        m_index.setListOrder(V {1, 2, 3});
    }

    void burstOfKeysSearchesLatestTextOnce()
    {
        SearchDriver driver(m_index);
        QSignalSpy found(&driver, &SearchDriver::found);
        // Keys typed faster than the event loop turns: only the last text is searched.
        for (const QString &typed : {u"q"_qs, u"qt"_qs, u"qt "_qs, u"qt ｶﾞ"_qs})
            driver.setText(typed);
        QCOMPARE(found.count(), 0);
        QTRY_COMPARE(found.count(), 1);
        QCOMPARE(numbersOf(found, 0), V({2}));
        QCOMPARE(driver.result().words, QStringList({"qt", "ガ"}));
        QVERIFY(driver.isActive());
        // One more key: one more search, narrowed to the last result and still right.
        driver.setText(u"qt ｶﾞｲﾄﾞ"_qs);
        QTRY_COMPARE(found.count(), 2);
        QCOMPARE(numbersOf(found, 1), V({2}));
        // A key taken back widens the search again.
        driver.setText(u"q"_qs);
        QTRY_COMPARE(found.count(), 3);
        QCOMPARE(numbersOf(found, 2), V({1, 2}));
        QTest::qWait(20);
        QCOMPARE(found.count(), 3);
    }

    void emptyTextClearsAtOnce()
    {
        SearchDriver driver(m_index);
        QSignalSpy found(&driver, &SearchDriver::found);
        QSignalSpy cleared(&driver, &SearchDriver::cleared);
        driver.setText(u"qt"_qs);
        driver.setText(u"　"_qs); // Escape or a box emptied before the search ran
        QCOMPARE(cleared.count(), 1);
        QVERIFY(!driver.isActive());
        QTest::qWait(20);
        QCOMPARE(found.count(), 0); // the older text's search never runs
        QVERIFY(driver.result().isEmpty());
    }

    void refreshAfterIndexChanges()
    {
        SearchDriver driver(m_index);
        QSignalSpy found(&driver, &SearchDriver::found);
        driver.setText(u"example"_qs);
        QTRY_COMPARE(found.count(), 1);
        QCOMPARE(numbersOf(found, 0), V({2, 3}));
        // A registration: the shown result follows without a key.
        put(m_index, {4, "https://example.jp/c", "新しいページ", ""});
        driver.refresh();
        QTRY_COMPARE(found.count(), 2);
        QCOMPARE(numbersOf(found, 1), V({2, 3, 4}));
        // Typing on after the change must not reuse the result of before it.
        put(m_index, {5, "https://example.jp/cc", "", ""});
        driver.setText(u"example.jp/c"_qs);
        QTRY_COMPARE(found.count(), 3);
        QCOMPARE(numbersOf(found, 2), V({4, 5}));
        // A deletion
        m_index.remove(4);
        driver.refresh();
        QTRY_COMPARE(found.count(), 4);
        QCOMPARE(numbersOf(found, 3), V({5}));
        // Nothing to refresh without a text
        driver.setText(QString());
        driver.refresh();
        QTest::qWait(20);
        QCOMPARE(found.count(), 4);
    }

private:
    LinkSearch m_index;
};

QTEST_GUILESS_MAIN(TestSearchDriver)
#include "tst_searchdriver.moc"
