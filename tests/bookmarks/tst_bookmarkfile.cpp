#include "bookmarks/BookmarkFile.h"
#include "support/BookmarkSamples.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray sample(const char *name)
{
    return TestFiles::read(QStringLiteral(LINKWELL_TEST_PAGES "/../bookmarks/")
                           + QLatin1StringView(name));
}

using BookmarkSamples::kHead;

// The lines of a text, one link or folder each.
QStringList lines(const char *text)
{
    return QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts);
}

// One line per link: folder path | position | address | title | description | date.
QStringList linesOf(const BookmarkFile &file)
{
    QStringList lines;
    for (const BookmarkLink &l : file.links) {
        lines << QStringList {file.folderPath(l), QString::number(l.position), l.address, l.title,
                              l.description,      QString::number(l.added)}
                     .join(u'|');
    }
    return lines;
}

QStringList pathsOf(const BookmarkFile &file)
{
    QStringList paths;
    for (int f = 0; f < file.folders.size(); ++f)
        paths << file.pathOf(f);
    return paths;
}

} // namespace

class TestBookmarkFile : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void encodings_data();
    void encodings();
    void refuses_data();
    void refuses();
    void entries_data();
    void entries();
    void readsFromDisk();
};

void TestBookmarkFile::reads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("links");

    QTest::newRow("Chromium shape") << sample("chromium.html") << lines(R"(ブックマーク バー
ブックマーク バー/技術
ブックマーク バー/技術/Qt
ブックマーク バー/空のフォルダ
その他のブックマーク)") << lines(R"(
ブックマーク バー|1|https://www.qt.io/|Qt | Tools for Each Stage of Software Development||1700000100
ブックマーク バー/技術|1|https://doc.qt.io/qt-6/qstring.html|QString Class | Qt Core 6.4.2||1700000210
ブックマーク バー/技術/Qt|1|https://doc.qt.io/qt-6/qstringdecoder.html|QStringDecoder & QStringEncoder||1700000220
ブックマーク バー/技術/Qt|2|https://example.jp/search?q=%E6%97%A5%E6%9C%AC&lang=ja|検索 "日本" <結果>||1700000230
ブックマーク バー/技術|2|https://sqlite.org/lang_corefunc.html|SQLite: Built-in Scalar SQL Functions||1700000240
その他のブックマーク|1|https://www.example.com/|Example Domain||1700000410
その他のブックマーク|2|https://ja.wikipedia.org/wiki/%E6%9D%B1%E4%BA%AC|東京 - Wikipedia||1700000005)");

    // The folder's own <DD> is not a link's; a description over two lines becomes one.
    QTest::newRow("Firefox shape") << sample("firefox.html") << lines(R"(Mozilla Firefox
ブックマークツールバー
ブックマークツールバー/ニュース
他のブックマーク)") << lines(R"(
|1|https://www.mozilla.org/ja/firefox/new/|Firefox を入手||1690000001
Mozilla Firefox|1|https://support.mozilla.org/ja/products/firefox|ヘルプを見る||1690000010
Mozilla Firefox|2|https://www.mozilla.org/ja/about/|Mozilla について|Mozilla の使命と   取り組みについて|1690000020
ブックマークツールバー|1|https://www.mozilla.org/ja/firefox/central/|はじめよう||1690000030
ブックマークツールバー/ニュース|1|https://www3.nhk.or.jp/news/|NHK ニュース|ニュース & 天気|1690000040
ブックマークツールバー/ニュース|2|https://news.example.jp/a?id=1&page=2|O'Reilly 'quoted' 😀||1690000050
他のブックマーク|1|https://example.org/|Example||1690000060)");

    QTest::newRow("attributes in any order, case and quoting")
        << kHead
            + "<dt><a add_date=\"5\" href=\"https://a.example/1\">one</a>\n"
              "<DT><A ICON='x' Href='https://a.example/2' Add_Date='6'>two</A>\n"
              "<DT><A HREF=https://a.example/3?x=1 ADD_DATE=7>three</A>\n"
              "<DT><A\n  HREF = \"https://a.example/4\"\n  ADD_DATE=\"8\"\n  >four</A>\n"
              "<DT><A FOLDED HREF=\"https://a.example/5\" TAGS=\"a,b\" PRIVATE=\"0\">five</A>\n"
              "<DT><A HREF=\" https://a.example/6 \" HREF=\"https://ignored.example/\">six</A>\n"
              "</DL><p>\n"
        << QStringList {}
        << QStringList {"|1|https://a.example/1|one||5",       "|2|https://a.example/2|two||6",
                        "|3|https://a.example/3?x=1|three||7", "|4|https://a.example/4|four||8",
                        "|5|https://a.example/5|five||0",      "|6|https://a.example/6|six||0"};

    QTest::newRow("references")
        << kHead
            + "<DT><A HREF=\"https://e.example/?a=1&amp;b=2&c=3&#38;d\">&amp;&lt;&gt;&quot;&#39;"
              "&#x27;&apos;|&nbsp;|&copy;&hellip;|&#x1F600;&#128512;|&#0;&#x110000;|&unknown; &amp "
              "& ; &#; &#x;</A>\n"
              "<DT><A HREF=\"https://e.example/2\">a &lt;b&gt; c</A>\n"
              "</DL><p>\n"
        << QStringList {}
        << QStringList {QStringLiteral("|1|https://e.example/?a=1&b=2&c=3&d|&<>\"'''|\u00A0|©…|😀😀|"
                                       "\uFFFD\uFFFD|&unknown; &amp & ; &#; &#x;||0"),
                        "|2|https://e.example/2|a <b> c||0"};

    // A description runs to the next tag and belongs to the link right before it only.
    QTest::newRow("descriptions")
        << kHead
            + "<DT><A HREF=\"https://d.example/1\">one</A>\n"
              "<DD>  first line\r\n   second line\rthird\n\n    <DT><A "
              "HREF=\"https://d.example/2\">"
              "two</A><DD>kept&#13;&#10;break &#32;ends&#32;\n"
              "<DT><A HREF=\"https://d.example/3\">three</A>\n"
              "<DT><H3>F</H3>\n<DD>the folder's\n<DL><p>\n"
              "<DT><A HREF=\"https://d.example/4\">four</A>\n"
              "<HR>\n<DD>after a rule\n"
              "<DT><A HREF=\"https://d.example/5\">five</A><H3>G</H3><DD>G's own\n<DL><p></DL><p>\n"
              "</DL><p>\n"
        << QStringList {"F", "F/G"}
        << QStringList {"|1|https://d.example/1|one|first line    second line third|0",
                        QStringLiteral("|2|https://d.example/2|two|kept\r\nbreak  ends |0"),
                        "|3|https://d.example/3|three||0", "F|1|https://d.example/4|four||0",
                        "F|2|https://d.example/5|five||0"};

    QTest::newRow("folder structure") << QByteArray(R"(<!DOCTYPE NETSCAPE-Bookmark-file-1>
<DT><A HREF="https://s.example/before">before the list</A>
<DL><p>
<DT><H3>Empty without list</H3>
<DT><A HREF="https://s.example/root">root</A>
<DT><H3>A</H3>
<DL><p>
  <DT><A HREF="https://s.example/a1">a1</A>
  <DL><p>
  <DT><A HREF="https://s.example/a2">in a list without heading</A>
  </DL><p>
  <DT><H3>  B
  b </H3>
  <DL><p>
    <DT><A HREF="https://s.example/ab">ab</A>
  </DL><p>
  <DT><H3></H3>
  <DL><p>
    <DT><A HREF="https://s.example/a-">nameless</A>
  </DL><p>
</DL><p>
<DT><H3>A</H3>
<DL><p><DT><A HREF="https://s.example/a3">A again</A></DL><p>
<DT><H3>a</H3>
<DL><p><DT><A HREF="https://s.example/lower">other case</A></DL><p>
<DT><H3>C/D</H3>
<DL><p><DT><A HREF="https://s.example/cd">slash</A></DL><p>
</DL><p>
</DL><p>
<DT><A HREF="https://s.example/after">after the list</A>
)") << lines("Empty without list\nA\nA/B   b\nA/\na\nC∕D")
                                      << lines(R"(|1|https://s.example/before|before the list||0
|2|https://s.example/root|root||0
A|1|https://s.example/a1|a1||0
A|2|https://s.example/a2|in a list without heading||0
A/B   b|1|https://s.example/ab|ab||0
A/|1|https://s.example/a-|nameless||0
A|3|https://s.example/a3|A again||0
a|1|https://s.example/lower|other case||0
C∕D|1|https://s.example/cd|slash||0
|3|https://s.example/after|after the list||0)");

    QTest::newRow("bare links without DOCTYPE") << QByteArray(
        "<html><body><ul>\n<li><a href=\"https://p.example/1\" time_added=\"9\">one</a></li>\n"
        "<li><a href=\"https://p.example/2\">a < b > c</a></li>\n</ul></body></html>\n")
                                                << QStringList {}
                                                << QStringList {
                                                       "|1|https://p.example/1|one||0",
                                                       "|2|https://p.example/2|a < b > c||0"};

    QTest::newRow("title without end tag, comment and script-like text")
        << kHead
            + "<!-- <DT><A HREF=\"https://c.example/commented\">no</A> -->\n"
              "<DT><A HREF=\"https://c.example/1\">open title\n"
              "<DT><A HREF=\"https://c.example/2\">x</A >\n</DL><p>\n"
        << QStringList {}
        << QStringList {"|1|https://c.example/1|open title||0", "|2|https://c.example/2|x||0"};
}

void TestBookmarkFile::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, links);
    const BookmarkFile file = BookmarkFile::parse(bytes);
    QVERIFY2(file.ok(), qPrintable(file.error));
    QCOMPARE(file.encoding, QStringLiteral("UTF-8"));
    QCOMPARE(pathsOf(file), folders);
    QCOMPARE(linesOf(file), links);
    QCOMPARE(file.skippedLines, QList<int>());
    for (qsizetype i = 0; i < file.links.size(); ++i)
        QCOMPARE(file.links[i].order, int(i));
    // Each folder's direct counts match what was read.
    for (qsizetype f = 0; f < file.folders.size(); ++f) {
        int links = 0, subfolders = 0;
        for (const BookmarkLink &l : file.links)
            links += l.folder == f;
        for (const BookmarkFolder &g : file.folders)
            subfolders += g.parent == f;
        QCOMPARE(file.folders[f].links, links);
        QCOMPARE(file.folders[f].folders, subfolders);
    }

    // The same file in UTF-16 (read after decoding, not in place) reads the same.
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringEncoder::Flag::WriteBom);
    const BookmarkFile wide = BookmarkFile::parse(QByteArray(utf16(QString::fromUtf8(bytes))));
    QVERIFY2(wide.ok(), qPrintable(wide.error));
    QCOMPARE(wide.encoding, QStringLiteral("UTF-16LE"));
    QCOMPARE(pathsOf(wide), folders);
    QCOMPARE(linesOf(wide), links);
}

