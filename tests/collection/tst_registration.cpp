#include "collection/Registration.h"
#include "store/LinkStore.h"
#include "store/Store.h"
#include "support/SqlLines.h"

#include <QTemporaryDir>
#include <QTest>

// The registration panel's rules on a real database, without a window.
class TestRegistration : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_tmp.filePath(QStringLiteral("dbLink.mdb")));
        QVERIFY(Store::OpenDb(m_tmp.filePath(QStringLiteral("dbLink.mdb"))));
    }
    void cleanup() { Store::CloseDb(); }

    void newPage_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("registrable");
        QTest::addColumn<QString>("memo");
        const auto row = [](const char *name, const char *url, const char *title, const char *text,
                            bool registrable, const char *memo) {
            QTest::newRow(name) << url << title << text << registrable << memo;
        };
        row("http", "http://a/", "T", "one line  ", true, "T\none line");
        row("HTTPS capitals", "HTTPS://A/", "T", "", true, "T\n");
        row("file", "file:///tmp/x.htm", "T", "", false, "T\n");
        row("http inside", "file:///x?u=http://y/", "T", "", false, "T\n");
        row("empty address", "", "T", "", false, "T\n");
        row("title with http", "http://a/", "see HTTP://b", "x", true, "\nx");
        row("lone CR", "http://a/", "T", "a\rb\r\nc", true, "T\nab c");
        row("six lines", "http://a/", "T", "1\r\n2\r\n3\r\n4\r\n5\r\n6", true, "T\n1 2 3 4");
        row("empty lines kept", "http://a/", "T", "l1\r\nl2\r\n\r\nl4\r\nl5", true, "T\nl1 l2  l4");
    }
    void newPage()
    {
        QFETCH(QString, url);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, registrable);
        QFETCH(QString, memo);
        Registration::Panel p;
        QVERIFY(Registration::lookup(url, title, text, p));
        QVERIFY(p.isNew);
        QCOMPARE(p.registrable, registrable);
        QCOMPARE(p.sortText, QStringLiteral("100"));
        QCOMPARE(p.memo, memo);
    }

    // A registered link shows its stored texts, each only when it is not empty.
    void registeredPage_data()
    {
        QTest::addColumn<QString>("sNam");
        QTest::addColumn<QString>("sMem");
        QTest::addColumn<double>("sort");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("sortText");
        QTest::newRow("both stored") << "Stored"
                                     << "desc" << 12.5 << "Stored\ndesc"
                                     << "12.5";
        QTest::newRow("empty title") << ""
                                     << "desc" << 100.0 << "Page\ndesc"
                                     << "100.0";
        QTest::newRow("empty description") << "Stored"
                                           << "" << 0.0 << "Stored\npage text"
                                           << "0.0";
    }
    void registeredPage()
    {
        QFETCH(QString, sNam);
        QFETCH(QString, sMem);
        QFETCH(double, sort);
        QFETCH(QString, memo);
        QFETCH(QString, sortText);
        QVERIFY(
            LinkStore::insertLink({105, QStringLiteral("http://Reg/"), 0, sNam, sMem, sort}, 1));
        Registration::Panel p;
        QVERIFY(Registration::lookup(QStringLiteral("http://reg/"), QStringLiteral("Page"),
                                     QStringLiteral("page text"), p));
        QVERIFY(!p.isNew);
        QCOMPARE(p.nURL, 105);
        QCOMPARE(p.memo, memo);
        QCOMPARE(p.sortText, sortText);
        // Only the scheme and host ignore letter case: another path is another page.
        QVERIFY(LinkStore::insertLink({106, "http://reg/Docs/Readme", 0, "D", "", 1}, 1));
        QVERIFY(Registration::lookup("HTTP://REG/docs/readme", "Page", "", p));
        QVERIFY(p.isNew);
        QVERIFY(Registration::lookup("HTTP://REG/Docs/Readme", "Page", "", p));
        QCOMPARE(p.nURL, 106);
    }

    void splitAndRecord_data()
    {
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("sortText");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("desc");
        QTest::addColumn<double>("sort");
        const auto row = [](const char *name, const char *memo, const char *sortText,
                            const char *title, const char *desc, double sort) {
            QTest::newRow(name) << memo << sortText << title << desc << sort;
        };
        row("title only", "Just a title", "12.5", "Just a title", "", 12.5);
        row("blank lines around", "Title line\n\nfirst\nsecond\n\n", "abc", "Title line",
            "first\r\nsecond", 0.0);
        row("lone CR", "T\rA\rB", "1e2", "T", "A\r\nB", 100.0);
        row("spaces stay", "T\n  d  ", " 7 x", "T", "  d  ", 7.0);
        row("seven digits", "T", "0.333333333", "T", "", 0.3333333);
    }
    void splitAndRecord()
    {
        QFETCH(QString, memo);
        QFETCH(QString, sortText);
        QFETCH(QString, title);
        QFETCH(QString, desc);
        QFETCH(double, sort);
        const LinkRecord r
            = Registration::record(7, QStringLiteral("http://a/"), 3, memo, sortText);
        QCOMPARE(r.sNam, title);
        QCOMPARE(r.sMem, desc);
        QCOMPARE(r.gSrt, sort);
        QCOMPARE(r.nGrp, 3);
    }

    void rowMatch_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("active");
        QTest::addColumn<bool>("matches");
        QTest::newRow("same link") << 3 << "105" << true;
        QTest::newRow("another link") << 3 << "106" << false;
        QTest::newRow("no number") << 3 << "" << false;
        QTest::newRow("empty list") << 0 << "105" << false;
    }
    void rowMatch()
    {
        QFETCH(int, rows);
        QFETCH(QString, active);
        QFETCH(bool, matches);
        int n = 0;
        QCOMPARE(Registration::rowMatches(rows, active, 105, &n), matches);
        QCOMPARE(n, matches ? 105 : 0);
    }

    void saveInsertsOrCorrects()
    {
        const LinkRecord r = Registration::record(100, QStringLiteral("http://a/"), 0,
                                                  QStringLiteral("A\nd"), QStringLiteral("1"));
        QVERIFY(Registration::save(true, r, 1754000000));
        LinkRecord c = r;
        c.sNam = QStringLiteral("A2");
        c.sURL = QStringLiteral("http://changed/"); // a correction keeps the address
        QVERIFY(Registration::save(false, c, 1));
        QCOMPARE(SqlLines::of("Select nURL, sURL, sNam, sMem From tURL"),
                 QStringList {"100|http://a/|A2|d"});
        QHash<int, qint64> dates;
        QVERIFY(LinkStore::addedDates(dates));
        QCOMPARE(dates, (QHash<int, qint64> {{100, 1754000000}}));
        // The same address once more is a second link: the panel said "new".
        QVERIFY(Registration::save(true, {101, r.sURL, 0, {}, {}, 0}, 2));
        QString error;
        QVERIFY(!Registration::save(true, {101, r.sURL, 0, {}, {}, 0}, 2, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRegistration)
#include "tst_registration.moc"
