#include "collection/DeleteLink.h"
#include "collection/EmptyCollection.h"
#include "collection/RegisterPage.h"
#include "pages/PageArchive.h"
#include "pages/TextBackfill.h"
#include "platform/DataFolder.h"
#include "search/TextIndex.h"
#include "search/TextPieces.h"
#include "store/Store.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The page text follows the links through every use case that adds, reads again or removes
// them, on a real database and index in a temporary data folder.
class TestPageTextSteps : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;
    QString m_data;

    QList<qint64> found(const QString &query)
    {
        TextIndex index(m_data);
        std::vector<TextIndex::Found> hits;
        QString error;
        if (!index.find(query, 0, 0, hits, &error))
            return {-1};
        QList<qint64> out;
        for (const auto &h : hits)
            out.append(h.nURL);
        return out;
    }
    qint64 registered(const char *address, const char *memo, const char *text)
    {
        RegisterPage use(nullptr, nullptr, nullptr);
        use.keepText(m_data, QString::fromUtf8(text));
        RegisterPage::Page p;
        p.address = QString::fromUtf8(address);
        p.memo = QString::fromUtf8(memo);
        return use.run(p, {}, 1754000000).link.nURL;
    }
    static bool sql(const QString &statement)
    {
        QSqlQuery q(Store::db());
        return q.exec(statement);
    }
    void copy(qint64 n, const QByteArray &html)
    {
        TestFiles::write(PageArchive::fileFor(m_data, n),
                         "Content-Type: text/html; charset=utf-8\r\n\r\n" + html);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TextPieces::useEverywhere();
        m_data = m_tmp.path() + u'/';
        QVERIFY(QDir().mkpath(m_data + QStringLiteral("Arc")));
        QVERIFY(Store::OpenDb(m_data + QStringLiteral("dbLink.mdb")));
    }
    void cleanupTestCase() { Store::CloseDb(); }

    void followsTheLinks()
    {
        const qint64 a = registered("http://a.example/", "Alpha", "東京の天気は晴れ");
        const qint64 b = registered("http://b.example/", "Beta", "大阪の天気 rainy");
        QCOMPARE(found(QStringLiteral("天気")).size(), 2);
        QCOMPARE(found(QStringLiteral("京")), QList<qint64>({a}));
        QCOMPARE(found(QStringLiteral("rain beta")), QList<qint64>({b}));
        QCOMPARE(found(QStringLiteral("alpha 晴")), QList<qint64>({a}));
        QCOMPARE(found(QStringLiteral("alpha rain")), QList<qint64>());

        // The copies are read: a new one replaces the text, a broken one is named once.
        copy(a, "<p>名古屋の<b>雪</b></p>");
        TestFiles::write(PageArchive::fileFor(m_data, b), "Content-Type: image/png\r\n\r\nx");
        TextBackfill::Result r = TextBackfill::run(m_data);
        QCOMPARE(r.indexed, 1);
        QCOMPARE(r.unreadable, QStringList {PageArchive::fileFor(m_data, b)});
        QCOMPARE(found(QStringLiteral("屋の雪")), QList<qint64>({a}));
        QCOMPARE(found(QStringLiteral("晴れ")), QList<qint64>());
        r = TextBackfill::run(m_data);
        QCOMPARE(r.total, 0);

        // Deleting the index loses nothing: the copies make it again.
        QVERIFY(TextIndex::removeFile(m_data));
        r = TextBackfill::run(m_data);
        QCOMPARE(r.indexed, 1);
        QCOMPARE(found(QStringLiteral("名古屋")), QList<qint64>({a}));

        QVERIFY(DeleteLink(m_data, nullptr).run(a));
        QCOMPARE(found(QStringLiteral("名古屋")), QList<qint64>());
        // A number given again never shows the text of the link that had it: a link gone by
        // another path loses its text at the next backfill, emptying loses all.
        const qint64 c = registered("http://c.example/", "", "札幌");
        QVERIFY(sql(QStringLiteral("Delete From tURL Where nURL=%1").arg(c)));
        TextBackfill::run(m_data);
        QVERIFY(
            sql(QStringLiteral("Insert Into tURL (nURL, sURL, nGrp) Values (%1, 'x', 0)").arg(c)));
        QCOMPARE(found(QStringLiteral("札幌")), QList<qint64>());
        const qint64 d = registered("http://d.example/", "", "神戸");
        QVERIFY(EmptyCollection(m_data).run());
        QVERIFY(
            sql(QStringLiteral("Insert Into tURL (nURL, sURL, nGrp) Values (%1, 'x', 0)").arg(d)));
        QCOMPARE(found(QStringLiteral("神戸")), QList<qint64>());
    }

    // An index file of an older version is replaced, and the copies fill the new one, even
    // where the old file held their text and called them read.
    void oldVersionRefilled_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("first") << 1;
        QTest::newRow("one table for every piece") << 2;
        QTest::newRow("lengths read a row at a time") << 3;
    }
    void oldVersionRefilled()
    {
        QFETCH(int, version);
        const QByteArray address = "http://v" + QByteArray::number(version) + ".example/";
        const qint64 e = registered(address.constData(), "", "");
        copy(e, "<p>函館の朝市</p>");
        const QFileInfo f(PageArchive::fileFor(m_data, e));
        const QString path = DataFolder::textIndex(m_data);
        QVERIFY(TextIndex::removeFile(m_data));
        {
            QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), u"old"_s);
            old.setDatabaseName(path);
            QVERIFY(old.open());
            QSqlQuery q(old);
            for (const QString &s :
                 {u"Create Virtual Table tText Using fts5(sText)"_s,
                  u"Create Table tTextCopy (nURL Integer Primary Key, nSize, nTime, nOk)"_s,
                  u"Insert Into tText (rowid, sText) Values (%1, '函館')"_s.arg(e),
                  u"Insert Into tTextCopy Values (%1, %2, %3, 1)"_s.arg(e).arg(f.size()).arg(
                      f.lastModified().toSecsSinceEpoch()),
                  u"PRAGMA user_version = %1"_s.arg(version)})
                QVERIFY2(q.exec(s), qPrintable(q.lastError().text()));
            q = QSqlQuery();
            old.close();
        }
        QSqlDatabase::removeDatabase(u"old"_s);
        const TextBackfill::Result r = TextBackfill::run(m_data);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.indexed, 1);
        QCOMPARE(found(QStringLiteral("朝市")), QList<qint64>({e}));
        QVERIFY(DeleteLink(m_data, nullptr).run(e));
        QVERIFY(!QFile::exists(PageArchive::fileFor(m_data, e)));
    }
};

QTEST_GUILESS_MAIN(TestPageTextSteps)
#include "tst_pagetextsteps.moc"