void TestBookmarkFile::encodings_data()
{
    QTest::addColumn<QByteArray>("converter"); // what the test writes the file in
    QTest::addColumn<QByteArray>("meta"); // the file's charset declaration
    QTest::addColumn<QByteArray>("bom");
    QTest::addColumn<QString>("encoding"); // the name the reader reports

    const QByteArray meta
        = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=%1\">\n";
    auto m = [&](const char *label) { return QByteArray(meta).replace("%1", label); };
    QTest::newRow("Shift_JIS") << QByteArray("Shift_JIS") << m("Shift_JIS") << QByteArray()
                               << "Shift_JIS";
    QTest::newRow("CP932") << QByteArray("windows-31j") << m("CP932") << QByteArray()
                           << "Shift_JIS";
    QTest::newRow("EUC-JP") << QByteArray("EUC-JP") << m("EUC-JP") << QByteArray() << "EUC-JP";
    QTest::newRow("HTML5 meta charset, quoted")
        << QByteArray("EUC-JP") << QByteArray("<meta charset='euc-jp'>\n") << QByteArray()
        << "EUC-JP";
    QTest::newRow("no META is UTF-8")
        << QByteArray("UTF-8") << QByteArray() << QByteArray() << "UTF-8";
    QTest::newRow("UTF-8 byte-order mark wins over META")
        << QByteArray("UTF-8") << m("Shift_JIS") << QByteArray("\xEF\xBB\xBF") << "UTF-8";
    QTest::newRow("UTF-16LE byte-order mark")
        << QByteArray("UTF-16LE") << m("UTF-8") << QByteArray("\xFF\xFE") << "UTF-16LE";
    QTest::newRow("UTF-16BE byte-order mark")
        << QByteArray("UTF-16BE") << m("Shift_JIS") << QByteArray("\xFE\xFF") << "UTF-16BE";
    QTest::newRow("a UTF-16 label without mark is UTF-8")
        << QByteArray("UTF-8") << m("utf-16") << QByteArray() << "UTF-8";
    QTest::newRow("Latin-1 label reads as windows-1252")
        << QByteArray("windows-1252") << m("ISO-8859-1") << QByteArray() << "windows-1252";
}

