#include "output/SearchText.h"

#include <QTest>

class TestSearchText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matches_data();
    void matches();
    void foldSameFromUtf8_data();
    void foldSameFromUtf8();
    void words_data();
    void words();
    void narrows_data();
    void narrows();
};

void TestSearchText::matches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("found");

    // Width
    QTest::newRow("half-width kana finds full") << "テストの手順"
                                                << "ﾃｽﾄ" << true;
    QTest::newRow("full-width kana finds half") << "ﾃｽﾄの手順"
                                                << "テスト" << true;
    QTest::newRow("half-width voiced finds composed") << "ガイド"
                                                      << "ｶﾞｲﾄﾞ" << true;
    QTest::newRow("composed finds half-width voiced") << "ｶﾞｲﾄﾞ一覧"
                                                      << "ガイド" << true;
    QTest::newRow("half-width semi-voiced") << "パスワード"
                                            << "ﾊﾟｽﾜｰﾄﾞ" << true;
    QTest::newRow("unvoiced half-width is not the voiced kana") << "ガイド"
                                                                << "ｶ" << false;
    QTest::newRow("full-width Latin finds ASCII") << "Qt 6 入門"
                                                  << "ＱＴ" << true;
    QTest::newRow("ASCII finds full-width Latin") << "ＱＴ入門"
                                                  << "qt" << true;
    QTest::newRow("full-width digits") << "２０２４年版"
                                       << "2024" << true;
    QTest::newRow("full-width punctuation") << "C++（入門）"
                                            << "(入門)" << true;
    // Case
    QTest::newRow("lower finds upper") << "QT FORUM"
                                       << "qt" << true;
    QTest::newRow("upper finds mixed") << "The Qt Company"
                                       << "QT COMPANY" << true;
    QTest::newRow("Greek case and final sigma") << "ΣΟΦΙΑ ΣΟΦΟΣ"
                                                << "σοφος" << true;
    QTest::newRow("Cyrillic case") << "МОСКВА"
                                   << "москва" << true;
    QTest::newRow("full-width upper finds lower") << "ｑｔ"
                                                  << "ＱＴ" << true;
    // Compatibility characters
    QTest::newRow("circled digit") << "手順①"
                                   << "手順1" << true;
    QTest::newRow("era ligature") << "㍻元年"
                                  << "平成" << true;
    QTest::newRow("square katakana") << "10㌔"
                                     << "キロ" << true;
    QTest::newRow("Latin ligature") << "ﬁle"
                                    << "file" << true;
    QTest::newRow("Roman numeral") << "第Ⅻ章"
                                   << "xii" << true;
    QTest::newRow("parenthesised ideograph") << "㈱サンプル"
                                             << "(株)" << true;
    QTest::newRow("hiragana is not katakana") << "テスト"
                                              << "てすと" << false;
    // Emoji
    QTest::newRow("emoji") << "笑顔😀です"
                           << "😀" << true;
    QTest::newRow("emoji with text") << "笑顔😀です"
                                     << "顔😀で" << true;
    QTest::newRow("heart without selector") << "I ❤️ Qt"
                                            << "❤" << true;
    QTest::newRow("other emoji") << "笑顔😀です"
                                 << "😁" << false;
    // Words
    QTest::newRow("one kanji") << "技術評論"
                               << "技" << true;
    QTest::newRow("one kanji missing") << "技術評論"
                                       << "術技" << false;
    QTest::newRow("one letter") << "Qt"
                                << "T" << true;
    QTest::newRow("all words, any order") << "Qt 技術 ブログ"
                                          << "ブログ qt" << true;
    QTest::newRow("ideographic space splits") << "Qt 技術 ブログ"
                                              << "ブログ　技術" << true;
    QTest::newRow("one word missing") << "Qt 技術 ブログ"
                                      << "qt ニュース" << false;
    QTest::newRow("blank query") << "Qt"
                                 << "　 " << true;
}

void TestSearchText::matches()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QFETCH(bool, found);

    QCOMPARE(SearchText::matches(text, SearchText::words(query)), found);
}

void TestSearchText::foldSameFromUtf8_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ASCII") << "Hello, World 123";
    QTest::newRow("kana") << "ｶﾞｲﾄﾞ テスト";
    QTest::newRow("Latin") << "ＱＴ Straße ÉCOLE";
    QTest::newRow("emoji") << "😀 ❤️";
    QTest::newRow("empty") << "";
}

void TestSearchText::foldSameFromUtf8()
{
    QFETCH(QString, text);
    QCOMPARE(SearchText::fold(QByteArrayView(text.toUtf8())), SearchText::fold(QStringView(text)));
}

void TestSearchText::words_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("plain spaces") << "  qt  技術 " << QStringList {"qt", "技術"};
    QTest::newRow("ideographic space") << "ﾃｽﾄ　ＱＴ" << QStringList {"テスト", "qt"};
    QTest::newRow("tab and line end") << "a\tb\r\nc" << QStringList {"a", "b", "c"};
    QTest::newRow("no-break and em spaces")
        << QString::fromUtf8("a\u00a0b\u2003c") << QStringList {"a", "b", "c"};
    QTest::newRow("blank") << "　 \t" << QStringList {};
    QTest::newRow("one character") << "技" << QStringList {"技"};
    QTest::newRow("case folded") << "HTTPS" << QStringList {"https"};
}

void TestSearchText::words()
{
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    QCOMPARE(SearchText::words(query), expected);
}

void TestSearchText::narrows_data()
{
    QTest::addColumn<QStringList>("newer");
    QTest::addColumn<QStringList>("older");
    QTest::addColumn<bool>("narrower");

    QTest::newRow("typed on") << QStringList {"qt5"} << QStringList {"qt"} << true;
    QTest::newRow("word added") << QStringList {"qt", "技"} << QStringList {"qt"} << true;
    QTest::newRow("from nothing") << QStringList {"qt"} << QStringList {} << true;
    QTest::newRow("typed before") << QStringList {"aqt"} << QStringList {"qt"} << true;
    QTest::newRow("deleted a letter") << QStringList {"q"} << QStringList {"qt"} << false;
    QTest::newRow("word replaced") << QStringList {"qt", "b"} << QStringList {"qt", "a"} << false;
    QTest::newRow("letters swapped") << QStringList {"tq"} << QStringList {"qt"} << false;
}

void TestSearchText::narrows()
{
    QFETCH(QStringList, newer);
    QFETCH(QStringList, older);
    QFETCH(bool, narrower);
    QCOMPARE(SearchText::narrows(newer, older), narrower);
}

QTEST_APPLESS_MAIN(TestSearchText)
#include "tst_searchtext.moc"
