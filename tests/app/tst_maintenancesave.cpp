#include "app/MaintenanceSave.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/SqlSteps.h"

#include <QTemporaryDir>
#include <QTest>

// The maintenance save's rules on a real database: grid rows as the window feeds them.
class TestMaintenanceSave : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

    static Sql::Rows rows(const QString &sql) { return SqlSteps::rows(sql); }

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
        QTest::addColumn<QList<int>>("numbers");
        QTest::newRow("two") << "12,7," << QList<int> {12, 7};
        QTest::newRow("one") << "305," << QList<int> {305};
        QTest::newRow("none") << "" << QList<int> {};
        QTest::newRow("lenient") << " 1 2,x," << QList<int> {12, 0};
    }
    void numberLists()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, numbers);
        QCOMPARE(MaintenanceSave::numbers(text), numbers);
    }

    // "12" with a number updates, "02" inserts with the next numbers in row order, "11" and
    // "00" and rows without a number write nothing; deleted groups leave their links in group 0.
    void groupsAndLinks()
    {
        MaintenanceSave save(QStringLiteral("Five\t5\rSeven\t7\rEight\t8\rTwelve\t12\r"));
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
        QCOMPARE(rows(QStringLiteral("Select nGrp, sGrp, gSrt From mGrp Order By nGrp")),
                 (Sql::Rows {{0, QStringLiteral("未分類"), 0.0},
                             {5, QStringLiteral("Fünf"), 10.0},
                             {8, QStringLiteral("Eight"), 3.0},
                             {13, QStringLiteral("New one"), 100.0},
                             {14, QString(), 20.0}}));
        QCOMPARE(
            rows(QStringLiteral("Select nURL, sNam, nGrp, gSrt, sMem From tURL Order By nURL")),
            (Sql::Rows {{100, QStringLiteral("A's \"new\" title?"), 8, 2.5, QStringLiteral("memo")},
                        {101, QStringLiteral("B"), 0, 0.0, QStringLiteral("memo")},
                        {102, QStringLiteral("t"), 0, 1.0, QStringLiteral("memo")},
                        {103, QStringLiteral("D"), 0, 1.0, QStringLiteral("memo")}}));
    }

    void failureWritesNothing()
    {
        SqlSteps::exec(QStringLiteral("Create Trigger refuse Before Delete On tURL Begin Select "
                                      "Raise(Abort, 'refused'); End"));
        MaintenanceSave save(QStringLiteral("Five\t5\r"));
        save.groupRow("12", "5", "Renamed", "1");
        save.groupRow("02", "", "New", "1");
        save.deleted("", "100,");
        QString error;
        QVERIFY(!save.apply(&error));
        QVERIFY2(error.contains(QStringLiteral("refused"))
                     && error.contains(QStringLiteral("Delete From tURL")),
                 qPrintable(error));
        QCOMPARE(rows(QStringLiteral("Select sGrp From mGrp Where nGrp=5")),
                 (Sql::Rows {{QStringLiteral("Five")}}));
        QCOMPARE(rows(QStringLiteral("Select count(*) From mGrp")), (Sql::Rows {{5}}));
    }
};

QTEST_GUILESS_MAIN(TestMaintenanceSave)
#include "tst_maintenancesave.moc"
