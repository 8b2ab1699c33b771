#include "bookmarks/BookmarkExport.h"
#include "bookmarks/BookmarkImport.h"

#include <QTest>

namespace {

struct Collection
{
    QList<GroupRecord> groups;
    QList<LinkRecord> links;
    QHash<qint64, qint64> added;
};

const GroupRecord kGroupZero {0, QStringLiteral("未分類"), 0};

// What a collection holds, whatever its numbers: "group|title|description|address|date" for
// each link and the group names, sorted. The order is checked by exporting again.
QStringList contentOf(const Collection &c)
{
    QHash<int, QString> names;
    QStringList lines;
    for (const GroupRecord &g : c.groups) {
        names.insert(g.nGrp, g.sGrp);
        lines << g.sGrp;
    }
    for (const LinkRecord &l : c.links) {
        lines << QStringList {names.value(l.nGrp), l.sNam, l.sMem, l.sURL,
                              QString::number(c.added.value(l.nURL))}
                     .join(u'|');
    }
    lines.sort();
    return lines;
}

// The collection an empty one becomes when the file is imported into it.
Collection imported(const QByteArray &bytes)
{
    const BookmarkFile file = BookmarkFile::parse(bytes);
    if (!file.ok() || !file.skippedLines.isEmpty())
        qWarning() << "not read cleanly:" << file.error << file.skippedLines;
    const ImportPlan plan = BookmarkImport::plan(file, {kGroupZero}, {}, 100);
    Collection c;
    c.groups = QList<GroupRecord> {kGroupZero} + plan.newGroups;
    for (const ImportLink &l : plan.links) {
        c.links.append(l.link);
        if (l.added > 0)
            c.added.insert(l.link.nURL, l.added);
    }
    return c;
}

Collection collection(const QStringList &groups, const QStringList &links)
{
    // groups: "number|name|sort key"; links: "number|group|sort key|address|title|description|date"
    Collection c;
    c.groups.append(kGroupZero);
    for (const QString &g : groups) {
        const QStringList f = g.split(u'|');
        c.groups.append({f[0].toInt(), f[1], f[2].toDouble()});
    }
    for (const QString &l : links) {
        const QStringList f = l.split(u'|');
        c.links.append({f[0].toInt(), f[3], f[1].toInt(), f[4], f[5], f[2].toDouble()});
        if (f[6].toLongLong() > 0)
            c.added.insert(f[0].toInt(), f[6].toLongLong());
    }
    return c;
}

} // namespace

Q_DECLARE_METATYPE(Collection)
using Dates = QHash<qint64, qint64>;

class TestBookmarkExport : public QObject
{
    Q_OBJECT

private slots:
    void writesBrowserFile()
    {
        const Collection c = collection({"1|技術|1", "2|技術/Qt|2", "3|趣味|3"},
                                        {"100|0|1|https://r.example/|Root & <b>||1700000000",
                                         "104|9|2|https://o.example/|orphan||0",
                                         "101|1|2|https://t.example/2|二番目|説明 \"引用\"|0",
                                         "102|1|1|https://t.example/1?a=1&b='2'|一番目||1600000000",
                                         "103|2|1|https://q.example/|Qt||0"});
        QString lone = QStringLiteral("x y");
        lone[1] = QChar(0xD800);
        QList<LinkRecord> links = c.links;
        links.append({105, QStringLiteral("https://s.example/"), 3, lone,
                      QStringLiteral(" 前後 \r\n改行\t"), 1});
        const QByteArray expected
            = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
              "<!-- This is an automatically generated file.\n"
              "     It will be read and overwritten.\n"
              "     DO NOT EDIT! -->\n"
              "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
              "<TITLE>Bookmarks</TITLE>\n"
              "<H1>Bookmarks</H1>\n"
              "<DL><p>\n"
              "    <DT><A HREF=\"https://r.example/\" ADD_DATE=\"1700000000\">Root &amp; "
              "&lt;b&gt;</A>\n"
              "    <DT><A HREF=\"https://o.example/\">orphan</A>\n"
              "    <DT><H3>技術</H3>\n"
              "    <DL><p>\n"
              "        <DT><A HREF=\"https://t.example/1?a=1&amp;b=&#39;2&#39;\" "
              "ADD_DATE=\"1600000000\">一番目</A>\n"
              "        <DT><A HREF=\"https://t.example/2\">二番目</A>\n"
              "        <DD>説明 &quot;引用&quot;\n"
              "        <DT><H3>Qt</H3>\n"
              "        <DL><p>\n"
              "            <DT><A HREF=\"https://q.example/\">Qt</A>\n"
              "        </DL><p>\n"
              "    </DL><p>\n"
              "    <DT><H3>趣味</H3>\n"
              "    <DL><p>\n"
              "        <DT><A HREF=\"https://s.example/\" ADD_DATE=\"1\">x\xEF\xBF\xBDy</A>\n"
              "        <DD>&#32;前後 &#13;&#10;改行&#9;\n"
              "    </DL><p>\n"
              "</DL><p>\n";
        QHash<qint64, qint64> added = c.added;
        added.insert(105, 1);
        const QByteArray got = BookmarkExport::bytes(c.groups, links, added);
        QCOMPARE(QString::fromUtf8(got), QString::fromUtf8(expected));
    }