void TestBookmarkFile::encodings()
{
    QFETCH(QByteArray, converter);
    QFETCH(QByteArray, meta);
    QFETCH(QByteArray, bom);
    QFETCH(QString, encoding);
    const bool japanese = converter != "windows-1252";
    // ① and 髙 exist only in code page 932's extensions; ～ is where it differs from JIS.
    const QString folder = japanese ? QStringLiteral("技術/ﾊﾝｶｸ") : QStringLiteral("Café");
    const QString title
        = japanese ? QStringLiteral("①髙橋さんの「表」～ソ") : QStringLiteral("Ünïcödé €");
    const QString desc = japanese ? QStringLiteral("説明：十") : QStringLiteral("naïve");
    const QString text = QStringLiteral("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n")
        + QString::fromLatin1(meta)
        + QStringLiteral("<TITLE>Bookmarks</TITLE>\n<DL><p>\n<DT><H3>技術</H3>\n<DL><p>\n")
              .replace(QStringLiteral("技術"), folder.section(u'/', 0, 0))
        + (japanese ? QStringLiteral("<DT><H3>ﾊﾝｶｸ</H3>\n<DL><p>\n") : QString())
        + QStringLiteral("<DT><A HREF=\"https://j.example/\" ADD_DATE=\"1\">%1</A>\n<DD>%2\n")
              .arg(title, desc)
        + (japanese ? QStringLiteral("</DL><p>\n") : QString())
        + QStringLiteral("</DL><p>\n</DL><p>\n");
    QStringEncoder encoder(converter.constData());
    QVERIFY(encoder.isValid());
    const QByteArray bytes = bom + QByteArray(encoder(text));
    QVERIFY(!encoder.hasError());

    const BookmarkFile file = BookmarkFile::parse(bytes);
    QVERIFY2(file.ok(), qPrintable(file.error));
    QCOMPARE(file.encoding, encoding);
    QCOMPARE(file.links.size(), 1);
    QCOMPARE(file.folderPath(file.links[0]), folder);
    QCOMPARE(file.links[0].title, title);
    QCOMPARE(file.links[0].description, desc);
}

