#include "collection/MaintenanceSave.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/SqlLines.h"
#include "support/SqlSteps.h"

#include <QTemporaryDir>
#include <QTest>

// The maintenance save's rules on a real database: grid rows as the window feeds them.
class TestMaintenanceSave : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_tmp.filePath(QStringLiteral("dbLink.mdb")));
        QVERIFY(Store::OpenDb(m_tmp.filePath(QStringLiteral("dbLink.mdb"))));
        for (const QVariantList &g : QList<QVariantList> {
                 {5, "Five", 1}, {7, "Seven", 2}, {8, "Eight", 3}, {12, "Twelve", 4}})
            SqlSteps::exec(Sql::kInsertGroup, g);
        for (const QVariantList &l : QList<QVariantList> {{100, 5}, {101, 7}, {102, 12}, {103, 8}})
            SqlSteps::exec(Sql::kInsertLink,
                           {l[0], QStringLiteral("http://x/"), l[1], QStringLiteral("t"),
                            QStringLiteral("memo"), 1});
    }
    void cleanup() { Store::CloseDb(); }

    void numberLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qint64>>("numbers");
        QTest::newRow("two") << "12,7," << QList<qint64> {12, 7};
        QTest::newRow("one") << "305," << QList<qint64> {305};
        QTest::newRow("none") << "" << QList<qint64> {};
        QTest::newRow("lenient") << " 1 2,x," << QList<qint64> {12, 0};
        QTest::newRow("64-bit, exactly")
            << "9223372036854775807,2147483648," << QList<qint64> {kMaxNumber, 2147483648};
    }
    void numberLists()
    {
        QFETCH(QString, text);
        QFETCH(QList<qint64>, numbers);
        QCOMPARE(MaintenanceSave::numbers(text), numbers);
    }

    // "12" with a number updates, "02" inserts with the next numbers in row order, "11" and
    // "00" and rows without a number write nothing; deleted groups leave their links in group 0.
    void groupsAndLinks()
    {
        MaintenanceSave save(
            GroupList({{5, "Five", 0}, {7, "Seven", 0}, {8, "Eight", 0}, {12, "Twelve", 0}}));
        save.groupRow("12", "5", "Fünf", "10");
        save.groupRow("11", "8", "ignored", "1");
        save.groupRow("02", "", "New one", "100");
        save.groupRow("02", "", "", "20");
        save.groupRow("00", "", "never edited", "100");
        save.groupRow("12", "", "placeholder", "1");
        save.linkRow("12", "100", "A's \"new\" title?", "eight", "2.5");
        save.linkRow("12", "101", "B", "Seven", "");
        save.linkRow("12", "103", "D", "No such group", "1");
        save.linkRow("11", "102", "ignored", "Five", "1");
        save.deleted("12,7,", "");
        QString error;
        QVERIFY2(save.apply(&error), qPrintable(error));
        QCOMPARE(SqlLines::of("Select nGrp, sGrp, gSrt From mGrp Order By nGrp"),
                 QStringList({"0|未分類|0", "5|Fünf|10", "8|Eight|3", "13|New one|100", "14||20"}));
        QCOMPARE(SqlLines::of("Select nURL, sNam, nGrp, gSrt, sMem From tURL Order By nURL"),
                 QStringList({"100|A's \"new\" title?|8|2.5|memo", "101|B|0|0|memo",
                              "102|t|0|1|memo", "103|D|0|1|memo"}));
    }

    // A changed row writes its address only where it differs from the stored one, letter case
    // included; an empty one is never written. The other columns of the row are saved with it.
    void movedAddresses()
    {
        // Every address written is counted; an address that stays would be counted too.
        SqlSteps::exec(QStringLiteral("Create Table written (nURL INTEGER)"));
        SqlSteps::exec(QStringLiteral("Create Trigger count After Update Of sURL On tURL Begin "
                                      "Insert Into written Values (New.nURL); End"));
        SqlSteps::exec(QStringLiteral("Update tURL Set sURL='http://x/' || nURL"));
        SqlSteps::exec(QStringLiteral("Delete From written"));
        MaintenanceSave save(GroupList({{5, "Five", 0}, {7, "Seven", 0}}));
        save.linkRow("12", "100", "A", "Five", "1", "https://new.example/a?q='1'");
        save.linkRow("12", "101", "B", "Seven", "1", "http://x/101");
        save.linkRow("12", "102", "C", "Five", "1", "HTTP://X/102");
        save.linkRow("12", "103", "D", "Five", "1", QString());
        save.linkRow("11", "104", "E", "Five", "1", "http://y/");
        QString error;
        QVERIFY2(save.apply(&error), qPrintable(error));
        QCOMPARE(SqlLines::of("Select nURL, sURL, sNam From tURL Order By nURL"),
                 (QStringList {"100|https://new.example/a?q='1'|A", "101|http://x/101|B",
                               "102|HTTP://X/102|C", "103|http://x/103|D"}));
        QCOMPARE(SqlLines::of("Select nURL From written Order By nURL"),
                 (QStringList {"100", "102"}));
    }

    void failureWritesNothing()
    {
        SqlSteps::exec(QStringLiteral("Create Trigger refuse Before Delete On tURL Begin Select "
                                      "Raise(Abort, 'refused'); End"));
        MaintenanceSave save(GroupList({{5, "Five", 0}}));
        save.groupRow("12", "5", "Renamed", "1");
        save.groupRow("02", "", "New", "1");
        save.deleted("", "100,");
        QString error;
        QVERIFY(!save.apply(&error));
        QVERIFY2(error.contains(QStringLiteral("refused"))
                     && error.contains(QStringLiteral("Delete From tURL")),
                 qPrintable(error));
        QCOMPARE(SqlLines::of("Select sGrp From mGrp Where nGrp=5"), QStringList {"Five"});
        QCOMPARE(SqlLines::of("Select count(*) From mGrp"), QStringList {"5"});
    }
};

QTEST_GUILESS_MAIN(TestMaintenanceSave)
#include "tst_maintenancesave.moc"
