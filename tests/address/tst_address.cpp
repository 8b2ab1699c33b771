#include "address/Address.h"

#include <QTest>

// Which addresses the collection opens and registers, and when two addresses are one.
class TestAddress : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void kinds_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("openable");
        QTest::addColumn<bool>("web");
        QTest::addColumn<bool>("shown"); // in the address box
        QTest::newRow("http") << "http://a/" << true << true << true;
        QTest::newRow("HTTPS") << " HTTPS://a/" << true << true << true;
        QTest::newRow("file") << "file:///tmp/x" << true << false << true;
        QTest::newRow("absolute path") << "/tmp/x" << true << false << true;
        QTest::newRow("network path") << "//host/path" << false << false << true;
        QTest::newRow("ftp") << "ftp://a/" << false << false << true;
        QTest::newRow("script") << "javascript:alert(1)" << false << false << true;
        QTest::newRow("http later in the text") << "x?http://a/" << false << false << true;
        QTest::newRow("no scheme") << "a.example/x" << false << false << true;
        QTest::newRow("the program's page")
            << " Data:text/html;base64,PGgxPg==" << false << false << false;
    }
    void kinds()
    {
        QFETCH(QString, address);
        QFETCH(bool, openable);
        QFETCH(bool, web);
        QFETCH(bool, shown);
        QCOMPARE(Address::isOpenable(address), openable);
        QCOMPARE(Address::isWeb(address), web);
        QCOMPARE(Address::isShown(address), shown);
    }

    void matchForm_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("form");
        QTest::newRow("scheme and host") << "HTTP://WWW.A.org/P?Q#F"
                                         << "http://www.a.org/P?Q#F";
        QTest::newRow("user name kept") << "http://Ann:Pw@H:80"
                                        << "http://Ann:Pw@h:80";
        QTest::newRow("query right after host") << "http://H?X"
                                                << "http://h?X";
        QTest::newRow("no authority") << "MAILTO:Ann@X"
                                      << "mailto:Ann@X";
        QTest::newRow("not an address") << "Hello World"
                                        << "Hello World";
        QTest::newRow("non-ASCII host kept") << "http://Ä.de/"
                                             << "http://Ä.de/";
    }
    void matchForm()
    {
        QFETCH(QString, address);
        QFETCH(QString, form);
        QCOMPARE(Address::matchForm(address), form);
        QVERIFY(Address::same(address, form));
    }

    void controls()
    {
        QVERIFY(!Address::hasControl(u"http://a/ b"));
        QVERIFY(Address::hasControl(u"a\tb"));
        QVERIFY(!Address::hasControl(u"a\tb", true));
        for (const char16_t c : {u'\0', u'\x1b', u'\x7f', u'\x85', u'\x9f'})
            QVERIFY(Address::hasControl(QString(QChar(c)), true));
        QVERIFY(!Address::hasControl(u"\u00a0é"));
    }
};

QTEST_GUILESS_MAIN(TestAddress)
#include "tst_address.moc"