    void datesWhereKnown_data()
    {
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QList<qint64>>("dates"); // per number; 0 for none
        QTest::addColumn<Dates>("added");

        QTest::newRow("close numbers")
            << QList<int> {100, 101, 102} << QList<qint64> {5, 0, 7} << Dates {{100, 5}, {102, 7}};
        QTest::newRow("numbers far apart")
            << QList<int> {1, 70000, 2000000000} << QList<qint64> {1700000000, 0, 1600000000}
            << Dates {{1, 1700000000}, {2000000000, 1600000000}, {-5, 9}};
        QTest::newRow("dates of links not exported")
            << QList<int> {300, 301} << QList<qint64> {0, 3}
            << Dates {{299, 1}, {301, 3}, {302, 4}};
        QTest::newRow("no dates") << QList<int> {1, 2} << QList<qint64> {0, 0} << Dates {};
    }
    void datesWhereKnown()
    {
        QFETCH(QList<int>, numbers);
        QFETCH(QList<qint64>, dates);
        QFETCH(Dates, added);
        QList<LinkRecord> links;
        for (const int n : numbers)
            links.append({n,
                          QStringLiteral("https://d.example/%1").arg(n),
                          0,
                          QString::number(n),
                          {},
                          double(n)});
        const QByteArray bytes = BookmarkExport::bytes({kGroupZero}, links, added);
        QCOMPARE(bytes.count("ADD_DATE"),
                 dates.count(0) == dates.size() ? 0 : dates.size() - dates.count(0));
        const BookmarkFile read = BookmarkFile::parse(bytes);
        QCOMPARE(read.links.size(), numbers.size());
        for (qsizetype i = 0; i < numbers.size(); ++i)
            QCOMPARE(read.links[i].added, dates[i]);
    }

    void listOrder_data()
    {
        QTest::addColumn<Collection>("c");
        QTest::addColumn<QStringList>("file"); // folder path|title, in the file's order

        QTest::newRow("groups by sort key, then name without ASCII case")
            << collection(
                   {"1|b|1", "2|A|1", "3|c|0", "4|Z|-1"},
                   {"100|1|1|https://o.example/1|in b||0", "101|2|1|https://o.example/2|in A||0",
                    "102|3|1|https://o.example/3|in c||0", "103|4|1|https://o.example/4|in Z||0",
                    "104|0|1|https://o.example/5|root||0"})
            << QStringList {"|root", "Z|in Z", "c|in c", "A|in A", "b|in b"};
        QTest::newRow("links by sort key, then title without ASCII case, then number")
            << collection({"1|g|1"},
                          {"105|1|2|https://o.example/1|b||0", "104|1|2|https://o.example/2|A||0",
                           "103|1|1.5|https://o.example/3|z||0", "102|1|2|https://o.example/4|a||0",
                           "101|1|2|https://o.example/5|a||0", "100|1|-3|https://o.example/6|y||0"})
            << QStringList {"g|y", "g|z", "g|a", "g|a", "g|A", "g|b"};
        QTest::newRow("a folder holds its group's links, then its sub-folders in list order")
            << collection({"1|X/Y|1", "2|Z|2", "3|X|3", "4|X/A|4"},
                          {"100|1|1|https://o.example/xy|xy||0", "101|2|1|https://o.example/z|z||0",
                           "102|3|1|https://o.example/x|x||0",
                           "103|4|1|https://o.example/xa|xa||0"})
            << QStringList {"X|x", "X/Y|xy", "X/A|xa", "Z|z"};
    }
    void listOrder()
    {
        QFETCH(Collection, c);
        QFETCH(QStringList, file);
        const BookmarkFile read
            = BookmarkFile::parse(BookmarkExport::bytes(c.groups, c.links, c.added));
        QVERIFY2(read.ok(), qPrintable(read.error));
        QStringList got;
        for (const BookmarkLink &l : read.links)
            got << read.folderPath(l) + u'|' + l.title;
        QCOMPARE(got, file);
        // The 1, 2, 3 … order gives them back in the same order within each group.
        if (file.size() > 1 && file.first().startsWith(u"g|")) {
            for (qsizetype i = 0; i < read.links.size(); ++i)
                QCOMPARE(read.links[i].position, int(i + 1));
        }
    }

