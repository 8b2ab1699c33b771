#include "store/GroupTree.h"

#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestGroupTree)
#include "tst_grouptree.moc"