void TestBookmarkFile::refuses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");

    const QString notBookmarks = QStringLiteral("ﾌﾞｯｸﾏｰｸのﾌｧｲﾙではありません");
    QTest::newRow("empty file") << QByteArray() << notBookmarks;
    QTest::newRow("a web page without links")
        << QByteArray("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>x</title></head>"
                      "<body><p>Hello</p><a name=\"top\">top</a></body></html>\n")
        << notBookmarks;
    QTest::newRow("plain text") << QByteArray("https://example.com/\nhttps://example.org/\n")
                                << notBookmarks;
    // Bytes not in the encoding, with the line they stand on; kHead has five lines.
    const auto bad = [](const char *name, const char *charset, const QByteArray &body, int line) {
        QTest::newRow(name) << QByteArray(kHead).replace("UTF-8", charset) + body
                            << QStringLiteral("%1 として読めないﾊﾞｲﾄがあります (%2 行目)")
                                   .arg(QLatin1StringView(charset))
                                   .arg(line);
    };
    bad("not Shift_JIS", "Shift_JIS",
        "<DT><A HREF=\"https://x.example/\">\x82\xa0</A>\n<DT><A>\x82\xff</A>\n", 7);
    bad("Shift_JIS bytes declared EUC-JP", "EUC-JP", "<DT><A>\x82\xa0</A>\n", 6);
    bad("overlong form", "UTF-8", "<DT><A>\xC0\xAF</A>\n", 6);
    bad("surrogate", "UTF-8", "<DT><A HREF=\"https://x.example/\">ok</A>\n\n<DT>\xED\xA0\x80\n", 8);
    bad("continuation byte alone, in an attribute nobody reads", "UTF-8",
        "<DT><A HREF=\"https://x.example/\" ICON=\"\x80\">a</A>\n", 6);
    bad("cut in the middle of a character", "UTF-8", "<DT><A>\xe3\x81\x82\xe3\x81", 6);
    QTest::newRow("not UTF-8, no META")
        << QByteArray(kHead).replace("charset=UTF-8", "x")
            + "<DT><A HREF=\"https://x.example/\">ok</A>\n<DT><A>\x82\xa0</A>\n"
        << QStringLiteral("UTF-8 として読めないﾊﾞｲﾄがあります (7 行目)");
    QTest::newRow("unknown charset") << QByteArray(kHead).replace("UTF-8", "x-klingon")
            + "<DT><A HREF=\"https://x.example/\">a</A>\n"
                                     << QStringLiteral("文字ｺｰﾄﾞ x-klingon には対応していません");
}

