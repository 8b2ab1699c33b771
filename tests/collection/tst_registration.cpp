#include "collection/DeleteLink.h"
#include "collection/EmptyCollection.h"
#include "collection/LinkIndex.h"
#include "collection/RegisterPage.h"
#include "collection/Registration.h"
#include "store/LinkStore.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/SqlLines.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// What the window gives registration and delete, recorded in order.
struct Doubles : RegisterPage::Picture, RegisterPage::Copy, LinkIndex
{
    QStringList log;
    QList<int> copies; // links that have a copy
    QImage take() override
    {
        log << "take";
        QImage img(4, 4, QImage::Format_RGB32);
        img.fill(Qt::red);
        return img;
    }
    void write(const QImage &, int n) override { log << QStringLiteral("picture %1").arg(n); }
    bool has(int n) override { return copies.contains(n); }
    void save(const QString &a, int n) override
    {
        log << QStringLiteral("copy %1 %2").arg(n).arg(a);
    }
    void saved(const LinkRecord &l) override
    {
        log << QStringLiteral("index %1 %2 %3 %4").arg(l.nURL).arg(l.sURL, l.sNam).arg(l.nGrp);
    }
    void deleted(int n) override { log << QStringLiteral("unindex %1").arg(n); }
};

// The registration rules and the use cases that register, delete and empty, on a real database
// in a temporary data folder, without a window.
class TestRegistration : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    QString m_data;

    QString path(const QString &name) const { return m_data + name; }
    static void refuse(const char *what)
    {
        SqlSteps::exec(QStringLiteral("Create Trigger r Before %1 On tURL Begin Select "
                                      "Raise(Abort, 'refused'); End")
                           .arg(QLatin1String(what)));
    }

