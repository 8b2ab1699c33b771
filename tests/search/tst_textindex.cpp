#include "search/SearchText.h"
#include "search/TextPieces.h"
#include "store/TextStore.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// The page-text index on a real file: what a query finds is what a folded substring scan finds.
class TestTextIndex : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;

    static QList<qint64> found(TextStore &store, const QString &query)
    {
        const QString match = TextPieces::matchAll(SearchText::words(query));
        std::vector<qint64> hits;
        if (!match.isEmpty())
            store.matching(match, hits);
        std::sort(hits.begin(), hits.end());
        return QList<qint64>(hits.begin(), hits.end());
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
    }
    void finds()
    {
        QFETCH(QString, query);
        QFETCH(QList<qint64>, expected);
        TextStore store(m_tmp.filePath(QStringLiteral("rows.db")), TextPieces::tokenizer());
        QVERIFY2(store.isOpen(), qPrintable(store.error()));
        QVERIFY(store.put(1, QStringLiteral("東京 テストの日")));
        QVERIFY(store.put(2, QStringLiteral("ABCDEF と Qt入門 のガイド")));
        QVERIFY(store.put(3, QStringLiteral("京都、駅 東京")));
        QVERIFY(store.put(4, QStringLiteral("消える")));
        QVERIFY(store.put(5, QStringLiteral("東京 京都")));
        QVERIFY(store.remove(4));
        QCOMPARE(found(store, query), expected);
        QVERIFY(found(store, QStringLiteral("消")).isEmpty());
        const QString snip = store.snippet(TextPieces::matchAll({QStringLiteral("テスト")}), 1, 8);
        QCOMPARE(snip.count(QChar(TextStore::kMarkOpen)), 1);
        QVERIFY(snip.contains(QStringLiteral("テスト")));
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
        const QString cjk = QStringLiteral("あいうアイウ東京都駅ーガ、");
        for (int q = 0; q < 400; ++q) {
            QString query;
            const int len = 1 + q % 10;
            // Half the queries taken from the texts, half made up.
            if (q % 2 == 0) {
                const QString folded = SearchText::fold(texts.at(int(r.bounded(texts.size()))));
                const qsizetype at = r.bounded(int(qMax<qsizetype>(1, folded.size() - len)));
                query = folded.mid(at, len);
                if (query.contains(u' ') || query.contains(u'x'))
                    continue;
            } else {
                for (int k = 0; k < len; ++k)
                    query += cjk.at(int(r.bounded(cjk.size())));
            }
            const QString folded = SearchText::fold(query);
            QList<qint64> scan;
            for (qsizetype i = 0; i < texts.size(); ++i) {
                if (SearchText::fold(texts.at(i)).contains(folded))
                    scan.append(i + 1);
            }
            QVERIFY2(found(store, query) == scan,
                     qPrintable(QStringLiteral("seed %1 query %2").arg(seed).arg(query)));
        }
    }
};

QTEST_GUILESS_MAIN(TestTextIndex)
#include "tst_textindex.moc"
