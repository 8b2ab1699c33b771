#include "platform/NoCase.h"
#include "store/Sql.h"
#include "store/Store.h"

#include <QTemporaryDir>
#include <QTest>

// The NOCASE order over QString and over UTF-8, each held against the engine's own collation.
class TestNoCase : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

private Q_SLOTS:
    void initTestCase() { QVERIFY(Store::OpenDb(m_tmp.filePath("dbLink.mdb"))); }
    void cleanupTestCase() { Store::CloseDb(); }

    void order_data()
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
        row("empty first", "", "a", -1);
        row("a long common start", "The same long title, part 2", "the SAME long title, part 10",
            1);
        row("accented letters keep their case", "é", "É", 1);
        row("only ASCII folded", "Ä", "ä", -1);
        row("full-width letters keep their case", "ａ", "Ａ", 1);
        row("half-width after full-width", "ｱ", "ア", 1);
        row("code point order past U+FFFF", QString(QChar(0xFFFD)), "😀", -1);
        row("code points, not UTF-16 units", "😀", "Ａ", 1);
        row("kana", "あ", "ア", -1);
    }
    void order()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QString error;
        const Sql::Rows engine = Sql::query(
            Sql::SetPrm("Select Case When ? = ? Collate NoCase Then 0 When ? < ? Collate NoCase "
                        "Then -1 Else 1 End",
                        {a, b, a, b}),
            &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(engine.value(0).value(0).toInt(), order);
        QCOMPARE(NoCase::compare(a, b), order);
        QCOMPARE(NoCase::compare(b, a), -order);
        QCOMPARE(NoCase::compareUtf8(a.toUtf8(), b.toUtf8()), order);
        QCOMPARE(NoCase::compareUtf8(b.toUtf8(), a.toUtf8()), -order);
        QCOMPARE(NoCase::equal(a, b), order == 0);
        if (order == 0)
            QCOMPARE(NoCase::hash(a), NoCase::hash(b));
    }
};

QTEST_GUILESS_MAIN(TestNoCase)
#include "tst_nocase.moc"