void TestBookmarkFile::refuses()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    const BookmarkFile file = BookmarkFile::parse(bytes);
    QVERIFY(!file.ok());
    QCOMPARE(file.error, error);
    QVERIFY(file.links.isEmpty());
    QVERIFY(file.folders.isEmpty());
}

// Entries one by one: what each gives, and the lines of those that are skipped.
void TestBookmarkFile::entries_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QList<int>>("skipped");

    // kHead has five lines; the first entry stands on line 6.
    QTest::newRow("link without address")
        << kHead
            + "<DT><A ADD_DATE=\"1\">no address</A>\n"
              "<DT><A HREF=\"\">empty</A><DT><A HREF=\"  \">blank</A>\n"
              "<DT><A HREF=\"https://m.example/1\">ok</A>\n</DL><p>\n"
        << QStringList {"|1|https://m.example/1|ok||0"} << QList<int> {6, 7};
    QTest::newRow("quote not closed on its line")
        << kHead
            + "<DT><A HREF=\"https://m.example/broken>broken</A>\n"
              "<DT><A HREF=\"https://m.example/2\" ADD_DATE='3>x</A>\n"
              "<DT><A HREF=\"https://m.example/3\">ok</A>\n</DL><p>\n"
        << QStringList {"|1|https://m.example/3|ok||0"} << QList<int> {6, 7};
    QTest::newRow("tag not closed")
        << kHead
            + "<DT><A HREF=\"https://m.example/1\" ADD_DATE=\"1\"\n"
              "<DT><A HREF=\"https://m.example/2\">ok</A>\n</DL><p>\n"
        << QStringList {"|1|https://m.example/2|ok||0"} << QList<int> {6};
    QTest::newRow("broken heading: its links go to the enclosing folder")
        << kHead
            + "<DT><H3>Outer</H3>\n<DL><p>\n"
              "<DT><H3 ADD_DATE=\"1>Inner</H3>\n<DL><p>\n"
              "<DT><A HREF=\"https://m.example/in\">in</A>\n</DL><p>\n"
              "<DT><A HREF=\"https://m.example/out\">out</A>\n</DL><p>\n</DL><p>\n"
        << QStringList {"Outer|1|https://m.example/in|in||0",
                        "Outer|2|https://m.example/out|out||0"}
        << QList<int> {8};
    QTest::newRow("cut off at the end")
        << kHead + "<DT><A HREF=\"https://m.example/1\">one</A>\n<DT><A HREF=\"https://m.exa"
        << QStringList {"|1|https://m.example/1|one||0"} << QList<int> {7};
    QTest::newRow("two bad entries on one line count once") << kHead
            + "<DT><A>x</A><DT><A>y</A>\n\n\n<DT><A HREF=\"https://m.example/1\">one</A>\n"
              "<DT><A NAME=\"n\">z</A>\n" << QStringList {"|1|https://m.example/1|one||0"}
                                                            << QList<int> {6, 10};

    // Control characters: an address with one is an unreadable line; names and titles lose
    // theirs but TAB.
    QTest::newRow("control characters")
        << kHead
            + "<DT><H3>F\x1b[31m\xc2\x9b</H3>\n<DL><p>\n"
              "<DT><A HREF=\"https://c.example/\x1b[31m\">esc</A>\n"
              "<DT><A HREF=\"https://c.example/\x01\">soh</A>\n"
              "<DT><A HREF=\"https://c.example/ok\">a\x07"
              "b\tc&#1;\xc2\x85</A>\n</DL><p>\n</DL><p>\n"
        << QStringList {"F [31m|1|https://c.example/ok|a b\tc||0"} << QList<int> {8, 9};

    // ADD_DATE: seconds, or milliseconds and microseconds scaled; anything else is no date.
    const auto date = [](const char *name, const char *value, qint64 seconds) {
        QTest::newRow(name) << kHead + "<DT><A HREF=\"https://t.example/\" ADD_DATE=" + value
                + ">t</A>\n" << QStringList {"|1|https://t.example/|t||" + QString::number(seconds)}
                            << QList<int>();
    };
    date("seconds", "\"1700000000\"", 1700000000);
    date("year 10000 in seconds", "\"253402300800\"", 253402300800);
    date("largest seconds", "\"999999999999\"", 999999999999);
    date("smallest milliseconds", "\"1000000000000\"", 1000000000);
    date("microseconds", "\"1700000000123456\"", 1700000000);
    date("too large for microseconds", "\"1000000000000000000\"", 0);
    date("fraction", "\"1700000000.75\"", 1700000000);
    date("not a number", "\"yesterday\"", 0);
}

