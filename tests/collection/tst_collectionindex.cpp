#include "collection/CollectionIndex.h"
#include "search/SearchText.h"
#include "store/LinkStore.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/SqlSteps.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

// The collection's search and twins on a real database: built once, then kept right link by
// link, it must always answer as a fresh build would.
class TestCollectionIndex : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

    static QStringList numbersOf(const std::vector<PackedRow> &rows)
    {
        QStringList out;
        for (const PackedRow &r : rows)
            out << LinkList::text(r, LinkList::Number);
        return out;
    }
    static QStringList found(const CollectionIndex &index, const QString &query)
    {
        return numbersOf(index.rowsOf(index.find(query)));
    }
    static void add(qint64 n, const char *url, int grp, const char *title, const char *memo = "")
    {
        QVERIFY(LinkStore::insertLink({n, url, grp, title, memo, 1}, 1));
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_tmp.filePath(QStringLiteral("dbLink.mdb")));
        QVERIFY(Store::OpenDb(m_tmp.filePath(QStringLiteral("dbLink.mdb"))));
        SqlSteps::exec(Sql::kInsertGroup, {1, QStringLiteral("技術"), 20});
        SqlSteps::exec(Sql::kInsertGroup, {2, QStringLiteral("News"), 10});
    }
    void cleanup() { Store::CloseDb(); }

    void searchInListOrder()
    {
        add(100, "https://qt.io/", 1, "Qt 入門", "ﾃｽﾄ");
        add(101, "http://example.org/qt", 2, "Other");
        add(102, "http://x/", 1, "技術の話");
        add(103, "http://y/", 9, "QT without group row");
        CollectionIndex index;
        QVERIFY(index.build());
        QCOMPARE(found(index, QStringLiteral("ＱＴ")),
                 (QStringList {"101", "100"})); // News before 技術
        QCOMPARE(found(index, QStringLiteral("テスト")), QStringList {"100"});
        QCOMPARE(found(index, QStringLiteral("技")),
                 QStringList {"102"}); // titles, not group names
        QCOMPARE(found(index, QStringLiteral("qt　入門")), QStringList {"100"});
        QCOMPARE(found(index, QStringLiteral("nothing here")), QStringList {});
    }

    // Registrations, corrections and deletions applied one by one give what a fresh build
    // gives, rows and order included.
    void followsChanges()
    {
        CollectionIndex kept;
        QVERIFY(kept.build());
        QRandomGenerator rng(7);
        const QStringList words {"alpha", "ベータ", "ｶﾞﾝﾏ", "delta"};
        QList<int> numbers;
        for (int step = 0; step < 120; ++step) {
            const int op = numbers.isEmpty() ? 0 : int(rng.bounded(3));
            LinkRecord l;
            l.nGrp = int(rng.bounded(4)); // 3 has no group row
            l.sNam = words[int(rng.bounded(4))] + QString::number(step % 5);
            l.sMem = words[int(rng.bounded(4))];
            l.gSrt = double(rng.bounded(3));
            if (op == 0) {
                QVERIFY(LinkStore::nextLinkNumber(l.nURL));
                l.sURL = QStringLiteral("http://h/%1").arg(step);
                QVERIFY(LinkStore::insertLink(l, 1));
                numbers << l.nURL;
                kept.saved(l);
            } else if (op == 1) {
                l.nURL = numbers[int(rng.bounded(numbers.size()))];
                l.sURL = QStringLiteral("http://h/c%1").arg(l.nURL);
                QVERIFY(LinkStore::updateLink(l));
                SqlSteps::exec(QStringLiteral("Update tURL Set sURL=? Where nURL=?"),
                               {l.sURL, l.nURL});
                kept.saved(l);
            } else {
                const int n = numbers.takeAt(int(rng.bounded(numbers.size())));
                QVERIFY(LinkStore::deleteLink(n));
                kept.deleted(n);
            }
        }
        CollectionIndex fresh;
        QVERIFY(fresh.build());
        QCOMPARE(numbersOf(kept.allRows()), numbersOf(fresh.allRows()));
        const QStringList queries {QStringLiteral("alpha"), QStringLiteral("ガンマ delta"),
                                   QStringLiteral("h/c"), QString()};
        for (const QString &q : queries)
            QCOMPARE(found(kept, q), found(fresh, q));
    }

    // The one-pass search the command line uses finds what the index finds, in the same order,
    // on random collections of mixed scripts, widths and letter cases.
    void onePassMatchesIndex()
    {
        QRandomGenerator rng(11);
        const QStringList pieces {
            "Qt", "ｶﾞﾝﾏ", "ニュース", "にゅーす", "ＡＢＣ", "abc",    "Straße", "①",   "技術",  " ",
            "\n", "x/y",  "NEWS",     "e\u0301",  "\u212A", "\uFB01", "ﾞ",      "%4C", "\u0130"};
        auto text = [&] {
            QString t;
            for (int i = int(rng.bounded(4)); i > 0; --i)
                t += pieces[int(rng.bounded(pieces.size()))];
            return t;
        };
        for (int n = 100; n < 400; ++n) {
            const QString url = QStringLiteral("http://h%1/").arg(n) + text();
            QVERIFY(LinkStore::insertLink(
                {n, url, int(rng.bounded(4)), text(), text(), double(rng.bounded(3))}, 1));
        }
        CollectionIndex index;
        QVERIFY(index.build());
        QStringList queries = pieces;
        queries << "qt ｶﾞ"
                << "ss"
                << "1"
                << "ab ュー"
                << "h1"
                << ""
                << "Ｑt　技"
                << "e"
                << "k"
                << "fi"
                << "l"
                << "i";
        for (const QString &q : queries) {
            const SearchText::Matcher m(q);
            std::vector<PackedRow> rows;
            QVERIFY(LinkList::loadChosen(
                0, [&](const LinkStore::LinkView &v) { return m.matches(v.sURL, v.sNam, v.sMem); },
                rows));
            QCOMPARE(numbersOf(rows), found(index, q));
        }
    }

    void twins()
    {
        add(100, "https://www.Example.org/page/?utm_source=x", 1, "Page");
        add(101, "http://example.org/other", 9, "No row");
        CollectionIndex index;
        QVERIFY(index.build());
        const auto twins = index.twinsOf(QStringLiteral("http://example.org/page#top"));
        QCOMPARE(twins.size(), size_t(1));
        QCOMPARE(twins.front().nURL, 100);
        QCOMPARE(twins.front().title, QStringLiteral("Page"));
        QCOMPARE(index.twinsOf(QStringLiteral("https://example.org/other/")).front().title,
                 QStringLiteral("No row"));
        QVERIFY(index.twinsOf(QStringLiteral("http://example.org/page2")).empty());
        index.deleted(100);
        QVERIFY(index.twinsOf(QStringLiteral("http://example.org/page")).empty());

        // A number past 32 bits is found, listed and deleted as itself.
        const qint64 big = qint64(1) << 33;
        add(big, "http://example.org/big", 1, "Big");
        QVERIFY(index.build());
        QCOMPARE(found(index, QStringLiteral("big")), QStringList {QString::number(big)});
        QCOMPARE(index.twinsOf(QStringLiteral("http://example.org/big/")).front().nURL, big);
        index.deleted(big);
        QCOMPARE(found(index, QStringLiteral("big")), QStringList {});

        // Keys that only share their hash are no twins, listed or not, read or registered.
        add(1871, "https://example.com/p1871", 1, "One");
        add(295643, "https://example.com/p295643", 9, "Other");
        QVERIFY(index.build());
        index.saved({7, "https://example.com/p295643?", 1, "Saved", "", 1});
        QCOMPARE(index.twinsOf(QStringLiteral("https://example.com/p1871")).size(), size_t(1));
        QCOMPARE(index.twinsOf(QStringLiteral("https://example.com/p295643")).size(), size_t(2));
    }
};

QTEST_GUILESS_MAIN(TestCollectionIndex)
#include "tst_collectionindex.moc"
