#include "collection/CollectionIndex.h"
#include "platform/DataFolder.h"
#include "search/LinkSearch.h"
#include "search/SearchText.h"
#include "search/TextIndex.h"
#include "search/TextPieces.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "store/TextStore.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

// The page-text index on a real file: what a query finds is what a folded substring scan finds.
class TestTextIndex : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;

    // The pages holding every word, each word asked of the table find asks.
    static QList<qint64> found(TextStore &store, const QString &query)
    {
        std::optional<QSet<qint64>> all;
        for (const QString &w : SearchText::words(query)) {
            const TextPieces::Match m = TextPieces::matchOf(w);
            std::vector<TextStore::Scored> rows;
            if (m.text.isEmpty() || !store.scored(m.text, m.table, rows))
                return {-1};
            QSet<qint64> hits;
            for (const TextStore::Scored &r : rows)
                hits.insert(r.nURL);
            all = all ? all->intersect(hits) : hits;
        }
        QList<qint64> out = all ? all->values() : QList<qint64>();
        std::sort(out.begin(), out.end());
        return out;
    }

private Q_SLOTS:
    void finds_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<qint64>>("expected");
        const auto row = [](const char *name, const char *q, QList<qint64> e) {
            QTest::newRow(name) << QString::fromUtf8(q) << e;
        };
        row("half-width kana", "ﾃｽﾄ", {1});
        row("hiragana finds katakana", "てすと", {1});
        row("full-width Latin", "ＡＢＣ", {2});
        row("one kanji, last of its run", "京", {1, 3, 5});
        row("one kanji, alone", "駅", {3});
        row("word inside a run", "京都", {3, 5});
        row("not across two runs", "東京都", {});
        row("across a punctuation mark", "都、駅", {3});
        row("not across a space", "京の", {});
        row("Latin prefix", "abcd", {2});
        row("Latin is no infix", "bcd", {});
        row("every word", "東京 テスト", {1});
        row("a word missing", "東京 駅前", {});
        row("Latin before kanji", "qt入門", {2});
        row("Latin before one kanji", "qt入", {2});
        row("a run, then one kanji", "日(都", {1});
    }
    void finds()
    {
        QFETCH(QString, query);
        QFETCH(QList<qint64>, expected);
        TextStore store(m_tmp.filePath(QStringLiteral("rows.db")), TextPieces::tokenizer());
        QVERIFY2(store.isOpen(), qPrintable(store.error()));
        QVERIFY(store.put(1, QStringLiteral("東京 テストの日(都庁)")));
        QVERIFY(store.put(2, QStringLiteral("ABCDEF と Qt入門 のガイド")));
        QVERIFY(store.put(3, QStringLiteral("京都、駅 東京")));
        QVERIFY(store.put(4, QStringLiteral("消える")));
        QVERIFY(store.put(5, QStringLiteral("東京 京都")));
        QVERIFY(store.remove(4));
        QCOMPARE(found(store, query), expected);
        // Nothing of a removed text in either table.
        QVERIFY(found(store, QStringLiteral("消")).isEmpty());
        QVERIFY(found(store, QStringLiteral("える")).isEmpty());
    }

    // Random texts over a small alphabet, so that queries of 1 to 10 characters hit often.
    void equalsSubstringScan()
    {
        const QString alphabet = QStringLiteral("あいうアイウ東京都駅ーｶﾞガ、 x");
        auto *rng = QRandomGenerator::global();
        const quint32 seed = rng->generate();
        QRandomGenerator r(seed);
        TextStore store(m_tmp.filePath(QStringLiteral("random.db")), TextPieces::tokenizer());
        QVERIFY(store.isOpen());
        QList<QString> texts;
        store.begin();
        for (int i = 0; i < 300; ++i) {
            QString t;
            for (int k = 0, n = int(r.bounded(5, 60)); k < n; ++k)
                t += alphabet.at(int(r.bounded(alphabet.size())));
            texts.append(t);
            QVERIFY(store.put(i + 1, t));
        }
        QVERIFY(store.commit());
        // Texts replaced and removed must leave nothing of themselves in the index.
        const auto randomText = [&] {
            QString t;
            for (int k = 0, n = int(r.bounded(5, 60)); k < n; ++k)
                t += alphabet.at(int(r.bounded(alphabet.size())));
            return t;
        };
        store.begin();
        for (int i = 0; i < 300; i += 3) {
            texts[i] = i % 2 ? QString() : randomText();
            QVERIFY(i % 2 ? store.remove(i + 1) : store.put(i + 1, texts[i]));
        }
        QVERIFY(store.commit());
        const QString cjk = QStringLiteral("あいうアイウ東京都駅ーガ、");
        for (int q = 0; q < 400; ++q) {
            QString query;
            const int len = 1 + q % 10;
            // Half the queries taken from the texts, half made up.
            if (q % 2 == 0) {
                const QString folded = SearchText::fold(texts.at(int(r.bounded(texts.size()))));
                const qsizetype at = r.bounded(int(qMax<qsizetype>(1, folded.size() - len)));
                query = folded.mid(at, len);
                if (query.size() < len || query.contains(u' ') || query.contains(u'x'))
                    continue;
            } else {
                for (int k = 0; k < len; ++k)
                    query += cjk.at(int(r.bounded(cjk.size())));
            }
            const QString folded = SearchText::fold(query);
            QList<qint64> scan;
            for (qsizetype i = 0; i < texts.size(); ++i) {
                if (!texts.at(i).isEmpty() && SearchText::fold(texts.at(i)).contains(folded))
                    scan.append(i + 1);
            }
            QVERIFY2(found(store, query) == scan,
                     qPrintable(QStringLiteral("seed %1 query %2").arg(seed).arg(query)));
        }
    }

    // Through the search the window and find --text run, in a data folder with its links: best
    // first (more hits, then the shorter page), each with the text around its first hit.
    void ranked_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected"); // in order: number, then snippet
        QString words;
        for (int i = 0; i < 400; ++i)
            words += QStringLiteral("w%1 ").arg(i);
        QTest::newRow("more hits first")
            << QStringList {u"東京の大阪の神戸"_s, u"東京の東京の東京"_s} << u"東京"_s
            << QStringList {u"2"_s, u"[東京]の[東京]の[東京]"_s, u"1"_s, u"[東京]の大阪の神戸"_s};
        QTest::newRow("shorter first")
            << QStringList {u"東京 alpha beta gamma delta"_s, u"東京 alpha"_s} << u"東京"_s
            << QStringList {u"2"_s, u"[東京] alpha"_s, u"1"_s, u"[東京] alpha beta gamma delta"_s};
        // Presence alone: every page as good, the newest first.
        QTest::newRow("one character, newest first")
            << QStringList {u"京都"_s, u"東京都の駅 alpha"_s, u"京京京"_s} << u"京"_s
            << QStringList {u"3"_s, u"[京京京]"_s, u"2"_s, u"東[京]都の駅 alpha"_s,
                            u"1"_s, u"[京]都"_s};
        QTest::newRow("one character and a word")
            << QStringList {u"駅の東京"_s, u"東京と京都"_s, u"京都の駅"_s} << u"駅 東京"_s
            << QStringList {u"1"_s, u"駅の[東京]"_s};
        QTest::newRow("folded word, marked as written")
            << QStringList {u"Install the ＰＡＣＫＡＧＥＳ now"_s} << u"pack"_s
            << QStringList {u"1"_s, u"Install the [ＰＡＣＫＡＧＥＳ] now"_s};
        QTest::newRow("window deep inside a long text")
            << QStringList {words} << u"w350"_s
            << QStringList {u"1"_s,
                            u"…w346 w347 w348 w349 [w350] w351 w352 w353 w354 w355 w356 "
                            u"w357 w358 w359 w360 w361…"_s};
        QTest::newRow("every word") << QStringList {u"テストの日、東京"_s} << u"東京 テスト"_s
                                    << QStringList {u"1"_s, u"[テスト]の日、[東京]"_s};
    }
    void ranked()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        QTemporaryDir data;
        const QString dataPh = data.path() + u'/';
        QVERIFY(Store::OpenDb(DataFolder::database(dataPh)));
        TextIndex index(dataPh);
        for (qsizetype i = 0; i < texts.size(); ++i) {
            QVERIFY(Sql::exec(
                Sql::SetPrm(Sql::kInsertLink,
                            {i + 1, u"http://h/%1"_s.arg(i + 1), 0, u"t"_s, QString(), i + 1})));
            QVERIFY(index.store().put(i + 1, texts.at(i)));
        }
        std::vector<TextIndex::Found> hits;
        QString error;
        QVERIFY2(index.find(query, 10, 10, hits, &error), qPrintable(error));
        Store::CloseDb();
        QStringList got;
        for (const TextIndex::Found &h : hits) {
            got << QString::number(h.nURL)
                << QString(h.snippet)
                       .replace(QChar(TextStore::kMarkOpen), u'[')
                       .replace(QChar(TextStore::kMarkClose), u']');
        }
        QCOMPARE(got, expected);
    }

    // The fields' matches the window takes from its own index are those of the pass over the
    // link rows; a link the window no longer holds is never found, whatever its page text.
    void fieldsFromTheWindowsIndex()
    {
        QTemporaryDir data;
        const QString dataPh = data.path() + u'/';
        QVERIFY(Store::OpenDb(DataFolder::database(dataPh)));
        TextIndex index(dataPh);
        struct Link
        {
            QString address, title, memo, text, tags;
        };
        const QList<Link> links {
            {u"http://tokyo.example/"_s, u"東京ガイド"_s, u""_s, u"浅草と上野"_s, u""_s},
            {u"http://b.example/ABC"_s, u"ﾃｽﾄ"_s, u"メモ 東京"_s, u"京都の寺"_s, u"旅,寺社"_s},
            {u"http://c.example/"_s, u"大阪"_s, u""_s, u"東京 abc テスト"_s, u""_s},
            {u"http://gone.example/"_s, u"東京"_s, u""_s, u"東京 テスト abc"_s, u"旅"_s},
        };
        QVERIFY(Sql::exec(Sql::SetPrm(Sql::kInsertGroup, {1, u"本"_s, 1})));
        for (qsizetype i = 0; i < links.size(); ++i) {
            const Link &l = links.at(i);
            QVERIFY(Sql::exec(
                Sql::SetPrm(Sql::kInsertLink, {i + 1, l.address, 1, l.title, l.memo, i + 1})));
            if (!l.tags.isEmpty())
                QVERIFY(Sql::exec(Sql::SetPrm(Sql::kSetLinkTags, {i + 1, l.tags})));
            QVERIFY(index.store().put(i + 1, l.text));
        }
        // The window's index as the window builds it: tags are searched with the description.
        CollectionIndex window;
        QVERIFY(window.build(nullptr));
        const LinkSearch &search = window.search();
        for (const QString &query : {u"東京"_s, u"abc テスト"_s, u"てすと"_s, u"tokyo 浅草"_s,
                                     u"ｍｅｍｏ"_s, u"寺 ﾒﾓ"_s, u"、"_s, u"寺社"_s, u"旅 abc"_s}) {
            TextIndex::Fields scanned;
            QVERIFY(TextIndex::fieldsOf(query, scanned, nullptr));
            const TextIndex::Fields held = TextIndex::fieldsOf(search, query);
            QCOMPARE(held.words, scanned.words);
            QCOMPARE(held.links, scanned.links);
            QCOMPARE(held.holding, scanned.holding);
        }
        std::vector<TextIndex::Found> tagged;
        QVERIFY(index.find(u"寺社"_s, 0, 0, tagged, nullptr));
        QCOMPARE(tagged.size(), size_t(1));
        QCOMPARE(tagged.front().nURL, 2);
        // Deleted from the window's index: its row and page text may still be there.
        window.deleted(4);
        const TextIndex::Fields held = TextIndex::fieldsOf(search, u"東京 テスト"_s);
        std::vector<TextIndex::Found> hits;
        QVERIFY(index.find(u"東京 テスト"_s, 0, 0, hits, nullptr, &held));
        Store::CloseDb();
        QList<qint64> got;
        for (const TextIndex::Found &h : hits)
            got << h.nURL;
        QCOMPARE(got, QList<qint64>({3, 2}));
    }
};

QTEST_GUILESS_MAIN(TestTextIndex)
#include "tst_textindex.moc"
