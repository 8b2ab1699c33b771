#include "bookmarks/BookmarkTransfer.h"
#include "collection/CollectionIndex.h"
#include "collection/GroupFolders.h"
#include "collection/LinkList.h"
#include "collection/MaintenanceSave.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/SqlSteps.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A Firefox export: toolbar and other roots, an empty folder, "/" in a name, a case twin, tags.
const QByteArray kFirefox
    = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/ht"
      "ml; charset=UTF-8\">\n<H1>Bookmarks Menu</H1>\n<DL><p>\n<DT><H3 PERSONAL_TOOLBAR_FOLDER="
      "\"true\">Bookmarks Toolbar</H3>\n<DL><p>\n<DT><A HREF=\"https://qt.io/\" ADD_DATE=\"1600"
      "000001\" TAGS=\"qt,c++\">Qt</A>\n<DD>The Qt site\n<DT><H3>Empty</H3>\n<DL><p>\n</DL><p>"
      "\n<DT><H3>TCP/IP</H3>\n<DL><p>\n<DT><A HREF=\"https://tcp.example/\" ADD_DATE=\"16000000"
      "02\">TCP</A>\n<DT><H3>Deep</H3>\n<DL><p>\n<DT><A HREF=\"https://deep.example/\">Deep</A>"
      "\n</DL><p>\n</DL><p>\n<DT><H3>tcp/ip</H3>\n<DL><p>\n<DT><A HREF=\"https://tcp2.example/"
      "\">TCP 2</A>\n</DL><p>\n</DL><p>\n<DT><H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Other Bookma"
      "rks</H3>\n<DL><p>\n<DT><A HREF=\"https://other.example/\" TAGS=\"misc\">Other</A>\n</DL>"
      "<p>\n<DT><A HREF=\"https://root.example/\">Root</A>\n</DL><p>\n";

} // namespace

// A browser's file imported as a tree, listed by folder with what lies below, and exported
// so that importing the export into an empty collection gives the same file again.
class TestGroupFolders : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    int m_n = 0;

    QString path(const char *name) { return m_tmp.filePath(QString::fromLatin1(name)); }
    void freshDb()
    {
        Store::CloseDb();
        const QString db = m_tmp.filePath(QStringLiteral("db%1/dbLink.mdb").arg(++m_n));
        QDir().mkpath(QFileInfo(db).path());
        QString error;
        QVERIFY2(Store::OpenDb(db, &error), qPrintable(error));
    }
    void import(const QString &file, const QString &counts = {})
    {
        BookmarkTransfer t;
        QString error;
        QVERIFY2(t.read(file, &error), qPrintable(error));
        if (!counts.isEmpty())
            QVERIFY2(t.counts().endsWith(counts), qPrintable(t.counts()));
        QCOMPARE(t.write({}, &error), BookmarkTransfer::Result::Written);
    }

    // Each folder of the collection's tree: path, links, links below.
    static QString folders(GroupTree &tree)
    {
        std::vector<GroupFolders::Count> counts;
        if (!GroupFolders::load(tree) || !GroupFolders::count(tree, counts))
            return QStringLiteral("unreadable");
        QStringList shown;
        for (size_t i = 0; i < counts.size(); ++i)
            shown << QStringLiteral("%1 %2 %3")
                         .arg(tree.nodes()[i].path)
                         .arg(counts[i].links)
                         .arg(counts[i].below);
        return shown.join(u'|');
    }

