#include "store/GroupList.h"

#include <QTest>

// Finding a group by its name: the first in the list's order, letter case of every letter ignored.
class TestGroupList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void find_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number"); // -1: none
        QTest::newRow("whole name, not a part") << "News" << 3;
        QTest::newRow("longer name") << "XNews" << 7;
        QTest::newRow("lower sort key first") << "news" << 3;
        QTest::newRow("equal sort keys: name order") << "Blogs" << 5;
        QTest::newRow("letters beyond ASCII") << "ÄRGER" << 8;
        QTest::newRow("listed before group 0") << "Misc" << 9;
        QTest::newRow("unknown") << "Sport" << -1;
        QTest::newRow("all groups") << "*" << -1;
    }
    void find()
    {
        QFETCH(QString, name);
        QFETCH(int, number);
        const GroupList list({{7, "XNews", 1},
                              {4, "news", 30},
                              {3, "NEWS", 2},
                              {6, "blogs", 40},
                              {5, "Blogs", 40},
                              {8, "ärger", 50},
                              {9, "misc", 60},
                              {0, "misc", 0}});
        QCOMPARE(list.find(name).value_or(-1), number);
        QCOMPARE(list.numberOf(name), qMax(number, 0));
        QCOMPARE(list.listed().size(), 7); // group 0 is not listed
        QCOMPARE(list.listed().first().nGrp, 7);
    }

    void appendedGroupsComeLast()
    {
        GroupList list({{1, "Tech", 10}});
        list.append({2, "tech", 0});
        list.append({3, "Ärger", 0});
        QCOMPARE(list.numberOf("TECH"), 1);
        QCOMPARE(list.numberOf("ärger"), 3);
        QCOMPARE(GroupList({{0, "未分類", 0}}).find("未分類"), 0);
        QCOMPARE(GroupList().find("x"), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestGroupList)
#include "tst_grouplist.moc"
