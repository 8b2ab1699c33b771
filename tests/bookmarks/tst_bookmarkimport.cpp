#include "address/AddressSet.h"
#include "bookmarks/BookmarkImport.h"
#include "platform/NoCase.h"
#include "support/BookmarkSamples.h"

#include <QTest>

namespace {

using BookmarkSamples::entry;
using BookmarkSamples::folder;
using BookmarkSamples::kHead;

// "number|name|sort key" for each group.
QList<GroupRecord> groupsOf(const QStringList &texts)
{
    QList<GroupRecord> groups;
    for (const QString &t : texts) {
        const QStringList f = t.split(u'|');
        groups.append({f[0].toInt(), f[1], f[2].toDouble()});
    }
    return groups;
}

QStringList textsOf(const QList<GroupRecord> &groups)
{
    QStringList texts;
    for (const GroupRecord &g : groups)
        texts << QStringLiteral("%1|%2|%3").arg(g.nGrp).arg(g.sGrp).arg(g.gSrt);
    return texts;
}

// "number|address|group|sort key|date" for each planned link.
QStringList textsOf(const QList<ImportLink> &links)
{
    QStringList texts;
    for (const ImportLink &l : links) {
        texts << QStringLiteral("%1|%2|%3|%4|%5")
                     .arg(l.link.nURL)
                     .arg(l.link.sURL)
                     .arg(l.link.nGrp)
                     .arg(l.link.gSrt)
                     .arg(l.added);
    }
    return texts;
}

ImportPlan planOf(const QByteArray &bytes, const QList<GroupRecord> &groups,
                  const QStringList &known = {}, int first = 100)
{
    const BookmarkFile file = BookmarkFile::parse(bytes);
    if (!file.ok())
        qWarning() << file.error;
    AddressSet set;
    for (const QString &a : known)
        set.insert(a);
    return BookmarkImport::plan(
        file, groups, [&](const QString &a) { return set.contains(a); }, first);
}

const QList<GroupRecord> kFresh {{0, QStringLiteral("未分類"), 0}};

} // namespace

class TestBookmarkImport : public QObject
{
    Q_OBJECT

private slots:
    void numbersByDate_data()
    {
        QTest::addColumn<QByteArray>("links");
        QTest::addColumn<int>("first");
        QTest::addColumn<QStringList>("planned");

        QTest::newRow("newest last")
            << entry("https://n.example/c", "300") + entry("https://n.example/a", "100")
                + entry("https://n.example/b", "200")
            << 100
            << QStringList {"100|https://n.example/a|0|2|100", "101|https://n.example/b|0|3|200",
                            "102|https://n.example/c|0|1|300"};
        QTest::newRow("equal dates keep the file's order, undated first")
            << entry("https://n.example/1", "50") + entry("https://n.example/2")
                + entry("https://n.example/3", "50") + entry("https://n.example/4", "0")
                + entry("https://n.example/5", "10")
            << 7
            << QStringList {"7|https://n.example/2|0|2|0", "8|https://n.example/4|0|4|0",
                            "9|https://n.example/5|0|5|10", "10|https://n.example/1|0|1|50",
                            "11|https://n.example/3|0|3|50"};
        QTest::newRow("milliseconds and seconds compare as dates")
            << entry("https://n.example/ms", "1700000000500")
                + entry("https://n.example/s", "1600000000")
                + entry("https://n.example/us", "1500000000000000")
            << 100
            << QStringList {"100|https://n.example/us|0|3|1500000000",
                            "101|https://n.example/s|0|2|1600000000",
                            "102|https://n.example/ms|0|1|1700000000"};
    }
    void numbersByDate()
    {
        QFETCH(QByteArray, links);
        QFETCH(int, first);
        QFETCH(QStringList, planned);
        const ImportPlan plan = planOf(kHead + links + "</DL><p>\n", kFresh, {}, first);
        QCOMPARE(textsOf(plan.links), planned);
        QVERIFY(plan.newGroups.isEmpty());
    }

