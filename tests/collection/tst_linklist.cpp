#include "collection/LinkList.h"
#include "store/LinkStore.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/SqlSteps.h"

#include <QTemporaryDir>
#include <QTest>

// The link list's rows and order on a real database.
class TestLinkList : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

    static void group(int n, const QString &name, double sort)
    {
        SqlSteps::exec(Sql::kInsertGroup, {n, name, sort});
    }
    static void link(int n, int grp, const QString &title, double sort)
    {
        QVERIFY(LinkStore::insertLink(
            {n, QStringLiteral("http://x/%1").arg(n), grp, title, QStringLiteral("m"), sort}, 1));
    }
    static QStringList column(const std::vector<PackedRow> &rows, LinkList::Column col)
    {
        QStringList out;
        for (const PackedRow &r : rows)
            out << LinkList::text(r, col);
        return out;
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_tmp.filePath(QStringLiteral("dbLink.mdb")));
        QVERIFY(Store::OpenDb(m_tmp.filePath(QStringLiteral("dbLink.mdb"))));
    }
    void cleanup() { Store::CloseDb(); }

    // The order is the engine's own joined listing, row for row: groups by sort key and name
    // (ties, letter case and width included), links by sort key and title.
    void orderIsTheEngines()
    {
        const QStringList groupNames {"beta", "Alpha",  "alpha2", "Ａｌｐｈａ",
                                      "ｶﾞﾙ",  "_under", "ALPHA",  "alpha"};
        const QStringList titles {"Title of the page A",
                                  "title of the page b",
                                  "Title of the page ä",
                                  "Title of the page \U0001F600",
                                  "Title of the page \uFF21",
                                  "",
                                  "ｱ",
                                  "ア",
                                  "Zed"};
        for (int g = 0; g < groupNames.size(); ++g)
            group(g + 1, groupNames[g], g % 2 ? 5 : 7);
        // Several titles in each group and sort key, so that the titles' own order shows.
        for (int i = 0; i < 150; ++i)
            link(100 + i, i % 9, titles[(i + i / 27) % titles.size()], (i / 9) % 3);
        link(999, 42, QStringLiteral("no group row"), 0);
        const Sql::Rows expected
            = SqlSteps::rows(QString::fromUtf8(Sql::kLinksByGroup) + QStringLiteral(", U.nURL"));
        std::vector<PackedRow> rows;
        QVERIFY(LinkList::load(false, 0, rows));
        QCOMPARE(int(rows.size()), int(expected.size()));
        for (size_t r = 0; r < rows.size(); ++r) {
            QCOMPARE(LinkList::text(rows[r], LinkList::Number), expected[r].value(0).toString());
            QCOMPARE(LinkList::text(rows[r], LinkList::GroupName), expected[r].value(2).toString());
            QCOMPARE(LinkList::text(rows[r], LinkList::Title), expected[r].value(3).toString());
        }
    }

    void selections()
    {
        group(1, QStringLiteral("News"), 20);
        group(2, QStringLiteral("Blogs"), 10);
        for (int n = 100; n < 160; ++n)
            link(n, n % 3, QStringLiteral("t%1").arg(n), 1);
        std::vector<PackedRow> rows;
        QVERIFY(LinkList::load(false, 2, rows));
        QCOMPARE(int(rows.size()), 20);
        QVERIFY(column(rows, LinkList::GroupName).count(QStringLiteral("Blogs")) == 20);
        // The fifty newest, whatever the group.
        QVERIFY(LinkList::load(true, 2, rows));
        QCOMPARE(int(rows.size()), 50);
        QCOMPARE(LinkList::text(rows.front(), LinkList::Number), QStringLiteral("159"));
        QCOMPARE(LinkList::text(rows.back(), LinkList::Number), QStringLiteral("110"));
        // A filter chooses by number before the newest fifty are taken.
        QVERIFY(LinkList::load(true, 0, rows, nullptr, [](qint64 n) { return n % 10 == 0; }));
        QCOMPARE(column(rows, LinkList::Number),
                 (QStringList {"150", "140", "130", "120", "110", "100"}));
        QVERIFY(LinkList::load(false, 0, rows, nullptr, [](qint64 n) { return n == 101; }));
        QCOMPARE(LinkList::toListRow(rows.front()).sGrp, QStringLiteral("Blogs"));
        // A failing read leaves the rows as they were.
        SqlSteps::exec(QStringLiteral("Drop Table mGrp"));
        QString error;
        QVERIFY(!LinkList::load(false, 0, rows, &error));
        QVERIFY(error.contains(QStringLiteral("mGrp")));
        QCOMPARE(int(rows.size()), 1);
    }

    // The window's first screen is the whole list's beginning, whatever the count: groups tied
    // in sort key and name mix, titles tie without case, links without a title.
    void firstScreenBeginsTheList_data()
    {
        QTest::addColumn<int>("count");
        for (const int count : {1, 7, 40, 149, 1000})
            QTest::addRow("%d", count) << count;
    }
    void firstScreenBeginsTheList()
    {
        QFETCH(int, count);
        const QStringList groupNames {"beta", "Alpha", "ALPHA", "alpha", "ｶﾞﾙ"};
        for (int g = 0; g < groupNames.size(); ++g)
            group(g + 1, groupNames[g], g < 4 ? 5 : 1);
        const QStringList titles {"b", "A", "a", "", "ア", "B"};
        for (int i = 0; i < 140; ++i)
            link(100 + i, 1 + i % 6, titles[(i / 6) % titles.size()], (i / 7) % 3 - 1);
        for (int i = 0; i < 10; ++i) // no title
            SqlSteps::exec(Sql::kInsertLink,
                           {300 + i, QStringLiteral("http://y/%1").arg(i), 1 + i % 5, QVariant(),
                            QVariant(), 0});
        std::vector<PackedRow> all, first;
        QVERIFY(LinkList::load(false, 0, all));
        QVERIFY(LinkList::loadFirst(count, first));
        QCOMPARE(int(first.size()), qMin(count, int(all.size())));
        all.resize(first.size());
        for (const auto c : {LinkList::Number, LinkList::GroupName, LinkList::Title})
            QCOMPARE(column(first, c), column(all, c));
    }

    // Links placed and removed one by one give the list a fresh read gives, numbers past 32
    // bits included (kept in the row, not the key).
    void placedAsRead()
    {
        group(1, QStringLiteral("b"), 2);
        group(2, QStringLiteral("a"), 2);
        const qint64 numbers[] {5, 4294967295LL, 4294967294LL, 9000000000LL, 77, 12};
        for (size_t i = 0; i < std::size(numbers); ++i) {
            link(0, 1 + int(i % 2), QStringLiteral("t%1").arg(i % 3), 1);
            SqlSteps::exec(QStringLiteral("Update tURL Set nURL = ? Where nURL = 0"), {numbers[i]});
        }
        LinkList::Ordered list;
        QVERIFY(LinkList::loadAll(list));
        LinkRecord moved {9000000000LL,         QStringLiteral("http://x/0"), 2,
                          QStringLiteral("t9"), QStringLiteral("m"),          0};
        list.place(moved.nURL, moved.sURL, moved.nGrp, moved.sNam, moved.sMem, moved.gSrt);
        QVERIFY(LinkStore::updateLink(moved));
        list.remove(4294967294LL);
        SqlSteps::exec(QStringLiteral("Delete From tURL Where nURL = 4294967294"));
        list.place(3, QStringLiteral("http://none"), 99, QStringLiteral("x"), {}, 0); // no group
        LinkList::Ordered read;
        QVERIFY(LinkList::loadAll(read));
        QCOMPARE(list.rows.size(), read.rows.size());
        for (size_t i = 0; i < read.rows.size(); ++i) {
            QCOMPARE(list.number(i), read.number(i));
            QCOMPARE(list.group(i), read.group(i));
            for (const auto c : {LinkList::Number, LinkList::GroupName, LinkList::Title})
                QCOMPARE(LinkList::text(list.rows[i], c), LinkList::text(read.rows[i], c));
        }
        QCOMPARE(read.find(9000000000LL), qsizetype(0));
        QCOMPARE(read.find(4294967294LL), qsizetype(-1));
        QCOMPARE(read.number(size_t(read.find(4294967295LL))), 4294967295LL);
    }

    // The whole list's rows hold an address only where the title is empty (shown in its
    // place); the address and the outputs' rows read the others, one by one or in one pass.
    void addressesLeftOut_data()
    {
        QTest::addColumn<int>("links");
        QTest::newRow("few") << 3;
        QTest::newRow("many") << 300;
    }
    void addressesLeftOut()
    {
        QFETCH(int, links);
        group(1, QStringLiteral("g"), 1);
        for (int i = 1; i <= links; ++i)
            link(i, 1, i == 2 ? QString() : QStringLiteral("t%1").arg(i), 1);
        LinkList::Ordered list;
        QVERIFY(LinkList::loadAll(list));
        std::vector<PackedRow> first, whole;
        QVERIFY(LinkList::loadFirst(links, first));
        QVERIFY(LinkList::load(false, 1, whole));
        const QList<ListRow> outputs = LinkList::toListRows(list.rows);
        QCOMPARE(outputs.size(), links);
        for (size_t i = 0; i < list.rows.size(); ++i) {
            const qint64 n = list.number(i);
            const QString stored = QStringLiteral("http://x/%1").arg(n);
            QCOMPARE(LinkList::text(list.rows[i], LinkList::Address), n == 2 ? stored : QString());
            QCOMPARE(LinkList::cell(first[i], LinkList::Address),
                     LinkList::cell(list.rows[i], LinkList::Address));
            QCOMPARE(LinkList::text(whole[i], LinkList::Address), stored); // one group's list
            QCOMPARE(LinkList::address(list.rows[i]), stored);
            QCOMPARE(outputs[qsizetype(i)].sURL, stored);
            QCOMPARE(outputs[qsizetype(i)].nURL, QString::number(n));
        }
        // A link deleted meanwhile has no address.
        SqlSteps::exec(QStringLiteral("Delete From tURL Where nURL = 1"));
        QCOMPARE(LinkList::address(list.rows[size_t(list.find(1))]), QString());
    }
};

QTEST_GUILESS_MAIN(TestLinkList)
#include "tst_linklist.moc"
