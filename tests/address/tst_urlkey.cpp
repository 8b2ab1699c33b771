#include "address/UrlKey.h"

#include <QTest>

#include <random>

class TestUrlKey : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void samePage_data();
    void samePage();
    void laterTwins_data();
    void laterTwins();
    void twinsInMemory();
    void plainReadingIsQUrls();
};

void TestUrlKey::samePage_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    const auto row = [](const char *name, const char *a, const char *b, bool same) {
        QTest::newRow(name) << QString::fromUtf8(a) << QString::fromUtf8(b) << same;
    };

    // Each rule alone
    row("http and https", "http://example.com/a", "https://example.com/a", true);
    row("host case", "https://Example.COM/a", "https://example.com/a", true);
    row("www", "https://www.example.com/a", "https://example.com/a", true);
    row("port 80", "http://example.com:80/a", "http://example.com/a", true);
    row("port 443 on http", "http://example.com:443/a", "https://example.com/a", true);
    row("trailing slash", "https://example.com/a/", "https://example.com/a", true);
    row("root slash", "https://example.com/", "https://example.com", true);
    row("fragment", "https://example.com/a#part2", "https://example.com/a", true);
    row("utm parameters", "https://example.com/a?utm_source=x&utm_medium=y",
        "https://example.com/a", true);
    row("utm in capitals", "https://example.com/a?UTM_Campaign=z", "https://example.com/a", true);
    row("fbclid", "https://example.com/a?fbclid=IwAR0abc", "https://example.com/a", true);
    row("tracking between kept ones", "https://example.com/a?id=1&utm_source=x&page=2",
        "https://example.com/a?id=1&page=2", true);
    row("empty query", "https://example.com/a?", "https://example.com/a", true);
    row("dot steps", "https://example.com/x/../a/./b", "https://example.com/a/b", true);
    row("trailing dot of host", "https://example.com./a", "https://example.com/a", true);
    row("spaces around", "  https://example.com/a \n", "https://example.com/a", true);
    // Percent-encoding and international names
    row("escaped and plain", "https://example.com/技術", "https://example.com/%E6%8A%80%E8%A1%93",
        true);
    row("international host", "http://例え.jp/", "http://xn--r8jz45g.jp", true);
    row("full-width host", "http://ｅｘａｍｐｌｅ.com/a", "http://example.com/a", true);

    // Different pages
    row("path case", "https://example.com/A", "https://example.com/a", false);
    row("subdomain", "https://m.example.com/a", "https://example.com/a", false);
    row("other port", "http://example.com:8080/a", "http://example.com/a", false);
    row("other parameter value", "https://example.com/a?id=1", "https://example.com/a?id=2", false);
    row("parameter order", "https://example.com/a?x=1&y=2", "https://example.com/a?y=2&x=1", false);
    row("kept parameter", "https://example.com/a?id=1", "https://example.com/a", false);
    row("parameter like utm", "https://example.com/a?utmx=1", "https://example.com/a", false);
    row("escaped slash", "https://example.com/a%2Fb", "https://example.com/a/b", false);
    row("two trailing slashes", "https://example.com/a//", "https://example.com/a", false);
    row("IPv6 default port", "http://[::1]:80/x", "http://[::1]/x", true);
    row("other scheme", "ftp://example.com/a", "http://example.com/a", false);
    row("other scheme: host case, fragment", "ftp://Example.com/a/#x", "ftp://example.com/a/",
        true);
    row("other scheme keeps its slash", "ftp://example.com/a/", "ftp://example.com/a", false);
    row("user", "https://user@example.com/a", "https://example.com/a", false);
    row("not an address", "memo", "https://memo", false);
}

void TestUrlKey::samePage()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);

    const QString ka = UrlKey::of(a);
    const QString kb = UrlKey::of(b);
    QVERIFY(!ka.isEmpty());
    QVERIFY(!kb.isEmpty());
    if ((ka == kb) != same)
        QFAIL(qPrintable(ka + u" / " + kb));
}

void TestUrlKey::laterTwins_data()
{
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QList<int>>("later");

    QTest::newRow("none") << QList<int> {1, 2} << QStringList {"http://a.jp/", "http://b.jp/"}
                          << QList<int> {};
    QTest::newRow("pair, lower number kept")
        << QList<int> {9, 4} << QStringList {"https://a.jp/x/", "http://a.jp/x"} << QList<int> {9};
    QTest::newRow("three of a kind and a pair, any order")
        << QList<int> {15, 3, 8, 20, 11, 6}
        << QStringList {"http://www.a.jp/p#1",          "https://a.jp/p",   "http://other.jp/",
                        "https://A.JP/p/?utm_medium=m", "https://other.jp", "http://a.jp/q"}
        << QList<int> {11, 15, 20};
    QTest::newRow("blank addresses are no twins")
        << QList<int> {1, 2, 3} << QStringList {"", " ", "http://a.jp/"} << QList<int> {};
    QTest::newRow("same link twice")
        << QList<int> {5, 5, 7} << QStringList {"http://a.jp/", "http://a.jp/", "https://a.jp"}
        << QList<int> {7};
}