    void groups_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("known");
        QTest::addColumn<QStringList>("created");
        QTest::addColumn<QStringList>("planned");

        QTest::newRow("empty collection: folders with links or nothing become groups")
            << QStringList {"0|未分類|0"}
            << folder("A",
                      entry("https://g.example/a1") + folder("B", entry("https://g.example/ab"))
                          + entry("https://g.example/a2"))
                + folder("C", folder("D", entry("https://g.example/cd"))) + folder("E", {})
                + entry("https://g.example/root")
            << QStringList {} << QStringList {"1|A|1", "2|A/B|2", "3|C/D|3", "4|E|4"}
            << QStringList {"100|https://g.example/a1|1|1|0", "101|https://g.example/ab|2|1|0",
                            "102|https://g.example/a2|1|2|0", "103|https://g.example/cd|3|1|0",
                            "104|https://g.example/root|0|1|0"};
        QTest::newRow("existing names reused, case ignored; new ones after the highest")
            << QStringList {"0|未分類|0", "3|qt|5", "7|Ｑｔ全角|2.5", "5|ärger|1"}
            << folder("Qt", entry("https://g.example/qt"))
                + folder("ＱＴ全角", entry("https://g.example/wide"))
                + folder("ÄRGER", entry("https://g.example/umlaut"))
                + folder("New", entry("https://g.example/new"))
                + folder("Newer", entry("https://g.example/newer"))
            << QStringList {} << QStringList {"8|New|6", "9|Newer|7"}
            << QStringList {"100|https://g.example/qt|3|1|0", "101|https://g.example/wide|7|1|0",
                            "102|https://g.example/umlaut|5|1|0", "103|https://g.example/new|8|1|0",
                            "104|https://g.example/newer|9|1|0"};
        // Never a second group of group 0's name, which no name lookup could reach.
        QTest::newRow("group 0's name is group 0")
            << QStringList {"0|未分類|0"} << folder("未分類", entry("https://g.example/u"))
            << QStringList {} << QStringList {} << QStringList {"100|https://g.example/u|0|1|0"};
        QTest::newRow("a listed group of that name wins")
            << QStringList {"0|未分類|0", "6|未分類|1"}
            << folder("未分類", entry("https://g.example/u")) << QStringList {} << QStringList {}
            << QStringList {"100|https://g.example/u|6|1|0"};
        QTest::newRow("of two names equal but for case, the first in list order")
            << QStringList {"0|未分類|0", "2|Dup|9", "4|dup|1"}
            << folder("DUP", entry("https://g.example/d")) << QStringList {} << QStringList {}
            << QStringList {"100|https://g.example/d|4|1|0"};
        QTest::newRow("folders equal but for case are one group, places go on")
            << QStringList {"0|未分類|0"}
            << folder("News", entry("https://g.example/n1") + entry("https://g.example/n2"))
                + folder("NEWS", entry("https://g.example/n3"))
            << QStringList {} << QStringList {"1|News|1"}
            << QStringList {"100|https://g.example/n1|1|1|0", "101|https://g.example/n2|1|2|0",
                            "102|https://g.example/n3|1|3|0"};
        QTest::newRow("a folder whose links are all known makes no group; places count them")
            << QStringList {"0|未分類|0"}
            << folder("Known", entry("https://g.example/k"))
                + folder("Mixed", entry("https://g.example/k2") + entry("https://g.example/m"))
            << QStringList {"https://g.example/k", "https://g.example/k2"}
            << QStringList {"1|Mixed|1"} << QStringList {"100|https://g.example/m|1|2|0"};
        QTest::newRow("no groups at all")
            << QStringList {} << folder("A", entry("https://g.example/a")) << QStringList {}
            << QStringList {"1|A|1"} << QStringList {"100|https://g.example/a|1|1|0"};
    }
    void groups()
    {
        QFETCH(QStringList, existing);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, known);
        QFETCH(QStringList, created);
        QFETCH(QStringList, planned);
        const ImportPlan plan = planOf(kHead + body + "</DL><p>\n", groupsOf(existing), known);
        QCOMPARE(textsOf(plan.newGroups), created);
        QCOMPARE(textsOf(plan.links), planned);
    }

    void duplicates_data()
    {
        QTest::addColumn<QStringList>("known");
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QStringList>("inserted");

        QTest::newRow("in the collection, case of scheme and host ignored")
            << QStringList {"https://a.example/Path?Q=1"}
            << QStringList {"HTTPS://A.EXAMPLE/Path?Q=1", "https://a.example/path?q=1"}
            << QStringList {"https://a.example/path?q=1"};
        QTest::newRow("path, query, fragment and user keep their case")
            << QStringList {"http://u@h/Docs/Readme?A#F"}
            << QStringList {"http://u@h/docs/Readme?A#F", "http://u@h/Docs/Readme?a#F",
                            "http://u@h/Docs/Readme?A#f", "http://U@h/Docs/Readme?A#F"}
            << QStringList {"http://u@h/docs/Readme?A#F", "http://u@h/Docs/Readme?a#F",
                            "http://u@h/Docs/Readme?A#f", "http://U@h/Docs/Readme?A#F"};
        QTest::newRow("other letters keep their case")
            << QStringList {"https://ä.example/É"}
            << QStringList {"https://Ä.example/É", "https://ä.example/é"}
            << QStringList {"https://Ä.example/É", "https://ä.example/é"};
        QTest::newRow("earlier in the file: the first stays")
            << QStringList {}
            << QStringList {"https://b.example/", "https://c.example/", "HTTPS://B.example/",
                            "https://b.example/"}
            << QStringList {"https://b.example/", "https://c.example/"};
        QTest::newRow("no other likeness")
            << QStringList {}
            << QStringList {"https://d.example", "https://d.example/", "http://d.example/",
                            "https://d.example/#x"}
            << QStringList {"https://d.example", "https://d.example/", "http://d.example/",
                            "https://d.example/#x"};
    }
    void duplicates()
    {
        QFETCH(QStringList, known);
        QFETCH(QStringList, addresses);
        QFETCH(QStringList, inserted);
        QByteArray body;
        for (const QString &a : addresses)
            body += entry(a.toUtf8().constData());
        const ImportPlan plan = planOf(kHead + body, kFresh, known);
        QStringList got;
        for (const ImportLink &l : plan.links)
            got << l.link.sURL;
        QCOMPARE(got, inserted);
        QCOMPARE(plan.linksRead, int(addresses.size()));
        QCOMPARE(plan.duplicates + plan.merged, int(addresses.size() - inserted.size()));
    }

    // An address the file names again is one link: the first entry's folder and title, the
    // later entries' other texts in its description. Links of the collection stay as they are.
    void merges_data()
    {
        QTest::addColumn<QStringList>("known");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("planned"); // "group|title|description"
        QTest::addColumn<int>("merged");
        QTest::addColumn<int>("duplicates");
        const auto dt = [](const char *address, const char *title, const char *description) {
            QByteArray e = "<DT><A HREF=\"" + QByteArray(address) + "\">" + title + "</A>\n";
            return *description ? e + "<DD>" + description + "\n" : e;
        };

        QTest::newRow("two folders: texts of the second after a blank line")
            << QStringList {}
            << folder("X", dt("https://a.example/p", "A", "first"))
                + folder("Y", dt("HTTPS://A.EXAMPLE/p", "A again", "second"))
            << QStringList {"1|A|first\r\n\r\nA again\r\nsecond"} << 1 << 0;
        QTest::newRow("texts already held are not repeated")
            << QStringList {}
            << dt("https://a.example/", "T", "d") + dt("https://a.example/", "T", "d")
                + dt("https://a.example/", "d", "T") + dt("https://a.example/", "U", "T")
                + dt("https://a.example/", "U", "")
            << QStringList {"0|T|d\r\n\r\nU"} << 4 << 0;
        QTest::newRow("no description: the later texts are the description")
            << QStringList {}
            << dt("https://a.example/", "", "") + dt("https://a.example/", "Named", "")
                + dt("https://a.example/", "", "says") + dt("https://b.example/", "B", "")
            << QStringList {"0||Named\r\n\r\nsays", "0|B|"} << 2 << 0;
        QTest::newRow("another path is another link")
            << QStringList {}
            << dt("https://a.example/P", "A", "") + dt("https://a.example/p", "a", "")
            << QStringList {"0|A|", "0|a|"} << 0 << 0;
        QTest::newRow("in the collection: skipped, not merged")
            << QStringList {"https://a.example/"}
            << dt("https://a.example/", "A", "x") + dt("https://a.example/", "B", "y")
                + dt("https://c.example/", "C", "")
            << QStringList {"0|C|"} << 0 << 2;
    }
    void merges()
    {
        QFETCH(QStringList, known);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, planned);
        QFETCH(int, merged);
        QFETCH(int, duplicates);
        const ImportPlan plan = planOf(kHead + body, kFresh, known);
        QStringList got;
        for (const ImportLink &l : plan.links)
            got << QStringLiteral("%1|%2|%3").arg(l.link.nGrp).arg(l.link.sNam, l.link.sMem);
        QCOMPARE(got, planned);
        QCOMPARE(plan.merged, merged);
        QCOMPARE(plan.duplicates, duplicates);
    }

    void countsLargeFile()
    {
        const int n = 5003;
        const BookmarkFile file = BookmarkFile::parse(BookmarkSamples::generated(n));
        QVERIFY(file.ok());
        // Half of the file's addresses are in the collection already.
        AddressSet known;
        for (int i = 0; i < n; i += 2)
            known.insert(file.links[i].address);
        const ImportPlan plan = BookmarkImport::plan(
            file, kFresh, [&](const QString &a) { return known.contains(a); }, 1000);
        int expectedNew = 0;
        AddressSet seen;
        for (const BookmarkLink &l : file.links)
            expectedNew += !known.contains(l.address) && seen.insert(l.address);
        QCOMPARE(plan.linksRead, n);
        QCOMPARE(plan.links.size(), expectedNew);
        QCOMPARE(plan.duplicates + plan.merged, n - expectedNew);
        QVERIFY(plan.duplicates > n / 2);
        QCOMPARE(plan.newGroups.size(), 500); // the innermost folders; the others hold only folders
        QCOMPARE(plan.newGroups.first().sGrp, QStringLiteral("分野 1/話題 1/項目 1"));
        for (qsizetype i = 0; i < plan.links.size(); ++i) {
            QCOMPARE(plan.links[i].link.nURL, 1000 + int(i));
            if (i > 0)
                QVERIFY(plan.links[i - 1].added <= plan.links[i].added);
        }

        // Without a collection, exactly the file's repeats are skipped.
        const ImportPlan fresh = BookmarkImport::plan(file, {}, {}, 100);
        QCOMPARE(fresh.merged, BookmarkSamples::generatedRepeats(n));
        QCOMPARE(fresh.links.size(), n - fresh.merged);
    }

    void noCase_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        const auto row = [](const char *name, const QString &a, const QString &b, int order) {
            QTest::newRow(name) << a << b << order;
        };
        row("ASCII case", "Hello World", "hello world", 0);
        row("folded before compared", "Zebra", "apple", 1);
        row("underscore before letters of either case", "_x", "Ax", -1);
        row("shorter first", "abc", "ABCD", -1);
        row("accented letters keep their case", "é", "É", 1);
        row("full-width letters keep their case", "ａ", "Ａ", 1);
        row("code point order past U+FFFF", QString(QChar(0xFFFD)), "😀", -1);
        row("kana", "あ", "ア", -1);
    }
    void noCase()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(NoCase::compare(a, b), order);
        QCOMPARE(NoCase::compare(b, a), -order);
        QCOMPARE(NoCase::equal(a, b), order == 0);
        if (order == 0)
            QCOMPARE(NoCase::hash(a), NoCase::hash(b));
    }
};

QTEST_GUILESS_MAIN(TestBookmarkImport)
#include "tst_bookmarkimport.moc"
