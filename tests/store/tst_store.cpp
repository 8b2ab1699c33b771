#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/NumberText.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/SqlSteps.h"

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

    // The database's path, in a folder of its own; opened unless told otherwise.
    QString freshDb(bool open = true)
    {
        const QString path = m_tmp.filePath(QStringLiteral("db%1/dbLink.mdb").arg(++m_n));
        QDir().mkpath(QFileInfo(path).path());
        QString error;
        if (open && !Store::OpenDb(path, &error))
            qWarning() << error;
        return path;
    }

    static void addLink(int n, const QString &url, int grp = 0, const QString &title = QString(), double srt = 100)
    {
        SqlSteps::exec(Sql::kInsertLink, {n, url, grp, title, QString(), srt});
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
    void init() { Dialogs::clearShown(); }
    void cleanup() { Store::CloseDb(); }

    void freshDatabase()
    {
        freshDb();
        QVERIFY(Store::isOpen());
        QCOMPARE(SqlSteps::rows(QStringLiteral("Select nGrp, sGrp From mGrp")), (Sql::Rows{{0, QStringLiteral("未分類")}}));
        QCOMPARE(SqlSteps::rows(Sql::kGroups).size(), 0); // group 0 never listed
        // The page lookup uses the address index and ignores letter case.
        QSqlQuery plan(Store::db());
        QVERIFY(plan.exec(QStringLiteral("Explain Query Plan Select gSrt, nURL, sNam, sMem From tURL Where sURL = 'x'")));
        QString detail;
        while (plan.next())
            detail += plan.value(3).toString();
        QVERIFY2(detail.contains(QStringLiteral("ixURL")), qPrintable(detail));
        addLink(100, QStringLiteral("http://Example.org/Page?id=3"));
        QCOMPARE(Sql::query(Sql::SetPrm(Sql::kPageLookup, {QStringLiteral("HTTP://example.org/page?id=3")})).size(), 1);
        QCOMPARE(Sql::query(Sql::SetPrm(Sql::kPageLookup, {QStringLiteral("http://example.org/page?id=4")})).size(), 0);
    }

    // Nothing but a link database is opened, and a refused file is left exactly as it was.
    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("why");
        QTest::newRow("notes") << QByteArray("This is not a database, but someone's notes.\n") << QString();
        QTest::newRow("empty sqlite lookalike") << QByteArray("SQLite format 3\0garbage", 24) << QString();
        QTest::newRow("binary") << QByteArray(4096, '\x7f') << QString();
        // Other programs' databases: without the program's tables, or without the columns read.
        const struct { const char *name, *table, *why; } others[] = {
            {"sqlite without the tables", "Create Table notes (x TEXT)", "table turl"},
            {"sqlite without the columns", "Create Table tURL (nURL INTEGER PRIMARY KEY, sURL TEXT)", "column ngrp"}};
        for (const auto &o : others) {
            const QString path = m_tmp.filePath(QString::fromLatin1(o.name));
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
                db.setDatabaseName(path);
                QVERIFY(db.open());
                QVERIFY(QSqlQuery(db).exec(QString::fromLatin1(o.table)));
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("other"));
            QTest::newRow(o.name) << bytesOf(path) << QString::fromLatin1(o.why);
        }
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, why);
        const QString path = freshDb(false);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        f.close();
        QString error;
        QVERIFY(!Store::OpenDb(path, &error));
        QVERIFY2(error.contains(path) && error.contains(why), qPrintable(error));
        QVERIFY(!Store::isOpen());
        QCOMPARE(bytesOf(path), content);
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("dbLink.mdb")});
    }

    void numbers()
    {
        const QString path = freshDb();
        QCOMPARE(Usr::NewURLNo(), 100);
        QCOMPARE(Usr::NewGrpNo(), 1); // the group-0 row counts: 0 + 1
        for (int n : {100, 101, 250})
            addLink(n, QStringLiteral("http://x/%1").arg(n));
        for (int g : {1, 2})
            SqlSteps::exec(Sql::kInsertGroup, {g, QStringLiteral("g%1").arg(g), 100});
        // Reopened, the database still holds them.
        Store::CloseDb();
        QString error;
        QVERIFY2(Store::OpenDb(path, &error), qPrintable(error));
        QCOMPARE(Usr::NewURLNo(), 251);
        QCOMPARE(Usr::NewGrpNo(), 3);
        SqlSteps::exec(Sql::kDeleteAllGroups);
        QCOMPARE(Usr::NewGrpNo(), 1);
        // A closed database is reported.
        Store::CloseDb();
        bool ok = true;
        Usr::NewURLNo(&ok);
        QVERIFY(!ok);
        QCOMPARE(Dialogs::shown().size(), 1);
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

    // A link's texts are stored exactly as given (a null as an empty text), its sort key as a
    // single-precision number.
    void linksStoredExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("sort");
        QTest::addColumn<QString>("shown");
        QTest::newRow("question marks") << "What? page?id=3&x=?" << 100.0 << "100";
        QTest::newRow("apostrophes") << "Tom's 'quoted' page" << 12.5 << "12.5";
        QTest::newRow("daggers") << "a‡b†c" << 0.1 << "0.1";
        QTest::newRow("line ends") << "line1\r\nline2\r\n" << 999.9 << "999.9";
        QTest::newRow("long") << QString(10000, QChar(0x3042)) << 1.0 / 3.0 << "0.3333333";
        QTest::newRow("sql") << "'); Drop Table tURL; --" << 1.5 << "1.5";
    }
    void linksStoredExactly()
    {
        QFETCH(QString, text);
        QFETCH(double, sort);
        QFETCH(QString, shown);
        freshDb();
        SqlSteps::exec(Sql::kInsertLink, {100, text, 0, text, text, NumberText::toSingle(sort)});
        const Sql::Rows rows = Sql::query(Sql::SetPrm(Sql::kPageLookup, {text}));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(NumberText::shortFloat(rows.first().value(0).toDouble()), shown);
        QCOMPARE(rows.first().value(2).toString(), text);
        QCOMPARE(rows.first().value(3).toString(), text);
        SqlSteps::exec(Sql::kUpdateLink, {0, QString(text + u'!'), QVariant(), 2, 100});
        const Sql::Rows after = Sql::query(Sql::SetPrm(Sql::kPageLookup, {text}));
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
        QVERIFY(Sql::exec(Sql::SetPrm(QStringLiteral("Update tURL Set gSrt='12abc' Where nURL=101"), {}), &error));
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
                                     "101", "http://x/", "", "12abc", "", ""}));
        QCOMPARE(numbers, (QList<double>{100, 1.5, 0, 0, 101, 0, 0, 0}));
        QVERIFY(error.isEmpty());
        QVERIFY(!Sql::forEachUtf8(Sql::SetPrm(QStringLiteral("Select nope From tURL"), {}), [](const Sql::TextRow &) {}, &error));
        QVERIFY2(error.contains(QStringLiteral("nope")), qPrintable(error));
        Store::CloseDb();
        QVERIFY(!Sql::forEachUtf8(Sql::SetPrm(sql, {}), [](const Sql::TextRow &) {}, &error));
        QVERIFY(error.contains(QStringLiteral("not open")));
    }

    void numberListsBindEachNumber()
    {
        freshDb();
        for (int n : {5, 7, 12, 70, 127})
            addLink(n, QStringLiteral("http://x/%1").arg(n), n);
        SqlSteps::exec(Sql::kMoveLinksOfGroups, {QVariant::fromValue(Sql::NumberList{12, 7})});
        QCOMPARE(SqlSteps::rows(QStringLiteral("Select nURL From tURL Where nGrp=0 Order By nURL")),
                 (Sql::Rows{{7}, {12}}));
        // An empty list affects nothing.
        SqlSteps::exec(Sql::kDeleteLinks, {QVariant::fromValue(Sql::NumberList{})});
        QCOMPARE(Usr::NewURLNo(), 128);
    }

    // A failing statement or a transaction without commit leaves the data as it was.
    void failuresChangeNothing()
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
        {
            Sql::Transaction t;
            QVERIFY(t.ok());
            addLink(101, QStringLiteral("http://b/"));
            addLink(102, QStringLiteral("http://c/"));
        } // no commit
        QCOMPARE(Usr::NewURLNo(), 101);
        {
            Sql::Transaction t;
            addLink(101, QStringLiteral("http://b/"));
            QVERIFY(t.commit());
        }
        QCOMPARE(Usr::NewURLNo(), 102);
    }

    void compaction()
    {
        const QString path = freshDb();
        {
            Sql::Transaction t;
            for (int n = 100; n < 1100; ++n)
                addLink(n, QStringLiteral("http://x/%1").arg(n), 0, QString(200, u'x'));
            QVERIFY(t.commit());
        }
        SqlSteps::exec(QStringLiteral("Delete From tURL Where nURL >= 600"));
        const qint64 before = QFileInfo(path).size();
        QVERIFY(Store::CompactDb());
        QCOMPARE(Dialogs::shownTexts(), QStringList{path + QStringLiteral(" を最適化しました")});
        QVERIFY(Store::isOpen());
        QVERIFY(QFileInfo(path).size() < before);
        QCOMPARE(SqlSteps::rows(QStringLiteral("Select nURL From tURL")).size(), 500);
        QCOMPARE(Usr::NewURLNo(), 600);
        // Without an open database it fails, and says so.
        Store::CloseDb();
        Dialogs::clearShown();
        QVERIFY(!Store::CompactDb());
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shownTexts().first().contains(QStringLiteral("最適化できませんでした")));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
