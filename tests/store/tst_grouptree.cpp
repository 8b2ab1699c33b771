#include "store/GroupTree.h"

#include <QTest>

#include <algorithm>

// The folder tree the group names make.
class TestGroupTree : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void paths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("one") << "技術" << QStringList {"技術"};
        QTest::newRow("nested") << "技術/Qt/6" << QStringList {"技術", "Qt", "6"};
        QTest::newRow("slash in a name") << "a∕b/c" << QStringList {"a/b", "c"};
    }
    void paths()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, names);
        QCOMPARE(GroupTree::split(path), names);
        QCOMPARE(GroupTree::join(names), path);
    }

    void moved_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("result"); // empty: not within
        QTest::newRow("the folder") << "技術"
                                    << "技術"
                                    << "Tech"
                                    << "Tech";
        QTest::newRow("below") << "技術/Qt/6"
                               << "技術"
                               << "Tech"
                               << "Tech/Qt/6";
        QTest::newRow("letter case") << "TECH/Qt"
                                     << "tech"
                                     << "Tech"
                                     << "Tech/Qt";
        QTest::newRow("deeper folder") << "a/b/c"
                                       << "A/B"
                                       << "X/Y/Z"
                                       << "X/Y/Z/c";
        QTest::newRow("name that only starts alike") << "技術書/Qt"
                                                     << "技術"
                                                     << "T"
                                                     << "";
        QTest::newRow("slash in a name is no folder") << "a∕b"
                                                      << "a"
                                                      << "T"
                                                      << "";
    }
    void moved()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(QString, to);
        QFETCH(QString, result);
        QCOMPARE(GroupTree::isWithin(path, folder), !result.isEmpty());
        if (!result.isEmpty())
            QCOMPARE(GroupTree::moved(path, folder, to), result);
    }

    // Parents without a group of their own are folders; siblings by the first group of their
    // subtree in the list's order (sort key, then name); case twins are one folder.
    void tree()
    {
        const GroupTree t({{0, "未分類", 0},
                           {1, "B/y", 5},
                           {2, "A/x/deep", 1},
                           {3, "b", 9},
                           {4, "A", 3},
                           {5, "A/w", 3},
                           {6, "a/X", 2},
                           {7, "C∕D", 4}});
        QStringList got;
        for (const GroupTree::Node &n : t.nodes()) {
            QStringList groups;
            for (const qint64 g : n.groups)
                groups << QString::number(g);
            got << QStringLiteral("%1%2 %3 [%4] %5")
                       .arg(QString(2 * (n.depth - 1), u' '), n.name, n.path, groups.join(u','))
                       .arg(n.end);
        }
        const QStringList want {"A A [4] 4",     "  x A/x [6] 3", "    deep A/x/deep [2] 3",
                                "  w A/w [5] 4", "C∕D C∕D [7] 5", "B B [3] 7",
                                "  y B/y [1] 7"};
        QCOMPARE(got, want);
        QCOMPARE(t.indexOf("a/x/DEEP"), 2);
        QCOMPARE(t.groupsWithin(t.indexOf("a")), (QList<qint64> {4, 6, 2, 5}));
        QCOMPARE(t.groupsWithin(t.indexOf("B")), (QList<qint64> {3, 1}));
    }

    // What the list and the search keep to for the selector's text: a folder alone, a folder
    // with its subtree, case twins, a folder without a group, a name that is no folder.
    void scopeOf_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<qint64>("nGrp");
        QTest::addColumn<bool>("below");
        QTest::addColumn<QList<qint64>>("groups"); // sorted; {-1}: every group
        QTest::newRow("group alone") << "技術" << 1LL << false << QList<qint64> {1};
        QTest::newRow("subtree") << "技術" << 1LL << true << QList<qint64> {1, 2, 3};
        QTest::newRow("case twins below") << "Tech" << 8LL << true << QList<qint64> {8, 9, 10};
        QTest::newRow("folder without group") << "趣味" << 0LL << false << QList<qint64> {};
        QTest::newRow("its subtree") << "趣味" << 0LL << true << QList<qint64> {5};
        QTest::newRow("unknown name") << "技術/Q" << 0LL << true << QList<qint64> {-1};
    }
    void scopeOf()
    {
        QFETCH(QString, chosen);
        QFETCH(qint64, nGrp);
        QFETCH(bool, below);
        QFETCH(QList<qint64>, groups);
        const GroupTree tree({{1, "技術", 1},
                              {2, "技術/Qt", 2},
                              {3, "技術/Qt/6", 3},
                              {5, "趣味/旅", 5},
                              {7, "技術書", 7},
                              {8, "tech", 8},
                              {9, "TECH", 9},
                              {10, "Tech/x", 10}});
        const GroupTree::Scope scope = tree.scopeOf(chosen, nGrp, below);
        QList<qint64> got(scope.groups.cbegin(), scope.groups.cend());
        std::sort(got.begin(), got.end());
        QCOMPARE(scope.all ? QList<qint64> {-1} : got, groups);
    }
};

QTEST_GUILESS_MAIN(TestGroupTree)
#include "tst_grouptree.moc"