private Q_SLOTS:
    void init()
    {
        m_data = m_tmp.path() + QStringLiteral("/d%1/").arg(QTest::currentDataTag());
        QDir(m_data).removeRecursively();
        for (const char *sub : {"Pic", "Arc"})
            QVERIFY(QDir().mkpath(m_data + QLatin1String(sub)));
        QVERIFY(Store::OpenDb(path(QStringLiteral("dbLink.mdb"))));
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
        QTest::newRow("empty text") << "Stored"
                                    << "" << 0.0 << "Stored\npage text"
                                    << "0.0";
    }
    void registeredPage()
    {
        QFETCH(QString, sNam);
        QFETCH(QString, sMem);
        QFETCH(double, sort);
        QVERIFY(
            LinkStore::insertLink({105, QStringLiteral("http://Reg/"), 0, sNam, sMem, sort}, 1));
        Registration::Panel p;
        QVERIFY(Registration::lookup(QStringLiteral("http://reg/"), QStringLiteral("Page"),
                                     QStringLiteral("page text"), p));
        QVERIFY(!p.isNew);
        QCOMPARE(p.nURL, 105);
        QTEST(p.memo, "memo");
        QTEST(p.sortText, "sortText");
    }

    // The panel's text and sort box as a stored link: title, description, sort key.
    void record_data()
    {
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("sortText");
        QTest::addColumn<QString>("stored");
        const auto row
            = [](const char *name, const char *memo, const char *sortText, const char *stored) {
                  QTest::newRow(name) << memo << sortText << stored;
              };
        row("title only", "Just a title", "12.5", "Just a title||12.5");
        row("blank lines around", "Title line\n\nfirst\nsecond\n\n", "abc",
            "Title line|first\r\nsecond|0");
        row("lone CR", "T\rA\rB", "1e2", "T|A\r\nB|100");
        row("spaces stay", "T\n  d  ", " 7 x", "T|  d  |7");
        row("seven digits", "T", "0.333333333", "T||0.3333333");
    }
    void record()
    {
        QFETCH(QString, memo);
        QFETCH(QString, sortText);
        const LinkRecord r
            = Registration::record(7, QStringLiteral("http://a/"), 3, memo, sortText);
        QTEST(QStringList({r.sNam, r.sMem, QString::number(r.gSrt, 'g', 7)}).join(u'|'), "stored");
        QCOMPARE(r.nGrp, 3);
    }

    // F3 on a new page, then on the registered one: the picture is taken before the save and
    // written after it, the copy kept once, the index told the stored address.
    void registerThenCorrect()
    {
        Doubles d;
        RegisterPage use(&d, &d, &d);
        RegisterPage::Page page {true,
                                 QStringLiteral("http://a/?q"),
                                 0,
                                 0,
                                 {},
                                 QStringLiteral("A\nd"),
                                 QStringLiteral("1")};
        RegisterPage::Outcome out = use.run(page, {}, 1754000000);
        QVERIFY(out.result == RegisterPage::Result::Saved);
        QCOMPARE(out.link.nURL, 100);
        QCOMPARE(d.log,
                 (QStringList {"take", "picture 100", "copy 100 http://a/?q",
                               "index 100 http://a/?q A 0"}));
        QHash<int, qint64> dates;
        QVERIFY(LinkStore::addedDates(dates));
        QCOMPARE(dates, (QHash<int, qint64> {{100, 1754000000}}));

        // A correction needs the list's active row to hold the link on show; it keeps the
        // stored address and, once a copy is there, takes no other.
        d.log.clear();
        d.copies = {100};
        page = {false, QStringLiteral("http://a/?q#x"), 100, 0, {}, QStringLiteral("A2"), {}};
        for (const RegisterPage::ActiveRow &row :
             {RegisterPage::ActiveRow {0, "100", {}}, RegisterPage::ActiveRow {2, "101", {}},
              RegisterPage::ActiveRow {2, "", {}}})
            QVERIFY(use.run(page, row, 2).result == RegisterPage::Result::NotOnShow);
        QVERIFY(d.log.isEmpty());
        out = use.run(page, {2, "100", "http://a/?q"}, 2);
        QVERIFY(out.result == RegisterPage::Result::Saved);
        QCOMPARE(d.log, (QStringList {"take", "picture 100", "index 100 http://a/?q A2 0"}));
        QCOMPARE(SqlLines::of("Select nURL, sURL, sNam, sMem, gSrt From tURL"),
                 QStringList {"100|http://a/?q|A2||0"});
        // No picture, no copy, no index: the link alone.
        page.isNew = true;
        QCOMPARE(RegisterPage(nullptr, nullptr, nullptr).run(page, {}, 3).link.nURL, 101);
    }

    // A refused statement saves nothing: no picture written, no copy, no index, no new group.
    void refusedSaveKeepsEverything_data()
    {
        QTest::addColumn<bool>("isNew");
        QTest::addColumn<QString>("newGroup");
        QTest::newRow("new") << true << "";
        QTest::newRow("correction") << false << "";
        QTest::newRow("new group") << true << "Tech";
        QTest::newRow("correction, new group") << false << "Tech";
    }
    void refusedSaveKeepsEverything()
    {
        QFETCH(bool, isNew);
        QFETCH(QString, newGroup);
        QVERIFY(LinkStore::insertLink({100, QStringLiteral("http://a/"), 0, "A", {}, 1}, 1));
        refuse(isNew ? "Insert" : "Update");
        Doubles d;
        const RegisterPage::Outcome out = RegisterPage(&d, &d, &d)
                                              .run({isNew,
                                                    QStringLiteral("http://a/"),
                                                    100,
                                                    0,
                                                    newGroup,
                                                    QStringLiteral("B"),
                                                    {}},
                                                   {1, "100", "http://a/"}, 1);
        QVERIFY(out.result == RegisterPage::Result::Failed);
        QVERIFY(out.error.contains("refused"));
        QCOMPARE(d.log, QStringList {"take"});
        QCOMPARE(SqlLines::of("Select nURL, sNam From tURL"), QStringList {"100|A"});
        QCOMPARE(SqlLines::of("Select count(*) From mGrp"), QStringList {"1"});
    }

    // A typed group that does not exist is made (next number, sort key 100) with the link.
    void newGroup()
    {
        for (const auto &[n, name, sort] : {std::tuple {1, "News", 20}, {7, "Blogs", 10}})
            SqlSteps::exec(QString::fromUtf8(Sql::kInsertGroup), {n, name, sort});
        const auto unknown = [](const char *text, int n) {
            return RegisterPage::isUnknownGroup(QString::fromUtf8(text), n);
        };
        QVERIFY(!unknown("", 0) && !unknown("*", 0) && !unknown("News", 1));
        QVERIFY(!unknown("未分類", 0) && unknown("Tech", 0));
        Doubles d;
        const RegisterPage::Outcome out = RegisterPage(nullptr, nullptr, &d)
                                              .run({true,
                                                    QStringLiteral("http://t/"),
                                                    0,
                                                    0,
                                                    QStringLiteral("Tech"),
                                                    QStringLiteral("T"),
                                                    {}},
                                                   {}, 1);
        QVERIFY(out.result == RegisterPage::Result::Saved);
        QCOMPARE(SqlLines::of("Select nGrp, sGrp, gSrt From mGrp Where sGrp='Tech'"),
                 QStringList {"8|Tech|100"});
        QCOMPARE(SqlLines::of("Select nGrp From tURL"), QStringList {"8"});
        QCOMPARE(d.log, QStringList {"index 100 http://t/ T 8"});
    }

    // A link goes with its row, date, check history, picture and copy; another link's stay.
    // A refused delete keeps them all.
    void deleteLink()
    {
        for (const int n : {100, 101}) {
            QVERIFY(
                LinkStore::insertLink({n, QStringLiteral("http://%1/").arg(n), 0, {}, {}, 1}, 5));
            QVERIFY(LinkStore::recordChecks({{n, 9, CheckRecord::Dead, 404, {}, {}}}));
            TestFiles::write(path(QStringLiteral("Pic/%1.jpg").arg(n)), "p");
            TestFiles::write(path(QStringLiteral("Arc/%1.mhtml").arg(n)), "c");
        }
        const auto files = [this] {
            return QDir(path("Pic")).entryList(QDir::Files)
                + QDir(path("Arc")).entryList(QDir::Files);
        };
        Doubles d;
        QVERIFY(DeleteLink(m_data, &d).run(100));
        QCOMPARE(SqlLines::of("Select nURL From tURL"), QStringList {"101"});
        QList<CheckRecord> checks;
        QVERIFY(LinkStore::lastChecks(100, checks) && checks.isEmpty());
        QHash<int, qint64> dates;
        QVERIFY(LinkStore::addedDates(dates) && !dates.contains(100));
        QCOMPARE(files(), (QStringList {"101.jpg", "101.mhtml"}));
        QCOMPARE(d.log, QStringList {"unindex 100"});

        refuse("Delete");
        QString error;
        QVERIFY(!DeleteLink(m_data, &d).run(101, &error));
        QVERIFY(error.contains("refused"));
        QCOMPARE(files(), (QStringList {"101.jpg", "101.mhtml"}));
        QCOMPARE(d.log.size(), 1);
    }

    // Emptying keeps only the group-0 row and takes the copies; the pictures go when asked.
    void emptyCollection()
    {
        SqlSteps::exec(QString::fromUtf8(Sql::kInsertGroup), {3, "News", 1});
        QVERIFY(LinkStore::insertLink({100, QStringLiteral("http://a/"), 3, {}, {}, 1}, 5));
        TestFiles::write(path("Pic/100.jpg"), "p");
        TestFiles::write(path("Arc/100.mhtml"), "c");
        EmptyCollection collection(m_data);
        QVERIFY(collection.run());
        QCOMPARE(SqlLines::of("Select nGrp, sGrp From mGrp"), QStringList {"0|未分類"});
        QCOMPARE(SqlLines::of("Select count(*) From tURL"), QStringList {"0"});
        QVERIFY(!QFile::exists(path("Arc/100.mhtml")));
        QVERIFY(QFile::exists(path("Pic/100.jpg")));
        collection.removePictures();
        QVERIFY(!QFile::exists(path("Pic/100.jpg")));
    }
};

QTEST_GUILESS_MAIN(TestRegistration)
#include "tst_registration.moc"