void TestBookmarkFile::entries()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, links);
    QFETCH(QList<int>, skipped);
    const BookmarkFile file = BookmarkFile::parse(bytes);
    QVERIFY2(file.ok(), qPrintable(file.error));
    QCOMPARE(linesOf(file), links);
    QCOMPARE(file.skippedLines, skipped);
}

// A file on disk (mapped, not copied) reads as its bytes do; a missing file, a folder and an
// empty file are refused.
void TestBookmarkFile::readsFromDisk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ブックマーク.html"));
    TestFiles::write(path, sample("chromium.html"));
    const BookmarkFile file = BookmarkFile::read(path);
    QVERIFY2(file.ok(), qPrintable(file.error));
    QCOMPARE(linesOf(file), linesOf(BookmarkFile::parse(sample("chromium.html"))));

    const BookmarkFile missing = BookmarkFile::read(dir.filePath(QStringLiteral("none.html")));
    QVERIFY(!missing.ok() && missing.links.isEmpty());
    QVERIFY(!BookmarkFile::read(dir.path()).ok());
    TestFiles::write(dir.filePath(QStringLiteral("empty.html")), {});
    QCOMPARE(BookmarkFile::read(dir.filePath(QStringLiteral("empty.html"))).error,
             QStringLiteral("ﾌﾞｯｸﾏｰｸのﾌｧｲﾙではありません"));
}

QTEST_GUILESS_MAIN(TestBookmarkFile)
#include "tst_bookmarkfile.moc"
