#include "collection/AddLink.h"
#include "collection/LinkIndex.h"
#include "pages/PageArchive.h"
#include "platform/DataFolder.h"
#include "store/LinkStore.h"
#include "store/Store.h"
#include "store/TextStore.h"

#include <QTemporaryDir>
#include <QTest>

struct Told : LinkIndex
{
    QList<qint64> saves;
    void saved(const LinkRecord &l) override { saves << l.nURL; }
    void deleted(qint64) override { }
};

// The one rule of the receiver and of `add`, on a real collection in a temporary folder: one
// registered link (100, group 技術) and a folder 技術/Qt that only a deeper path names.
class TestAddLink : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;
    QString m_data;

private Q_SLOTS:
    void init()
    {
        m_data = m_tmp.path() + QStringLiteral("/d%1/").arg(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(m_data));
        QVERIFY(Store::OpenDb(m_data + QStringLiteral("dbLink.mdb")));
        QCOMPARE(
            LinkStore::importLinks({{1, "技術", 10}, {2, "技術/Qt/Widgets", 20}},
                                   {{{100, "https://example.com/a", 1, "Stored", "desc", 5}, 1}}),
            LinkStore::ImportResult::Written);
    }
    void cleanup() { Store::CloseDb(); }

    void run_data()
    {
        for (const char *c : {"url", "title", "group", "flags", "outcome", "groups"})
            QTest::addColumn<QString>(c);
        const auto row = [](const char *tag, const char *url, const char *title, const char *group,
                            const char *flags, const char *outcome, const char *groups = "") {
            QTest::newRow(tag) << url << title << group << flags << outcome << groups;
        };
        row("new", "https://new.example/", "N", "", "", "new 101 g0 N s100");
        row("corrected keeps", "HTTPS://EXAMPLE.com/a", "", "", "", "corrected 100 g1 Stored s5");
        row("corrected", "https://example.com/a", "T2", "技術", "sort=7", "corrected 100 g1 T2 s7");
        row("skip", "https://example.com/a", "T2", "ニュース", "skip", "skipped 100 g1 Stored s5");
        row("twin", "http://www.example.com/a/?utm_source=x", "", "", "", "twin 100");
        row("twin add", "http://www.example.com/a/", "", "", "add", "new 101 g0  s100");
        row("path made", "https://n/", "", " 新 / 深い /", "", "new 101 g4  s100", "新 新/深い");
        row("folder kept", "https://n/", "", "技術/Qt", "", "new 101 g3  s100", "技術/Qt");
        row("case", "https://n/", "", "技術/QT/widgets", "", "new 101 g2  s100");
        row("bad url", "javascript:alert(1)", "", "", "", "bad 0");
        row("no url", " ", "", "新", "", "bad 0");
    }
    void run()
    {
        QFETCH(QString, flags);
        const auto text = [](const char *c) {
            return *static_cast<QString *>(QTest::qData(c, qMetaTypeId<QString>()));
        };
        AddLink::Request r;
        r.url = text("url"), r.title = text("title"), r.group = text("group");
        r.skipRegistered = flags == u"skip";
        r.addTwin = flags == u"add";
        if (flags.startsWith(u"sort="))
            r.sort = flags.mid(5).toDouble();
        Told told;
        const AddLink::Outcome out = AddLink(m_data, &told).run(r, 1);
        const char *words[] = {"new", "corrected", "skipped", "twin", "bad", "failed"};
        QString got = QLatin1String(words[int(out.status)]) + u' '
            + QString::number(out.status == AddLink::Status::Twin ? out.twin.nURL : out.link.nURL);
        if (out.status != AddLink::Status::Twin && out.status != AddLink::Status::BadInput)
            got += QStringLiteral(" g%1 %2 s%3")
                       .arg(out.link.nGrp)
                       .arg(out.link.sNam)
                       .arg(out.link.gSrt);
        QTEST(got, "outcome");
        // Only what was saved tells the index, and the stored row is what was answered.
        QCOMPARE(told.saves.size(), got.startsWith(u"new") || got.startsWith(u"corr") ? 1 : 0);
        QList<LinkRecord> stored;
        QVERIFY(LinkStore::lookup(out.link.sURL, stored));
        if (!told.saves.isEmpty())
            QCOMPARE(stored.last().sNam, out.link.sNam);
        QList<GroupRecord> groups;
        QVERIFY(LinkStore::groups(groups));
        QStringList made;
        for (const GroupRecord &g : groups) {
            if (g.nGrp > 2)
                made << g.sGrp;
        }
        made.sort();
        QTEST(made.join(u' '), "groups");
    }
};

QTEST_GUILESS_MAIN(TestAddLink)
#include "tst_addlink.moc"