void TestUrlKey::laterTwins()
{
    QFETCH(QList<int>, numbers);
    QFETCH(QStringList, addresses);
    QFETCH(QList<int>, later);

    std::vector<UrlKey::Numbered> links;
    for (qsizetype i = 0; i < numbers.size(); ++i)
        links.push_back({numbers.at(i), addresses.at(i)});
    const std::vector<qint64> got = UrlKey::laterTwins(links);
    QCOMPARE(QList<int>(got.begin(), got.end()), later);
}

void TestUrlKey::twinsInMemory()
{
    const QStringList addresses {"https://example.com/a", "http://example.com/a/",
                                 "https://example.com/b", ""};
    std::vector<UrlKey::Numbered> links;
    for (int i = 0; i < addresses.size(); ++i)
        links.push_back({10 - i, addresses.at(i)});
    UrlTwins twins;
    twins.rebuild(links);
    QCOMPARE(twins.size(), 3); // the blank address is not held
    using V = std::vector<qint64>;
    // A completed page: the http twin, the trailing-slash twin, the www twin
    QCOMPARE(twins.sharing(u"http://www.example.com/a#x"), V({9, 10}));
    QCOMPARE(twins.sharing(u"https://example.com/b/"), V({8}));
    // A different page
    QCOMPARE(twins.sharing(u"https://example.com/c"), V());
    QCOMPARE(twins.sharing(u"https://example.com/a?id=1"), V());
    QCOMPARE(twins.sharing(u""), V());
    // Registration, deletion
    twins.insert(3, u"https://example.com/c?utm_source=news");
    QCOMPARE(twins.sharing(u"https://example.com/c"), V({3}));
    twins.insert(3, u"https://example.com/d"); // the same link again, another address
    QCOMPARE(twins.sharing(u"https://example.com/c"), V());
    QCOMPARE(twins.sharing(u"https://example.com/d"), V({3}));
    twins.remove(10);
    QCOMPARE(twins.sharing(u"https://example.com/a"), V({9}));
    const std::vector<qint64> gone {9, 8, 77};
    twins.remove(gone);
    QCOMPARE(twins.sharing(u"https://example.com/a"), V());
    QCOMPARE(twins.sharing(u"https://example.com/b"), V());
    QCOMPARE(twins.size(), 1);

    // Numbers past 32 bits and negative ones are held apart, and come in number order.
    twins.insert(qint64(1) << 40, u"https://example.com/b");
    twins.insert(-4, u"http://example.com/b/");
    twins.insert(UINT32_MAX, u"https://www.example.com/b");
    QCOMPARE(twins.sharing(u"https://example.com/b"), V({-4, UINT32_MAX, qint64(1) << 40}));
    twins.remove(V({-4, qint64(1) << 40}));
    QCOMPARE(twins.sharing(u"https://example.com/b"), V({UINT32_MAX}));
    // Two other pages whose keys share a hash are both candidates (the caller confirms).
    twins.insert(1871, u"https://example.com/p1871");
    twins.insert(295643, u"https://example.com/p295643");
    QCOMPARE(twins.sharing(u"https://example.com/p1871"), V({1871, 295643}));
}

// Plain addresses get their key without QUrl: the same key as QUrl's reading, whatever the
// address is made of (the random ones mix plain pieces with those QUrl reads its own way).
void TestUrlKey::plainReadingIsQUrls()
{
    const QList<QStringList> pieces {
        {"http://", "https://", "HTTP://", "ftp://", "", "http:/"},
        {"", "", "", "u@", "u:p@"},
        {"example.com", "Example.COM", "www.example.com",
         "WWW.x.org",   "a-b.c",       "-a.com",
         "a-.com",      "a--b.com",    "xn--r8jz45g.jp",
         "127.0.0.1",   "127.1",       "0x7f.1",
         "a.0x1",       "site.123",    "example.com.",
         "a..b",        ".a.com",      "localhost",
         "例え.jp",     "a_b.com",     "",
         "[::1]",       "ab.c9",       "www.",
         "ｅｘ.com",    "a.com..",     "www.www.a.com"},
        {"", "", ":80", ":443", ":8080", ":0", ":080", ":", ":65535", ":65536", ":12a"},
        {"",      "/",      "/a",        "/a/",  "/A/b.html", "/a//b", "/./a",
         "/a/..", "/a/./b", "/~u/x_y-z", "/%41", "/%7e",      "/a b",  "/技術",
         "/a;b",  "/a:b",   "/.",        "/..",  "/a/.b",     "/..a",  "//"},
        {"", "", "?", "?x=1", "?utm_source=a&x=1", "?a=1&&b=2", "?&", "?utm_x", "?x=1&fbclid=2",
         "?X=%20", "?a+b", "?a=b=c", "?=", "?gclid", "?a/b", "?a~b.c_d", "?&utm_a=1&"},
        {"", "", "#", "#top", "#a?b", "#a#b"},
        {"", "", " ", "\t"}};
    std::mt19937 random(23);
    for (int i = 0; i < 20000; ++i) {
        QString address;
        for (const QStringList &choice : pieces)
            address += choice[int(random() % choice.size())];
        if (i % 7 == 0)
            address.prepend(u' ');
        QVERIFY2(
            UrlKey::of(address) == UrlKey::parsed(address),
            qPrintable(address + u" -> " + UrlKey::of(address) + u" / " + UrlKey::parsed(address)));
    }
}

QTEST_APPLESS_MAIN(TestUrlKey)
#include "tst_urlkey.moc"