    void roundTrip_data()
    {
        QTest::addColumn<Collection>("c");

        QTest::newRow("Japanese, emoji, quotes and ampersands") << collection(
            {"1|技術|1", "2|ﾊﾝｶｸ &amp; \"引用\" 'single'|2", "3|絵文字 😀🎌|3"},
            {"100|1|1|https://ja.example/検索?q=日本語&x=\"1\"|「表」 & <タグ>|説明：十 "
             "😀|1700000000",
             "101|2|1|https://a.example/?a=1&amp;b=2|O'Reilly &#39; &lt;|&copy; は文字のまま|0",
             "102|3|1|https://e.example/😀|🎌🏯 旗|😀|1500000000",
             "103|0|1|https://root.example/|ルート|　全角空白で始まる|0"});
        QTest::newRow("nested names, a \"/\" in a name, empty parts") << collection(
            {"1|a/b/c|1", "2|a//b|2", "3|/lead|3", "4|trail/|4", "5|x|5", "6|x/y|6",
             "7|empty group|7", "8|深い/階層/の/分類|8"},
            {"100|1|1|https://n.example/1|abc||0", "101|2|1|https://n.example/2|a//b||0",
             "102|3|1|https://n.example/3|lead||0", "103|4|1|https://n.example/4|trail||0",
             "104|6|1|https://n.example/5|xy||0", "105|5|1|https://n.example/6|x||0",
             "106|8|1|https://n.example/7|deep||0"});
        QTest::newRow("empty titles, line breaks and spaces at the ends")
            << collection({"1| spaced group |1"},
                          {"100|1|1|https://s.example/1|||0",
                           "101|1|2|https://s.example/2| lead and trail |"
                           "line one\r\nline two\r\n|0",
                           "102|1|3|https://s.example/3|tab\tinside|\ttabbed\t|0",
                           "103|1|4|https://s.example/4|&lt; literal entity text &amp;|&#10;|0"});

        // A larger collection: 40 nested groups, 2,000 links with every kind of character. Each
        // upper group sorts before its lower ones, as a folder stands before its sub-folders.
        Collection big;
        big.groups.append(kGroupZero);
        for (int g = 1; g <= 40; ++g) {
            const QString name = g % 4 == 1
                ? QStringLiteral("上位 %1").arg(g)
                : QStringLiteral("上位 %1/下位 %2 & \"q\"").arg(g - (g - 1) % 4).arg(g);
            big.groups.append({g, name, double(g)});
        }
        for (int i = 0; i < 2000; ++i) {
            big.links.append({100 + i,
                              QStringLiteral("https://big.example/%1?a=%2&b='x'").arg(i).arg(i * 7),
                              i % 41, QStringLiteral("表題 %1 <%2> 😀").arg(i).arg(i % 13),
                              i % 3 ? QString() : QStringLiteral("説明 %1\r\n2 行目 &amp;").arg(i),
                              double(i % 17)});
            if (i % 5)
                big.added.insert(100 + i, 1400000000 + qint64(i) * 3600);
        }
        QTest::newRow("2,000 links in 40 nested groups") << big;
    }
    void roundTrip()
    {
        QFETCH(Collection, c);
        const QByteArray bytes = BookmarkExport::bytes(c.groups, c.links, c.added);
        const Collection back = imported(bytes);
        QCOMPARE(contentOf(back), contentOf(c));
        // And once more: the second file is the first, so the list's order came back too.
        QCOMPARE(QString::fromUtf8(BookmarkExport::bytes(back.groups, back.links, back.added)),
                 QString::fromUtf8(bytes));
    }

    // Values handed over as the engine's UTF-8 are written as their QString reading is, ill-formed
    // bytes included, in either format.
    void utf8AsItsReading_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("plain") << QByteArray("a&b<c>\"d'e");
        QTest::newRow("ends") << QByteArray(" \t\f x\r\ny \t\f ");
        QTest::newRow("kana, emoji") << QByteArray("ﾃｽﾄ 日本 \xF0\x9F\x98\x80");
        QTest::newRow("noncharacter, bom") << QByteArray("\xEF\xBB\xBFx\xEF\xBF\xBE");
        QTest::newRow("surrogate") << QByteArray("a\xED\xA0\x80"
                                                 "b");
        QTest::newRow("overlong") << QByteArray("\xC0\xAF\xE0\x80\xAF\xF0\x80\x80\xAF");
        QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80\xF5");
        QTest::newRow("cut short") << QByteArray("\xE3\x81 \xE3");
        QTest::newRow("stray") << QByteArray("\x80\xBF\xFE\xFF");
    }
    void utf8AsItsReading()
    {
        QFETCH(QByteArray, value);
        const QString read = QString::fromUtf8(value);
        const QByteArrayView bytes(value);
        const QList<GroupRecord> groups {{1, QStringLiteral("g"), 0}};
        for (const auto format : {BookmarkExport::Format::Netscape, BookmarkExport::Format::Xbel}) {
            QByteArray written[2];
            for (int utf8 = 0; utf8 < 2; ++utf8) {
                BookmarkExport::write(
                    groups,
                    [&](std::optional<qint64>, const BookmarkExport::LinkFn &each) {
                        if (utf8)
                            each({100, bytes, bytes, bytes, 1, bytes});
                        else
                            each({100, read, read, read, 1, read});
                        return true;
                    },
                    [&](QByteArrayView b) {
                        written[utf8].append(b);
                        return true;
                    },
                    format);
            }
            QCOMPARE(written[1], written[0]);
        }
    }
};

QTEST_GUILESS_MAIN(TestBookmarkExport)
#include "tst_bookmarkexport.moc"
