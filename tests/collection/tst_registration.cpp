#include "collection/DeleteLink.h"
#include "collection/EmptyCollection.h"
#include "collection/LinkIndex.h"
#include "collection/RegisterPage.h"
#include "collection/Registration.h"
#include "store/GroupList.h"
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
    QList<qint64> copies; // links that have a copy
    QImage take() override
    {
        log << "take";
        return QImage(4, 4, QImage::Format_RGB32);
    }
    void write(const QImage &, qint64 n) override { log << QStringLiteral("picture %1").arg(n); }
    bool has(qint64 n) override { return copies.contains(n); }
    void save(const QString &a, qint64 n) override
    {
        log << "copy " + QString::number(n) + ' ' + a;
    }
    void saved(const LinkRecord &l) override
    {
        log << QStringLiteral("index %1 %2 %3 %4").arg(l.nURL).arg(l.sURL, l.sNam).arg(l.nGrp);
    }
    void deleted(qint64 n) override { log << QStringLiteral("unindex %1").arg(n); }
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
    static RegisterPage::Page page(bool isNew, const char *address, const char *memo,
                                   qint64 nCurURL = 0, const QString &newGroup = {})
    {
        return {isNew,    QString::fromUtf8(address), nCurURL, 0,
                newGroup, QString::fromUtf8(memo),    {}};
    }
    static QString data(const char *column)
    {
        return *static_cast<QString *>(QTest::qData(column, qMetaTypeId<QString>()));
    }
    static void refuse(const char *what)
    {
        SqlSteps::exec("Create Trigger r Before " + QLatin1String(what)
                       + " On tURL Begin Select Raise(Abort, 'refused'); End");
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

    // What a completed page shows: whether it can be registered, the title and the text.
    void newPage_data()
    {
        for (const char *c : {"url", "title", "text", "registrable", "memo"})
            QTest::addColumn<QString>(c);
        const auto row
            = [](const char *url, const char *title, const char *text, const char *can,
                 const char *memo) { QTest::newRow(url) << url << title << text << can << memo; };
        row("http://a/", "T", "one line  ", "1", "T\none line");
        row("HTTPS://A/", "T", "", "1", "T\n");
        row("file:///tmp/x.htm", "T", "", "0", "T\n");
        row("file:///x?u=http://y/", "T", "", "0", "T\n");
        row("", "T", "", "0", "T\n");
        row("http://title/", "see HTTP://b", "x", "1", "\nx");
        row("http://cr/", "T", "a\rb\r\nc", "1", "T\nab c");
        row("http://lines/", "T", "1\r\n2\r\n\r\n4\r\n5", "1", "T\n1 2  4");
    }
    void newPage()
    {
        Registration::Panel p;
        QVERIFY(Registration::lookup(data("url"), data("title"), data("text"), p));
        QVERIFY(p.isNew && p.sortText == "100");
        QCOMPARE(QString::number(p.registrable), data("registrable"));
        QTEST(p.memo, "memo");
    }

    // A registered link shows its stored texts, each only when it is not empty.
    void registeredPage_data()
    {
        for (const char *c : {"sNam", "sMem", "sort", "shown"})
            QTest::addColumn<QString>(c);
        const auto row
            = [](const char *sNam, const char *sMem, const char *sort, const char *shown) {
                  QTest::newRow(shown) << sNam << sMem << sort << shown;
              };
        row("Stored", "desc", "12.5", "Stored\ndesc|12.5");
        row("", "desc", "100", "Page\ndesc|100.0");
        row("Stored", "", "0", "Stored\npage text|0.0");
    }
    void registeredPage()
    {
        QVERIFY(LinkStore::insertLink(
            {105, "http://Reg/", 0, data("sNam"), data("sMem"), data("sort").toDouble()}, 1));
        Registration::Panel p;
        QVERIFY(Registration::lookup("http://reg/", "Page", "page text", p));
        QVERIFY(!p.isNew && p.nURL == 105);
        QTEST(QString(p.memo + u'|' + p.sortText), "shown");
        // Only the scheme and host ignore letter case: another path is another page.
        QVERIFY(LinkStore::insertLink({106, "http://reg/Docs/Readme", 0, "D", "", 1}, 1));
        QVERIFY(Registration::lookup("HTTP://REG/docs/readme", "Page", "", p));
        QVERIFY(p.isNew);
        QVERIFY(Registration::lookup("HTTP://REG/Docs/Readme", "Page", "", p));
        QCOMPARE(p.nURL, 106);
    }

    // The panel's text and sort box as a stored link: title, description, sort key.
    void record_data()
    {
        for (const char *c : {"memo", "sortText", "stored"})
            QTest::addColumn<QString>(c);
        const auto row = [](const char *memo, const char *sortText, const char *stored) {
            QTest::newRow(stored) << memo << sortText << stored;
        };
        row("Just a title", "12.5", "Just a title||12.5");
        row("Title\n\nfirst\nsecond\n\n", "abc", "Title|first\r\nsecond|0");
        row("T\rA\rB", "1e2", "T|A\r\nB|100");
        row("T\n  d  ", " 7 x", "T|  d  |7");
        row("T", "0.333333333", "T||0.3333333");
    }
    void record()
    {
        const LinkRecord r
            = Registration::record(7, "http://a/", 3, data("memo"), data("sortText"));
        QTEST(QStringList({r.sNam, r.sMem, QString::number(r.gSrt, 'g', 7)}).join(u'|'), "stored");
        QCOMPARE(r.nGrp, 3);
    }

    // F3 on a new page, then on the registered one: the picture is taken before the save and
    // written after it, the copy kept once, the index told the stored address.
    void registerThenCorrect()
    {
        Doubles d;
        RegisterPage use(&d, &d, &d);
        RegisterPage::Outcome out = use.run(page(true, "http://a/?q", "A\nd"), {}, 1754000000);
        QVERIFY(out.result == RegisterPage::Result::Saved && out.link.nURL == 100);
        QCOMPARE(d.log.join(u','),
                 "take,picture 100,copy 100 http://a/?q,index 100 http://a/?q A 0");
        QHash<qint64, qint64> dates;
        QVERIFY(LinkStore::addedDates(dates) && dates.value(100) == 1754000000);

        // A correction needs the list's active row to hold the link on show; it keeps the
        // stored address and, once a copy is there, takes no other.
        d.log.clear();
        d.copies = {100};
        const RegisterPage::Page fix = page(false, "http://a/?q#x", "A2", 100);
        for (const RegisterPage::ActiveRow &row :
             {RegisterPage::ActiveRow {0, "100", {}}, {2, "101", {}}, {2, "", {}}})
            QVERIFY(use.run(fix, row, 2).result == RegisterPage::Result::NotOnShow);
        QVERIFY(d.log.isEmpty());
        QVERIFY(use.run(fix, {2, "100", "http://a/?q"}, 2).result == RegisterPage::Result::Saved);
        QCOMPARE(d.log.join(u','), "take,picture 100,index 100 http://a/?q A2 0");
        QCOMPARE(SqlLines::of("Select nURL, sURL, sNam, sMem From tURL"),
                 QStringList {"100|http://a/?q|A2|"});
        // Without a copy yet, the correction keeps one.
        d.log.clear();
        d.copies.clear();
        QVERIFY(use.run(fix, {2, "100", "http://a/?q"}, 2).result == RegisterPage::Result::Saved);
        QCOMPARE(d.log.filter("copy 100 ").size(), 1);
        // No picture, no copy, no index: the link alone.
        QCOMPARE(RegisterPage(nullptr, nullptr, nullptr).run(page(true, "b", "B"), {}, 3).link.nURL,
                 101);
    }

    // Numbers go on past the 32-bit range, and a correction finds such a link; past the highest
    // 64-bit number a new page is refused with the reason, nothing taken or written.
    void numbersPast32Bits()
    {
        QVERIFY(LinkStore::insertLink({2147483647, "http://a/", 0, "A", {}, 1}, 1));
        Doubles d;
        RegisterPage use(&d, &d, &d);
        QCOMPARE(use.run(page(true, "http://b/", "B"), {}, 2).link.nURL, 2147483648);
        QVERIFY(
            use.run(page(false, "http://b/", "B2", 2147483648), {2, "2147483648", "http://b/"}, 2)
                .result
            == RegisterPage::Result::Saved);
        QCOMPARE(d.log.filter("picture"),
                 (QStringList {"picture 2147483648", "picture 2147483648"}));
        QVERIFY(LinkStore::insertLink({kMaxNumber, "http://z/", 0, "Z", {}, 1}, 1));
        d.log.clear();
        const RegisterPage::Outcome out = use.run(page(true, "http://c/", "C"), {}, 3);
        QVERIFY(out.result == RegisterPage::Result::NoNumber);
        QCOMPARE(out.error, "番号が上限の 9223372036854775807 に達しています");
        QVERIFY(d.log.isEmpty());
        QCOMPARE(SqlLines::of("Select nURL, sNam From tURL Order By nURL"),
                 (QStringList {"2147483647|A", "2147483648|B2", "9223372036854775807|Z"}));
    }

    // A refused statement saves nothing: no picture written, no copy, no index, no new group.
    void refusedSaveKeepsEverything_data()
    {
        QTest::addColumn<bool>("isNew");
        QTest::addColumn<QString>("newGroup");
        QTest::newRow("new") << true << "";
        QTest::newRow("correction") << false << "";
        QTest::newRow("new, group") << true << "Tech";
        QTest::newRow("correction, group") << false << "Tech";
    }
    void refusedSaveKeepsEverything()
    {
        QFETCH(bool, isNew);
        QVERIFY(LinkStore::insertLink({100, "http://a/", 0, "A", {}, 1}, 1));
        refuse(isNew ? "Insert" : "Update");
        Doubles d;
        const RegisterPage::Outcome out
            = RegisterPage(&d, &d, &d)
                  .run(page(isNew, "http://a/", "B", 100, data("newGroup")),
                       {1, "100", "http://a/"}, 1);
        QVERIFY(out.result == RegisterPage::Result::Failed && out.error.contains("refused"));
        QCOMPARE(d.log, QStringList {"take"});
        QCOMPARE(SqlLines::of("Select nURL, sNam From tURL"), QStringList {"100|A"});
        QCOMPARE(SqlLines::of("Select count(*) From mGrp"), QStringList {"1"});
    }

    // A typed group that does not exist is made (next number, sort key 100) with the link.
    void newGroup()
    {
        SqlSteps::exec(Sql::kInsertGroup, {7, "Blogs", 10});
        GroupList groups;
        QVERIFY(GroupList::load(groups));
        for (const auto &[text, n] :
             {std::pair {"", qint64(0)}, {"*", 0}, {"BLOGS", 7}, {"未分類", 0}})
            QCOMPARE(RegisterPage::groupOf(groups, QString::fromUtf8(text)), n);
        QVERIFY(!RegisterPage::groupOf(groups, "Tech"));
        Doubles d;
        QVERIFY(
            RegisterPage(nullptr, nullptr, &d).run(page(true, "t", "T", 0, "Tech"), {}, 1).result
            == RegisterPage::Result::Saved);
        QCOMPARE(SqlLines::of("Select nGrp, sGrp, gSrt From mGrp Where nGrp = 8"),
                 QStringList {"8|Tech|100"});
        QCOMPARE(d.log, QStringList {"index 100 t T 8"});
    }

    // A link goes with its row, picture and copy, and leaves the index; another link's stay.
    // A refused delete keeps them all.
    void deleteLink()
    {
        for (const int n : {100, 101}) {
            QVERIFY(LinkStore::insertLink({n, "http://a/", 0, {}, {}, 1}, 5));
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
        QCOMPARE(files(), (QStringList {"101.jpg", "101.mhtml"}));
        QCOMPARE(d.log, QStringList {"unindex 100"});
        refuse("Delete");
        QString error;
        QVERIFY(!DeleteLink(m_data, &d).run(101, &error) && error.contains("refused"));
        QCOMPARE(files(), (QStringList {"101.jpg", "101.mhtml"}));
        QCOMPARE(d.log.size(), 1);
    }

    // Emptying takes the copies with the links; the pictures go only when asked.
    void emptyCollection()
    {
        QVERIFY(LinkStore::insertLink({100, "http://a/", 0, {}, {}, 1}, 5));
        TestFiles::write(path("Pic/100.jpg"), "p");
        TestFiles::write(path("Arc/100.mhtml"), "c");
        EmptyCollection collection(m_data);
        QVERIFY(collection.run());
        QCOMPARE(SqlLines::of("Select count(*) From tURL"), QStringList {"0"});
        QVERIFY(!QFile::exists(path("Arc/100.mhtml")) && QFile::exists(path("Pic/100.jpg")));
        collection.removePictures();
        QVERIFY(!QFile::exists(path("Pic/100.jpg")));
    }
};

QTEST_GUILESS_MAIN(TestRegistration)
#include "tst_registration.moc"
