#include "platform/Dialogs.h"
#include "platform/NumberText.h"
#include "store/LinkStore.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/SqlLines.h"
#include "support/SqlSteps.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <sqlite3.h>

// The link database on real files: opening, versions, crash recovery and the typed operations.
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
    // The files beside the database, hidden ones included.
    static QStringList filesBeside(const QString &path)
    {
        return QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden);
    }

    static void addLink(qint64 n, const QString &url, qint64 grp = 0,
                        const QString &title = QString(), double srt = 100)
    {
        QString error;
        QVERIFY2(LinkStore::insertLink({n, url, grp, title, QString(), srt}, 1700000000, &error),
                 qPrintable(error));
    }

    // A link written inside a transaction of the test's own.
    static void rawLink(int n, const QString &url, const QString &title = QString())
    {
        SqlSteps::exec(Sql::kInsertLink, {n, url, 0, title, QString(), 100});
    }

    // A database made by other means, with the statements given.
    static void makeRaw(const QString &path, const QStringList &statements)
    {
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        for (const QString &s : statements)
            QVERIFY2(sqlite3_exec(db, s.toUtf8().constData(), nullptr, nullptr, nullptr)
                         == SQLITE_OK,
                     qPrintable(s));
        sqlite3_close(db);
    }

    static int count(const char *sql) { return SqlLines::of(sql).value(0).toInt(); }

    // How the engine would run sql: the details of its query plan.
    static QString plan(const QString &sql)
    {
        QSqlQuery q(Store::db());
        QString detail = q.exec(QStringLiteral("Explain Query Plan ") + sql) ? "" : "failed";
        while (q.next())
            detail += q.value(3).toString();
        return detail;
    }

    // A link's last checks from the store, newest first: "at verdict status final moved".
    static QStringList lastChecks(int nURL)
    {
        QList<CheckRecord> last;
        QString error;
        if (!LinkStore::lastChecks(nURL, last, &error))
            return {error};
        QStringList out;
        for (const CheckRecord &c : last)
            out << QStringLiteral("%1 %2 %3 %4 %5")
                       .arg(c.at)
                       .arg(c.verdict)
                       .arg(c.status)
                       .arg(c.finalAddress, c.movedTo)
                       .trimmed();
        return out;
    }

    static QStringList v1Schema()
    {
        return {
            QStringLiteral("Create Table tURL (nURL INTEGER PRIMARY KEY, sURL TEXT COLLATE NOCASE, "
                           "nGrp INTEGER NOT NULL DEFAULT 0, sNam TEXT COLLATE NOCASE, sMem TEXT "
                           "COLLATE NOCASE, gSrt REAL NOT NULL DEFAULT 0)"),
            QStringLiteral("Create Table mGrp (nGrp INTEGER PRIMARY KEY, sGrp TEXT COLLATE NOCASE, "
                           "gSrt REAL NOT NULL DEFAULT 0)"),
            QStringLiteral("Insert Into mGrp Values (0, '未分類', 0)"),
            QStringLiteral("Insert Into tURL Values (100, 'http://a/', 0, 'A', '', 1)")};
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
        const QString path = freshDb();
        QVERIFY(Store::isOpen());
        QCOMPARE(SqlLines::of("Select nGrp, sGrp From mGrp"), QStringList {"0|未分類"});
        QCOMPARE(count("PRAGMA user_version"), Store::schemaVersion());
        // Every commit reaches the disk before it counts: FULL (2), with the rollback journal.
        QCOMPARE(SqlLines::of("PRAGMA synchronous"), QStringList {"2"});
        QCOMPARE(SqlLines::of("PRAGMA journal_mode"), QStringList {"delete"});
        QCOMPARE(filesBeside(path), QStringList {QStringLiteral("dbLink.mdb")});
        // The page lookup uses the address index and gives every letter-case variant.
        const QString detail = plan(QString::fromLatin1(Sql::kPageLookup).replace(u'?', "'x'"));
        QVERIFY2(detail.contains(QStringLiteral("ixURL")), qPrintable(detail));
        addLink(100, QStringLiteral("http://Example.org/Page?id=3"));
        addLink(101, QStringLiteral("http://example.org/page?id=3"));
        QList<LinkRecord> found;
        QVERIFY(LinkStore::lookup(QStringLiteral("HTTP://example.org/page?id=3"), found));
        QCOMPARE(found.size(), 2);
        QCOMPARE(found[0].sURL, "http://Example.org/Page?id=3");
        QVERIFY(LinkStore::lookup(QStringLiteral("http://example.org/page?id=4"), found));
        QVERIFY(found.isEmpty());
    }

    // Nothing but a link database of this or an older version is opened, and a refused file
    // is left exactly as it was.
    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("why");
        QTest::newRow("notes") << QByteArray("This is not a database, but someone's notes.\n")
                               << "not an SQLite";
        QTest::newRow("sqlite lookalike")
            << QByteArray("SQLite format 3\0garbage", 24) << QString();
        const QString mGrp
            = QStringLiteral("Create Table mGrp (nGrp INTEGER PRIMARY KEY, sGrp TEXT, gSrt REAL)");
        const struct
        {
            const char *name;
            QStringList statements;
            QString why;
        } others[] = {
            {"without the tables", {QStringLiteral("Create Table notes (x TEXT)")}, "table turl"},
            {"without the columns",
             {QStringLiteral("Create Table tURL (nURL INTEGER PRIMARY KEY, sURL TEXT)")},
             "column ngrp"},
            // Numbers compared as text would hand out "100" after "99" again.
            {"text keys",
             {QStringLiteral("Create Table tURL (nURL TEXT, sURL TEXT, nGrp INTEGER, sNam TEXT, "
                             "sMem TEXT, gSrt REAL)"),
              mGrp},
             "nurl is not a whole-number key"},
            // Numbers kept as text would be read as 0 and written back so.
            {"text group numbers",
             {QStringLiteral("Create Table tURL (nURL INTEGER PRIMARY KEY, sURL TEXT, nGrp TEXT, "
                             "sNam TEXT, sMem TEXT, gSrt TEXT)"),
              mGrp,
              QStringLiteral("Insert Into tURL Values (100, 'http://a/', '5', 'a', '', '2.5')")},
             "column nGrp of turl is declared \"TEXT\""},
            {"text sort keys",
             {v1Schema().first(),
              QStringLiteral("Create Table mGrp (nGrp INTEGER PRIMARY KEY, "
                             "sGrp TEXT, gSrt VARCHAR(9))")},
             "column gSrt of mgrp is declared \"VARCHAR(9)\""},
            // A number the program cannot hold is never read wrapped.
            // One version ahead is already too new.
            {"newer version",
             v1Schema()
                 << QStringLiteral("PRAGMA user_version = %1").arg(Store::schemaVersion() + 1),
             QStringLiteral("版 %1").arg(Store::schemaVersion() + 1)},
        };
        for (const auto &o : others) {
            const QString path = m_tmp.filePath(QString::fromLatin1(o.name));
            makeRaw(path, o.statements);
            QTest::newRow(o.name) << TestFiles::read(path) << o.why;
        }
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, why);
        const QString path = freshDb(false);
        TestFiles::write(path, content);
        QString error;
        QVERIFY(!Store::OpenDb(path, &error));
        QVERIFY2(error.contains(path) && error.contains(why), qPrintable(error));
        if (why.contains(u'版'))
            QVERIFY2(error.contains(QStringLiteral("版 %1").arg(Store::schemaVersion())),
                     qPrintable(error));
        QVERIFY(!Store::isOpen());
        QCOMPARE(TestFiles::read(path), content);
        QCOMPARE(filesBeside(path), QStringList {QStringLiteral("dbLink.mdb")});
    }

    // Files of every older version come to the current one with the check history table,
    // their links kept; a link's checks are written in one transaction and go with the link.
    void upgradedFilesKeepChecks_data()
    {
        QTest::addColumn<int>("from");
        QTest::newRow("version 1") << 1;
        QTest::newRow("version 2") << 2;
    }
    void upgradedFilesKeepChecks()
    {
        QFETCH(int, from);
        const QString path = freshDb(false);
        QStringList statements = v1Schema();
        if (from == 2)
            statements << QStringLiteral("Create Table tURLInfo (nURL INTEGER PRIMARY KEY, "
                                         "nAdded INTEGER)")
                       << QStringLiteral("Insert Into tURLInfo Values (100, 1600000000)")
                       << QStringLiteral("PRAGMA user_version = 2");
        makeRaw(path, statements);
        QString error;
        QVERIFY2(Store::OpenDb(path, &error), qPrintable(error));
        QCOMPARE(count("PRAGMA user_version"), Store::schemaVersion());
        QCOMPARE(count("Select count(*) From tURL"), 1);
        addLink(101, QStringLiteral("http://b/"));
        QHash<qint64, qint64> dates;
        QVERIFY(LinkStore::addedDates(dates));
        QCOMPARE(dates.value(101), 1700000000);
        QCOMPARE(dates.size(), from == 2 ? 2 : 1);
        // The lookup of one link's checks uses the index.
        const QString detail = plan(QString::fromUtf8(Sql::kLastChecks).replace(u'?', u'1'));
        QVERIFY2(detail.contains(QStringLiteral("ixURLCheck"))
                     && !detail.contains(QStringLiteral("SCAN tURLCheck")),
                 qPrintable(detail));

        const auto check = [](int n, qint64 at, int verdict, int status, const char *moved = "") {
            return CheckRecord {n, at, verdict, status, QStringLiteral("http://f/"), moved};
        };
        QVERIFY(LinkStore::recordChecks(
            {check(100, 1000, CheckRecord::Alive, 200), check(101, 1000, CheckRecord::Dead, 404)}));
        QVERIFY(LinkStore::recordChecks(
            {check(100, 2000, CheckRecord::Dead, 0), check(101, 2000, CheckRecord::Dead, 410)}));
        QVERIFY(LinkStore::recordChecks({check(100, 3000, CheckRecord::Dead, 0, "http://m/'?")}));
        QCOMPARE(count("Select count(*) From tURLCheck"), 5);
        // Newest first: the dead run and the check that ended it; never alive: every check.
        QCOMPARE(lastChecks(100),
                 QStringList({"3000 1 0 http://f/ http://m/'?", "2000 1 0 http://f/",
                              "1000 0 200 http://f/"}));
        QCOMPARE(lastChecks(101), QStringList({"2000 1 410 http://f/", "1000 1 404 http://f/"}));
        QVERIFY(LinkStore::recordChecks({check(101, 4000, CheckRecord::Uncertain, 503)}));
        QCOMPARE(lastChecks(101), QStringList {"4000 2 503 http://f/"});
        QCOMPARE(lastChecks(999), QStringList());

        // A failing write leaves none of its run.
        SqlSteps::exec(QStringLiteral("Create Trigger refuse Before Insert On tURLCheck When "
                                      "New.nURL = 7 Begin Select Raise(Abort, 'refused'); End"));
        QVERIFY(!LinkStore::recordChecks(
            {check(100, 5000, CheckRecord::Alive, 200), check(7, 5000, CheckRecord::Alive, 200)},
            &error));
        QVERIFY2(error.contains(QStringLiteral("refused")), qPrintable(error));
        QCOMPARE(count("Select count(*) From tURLCheck"), 6);

        // Deleted links take their history along: one by one, in the maintenance save, by reset.
        QVERIFY(LinkStore::deleteLink(101, &error));
        QCOMPARE(SqlLines::of("Select nURL, count(*) From tURLCheck Group By nURL"),
                 QStringList {"100|3"});
        LinkStore::MaintenanceChanges c;
        c.deletedLinks = {100};
        QVERIFY(LinkStore::applyMaintenance(c, &error));
        QCOMPARE(count("Select count(*) From tURLCheck"), 0);
        QVERIFY(LinkStore::recordChecks({check(1, 1, CheckRecord::Dead, 0)}, &error));
        QVERIFY(LinkStore::reset(QStringLiteral("未分類"), &error));
        QCOMPARE(count("Select count(*) From tURLCheck"), 0);
    }

    // A first start that died leaves an empty or table-less file, perhaps with a journal: it is
    // made anew instead of being refused for ever.
    void unfinishedFirstStartIsMadeAnew()
    {
        for (bool empty : {true, false}) {
            const QString path = freshDb(false);
            if (empty)
                TestFiles::write(path, {});
            else
                makeRaw(path, {QStringLiteral("PRAGMA page_size=4096"), QStringLiteral("Vacuum")});
            TestFiles::write(path + QStringLiteral("-journal"), QByteArray(512, '\0'));
            QString error;
            QVERIFY2(Store::OpenDb(path, &error), qPrintable(error));
            QCOMPARE(count("Select count(*) From mGrp"), 1);
            addLink(100, QStringLiteral("http://a/"));
            QCOMPARE(filesBeside(path), QStringList {QStringLiteral("dbLink.mdb")});
            Store::CloseDb();
        }
    }

    void numbers()
    {
        const QString path = freshDb();
        qint64 n = 0;
        QVERIFY(LinkStore::nextLinkNumber(n) && n == 100);
        QVERIFY(LinkStore::nextGroupNumber(n) && n == 1); // the group-0 row counts: 0 + 1
        for (int u : {100, 101, 250})
            addLink(u, QStringLiteral("http://x/%1").arg(u));
        Store::CloseDb();
        QVERIFY(Store::OpenDb(path));
        QVERIFY(LinkStore::nextLinkNumber(n) && n == 251);
        // Numbers are 64-bit: past the 32-bit range they go on, read back exactly; the highest
        // one is never passed, nor wrapped to a negative one.
        addLink(2147483647, QStringLiteral("http://x/32"));
        SqlSteps::exec(Sql::kInsertGroup, {2147483647, "G", 1});
        QVERIFY(LinkStore::nextLinkNumber(n) && n == 2147483648);
        QVERIFY(LinkStore::nextGroupNumber(n) && n == 2147483648);
        addLink(n, QStringLiteral("http://x/past"));
        QStringList read;
        LinkStore::forEachLink(0, [&](const LinkStore::LinkView &v) {
            read << QString::number(v.nURL) + u'|' + QString::fromUtf8(v.nURLText);
        });
        QCOMPARE(read.last(), "2147483648|2147483648");
        addLink(kMaxNumber - 1, QStringLiteral("http://x/63"));
        QVERIFY(LinkStore::nextLinkNumber(n) && n == kMaxNumber);
        addLink(kMaxNumber, QStringLiteral("http://x/last"));
        SqlSteps::exec(Sql::kInsertGroup, {kMaxNumber, "Last", 2});
        // A file holding the highest number opens as any other.
        Store::CloseDb();
        QVERIFY(Store::OpenDb(path));
        QString error;
        QVERIFY(!LinkStore::nextLinkNumber(n, &error));
        QCOMPARE(error, QStringLiteral("番号が上限の 9223372036854775807 に達しています"));
        QVERIFY(!LinkStore::nextGroupNumber(n, &error));
        QCOMPARE(SqlLines::of("Select count(*) From tURL Where nURL < 0"), QStringList {"0"});
        // A closed database is reported, never a number.
        Store::CloseDb();
        QVERIFY(!LinkStore::nextLinkNumber(n, &error));
        QVERIFY(error.contains(QStringLiteral("not open")));
    }

    // Values are bound in order: texts exactly as given, a null text as an empty one, no value
    // at all as NULL (so a number column never receives an empty text), a number list as one
    // place per number.
    void binding()
    {
        freshDb();
        const Sql::Statement st
            = Sql::SetPrm(QStringLiteral(" Values (?, ?,?, ?,?, ?) in (?) ?"),
                          {105, QStringLiteral("u?'"), 3, QString(), QVariant(), 1.5,
                           QVariant::fromValue(Sql::NumberList {3, 5, 7}), QStringLiteral("x")});
        QCOMPARE(st.sql, QStringLiteral(" Values (?, ?,?, ?,?, ?) in (?,?,?) ?"));
        QCOMPARE(st.values.size(), 10);
        QCOMPARE(st.values[3], QVariant(QStringLiteral("")));
        QVERIFY(!st.values[4].isValid());
        QCOMPARE(st.values[7], QVariant(5));
        QString error;
        QVERIFY(Sql::exec(Sql::SetPrm(QStringLiteral("Create Table t (n INTEGER, s TEXT)"), {}),
                          &error));
        QVERIFY(Sql::exec(
            Sql::SetPrm(QStringLiteral("Insert Into t Values (?, ?)"), {QVariant(), QString()}),
            &error));
        QCOMPARE(SqlLines::of("Select typeof(n), typeof(s), s From t"), QStringList {"null|text|"});
        // The sort key may not be NULL: a missing number is refused, not stored as text.
        QVERIFY(!Sql::exec(
            Sql::SetPrm(Sql::kInsertLink,
                        {100, QStringLiteral("http://a/"), 0, QString(), QString(), QVariant()}),
            &error));
        QVERIFY2(error.contains(QStringLiteral("NOT NULL")), qPrintable(error));
        // An empty list matches nothing.
        addLink(100, QStringLiteral("http://a/"));
        QVERIFY(Sql::exec(Sql::SetPrm(Sql::kDeleteLinks, {QVariant::fromValue(Sql::NumberList {})}),
                          &error));
        QCOMPARE(count("Select count(*) From tURL"), 1);
    }

    // Prepared statements report what the engine refused, at the run.
    void preparedStatements()
    {
        freshDb();
        QString error;
        Sql::Prepared bad("Insert Into nowhere Values (?)");
        QVERIFY(!bad.ok());
        QVERIFY(!bad.run(&error));
        QVERIFY2(error.contains(QStringLiteral("nowhere")), qPrintable(error));
        {
            Sql::Prepared insert(Sql::kInsertLink);
            QVERIFY(insert.ok());
            for (int run = 0; run < 2; ++run) {
                insert.bindInt(0, 100 + run);
                insert.bindText(1, QStringLiteral("http://a/?q='1'"));
                insert.bindInt(2, 0);
                insert.bindText(3, QString());
                insert.bindText(4, QStringLiteral("説明"));
                if (run == 0)
                    insert.bindReal(5, 1.5);
                // The second run has no sort key: values do not carry over to the next run.
                QCOMPARE(insert.run(&error), run == 0);
            }
        }
        QVERIFY2(error.contains(QStringLiteral("NOT NULL")), qPrintable(error));
        QCOMPARE(SqlLines::of("Select nURL, sURL, typeof(sNam), sMem, gSrt From tURL"),
                 QStringList {"100|http://a/?q='1'|text|説明|1.5"});
        Store::CloseDb();
        Sql::Prepared closed(Sql::kInsertLink);
        QVERIFY(!closed.run(&error));
        QVERIFY(error.contains(QStringLiteral("not open")));
    }

    // An import writes its groups, links and dates in one transaction; cancelled or failed, it
    // leaves every table as it was.
    void importIsAllOrNothing_data()
    {
        QTest::addColumn<int>("cancelAt"); // links written when progress says stop; -1 never
        QTest::addColumn<int>("taken"); // a link number in use already; 0 none
        QTest::addColumn<int>("result");
        QTest::newRow("written") << -1 << 0 << int(LinkStore::ImportResult::Written);
        QTest::newRow("cancelled midway") << 150 << 0 << int(LinkStore::ImportResult::Cancelled);
        QTest::newRow("cancelled at the last")
            << 300 << 0 << int(LinkStore::ImportResult::Cancelled);
        QTest::newRow("number taken") << -1 << 250 << int(LinkStore::ImportResult::Failed);
    }
    void importIsAllOrNothing()
    {
        QFETCH(int, cancelAt);
        QFETCH(int, taken);
        QFETCH(int, result);
        freshDb();
        addLink(99, QStringLiteral("http://old/"));
        if (taken)
            addLink(taken, QStringLiteral("http://taken/"));
        // A date whose link has gone: an undated link under that number must not inherit it.
        SqlSteps::exec(QStringLiteral("Insert Into tURLInfo (nURL, nAdded) Values (120, 5)"));
        auto snapshot = [] {
            return SqlSteps::rows(QStringLiteral("Select * From tURL Order By nURL"))
                + SqlSteps::rows(QStringLiteral("Select * From mGrp Order By nGrp"))
                + SqlSteps::rows(QStringLiteral("Select * From tURLInfo Order By nURL"));
        };
        const Sql::Rows before = snapshot();
        const int cache = count("PRAGMA cache_size");

        const QList<GroupRecord> groups {{1, QStringLiteral("技術"), 1},
                                         {2, QStringLiteral("技術/Qt"), 2}};
        QList<DatedLink> links;
        for (int i = 0; i < 300; ++i) {
            links.append({{100 + i, QStringLiteral("http://x/%1?a='b'").arg(i), i % 3,
                           QStringLiteral("題 %1").arg(i),
                           i % 2 ? QStringLiteral("説明") : QString(), double(i + 1)},
                          i % 4 ? 1600000000 + i : 0});
        }
        QList<qsizetype> calls;
        QString error;
        const LinkStore::ImportResult got = LinkStore::importLinks(
            groups, links,
            [&](qsizetype done, qsizetype total) {
                calls << done;
                return total == 300 && (cancelAt < 0 || done < cancelAt);
            },
            &error);
        QCOMPARE(int(got), result);
        // The larger page cache of the import is given back.
        QCOMPARE(count("PRAGMA cache_size"), cache);
        if (got != LinkStore::ImportResult::Written) {
            QCOMPARE(snapshot(), before);
            QCOMPARE(error.isEmpty(), got == LinkStore::ImportResult::Cancelled);
            if (taken)
                QVERIFY2(error.contains(QStringLiteral("Insert Into tURL"))
                             && error.contains(QStringLiteral("UNIQUE")),
                         qPrintable(error));
            return;
        }
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(calls.last(), 300);
        QVERIFY(std::is_sorted(calls.begin(), calls.end()));
        QCOMPARE(SqlLines::of("Select nGrp, sGrp, gSrt From mGrp Order By nGrp"),
                 QStringList({"0|未分類|0", "1|技術|1", "2|技術/Qt|2"}));
        QCOMPARE(SqlLines::of("Select count(*), sum(sMem Is Null) From tURL"),
                 QStringList {"301|0"});
        QCOMPARE(SqlLines::of("Select sURL, nGrp, sNam, sMem, gSrt From tURL Where nURL = 101"),
                 QStringList {"http://x/1?a='b'|1|題 1|説明|2"});
        QHash<qint64, qint64> dates;
        QVERIFY(LinkStore::addedDates(dates));
        QCOMPARE(dates.size(), 1 + 225);
        QCOMPARE(dates.value(99), 1700000000);
        QCOMPARE(dates.value(101), 1600000001);
        QVERIFY(!dates.contains(100));
        QVERIFY(!dates.contains(120));
    }

    // A link's texts are stored exactly as given, its sort key as a single-precision number.
    void linksStoredExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("sort");
        QTest::newRow("question marks") << "What? page?id=3&x=?" << 100.0;
        QTest::newRow("line ends") << "line1\r\nline2\r\n" << 999.9;
        QTest::newRow("long") << QString(10000, QChar(0x3042)) << 1.0 / 3.0;
        QTest::newRow("sql") << "'); Drop Table tURL; --" << 1.5;
    }
    void linksStoredExactly()
    {
        QFETCH(QString, text);
        QFETCH(double, sort);
        freshDb();
        QVERIFY(LinkStore::insertLink({100, text, 0, text, text, NumberText::toSingle(sort)}, 5));
        QList<LinkRecord> found;
        QVERIFY(LinkStore::lookup(text, found));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].gSrt, NumberText::toSingle(sort));
        QCOMPARE(found[0].sNam, text);
        QCOMPARE(found[0].sMem, text);
        QVERIFY(LinkStore::updateLink({100, QString(), 0, text + u'!', QString(), 2}));
        QVERIFY(LinkStore::lookup(text, found));
        QCOMPARE(found[0].sNam, QString(text + u'!'));
        QCOMPARE(found[0].sMem, QString());
        QCOMPARE(count("Select count(*) From tURL Where sMem Is Null"), 0);
    }

    void fastReadGivesTextsAndNumbers()
    {
        freshDb();
        addLink(100, QStringLiteral("http://例え.jp/ｶﾀｶﾅ"), 3, QStringLiteral("題名"), 1.5);
        addLink(101, QStringLiteral("http://x/"), 0, QString(), 100);
        SqlSteps::exec(QStringLiteral("Update tURL Set gSrt='12abc' Where nURL=101"));
        QStringList texts;
        QList<double> numbers;
        const QString sql
            = QStringLiteral("Select nURL, sURL, sNam, gSrt, Null From tURL Order By nURL");
        QString error;
        QVERIFY(Sql::forEachUtf8(
            Sql::SetPrm(sql, {}),
            [&](const Sql::TextRow &r) {
                // A number is the same whether its text was asked for first or not.
                texts << QString::fromUtf8(r.text(0)) << QString::fromUtf8(r.text(1))
                      << QString::fromUtf8(r.text(2)) << QString::fromUtf8(r.text(3))
                      << QString::fromUtf8(r.text(4)) << QString::fromUtf8(r.text(9));
                numbers << r.number(0) << r.number(3) << r.number(4) << r.number(9);
            },
            &error));
        QCOMPARE(texts,
                 (QStringList {"100", "http://例え.jp/ｶﾀｶﾅ", "題名", "1.5", "", "", "101",
                               "http://x/", "", "12abc", "", ""}));
        QCOMPARE(numbers, (QList<double> {100, 1.5, 0, 0, 101, 0, 0, 0}));
        QVERIFY(!Sql::forEachUtf8(
            Sql::SetPrm(QStringLiteral("Select nope From tURL"), {}), [](const Sql::TextRow &) {},
            &error));
        QVERIFY2(error.contains(QStringLiteral("nope")), qPrintable(error));
        Store::CloseDb();
        QVERIFY(!Sql::forEachUtf8(
            Sql::SetPrm(sql, {}), [](const Sql::TextRow &) {}, &error));
        QVERIFY(error.contains(QStringLiteral("not open")));
    }

    // More deleted rows than the engine takes bound values in one statement, in one save.
    void maintenanceSaveOfAnyLength()
    {
        freshDb();
        // The engine's own limit, lowered on this connection so that the test stays small.
        const QVariant handle = Store::db().driver()->handle();
        QCOMPARE(handle.typeName(), "sqlite3*");
        sqlite3_limit(*static_cast<sqlite3 *const *>(handle.constData()),
                      SQLITE_LIMIT_VARIABLE_NUMBER, 999);
        const int many = 3000;
        SqlSteps::exec(
            QStringLiteral(
                "With Recursive c(n) As (Select 1 Union All Select n + 1 From c Where n < %1)"
                " Insert Into tURL (nURL, sURL, nGrp, gSrt) Select n, 'http://x/' || n, n % 2, 1"
                " From c")
                .arg(many));
        LinkStore::MaintenanceChanges c;
        c.newGroups = {{0, QStringLiteral("A"), 5}, {0, QStringLiteral("B"), 6}};
        for (int n = 1; n < many; ++n)
            c.deletedLinks.append(n);
        c.deletedGroups = {0};
        c.updatedLinks = {{many, QString(), 7, QStringLiteral("kept"), QString(), 3}};
        QString error;
        QVERIFY2(LinkStore::applyMaintenance(c, &error), qPrintable(error));
        QCOMPARE(SqlLines::of("Select nURL, nGrp, sNam From tURL"), QStringList {"3000|7|kept"});
        QCOMPARE(SqlLines::of("Select nGrp, sGrp From mGrp Order By nGrp"),
                 QStringList({"1|A", "2|B"}));
    }

    // A failing statement, a transaction without commit, or a reset that cannot start its own
    // transaction leaves the data as they were.
    void failuresChangeNothing()
    {
        freshDb();
        addLink(100, QStringLiteral("http://a/"));
        QString error;
        // The same number twice breaks the key: the date of the link goes with it.
        QVERIFY(
            !LinkStore::insertLink({100, QStringLiteral("http://b/"), 0, {}, {}, 1}, 9, &error));
        QVERIFY2(error.contains(QStringLiteral("Insert Into tURL")), qPrintable(error));
        QHash<qint64, qint64> dates;
        QVERIFY(LinkStore::addedDates(dates));
        QCOMPARE(dates.value(100), 1700000000);
        {
            Sql::Transaction t;
            QVERIFY(t.ok());
            rawLink(101, QStringLiteral("http://b/"));
        } // no commit
        QCOMPARE(count("Select count(*) From tURL"), 1);
        {
            Sql::Transaction open; // a transaction left open: the reset cannot start its own
            QVERIFY(!LinkStore::reset(QStringLiteral("未分類"), &error));
            QVERIFY(open.commit());
        }
        QCOMPARE(count("Select count(*) From tURL"), 1);
        QVERIFY(LinkStore::reset(QStringLiteral("未分類"), &error));
        QCOMPARE(count("Select (Select count(*) From tURL) + (Select count(*) From tURLInfo)"), 0);
        QCOMPARE(SqlLines::of("Select nGrp, sGrp From mGrp"), QStringList {"0|未分類"});
    }

    void compaction()
    {
        const QString path = freshDb();
        {
            Sql::Transaction t;
            for (int n = 100; n < 1100; ++n)
                rawLink(n, QStringLiteral("http://x/%1").arg(n), QString(200, u'x'));
            QVERIFY(t.commit());
        }
        SqlSteps::exec(QStringLiteral("Delete From tURL Where nURL >= 600"));
        const qint64 before = QFileInfo(path).size();
        QVERIFY(Store::CompactDb());
        QCOMPARE(Dialogs::shownTexts(), QStringList {path + QStringLiteral(" を最適化しました")});
        QVERIFY(Store::isOpen());
        QVERIFY(QFileInfo(path).size() < before);
        QCOMPARE(count("Select count(*) From tURL"), 500);
        // Stopped on the way: the file stays as it was.
        const QByteArray kept = TestFiles::read(path);
        Dialogs::clearShown();
        int asked = 0;
        QVERIFY(!Store::CompactDb([&] { return ++asked < 2; }));
        QVERIFY(asked >= 2);
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {path + QStringLiteral(" の最適化を中止しました")});
        QCOMPARE(TestFiles::read(path), kept);
        QCOMPARE(count("Select count(*) From tURL"), 500);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
