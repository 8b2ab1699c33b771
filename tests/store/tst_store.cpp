#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/NumberText.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class TestStore : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    int m_n = 0;

    QString freshDb()
    {
        const QString path = m_tmp.filePath(QStringLiteral("db%1/dbLink.mdb").arg(++m_n));
        QDir().mkpath(QFileInfo(path).path());
        QString error;
        if (!Store::OpenDb(path, &error))
            qWarning() << error;
        return path;
    }

    static void addLink(int n, const QString &url, int grp = 0, const QString &title = QString(),
                        double srt = 100)
    {
        QString error;
        QVERIFY2(Sql::exec(Sql::SetPrm(Sql::kInsertLink, {n, url, grp, title, QString(), srt}), &error),
                 qPrintable(error));
    }

    static QByteArray bytesOf(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        Dialogs::enableTestMode();
    }
    void cleanup() { Store::CloseDb(); }

    void freshDatabase()
    {
        freshDb();
        QVERIFY(Store::isOpen());
        QString error;
        const Sql::Rows groups = Sql::query(Sql::SetPrm(QStringLiteral("Select nGrp, sGrp From mGrp"), {}), &error);
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups.first().value(0).toInt(), 0);
        QCOMPARE(groups.first().value(1).toString(), QStringLiteral("未分類"));
        QCOMPARE(Sql::query(Sql::SetPrm(Sql::kGroups, {}), &error).size(), 0); // group 0 never listed
        // The page lookup uses the address index.
        QSqlQuery plan(Store::db());
        QVERIFY(plan.exec(QStringLiteral("Explain Query Plan Select gSrt, nURL, sNam, sMem From tURL Where sURL = 'x'")));
        QString detail;
        while (plan.next())
            detail += plan.value(3).toString();
        QVERIFY2(detail.contains(QStringLiteral("ixURL")), qPrintable(detail));
    }

    void reopenKeepsData()
    {
        const QString path = freshDb();
        addLink(100, QStringLiteral("http://a/"));
        Store::CloseDb();
        QString error;
        QVERIFY2(Store::OpenDb(path, &error), qPrintable(error));
        QCOMPARE(Usr::NewURLNo(), 101);
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("notes") << QByteArray("This is not a database, but someone's notes.\n");
        QTest::newRow("empty sqlite lookalike") << QByteArray("SQLite format 3\0garbage", 24);
        QTest::newRow("binary") << QByteArray(4096, '\x7f');
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, content);
        const QString dir = m_tmp.filePath(QStringLiteral("bad%1").arg(++m_n));
        QDir().mkpath(dir);
        const QString path = dir + QStringLiteral("/dbLink.mdb");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QString error;
        QVERIFY(!Store::OpenDb(path, &error));
        QVERIFY2(error.contains(path), qPrintable(error));
        QVERIFY(!Store::isOpen());
        QCOMPARE(bytesOf(path), content);
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("dbLink.mdb")});
    }

    void sqliteWithoutTheTablesIsRefused()
    {
        const QString dir = m_tmp.filePath(QStringLiteral("other%1").arg(++m_n));
        QDir().mkpath(dir);
        const QString path = dir + QStringLiteral("/dbLink.mdb");
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("Create Table tURL (nURL INTEGER PRIMARY KEY, sURL TEXT)")));
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        const QByteArray before = bytesOf(path);
        QString error;
        QVERIFY(!Store::OpenDb(path, &error));
        QVERIFY2(error.contains(QStringLiteral("mgrp")) || error.contains(QStringLiteral("missing")), qPrintable(error));
        QCOMPARE(bytesOf(path), before);
    }

    void numbers()
    {
        freshDb();
        QCOMPARE(Usr::NewURLNo(), 100);
        QCOMPARE(Usr::NewGrpNo(), 1); // the group-0 row counts: 0 + 1
        for (int n : {100, 101, 250})
            addLink(n, QStringLiteral("http://x/%1").arg(n));
        QCOMPARE(Usr::NewURLNo(), 251);
        QString error;
        for (int g : {1, 2})
            QVERIFY(Sql::exec(Sql::SetPrm(Sql::kInsertGroup, {g, QStringLiteral("g%1").arg(g), 100}), &error));
        QCOMPARE(Usr::NewGrpNo(), 3);
        QVERIFY(Sql::exec(Sql::SetPrm(Sql::kDeleteAllGroups, {}), &error));
        QCOMPARE(Usr::NewGrpNo(), 1);
    }

    void numbersReportAClosedDatabase()
    {
        bool ok = true;
        Usr::NewURLNo(&ok);
        QVERIFY(!ok);
        QCOMPARE(Dialogs::shown().size(), 1);
        Dialogs::clearShown();
    }

    void groupNumbers_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        const QString list = QStringLiteral("XNews\t7\rNews\t3\r");
        QTest::newRow("News") << list << "News" << 3;
        QTest::newRow("XNews") << list << "XNews" << 7;
        QTest::newRow("letter case") << list << "news" << 3;
        QTest::newRow("unknown") << list << "Sport" << 0;
        QTest::newRow("all groups") << list << "*" << 0;
        QTest::newRow("empty list") << "" << "News" << 0;
        QTest::newRow("first wins") << "A\t1\ra\t2\r" << "A" << 1;
        QTest::newRow("lenient number") << "A\t 1 2x\r" << "A" << 12;
        QTest::newRow("japanese") << "未分類\t0\r技術\t12\r" << "技術" << 12;
    }
    void groupNumbers()
    {
        QFETCH(QString, list);
        QFETCH(QString, name);
        QFETCH(int, number);
        QCOMPARE(Usr::GrpNoOf(name, list), number);
        Usr::sGrpList = list;
        QCOMPARE(Usr::GrpNoOf(name), number);
        Usr::sGrpList.clear();
    }

    void textsStoredExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("question marks") << "What? page?id=3&x=?";
        QTest::newRow("apostrophes") << "Tom's 'quoted' page";
        QTest::newRow("daggers") << "a‡b†c";
        QTest::newRow("line ends") << "line1\r\nline2\r\n";
        QTest::newRow("long") << QString(10000, QChar(0x3042));
        QTest::newRow("sql") << "'); Drop Table tURL; --";
    }
    void textsStoredExactly()
    {
        QFETCH(QString, text);
        freshDb();
        QString error;
        QVERIFY(Sql::exec(Sql::SetPrm(Sql::kInsertLink, {100, text, 0, text, text, 1.5}), &error));
        const Sql::Rows rows = Sql::query(Sql::SetPrm(Sql::kPageLookup, {text}), &error);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().value(2).toString(), text);
        QCOMPARE(rows.first().value(3).toString(), text);
        QVERIFY(Sql::exec(Sql::SetPrm(Sql::kUpdateLink, {0, QString(text + u'!'), QVariant(), 2, 100}), &error));
        const Sql::Rows after = Sql::query(Sql::SetPrm(Sql::kPageLookup, {text}), &error);
        QCOMPARE(after.first().value(2).toString(), QString(text + u'!'));
        QCOMPARE(after.first().value(3).toString(), QString()); // a null binds as empty text
        QVERIFY(!after.first().value(3).isNull());
    }

    void fastReadGivesTextsAndNumbers()
    {
        freshDb();
        addLink(100, QStringLiteral("http://例え.jp/ｶﾀｶﾅ"), 3, QStringLiteral("題名"), 1.5);
        addLink(101, QStringLiteral("http://x/"), 0, QString(), 100);
        QString error;
        QVERIFY(Sql::exec(Sql::SetPrm(QStringLiteral("Update tURL Set gSrt='abc' Where nURL=101"), {}), &error));
        QStringList texts;
        QList<double> numbers;
        const QString sql = QStringLiteral("Select nURL, sURL, sNam, gSrt, Null From tURL Order By nURL");
        QVERIFY(Sql::forEachUtf8(Sql::SetPrm(sql, {}), [&](const Sql::TextRow &r) {
            // A number is the same whether its text was asked for first or not.
            texts << QString::fromUtf8(r.text(0)) << QString::fromUtf8(r.text(1)) << QString::fromUtf8(r.text(2))
                  << QString::fromUtf8(r.text(3)) << QString::fromUtf8(r.text(4)) << QString::fromUtf8(r.text(9));
            numbers << r.number(0) << r.number(3) << r.number(4) << r.number(9);
        }, &error));
        QCOMPARE(texts, (QStringList{"100", "http://例え.jp/ｶﾀｶﾅ", "題名", "1.5", "", "",
                                     "101", "http://x/", "", "abc", "", ""}));
        QCOMPARE(numbers, (QList<double>{100, 1.5, 0, 0, 101, 0, 0, 0}));
        QVERIFY(error.isEmpty());
        QVERIFY(!Sql::forEachUtf8(Sql::SetPrm(QStringLiteral("Select nope From tURL"), {}), [](const Sql::TextRow &) {}, &error));
        QVERIFY2(error.contains(QStringLiteral("nope")), qPrintable(error));
        Store::CloseDb();
        QVERIFY(!Sql::forEachUtf8(Sql::SetPrm(sql, {}), [](const Sql::TextRow &) {}, &error));
        QVERIFY(error.contains(QStringLiteral("not open")));
    }

    void lookupIgnoresLetterCase()
    {
        freshDb();
        addLink(100, QStringLiteral("http://Example.org/Page?id=3"));
        QString error;
        QCOMPARE(Sql::query(Sql::SetPrm(Sql::kPageLookup, {QStringLiteral("HTTP://example.org/page?id=3")}), &error).size(), 1);
        QCOMPARE(Sql::query(Sql::SetPrm(Sql::kPageLookup, {QStringLiteral("http://example.org/page?id=4")}), &error).size(), 0);
    }

    void numberListsBindEachNumber()
    {
        freshDb();
        for (int n : {5, 7, 12, 70, 127})
            addLink(n, QStringLiteral("http://x/%1").arg(n), n);
        QString error;
        const Sql::Statement st = Sql::SetPrm(Sql::kMoveLinksOfGroups,
                                              {QVariant::fromValue(Sql::NumberList{12, 7})});
        QCOMPARE(st.values.size(), 2);
        QVERIFY(Sql::exec(st, &error));
        const Sql::Rows rows = Sql::query(Sql::SetPrm(QStringLiteral("Select nURL From tURL Where nGrp=0 Order By nURL"), {}), &error);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].value(0).toInt(), 7);
        QCOMPARE(rows[1].value(0).toInt(), 12);
        // An empty list affects nothing.
        QVERIFY(Sql::exec(Sql::SetPrm(Sql::kDeleteLinks, {QVariant::fromValue(Sql::NumberList{})}), &error));
        QCOMPARE(Usr::NewURLNo(), 128);
    }

    void sortKeysAreSinglePrecision_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("100") << 100.0 << "100";
        QTest::newRow("12.5") << 12.5 << "12.5";
        QTest::newRow("0.1") << 0.1 << "0.1";
        QTest::newRow("999.9") << 999.9 << "999.9";
        QTest::newRow("1/3") << 1.0 / 3.0 << "0.3333333";
    }
    void sortKeysAreSinglePrecision()
    {
        QFETCH(double, value);
        QFETCH(QString, shown);
        freshDb();
        QString error;
        QVERIFY(Sql::exec(Sql::SetPrm(Sql::kInsertLink, {100, QStringLiteral("u"), 0, QString(), QString(), NumberText::toSingle(value)}), &error));
        const Sql::Rows rows = Sql::query(Sql::SetPrm(Sql::kPageLookup, {QStringLiteral("u")}), &error);
        QCOMPARE(NumberText::shortFloat(rows.first().value(0).toDouble()), shown);
    }

    void failingStatementChangesNothing()
    {
        freshDb();
        addLink(100, QStringLiteral("http://a/"));
        QString error;
        // The same number twice breaks the key.
        QVERIFY(!Sql::exec(Sql::SetPrm(Sql::kInsertLink, {100, QStringLiteral("http://b/"), 0, QString(), QString(), 1}), &error));
        QVERIFY2(error.contains(QStringLiteral("Insert Into tURL")), qPrintable(error));
        QCOMPARE(Sql::query(Sql::SetPrm(Sql::kPageLookup, {QStringLiteral("http://b/")}), &error).size(), 0);
        Sql::query(Sql::SetPrm(QStringLiteral("Select nosuchcolumn From tURL"), {}), &error);
        QVERIFY(!error.isEmpty());
    }

    void transactionRollsBack()
    {
        freshDb();
        QString error;
        {
            Sql::Transaction t;
            QVERIFY(t.ok());
            addLink(100, QStringLiteral("http://a/"));
            addLink(101, QStringLiteral("http://b/"));
        } // no commit
        QCOMPARE(Usr::NewURLNo(), 100);
        {
            Sql::Transaction t;
            addLink(100, QStringLiteral("http://a/"));
            QVERIFY(t.commit());
        }
        QCOMPARE(Usr::NewURLNo(), 101);
    }

    void compactionKeepsEveryRow()
    {
        const QString path = freshDb();
        {
            Sql::Transaction t;
            for (int n = 100; n < 1100; ++n)
                addLink(n, QStringLiteral("http://x/%1").arg(n), 0, QString(200, u'x'));
            QVERIFY(t.commit());
        }
        QString error;
        QVERIFY(Sql::exec(Sql::SetPrm(QStringLiteral("Delete From tURL Where nURL >= 600"), {}), &error));
        const qint64 before = QFileInfo(path).size();
        Dialogs::clearShown();
        QVERIFY(Store::CompactDb());
        QCOMPARE(Dialogs::shownTexts(), QStringList{path + QStringLiteral(" を最適化しました")});
        QVERIFY(Store::isOpen());
        QVERIFY(QFileInfo(path).size() < before);
        QCOMPARE(Sql::query(Sql::SetPrm(QStringLiteral("Select nURL From tURL"), {}), &error).size(), 500);
        QCOMPARE(Usr::NewURLNo(), 600);
    }

    void compactionFailureIsReported()
    {
        Store::CloseDb();
        Dialogs::clearShown();
        QVERIFY(!Store::CompactDb());
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shownTexts().first().contains(QStringLiteral("最適化できませんでした")));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
