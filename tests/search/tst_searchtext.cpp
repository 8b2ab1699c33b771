#include "search/SearchText.h"

#include <QTest>

class TestSearchText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matches_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("found");
        const auto row = [](const char *name, const char *text, const char *query, bool found) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(query) << found;
        };

        // Width
        row("half-width kana finds full", "テストの手順", "ﾃｽﾄ", true);
        row("half-width voiced finds composed", "ガイド", "ｶﾞｲﾄﾞ", true);
        row("unvoiced half-width is not the voiced kana", "ガイド", "ｶ", false);
        row("full-width Latin finds ASCII", "Qt 6 入門", "ＱＴ", true);
        row("ASCII finds full-width Latin", "ＱＴ入門", "qt", true);
        // Case
        row("lower finds upper", "QT FORUM", "qt", true);
        row("Greek case and final sigma", "ΣΟΦΙΑ ΣΟΦΟΣ", "σοφος", true);
        // Compatibility characters
        row("circled digit", "手順①", "手順1", true);
        row("era ligature", "㍻元年", "平成", true);
        // Kana
        row("hiragana finds katakana", "ニュース速報", "にゅーす", true);
        row("katakana finds hiragana", "ひらがなのにゅーす", "ニュース", true);
        row("half-width kana finds hiragana", "がいど", "ｶﾞｲﾄﾞ", true);
        row("iteration marks", "こゝろ", "コヽロ", true);
        row("emoji", "笑顔😀です", "😀", true);
        // Words
        row("one kanji", "技術評論", "技", true);
        row("all words, any order", "Qt 技術 ブログ", "ブログ qt", true);
        row("ideographic space splits", "Qt 技術 ブログ", "ブログ　技術", true);
        row("one word missing", "Qt 技術 ブログ", "qt ニュース", false);
        row("blank query", "Qt", "　 ", true);
        // ASCII words beside what folds into ASCII or joins it
        row("word beside kana", "ﾃｽﾄLinux入門", "linux", true);
        row("accent composes", "cafe\u0301", "cafe", false);
        row("Kelvin sign", "500 \u212A", "k", true);
        row("ligature", "\uFB01le", "file", true);
        row("sharp s", "STRAẞE", "straß", true);
        row("dotted capital I", "\u0130stanbul", "stanbul", true);
        row("no-break space", "a\u00A0b", "a", true);
        row("voiced mark after ASCII", "aﾞ", "a", true);
        // Characters folded one by one, and beside what only the general rule folds
        row("kana before a combining voiced mark", "か\u3099いど", "ガイド", true);
        row("kanji before a variation selector", "葛\U000E0100飾", "葛飾", false);
        row("full-width before a combining accent", "ｅ\u0301", "e", false);
        row("hiragana iteration mark", "いすゞ", "イスヾ", true);
    }
    void matches()
    {
        QFETCH(QString, text);
        QFETCH(QString, query);
        QFETCH(bool, found);

        QCOMPARE(SearchText::matches(text, SearchText::words(query)), found);
        // The one-pass matcher over UTF-8, in any field.
        const QByteArray utf8 = text.toUtf8();
        const SearchText::Matcher m(query);
        QCOMPARE(m.matches(utf8, "", ""), found);
        QCOMPARE(m.matches("", utf8, "x"), found);
    }

    // Every character folded alone folds as the general rule (NFKC, case folding, hiragana as
    // katakana) folds it.
    void foldsAloneAsTheGeneralRule()
    {
        for (char32_t c = 1; c < 0x10000; ++c) {
            char32_t f = 0;
            if (c >= 0xD800 && c < 0xE000)
                continue;
            if (!SearchText::foldsAlone(c, &f))
                continue;
            QString rule = QString(QChar(char16_t(c)))
                               .normalized(QString::NormalizationForm_KC)
                               .toCaseFolded();
            for (QChar &k : rule) {
                if ((k.unicode() >= 0x3041 && k.unicode() <= 0x3096) || k.unicode() == 0x309D
                    || k.unicode() == 0x309E)
                    k = QChar(char16_t(k.unicode() + 0x60));
            }
            QCOMPARE(QString(QChar(char16_t(f))), rule);
        }
    }

    void words_data()
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
    void words()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        QCOMPARE(SearchText::words(query), expected);
    }

    void narrows_data()
    {
        QTest::addColumn<QStringList>("newer");
        QTest::addColumn<QStringList>("older");
        QTest::addColumn<bool>("narrower");
        const auto row = [](const char *name, const QStringList &newer, const QStringList &older,
                            bool narrower) { QTest::newRow(name) << newer << older << narrower; };
        row("typed on", {"qt5"}, {"qt"}, true);
        row("word added", {"qt", "技"}, {"qt"}, true);
        row("from nothing", {"qt"}, {}, true);
        row("typed before", {"aqt"}, {"qt"}, true);
        row("deleted a letter", {"q"}, {"qt"}, false);
        row("word replaced", {"qt", "b"}, {"qt", "a"}, false);
        row("letters swapped", {"tq"}, {"qt"}, false);
    }
    void narrows()
    {
        QFETCH(QStringList, newer);
        QFETCH(QStringList, older);
        QFETCH(bool, narrower);
        QCOMPARE(SearchText::narrows(newer, older), narrower);
    }
};

QTEST_APPLESS_MAIN(TestSearchText)
#include "tst_searchtext.moc"
