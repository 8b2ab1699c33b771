#include "search/SearchText.h"
#include "search/TextSnippet.h"
#include "store/TextStore.h"

#include <QTest>

using namespace Qt::StringLiterals;

// A snippet cut from the stored text: the places the index cuts, the hits of the query's words
// marked as written, the window around the first hit.
class TestTextSnippet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void marks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("tokens");
        QTest::addColumn<QString>("expected"); // hits in [ ]
        QString words, far;
        for (int i = 0; i < 400; ++i)
            words += u"w%1 "_s.arg(i);
        for (int i = 0; i < 3000; ++i)
            far += u"あい"_s;
        QTest::newRow("CJK word inside a run")
            << u"東京の東京都"_s << u"東京"_s << 16 << u"[東京]の[東京]都"_s;
        QTest::newRow("Latin prefix, marked as written")
            << u"Install the ＰＡＣＫＡＧＥＳ now"_s << u"pack"_s << 16
            << u"Install the [ＰＡＣＫＡＧＥＳ] now"_s;
        QTest::newRow("Latin is no infix") << u"unpack it"_s << u"pack"_s << 16 << QString();
        QTest::newRow("one character, Latin at the edges")
            << u"weather 東京 forecast"_s << u"京"_s << 16 << u"weather 東[京] forecast"_s;
        QTest::newRow("one character only when no longer word is there")
            << u"京都 の 東京"_s << u"京 東京"_s << 16 << u"京都 の [東京]"_s;
        QTest::newRow("every word")
            << u"テストの日、東京"_s << u"東京 テスト"_s << 16 << u"[テスト]の日、[東京]"_s;
        QTest::newRow("half-width kana found by hiragana")
            << u"ｶﾞｲﾄﾞを読む"_s << u"がいど"_s << 16 << u"[ｶﾞｲﾄﾞ]を読む"_s;
        QTest::newRow("window deep inside a long text")
            << words << u"w350"_s << 16
            << u"…w346 w347 w348 w349 [w350] w351 w352 w353 w354 w355 w356 w357 w358 w359 "
               u"w360 w361…"_s;
        QTest::newRow("hit past the first heads")
            << far + u"東京"_s + far << u"東京"_s << 4 << u"…い[東京]あい…"_s;
        QTest::newRow("a short window's hit marked to its end")
            << u"あいうえお東京都庁"_s << u"東京都庁"_s << 2 << u"…[東京都]…"_s;
        QTest::newRow("none") << u"東京"_s << u"大阪"_s << 16 << QString();
    }
    void marks()
    {
        QFETCH(QString, text);
        QFETCH(QString, query);
        QFETCH(int, tokens);
        QFETCH(QString, expected);
        const QString got = TextSnippet::of(text.toUtf8(), SearchText::words(query), tokens);
        QCOMPARE(QString(got)
                     .replace(QChar(TextStore::kMarkOpen), u'[')
                     .replace(QChar(TextStore::kMarkClose), u']'),
                 expected);
    }
};

QTEST_GUILESS_MAIN(TestTextSnippet)
#include "tst_textsnippet.moc"
