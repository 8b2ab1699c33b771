#include "output/Portal.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ListRow)

namespace {

const QByteArray kHead
    = "<html>\r\n<head>\r\n"
      "<meta http-equiv='Content-Type' content='text/html; charset=shift_jis'>\r\n"
      "<title>My Portal</title>\r\n</head>\r\n<body>\r\n";
const QByteArray kTail = "</table>\r\n</body>\r\n</html>\r\n";

QByteArray hx(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray heading(const QByteArray &name)
{
    return "<p style='font-size:12pt; font-weight:bold'>" + name + "</p>\r\n<ul>\r\n";
}

QByteArray item(const QByteArray &url, const QByteArray &title, const QByteArray &desc)
{
    return "  <li style='font-size:10pt; line-height:20px'><a href='" + url + "'>" + title
        + "</a>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; " + desc + "</li>\r\n";
}

const QByteArray kEnd = "</ul>\r\n";

ListRow row(const QString &n, const QString &url, const QString &grp, const QString &title,
            const QString &desc)
{
    return ListRow {n, url, grp, title, desc};
}

} // namespace

class TestPortal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Dialogs::enableTestMode(); }
    void init() { Dialogs::enableTestMode(); }

    void page_data()
    {
        QTest::addColumn<QList<ListRow>>("rows");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("empty list") << QList<ListRow>() << kHead + kTail;

        QTest::newRow("one group")
            << QList<ListRow> {row("100", "https://a.example/", "News", "Alpha", "first"),
                               row("101", "https://b.example/x", "News", "Beta", "")}
            << kHead + heading("News") + item("https://a.example/", "Alpha", "first")
                + item("https://b.example/x", "Beta", "") + kEnd + kTail;

        // The newest-links view mixes groups: every change opens a heading again.
        QTest::newRow("alternating groups")
            << QList<ListRow> {row("3", "http://u3/", "A", "t3", "d3"),
                               row("2", "http://u2/", "ニュース", "t2", "d2"),
                               row("1", "http://u1/", "A", "t1", "d1"),
                               row("0", "http://u0/", "A", "t0", "d0")}
            << kHead + heading("A") + item("http://u3/", "t3", "d3") + kEnd
                + heading(hx("836a8385815b8358")) + item("http://u2/", "t2", "d2") + kEnd
                + heading("A") + item("http://u1/", "t1", "d1") + item("http://u0/", "t0", "d0")
                + kEnd + kTail;

        QTest::newRow("group names compared exactly")
            << QList<ListRow> {row("1", "http://u/", "News", "a", ""),
                               row("2", "http://v/", "news", "b", "")}
            << kHead + heading("News") + item("http://u/", "a", "") + kEnd + heading("news")
                + item("http://v/", "b", "") + kEnd + kTail;

        // One link: its group's heading bytes and its list item.
        const auto one = [](const char *name, const ListRow &r, const QByteArray &group,
                            const QByteArray &items) {
            QTest::newRow(name) << QList<ListRow> {r}
                                << kHead + heading(group) + items + kEnd + kTail;
        };
        // One link in group G at http://u/: its title and description as written.
        const auto inG = [&](const char *name, const QString &title, const QString &desc,
                             const QByteArray &titleOut, const QByteArray &descOut) {
            one(name, row("7", "http://u/", "G", title, desc), "G",
                item("http://u/", titleOut, descOut));
        };
        one("empty group name still opens a list", row("1", "http://u/", "", "a", "d"), "",
            item("http://u/", "a", "d"));
        one("markup and quotes",
            row("7", "https://x.example/?a=1&b='2'", "R&D <lab>", "Tom & Jerry <b>\"bold\"</b>",
                "it's > that"),
            "R&amp;D &lt;lab&gt;",
            item("https://x.example/?a=1&amp;b=&#39;2&#39;",
                 "Tom &amp; Jerry &lt;b&gt;&quot;bold&quot;&lt;/b&gt;", "it&#39;s &gt; that"));
        inG("line breaks stay", "t", "one\r\ntwo\nthree", "t", "one\r\ntwo\nthree");
        one("template marks inside values are text",
            row("7", "http://x/‡表題‡", "†", "‡説明‡", "x"), hx("81f5"),
            item("http://x/%E2%80%A1%E8%A1%A8%E9%A1%8C%E2%80%A1", hx("81f690e096be81f6"), "x"));
        // Addresses go out as the browser sends them, whatever the page's own code page.
        one("address with non-ASCII", row("7", "https://s.example/?q=あ&x=1 y\"", "G", "t", ""),
            "G", item("https://s.example/?q=%E3%81%82&amp;x=1%20y%22", "t", ""));
        // Only pages and files are links; a script or network path is shown as text.
        one("script address", row("7", "javascript:alert(1)", "G", "t", "d"), "G",
            "  <li style='font-size:10pt; line-height:20px'>t&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; "
            "d</li>\r\n");
        one("network path", row("7", "//host/p", "G", "t", "d"), "G",
            "  <li style='font-size:10pt; line-height:20px'>t&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; "
            "d</li>\r\n");
        inG("empty title shows the address", "", "d", "http://u/", "d");
        inG("control characters", QString::fromUtf16(u"a\u0001b\u007F\u001Bc"), "\t",
            "a&#xFFFD;b&#xFFFD;&#xFFFD;c", "\t");
        inG("characters outside the code page", "smile 😀 ①",
            QString::fromUtf16(u"\u301C\uFF5E\u00A5\u2016\u2225\u2212\uFF0D"),
            "smile &#x1F600; " + hx("8740"),
            "&#x301C;" + hx("8160") + "&#xA5;&#x2016;" + hx("8161") + "&#x2212;" + hx("817c"));
        one("half-width katakana and kanji", row("7", "http://u/", "日本", "ﾘﾝｸ", "表題 \\~"),
            hx("93fa967b"), item("http://u/", hx("d8ddb8"), hx("955c91e8") + " \\~"));
        const char16_t lone[] = {u'a', 0xD83D, u'b', 0};
        inG("a lone surrogate", QString::fromUtf16(lone), "", "a&#xFFFD;b", "");
    }
    void page()
    {
        QFETCH(QList<ListRow>, rows);
        QFETCH(QByteArray, expected);
        const QByteArray bytes = Portal::pageBytes(rows);
        if (bytes != expected) {
            qWarning().noquote() << "got:     " << bytes.toHex(' ');
            qWarning().noquote() << "expected:" << expected.toHex(' ');
        }
        QCOMPARE(bytes, expected);
        QCOMPARE(Cp932::encode(Portal::pageText(rows)), expected);
    }

    void nothingIsLost()
    {
        // Whatever the values hold, the file decodes to exactly the page text.
        QString sample;
        for (char32_t c = 0x20; c < 0x30000; c += 37) {
            if (c >= 0xD800 && c < 0xE000)
                continue;
            sample += QString::fromUcs4(&c, 1);
        }
        const QList<ListRow> rows {row("1", sample, sample, sample, sample)};
        const QString text = Portal::pageText(rows);
        QCOMPARE(Cp932::decode(Cp932::encode(text)), text);
        QCOMPARE(Portal::pageBytes(rows), Cp932::encode(text));
        QVERIFY(text.contains("&#x10017;")); // 0x20 + 37 * 1771, the first sample beyond the BMP
    }

    // The page goes where the user chose (proposed: the group's name in Doc/), replacing what was
    // there; a cancel writes nothing, and a failed write names the file and gives no path.
    void make_data()
    {
        QTest::addColumn<QString>("answer"); // empty: cancelled
        QTest::addColumn<bool>("written");
        QTest::newRow("replaces the chosen file") << "Portal.htm" << true;
        QTest::newRow("cancelled") << "" << false;
        QTest::newRow("chosen name taken by a folder") << "taken" << false;
    }
    void make()
    {
        QFETCH(QString, answer);
        QFETCH(bool, written);
        QTemporaryDir dir;
        const QString path = answer.isEmpty() ? QString() : dir.filePath(answer);
        if (written)
            TestFiles::write(path, QByteArray(20000, 'z'));
        else if (!path.isEmpty())
            QVERIFY(QDir().mkdir(path));
        const QList<ListRow> rows {row("100", "https://a.example/", "News", "Alpha", "first")};
        Dialogs::setNextFileName(path);
        QCOMPARE(Portal::make(rows, "News", dir.path() + "/"), written ? path : QString());
        const QList<Dialogs::Shown> shown = Dialogs::shown();
        QCOMPARE(shown.size(), path.isEmpty() || written ? 1 : 2);
        QCOMPARE(shown[0].save.folder + '/' + shown[0].save.fileName, dir.path() + "/Doc/News.htm");
        if (shown.size() == 2)
            QVERIFY(shown[1].kind == Dialogs::Shown::Message && shown[1].text.contains(path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 written ? QStringList {answer} : QStringList());
        if (written)
            QCOMPARE(TestFiles::read(path), Portal::pageBytes(rows));
    }
};

QTEST_GUILESS_MAIN(TestPortal)
#include "tst_portal.moc"
