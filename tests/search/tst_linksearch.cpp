#include "search/LinkSearch.h"
#include "search/SearchText.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <map>

namespace {

struct Link
{
    qint64 number;
    QString address, title, description;
};

// Keeps the UTF-8 texts alive while the index reads them.
struct Collection
{
    std::map<qint64, std::array<QByteArray, 3>> texts;

    LinkSearch::Fields fields(qint64 n) const
    {
        const auto &t = texts.at(n);
        return {n, t[0], t[1], t[2]};
    }
    LinkSearch::Fields put(const Link &l)
    {
        texts[l.number] = {l.address.toUtf8(), l.title.toUtf8(), l.description.toUtf8()};
        return fields(l.number);
    }
};

void rebuild(LinkSearch &index, Collection &c, const QList<Link> &links)
{
    std::vector<LinkSearch::Fields> fields;
    for (const Link &l : links)
        fields.push_back(c.put(l));
    index.rebuild(fields);
}

const QList<Link> &sample()
{
    static const QList<Link> links {
        {3, "https://www.qt.io/product", "Qt | Cross-platform software",
         "The Qt Company 公式サイト"},
        {7, "https://ja.wikipedia.org/wiki/%E6%8A%80%E8%A1%93", "技術 - Wikipedia",
         "技術（ぎじゅつ）とは"},
        {1, "http://example.jp/test", "ﾃｽﾄ用のﾍﾟｰｼﾞ", "ＱＴ入門 第①回"},
        {12, "https://news.example.com/a?id=5", "ガイド一覧", "初心者向けガイド 😀"},
        {5, "https://blog.example.net/foo", "foo", "bar BAZ"},
    };
    return links;
}

std::vector<qint64> v(std::initializer_list<qint64> l)
{
    return l;
}

std::vector<qint32> at(std::initializer_list<qint32> l)
{
    return l;
}

} // namespace

class TestLinkSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void find_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<std::vector<qint64>>("numbers"); // in list order (as given to rebuild)
        // Width and case folding are the folded text's own rows; here the index must find what the
        // fold gives, in any field, every word, in the list's order.

        QTest::newRow("title, any case") << "QT" << v({3, 1});
        QTest::newRow("one kanji") << "技" << v({7});
        QTest::newRow("one letter, of a capital") << "z" << v({5});
        QTest::newRow("address") << "news.example" << v({12});
        QTest::newRow("decoded address") << "wiki/技術" << v({7});
        QTest::newRow("encoded address as shown") << "%E6%8A%80" << v({7});
        QTest::newRow("two words") << "example ガイド" << v({12});
        QTest::newRow("words in different fields") << "blog baz" << v({5});
        QTest::newRow("not across fields") << "foobar" << v({});
        QTest::newRow("not across the words of a field") << "barbaz" << v({});
        QTest::newRow("one word missing") << "qt ガイド" << v({});
        QTest::newRow("same word twice") << "ガイド ガイド" << v({12});
        QTest::newRow("word inside another") << "ガイ ガイド" << v({12});
        QTest::newRow("everyone") << "e" << v({3, 7, 1, 12, 5});
        QTest::newRow("empty query: all") << "　" << v({3, 7, 1, 12, 5});
    }
    void find()
    {
        QFETCH(QString, query);
        QFETCH(std::vector<qint64>, numbers);

        LinkSearch index;
        Collection c;
        rebuild(index, c, sample());
        const SearchResult r = index.find(query);
        QCOMPARE(r.numbers, numbers);
        std::vector<qint32> positions;
        for (const qint64 n : numbers) {
            const auto it = std::find_if(sample().begin(), sample().end(),
                                         [n](const Link &l) { return l.number == n; });
            positions.push_back(qint32(it - sample().begin()));
        }
        QCOMPARE(r.positions, positions);
    }

    void listOrder()
    {
        LinkSearch index;
        Collection c;
        rebuild(index, c, sample());
        const std::vector<qint64> order {12, 5, 1, 7, 3};
        index.setListOrder(order);
        SearchResult r = index.find(u"e");
        QCOMPARE(r.numbers, order);
        QCOMPARE(r.positions, at({0, 1, 2, 3, 4}));

        // A new link has no place in the list yet: it comes last until the list is ordered again.
        index.upsert(c.put({2, "http://e.jp/", "new", ""}));
        r = index.find(u"e");
        QCOMPARE(r.numbers, v({12, 5, 1, 7, 3, 2}));
        QCOMPARE(r.positions, at({0, 1, 2, 3, 4, -1}));
        index.setListOrder(v({2, 12, 5, 1, 7, 3}));
        QCOMPARE(index.find(u"e").numbers, v({2, 12, 5, 1, 7, 3}));

        // A correction keeps the link's place, though its text moves in the index.
        index.upsert(c.put({12, "https://news.example.com/a?id=5", "ガイド一覧（改訂）", ""}));
        QCOMPARE(index.find(u"e").numbers, v({2, 12, 5, 1, 7, 3}));
        // Links the list does not show come after those it does.
        index.setListOrder(v({3, 99, 7}));
        r = index.find(u"e");
        QCOMPARE(r.numbers, v({3, 7, 1, 2, 5, 12}));
        QCOMPARE(r.positions, at({0, 1, -1, -1, -1, -1}));

        // Numbers past 32 bits are links like any other (a database may hold them).
        const qint64 big = qint64(1) << 33;
        index.upsert(c.put({big, "http://e.jp/big", "big", ""}));
        index.setListOrder(v({big, 3}));
        QCOMPARE(index.find(u"big").numbers, v({big}));
        QCOMPARE(index.find(u"e").numbers.front(), big);
        QVERIFY(index.remove(big));
        QVERIFY(!index.contains(big));
        QVERIFY(index.find(u"big").isEmpty());
        // So are negative ones: none stands for a removed link.
        index.upsert(c.put({-1, "http://e.jp/minus", "minus", ""}));
        QCOMPARE(index.find(u"minus").numbers, v({-1}));
        index.setListOrder(v({-1, 3}));
        QCOMPARE(index.find(u"e").numbers.front(), -1);
        QVERIFY(index.remove(-1));
        QVERIFY(index.find(u"minus").isEmpty());
    }

    // Links handed over one at a time, in another order, then ordered as the list shows them:
    // the same results as a rebuild in list order; a failed reading leaves nothing.
    void rebuiltAsRead()
    {
        LinkSearch inOrder, asRead;
        Collection c;
        rebuild(inOrder, c, sample());
        std::vector<qint64> order;
        for (const Link &l : sample())
            order.push_back(l.number);
        QVERIFY(asRead.rebuild(2, 10, [&](const LinkSearch::AddFn &add) {
            for (auto l = sample().crbegin(); l != sample().crend(); ++l)
                add(c.fields(l->number));
            return true;
        }));
        QCOMPARE(asRead.find(u"e").positions, at({-1, -1, -1, -1, -1}));
        asRead.setListOrder(order);
        for (const auto *query : {u"e", u"技術", u"qt ｶﾞｲﾄﾞ", u"foo", u""}) {
            const SearchResult a = inOrder.find(query), b = asRead.find(query);
            QCOMPARE(b.numbers, a.numbers);
            QCOMPARE(b.positions, a.positions);
        }
        QVERIFY(!asRead.rebuild(5, 100, [&](const LinkSearch::AddFn &add) {
            add(c.fields(3));
            return false;
        }));
        QCOMPARE(asRead.size(), 0);
        QVERIFY(asRead.find(u"qt").isEmpty());
    }

    void manyUpdatesKeepResults()
    {
        // Enough corrections and deletions to make the index pack its text again, in between.
        LinkSearch index;
        Collection c;
        QList<Link> links;
        for (int i = 0; i < 400; ++i)
            links.append({i, QStringLiteral("https://site%1.example.com/page").arg(i),
                          QStringLiteral("記事%1 タイトル").arg(i), QString(200, QChar(u'説'))});
        rebuild(index, c, links);
        const size_t before = index.memoryBytes();
        for (int round = 0; round < 20; ++round) {
            for (int i = 0; i < 400; i += 2)
                index.upsert(c.put({i, QStringLiteral("https://site%1.example.com/page").arg(i),
                                    QStringLiteral("記事%1 改訂%2").arg(i).arg(round),
                                    QString(200, QChar(u'説'))}));
        }
        QVERIFY(index.memoryBytes() < before * 3);
        QCOMPARE(index.find(u"改訂19").numbers.size(), size_t(200));
        QVERIFY(index.find(u"改訂18").isEmpty());
        QCOMPARE(index.find(u"タイトル").numbers.size(), size_t(200));
        QCOMPARE(index.find(u"記事398 改訂19").numbers, v({398}));
        QCOMPARE(index.find(u"site399.").numbers, v({399}));
        // Positions survive the moves.
        const SearchResult r = index.find(u"site");
        QCOMPARE(r.numbers.size(), size_t(400));
        for (size_t i = 0; i < r.numbers.size(); ++i) {
            QCOMPARE(r.numbers[i], qint64(i));
            QCOMPARE(r.positions[i], qint32(i));
        }
    }

    void narrowingUsesOnlyCurrentResults()
    {
        LinkSearch index;
        Collection c;
        rebuild(index, c, sample());
        const SearchResult first = index.find(u"ガ");
        QCOMPARE(first.numbers, v({12}));
        QCOMPARE(index.find(u"ガイド", &first).numbers, v({12}));
        // A query that does not only add to the old one looks at everything.
        QCOMPARE(index.find(u"qt", &first).numbers, v({3, 1}));
        // After a registration the old result is stale: the new link is found all the same.
        index.upsert(c.put({30, "http://g.jp/", "ガイドブック", ""}));
        QCOMPARE(index.find(u"ガイド", &first).numbers, v({12, 30}));
        // After a deletion too.
        const SearchResult both = index.find(u"ガイド");
        index.remove(12);
        QCOMPARE(index.find(u"ガイドブ", &both).numbers, v({30}));
        QCOMPARE(index.find(u"ガイド", &both).numbers, v({30}));
    }

    // The index against the rule written plainly, over random texts of the characters Japanese
    // pages mix, through random registrations, corrections and deletions (one by one and several
    // at once), with more distinct characters than the short codes hold: characters no link holds
    // find nothing until a link holds them.
    void agreesWithPlainRule()
    {
        QRandomGenerator rng(14);
        const QString pieces[]
            = {"a",  "B",  "c",  "Q",  "t",  "x", "1",  "２", "Ｑ", "ｔ", "テ", "ﾃ",
               "ス", "ｽ",  "ト", "ｶﾞ", "ガ", "ｶ", "カ", "ﾞ",  "技", "術", "の", "は",
               " ",  "　", "😀",  "①",  "㍻", "Σ", "σ",  "ς",  "-",  "/",  "."};
        auto randomText = [&](int maxLen) {
            QString s;
            const int n = int(rng.bounded(maxLen + 1));
            for (int i = 0; i < n; ++i) {
                if (rng.bounded(8) == 0)
                    s += QChar(
                        char16_t(0x4E00 + rng.bounded(0x5000))); // rare kanji, thousands of them
                else
                    s += pieces[rng.bounded(int(std::size(pieces)))];
            }
            return s;
        };
        LinkSearch index;
        Collection c;
        std::map<qint64, Link> live;
        std::map<qint64, QStringList> folded;
        auto keep = [&](const Link &l) {
            live[l.number] = l;
            folded[l.number] = {SearchText::fold(l.address), SearchText::fold(l.title),
                                SearchText::fold(l.description)};
        };
        auto ruleFinds = [&](const QStringList &words) {
            std::vector<qint64> out;
            for (const auto &[n, fields] : folded) {
                const bool all = std::all_of(words.begin(), words.end(), [&](const QString &w) {
                    return std::any_of(fields.begin(), fields.end(),
                                       [&](const QString &f) { return f.contains(w); });
                });
                if (all)
                    out.push_back(n);
            }
            return out;
        };
        QList<Link> start;
        for (int i = 1; i <= 300; ++i)
            start.append({i, randomText(8), randomText(12), randomText(30)});
        rebuild(index, c, start);
        for (const Link &l : start)
            keep(l);

        int checked = 0;
        for (int round = 0; round < 1500; ++round) {
            const int op = int(rng.bounded(10));
            const qint64 n = qint64(rng.bounded(1, 400));
            if (op < 3) {
                const Link l {n, randomText(8), randomText(12), randomText(30)};
                keep(l);
                index.upsert(c.put(l));
            } else if (op < 4) {
                folded.erase(n);
                QCOMPARE(index.remove(n), live.erase(n) == 1);
            } else if (op < 5) {
                const std::vector<qint64> gone {n, n + 1, 999}; // 999 was never there
                for (const qint64 g : gone) {
                    folded.erase(g);
                    live.erase(g);
                }
                index.remove(gone);
            }
            QCOMPARE(index.size(), qsizetype(live.size()));
            QCOMPARE(index.contains(n), live.count(n) == 1);
            // Queries: a piece of a live text (found at least there) or random words.
            QString query;
            if (!live.empty() && rng.bounded(2)) {
                auto it = live.begin();
                std::advance(it, rng.bounded(int(live.size())));
                const QString &t = rng.bounded(2) ? it->second.description : it->second.title;
                const int from = int(rng.bounded(qMax(1, int(t.size()))));
                query = t.mid(from, int(rng.bounded(1, 5)));
            } else {
                query = randomText(3) + u' ' + randomText(2);
            }
            if (query.size() && query.back().isHighSurrogate())
                query.chop(1);
            if (query.size() && query.front().isLowSurrogate())
                query.remove(0, 1);
            const QStringList words = SearchText::words(query);
            std::vector<qint64> got = index.find(words).numbers;
            std::sort(got.begin(), got.end());
            const std::vector<qint64> expected = ruleFinds(words);
            if (got != expected)
                QFAIL(qPrintable(QStringLiteral("round %1, query \"%2\": %3 links instead of %4")
                                     .arg(round)
                                     .arg(query)
                                     .arg(got.size())
                                     .arg(expected.size())));
            checked += int(!expected.empty());
        }
        QVERIFY(checked > 300); // the queries did find links, not only nothing
        QVERIFY(index.shortCodes() == 2048); // the long codes were in play

        // A maintenance save builds again from the new state; clearing leaves nothing.
        rebuild(index, c, {{5, "https://blog.example.net/foo", "FOO２", "bar"}});
        QCOMPARE(index.find(u"foo2").numbers, v({5}));
    }
};

QTEST_APPLESS_MAIN(TestLinkSearch)
#include "tst_linksearch.moc"