private Q_SLOTS:
    void cleanup() { Store::CloseDb(); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Netscape") << "out.html";
        QTest::newRow("XBEL") << "out.xbel";
    }
    void roundTrip()
    {
        QFETCH(QString, name);
        freshDb();
        TestFiles::write(path("ff.html"), kFirefox);
        import(path("ff.html"), QStringLiteral("大文字小文字だけ違う名前でまとめたﾌｫﾙﾀﾞ　1 件"));

        GroupTree tree;
        QCOMPARE(folders(tree),
                 "Bookmarks Toolbar 1 3|Bookmarks Toolbar/Empty 0 0|Bookmarks "
                 "Toolbar/TCP∕IP 2 1|Bookmarks Toolbar/TCP∕IP/Deep 1 0|Other Bookmarks 1 0");
        for (const bool below : {false, true}) {
            std::vector<PackedRow> rows;
            QVERIFY(GroupFolders::loadFolder(tree, 0, below, rows, nullptr));
            QStringList got;
            for (const PackedRow &r : rows)
                got << LinkList::text(r, LinkList::GroupName) + u'|'
                        + LinkList::text(r, LinkList::Title);
            const QStringList want {"Bookmarks Toolbar|Qt", "Bookmarks Toolbar/TCP∕IP|TCP",
                                    "Bookmarks Toolbar/TCP∕IP|TCP 2",
                                    "Bookmarks Toolbar/TCP∕IP/Deep|Deep"};
            QCOMPARE(got, below ? want : want.mid(0, 1));
        }

        // Tags are searched as the description is.
        CollectionIndex index;
        QVERIFY(index.build(nullptr));
        QCOMPARE(index.rowsOf(index.find(u"MISC")).size(), size_t(1));

        const QString first = path("1") + name, second = path("2") + name;
        QString error;
        QVERIFY2(BookmarkTransfer::exportTo(first, nullptr, &error), qPrintable(error));
        freshDb();
        import(first);
        QVERIFY2(BookmarkTransfer::exportTo(second, nullptr, &error), qPrintable(error));
        const QByteArray bytes = TestFiles::read(first);
        QCOMPARE(TestFiles::read(second), bytes);
        const bool xbel = name.endsWith(u"xbel");
        for (const char *kept : {"TCP/IP", "Empty", "The Qt site", "Other Bookmarks", "Deep"})
            QVERIFY2(bytes.contains(kept), kept);
        QVERIFY(bytes.contains(xbel ? "owner=\"Linkwell\" tags=\"qt,c++\"" : "TAGS=\"qt,c++\""));
        QCOMPARE(
            bytes.contains(xbel ? "added=\"2020-09-13T12:26:42Z\"" : "ADD_DATE=\"1600000002\""),
            true);
    }

    // A folder renamed takes its subtree along; onto a path held already it joins that group;
    // a deleted folder takes its subfolders only when asked to.
    void renameSubtree_data()
    {
        QTest::addColumn<QString>("rows"); // number=name, ...
        QTest::addColumn<bool>("deleteBelow");
        QTest::addColumn<int>("carried");
        QTest::addColumn<QString>("groups"); // path links below, after the save
        QTest::newRow("parent renamed")
            << "1=Bar" << false << 3
            << "Bar 1 3|Bar/Empty 0 0|Bar/TCP∕IP 2 1|Bar/TCP∕IP/Deep 1 0|"
               "Other Bookmarks 1 0";
        QTest::newRow("onto a path held: joined")
            << "5=bookmarks toolbar/tcp∕ip" << false << 0
            << "Bookmarks Toolbar 1 4|Bookmarks Toolbar/Empty 0 0|Bookmarks Toolbar/TCP∕IP 3 1|"
               "Bookmarks Toolbar/TCP∕IP/Deep 1 0";
        QTest::newRow("subtree onto another")
            << "3=Other Bookmarks/X" << false << 1
            << "Bookmarks Toolbar 1 0|Bookmarks Toolbar/Empty 0 0|"
               "Other Bookmarks 1 3|Other Bookmarks/X 2 1|"
               "Other Bookmarks/X/Deep 1 0";
        QTest::newRow("deleted with subfolders")
            << "-3" << true << 0
            << "Bookmarks Toolbar 1 0|Bookmarks Toolbar/Empty 0 0|"
               "Other Bookmarks 1 0";
        QTest::newRow("deleted, subfolders kept")
            << "-3" << false << 0
            << "Bookmarks Toolbar 1 1|Bookmarks Toolbar/Empty 0 0|Bookmarks Toolbar/TCP∕IP 0 1|"
               "Bookmarks Toolbar/TCP∕IP/Deep 1 0|Other Bookmarks 1 0";
    }
    void renameSubtree()
    {
        QFETCH(QString, rows);
        QFETCH(bool, deleteBelow);
        QFETCH(int, carried);
        QFETCH(QString, groups);
        freshDb();
        TestFiles::write(path("ff.html"), kFirefox);
        import(path("ff.html"));
        GroupList list;
        QVERIFY(GroupList::load(list));
        MaintenanceSave save(list);
        for (const QString &row : rows.split(u',')) {
            if (row.startsWith(u'-'))
                save.deleted(row.mid(1) + u',', QString());
            else
                save.groupRow("12", row.section(u'=', 0, 0), row.section(u'=', 1), "1");
        }
        QCOMPARE(save.carried(), carried);
        if (deleteBelow)
            save.deleteBelow();
        QString error;
        QVERIFY2(save.apply(m_tmp.path(), &error), qPrintable(error));
        GroupTree tree;
        QCOMPARE(folders(tree), groups);
    }

    // Every folder with its subtree lists what the whole list holds of its groups, folder by
    // folder in tree order and in the list's order within: case twins, shared sort keys, equal
    // titles and groups without links included.
    void subtreeIsTheListByFolder()
    {
        freshDb();
        QRandomGenerator rng(25);
        Sql::Transaction t;
        const QStringList parts {"a", "A", "b", "技術", "ｶﾅ", "カナ"};
        for (int g = 1; g <= 40; ++g) {
            QStringList path;
            for (int d = int(rng.bounded(3)); d >= 0; --d)
                path << parts[int(rng.bounded(parts.size()))];
            SqlSteps::exec(Sql::kInsertGroup, {g, path.join(u'/'), int(rng.bounded(4))});
        }
        for (int n = 100; n < 700; ++n)
            SqlSteps::exec(Sql::kInsertLink,
                           {n, QStringLiteral("http://h/%1").arg(n), int(rng.bounded(42)),
                            parts[int(rng.bounded(6))], QString(), int(rng.bounded(3))});
        QVERIFY(t.commit());
        GroupTree tree;
        std::vector<PackedRow> all;
        QVERIFY(GroupFolders::load(tree) && LinkList::load(false, 0, all));
        const auto &nodes = tree.nodes();
        for (int index = 0; index < int(nodes.size()); ++index) {
            std::vector<std::pair<int, QString>> want; // each link's folder, from its path
            for (const PackedRow &r : all) {
                const int at = tree.indexOf(LinkList::text(r, LinkList::GroupName));
                if (at >= index && at < nodes[size_t(index)].end)
                    want.emplace_back(at, LinkList::text(r, LinkList::Number));
            }
            std::stable_sort(want.begin(), want.end(),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
            std::vector<PackedRow> rows;
            QVERIFY(GroupFolders::loadFolder(tree, index, true, rows));
            QCOMPARE(rows.size(), want.size());
            for (size_t i = 0; i < rows.size(); ++i)
                QCOMPARE(LinkList::text(rows[i], LinkList::Number), want[i].second);
        }
    }
};

QTEST_GUILESS_MAIN(TestGroupFolders)
#include "tst_groupfolders.moc"
