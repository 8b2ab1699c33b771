#include "pages/PageArchive.h"
#include "store/LinkStore.h"
#include "store/Store.h"
#include "support/FakeBrowser.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// The saved copies of pages: how one is written, kept or refused, found, shown and cleaned up,
// with a browser that writes what the test says.
class TestPageArchive : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_data;
    FakeBrowser m_web;

    struct Outcome
    {
        bool called = false;
        bool ok = false;
        QString message;
    };
    // Saves link n's copy of http://a/; meanwhile runs whatever the test does before it ends.
    Outcome save(int n, const std::function<void()> &meanwhile = {})
    {
        Outcome out;
        PageArchive::save(&m_web, "http://a/", m_data, n, [&out](bool ok, const QString &m) {
            out = {true, ok, m};
        });
        if (meanwhile)
            meanwhile();
        [&] { QTRY_VERIFY(out.called); }();
        return out;
    }
    QStringList files() const
    {
        QStringList names
            = QDir(PageArchive::folderFor(m_data)).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }
    // The copy's bytes as written for http://a/.
    static QByteArray copyOf(const QByteArray &page)
    {
        return "X-Link-Address: http://a/\r\n" + page;
    }

private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        m_data = m_tmp->path() + u'/';
        QVERIFY(QDir().mkpath(m_data + QStringLiteral("Arc")));
        m_web.calls.clear();
        m_web.location = QStringLiteral("http://a/");
        m_web.archiveBytes = "MIME-Version: 1.0\r\n";
        m_web.archiveSize = 0;
        m_web.archiveError.clear();
        QVERIFY(Store::OpenDb(m_data + QStringLiteral("dbLink.mdb")));
        for (const int n : {5, 7, 8, 9, 100})
            QVERIFY(LinkStore::insertLink({n, QStringLiteral("http://a/"), 0, "a", "", 1}, 0));
    }
    void cleanup() { Store::CloseDb(); }

    // The browser writes under the part name; the copy appears only when it is complete,
    // replaces an earlier one in one step, and a second save meanwhile writes nothing. The
    // limit itself is kept; a folder removed since start-up is made again.
    void writtenWholeUnderItsNumber()
    {
        const QString path = PageArchive::fileFor(m_data, 100);
        QCOMPARE(path, m_data + QStringLiteral("Arc/100.mhtml"));
        QVERIFY(!PageArchive::hasCopy(m_data, 100));
        QVERIFY(save(100, [&] {
                    QCOMPARE(m_web.calls,
                             QStringList("saveArchive " + PageArchive::partFileFor(m_data, 100)));
                    QVERIFY(PageArchive::hasCopy(m_data, 100) && !QFile::exists(path));
                    PageArchive::save(&m_web, "http://a/", m_data, 100,
                                      [](bool, const QString &) { QFAIL("reported twice"); });
                    QCOMPARE(m_web.calls.size(), 1);
                }).ok);
        QCOMPARE(TestFiles::read(path), copyOf(m_web.archiveBytes));
        m_web.archiveSize = PageArchive::kMaxBytes;
        m_web.location = QStringLiteral("http://a/#section"); // an anchor of the same page
        QVERIFY(QDir(m_data + QStringLiteral("Arc")).removeRecursively());
        QVERIFY(save(100).ok);
        QCOMPARE(QFileInfo(path).size(), copyOf({}).size() + PageArchive::kMaxBytes);
        QCOMPARE(files(), QStringList {QStringLiteral("100.mhtml")});
    }

    // A copy that cannot be made, or is not worth keeping, leaves a message naming the file
    // and the reason; an earlier copy stays and no part is left behind.
    void failuresKeepWhatWasThere_data()
    {
        QTest::addColumn<QString>("error");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("reason");
        QTest::newRow("browser failed") << "net::ERR_FAILED" << qint64(0) << "http://a/"
                                        << "net::ERR_FAILED";
        QTest::newRow("over 20 MB") << "" << PageArchive::kMaxBytes + 1 << "http://a/"
                                    << "20 MB を超えるため残しません (20.0 MB)";
        QTest::newRow("page changed") << "" << qint64(0) << "http://b/"
                                      << "表示中のﾍﾟｰｼﾞが変わりました";
        QTest::newRow("empty") << "" << qint64(-1) << "http://a/"
                               << "ﾍﾟｰｼﾞが空です";
        // Deleted while it was written, and its number given to another address.
        QTest::newRow("number reused") << "" << qint64(0) << "http://a/"
                                       << "ﾘﾝｸが削除されました";
        QTest::newRow("folder taken by a file") << "" << qint64(0) << "http://a/"
                                                << "ﾌｫﾙﾀﾞ";
    }
    void failuresKeepWhatWasThere()
    {
        QFETCH(QString, error);
        QFETCH(qint64, size);
        QFETCH(QString, location);
        QFETCH(QString, reason);
        const QByteArray tag = QTest::currentDataTag();
        const bool blocked = tag == "folder taken by a file";
        const QString path = PageArchive::fileFor(m_data, 7);
        TestFiles::write(path, "old copy");
        if (blocked) {
            QVERIFY(QDir(m_data + "Arc").removeRecursively());
            TestFiles::write(m_data + "Arc", "");
        }
        m_web.archiveError = error;
        m_web.location = location;
        if (size < 0)
            m_web.archiveBytes.clear();
        else
            m_web.archiveSize = size;
        const Outcome out = save(7, [&] {
            if (tag != "number reused")
                return;
            QVERIFY(LinkStore::deleteLink(7));
            QVERIFY(LinkStore::insertLink({7, QStringLiteral("http://b/"), 0, "b", "", 1}, 0));
        });
        QVERIFY(!out.ok);
        QVERIFY2(
            out.message.startsWith(QDir::toNativeSeparators(path) + " を保存できません: " + reason),
            qPrintable(out.message));
        if (blocked)
            return;
        QCOMPARE(TestFiles::read(path), QByteArray("old copy"));
        QCOMPARE(files(), QStringList {QStringLiteral("7.mhtml")});
    }

    // Copies go by the pictures' rule: the whole name is the number of a link that exists.
    void orphans()
    {
        for (const char *name : {"100.mhtml", "2.mhtml", "12.mhtml", "012.mhtml", "12.MHTML",
                                 "100.part.mhtml", "+12.mhtml", "12a.mhtml", "notes.txt"}) {
            QFile f(PageArchive::folderFor(m_data) + QString::fromLatin1(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const std::vector<qint64> numbers {12, 100};
        PageArchive::removeOrphans(m_data, &numbers);
        QCOMPARE(files(),
                 (QStringList {QStringLiteral("100.mhtml"), QStringLiteral("12.MHTML"),
                               QStringLiteral("12.mhtml"), QStringLiteral("notes.txt")}));
        QVERIFY(PageArchive::remove(m_data, 100));
        QVERIFY(PageArchive::remove(m_data, 100)); // none left either way
        PageArchive::removeOrphans(m_data, nullptr);
        QCOMPARE(files(), QStringList {QStringLiteral("notes.txt")});
        // What a run that ended midway was writing goes at the next start.
        TestFiles::write(PageArchive::partFileFor(m_data, 3), "half");
        PageArchive::removeParts(m_data);
        QCOMPARE(files(), QStringList {QStringLiteral("notes.txt")});
    }

    // The copy opens in the browser with scripts off, under a caption with its date; a link
    // without one is told.
    void opening()
    {
        QString caption, error;
        QVERIFY(
            !PageArchive::open(&m_web, m_data, 5, QStringLiteral("http://a/"), &caption, &error));
        QCOMPARE(error,
                 QStringLiteral("保存したﾍﾟｰｼﾞがありません: ")
                     + QDir::toNativeSeparators(PageArchive::fileFor(m_data, 5)));
        QVERIFY(m_web.calls.isEmpty());
        QVERIFY(save(5).ok);
        QFile copy(PageArchive::fileFor(m_data, 5));
        QVERIFY(copy.open(QIODevice::ReadWrite));
        QVERIFY(copy.setFileTime(QDateTime(QDate(2026, 12, 7), QTime(14, 30, 59)),
                                 QFileDevice::FileModificationTime));
        copy.close();
        m_web.calls.clear();
        QVERIFY(
            PageArchive::open(&m_web, m_data, 5, QStringLiteral("http://a/#q"), &caption, &error));
        QCOMPARE(m_web.calls,
                 QStringList {QStringLiteral("Navigate ")
                              + QFileInfo(PageArchive::fileFor(m_data, 5)).absoluteFilePath()});
        QVERIFY(!m_web.scriptsEnabled());
        QCOMPARE(caption, QStringLiteral("保存したﾍﾟｰｼﾞ (2026/12/07 14:30): http://a/#q"));
        m_web.Navigate(QStringLiteral("http://a/"));
        QVERIFY(m_web.scriptsEnabled());
        // A copy made for another address is not shown as this link's.
        m_web.calls.clear();
        QVERIFY(!PageArchive::open(&m_web, m_data, 5, "http://c/", &caption, &error));
        QCOMPARE(error,
                 "保存したﾍﾟｰｼﾞ " + QDir::toNativeSeparators(PageArchive::fileFor(m_data, 5))
                     + " は http://c/ のﾍﾟｰｼﾞではありません");
        QVERIFY(m_web.calls.isEmpty());
    }

    // What counts as a saved copy: a local file directly in the folder.
    void archivedAddresses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("archived");
        const auto row = [](const char *name, const char *url, const char *folder, bool archived) {
            QTest::newRow(name) << url << folder << archived;
        };
        row("copy", "file:///d/Arc/5.mhtml", "/d/Arc/", true);
        row("folder without slash", "file:///d/Arc/5.mhtml", "/d/Arc", true);
        row("dotted path", "file:///d/x/../Arc/5.mhtml", "/d/Arc/", true);
        row("sub folder", "file:///d/Arc/sub/5.mhtml", "/d/Arc/", false);
        row("other folder", "file:///d/Pic/5.jpg", "/d/Arc/", false);
        row("web", "http://d/Arc/5.mhtml", "/d/Arc/", false);
        row("no folder", "file:///d/Arc/5.mhtml", "", false);
    }
    void archivedAddresses()
    {
        QFETCH(QString, url);
        QFETCH(QString, folder);
        QFETCH(bool, archived);
        QCOMPARE(WebBrowser::isArchived(QUrl(url), folder), archived);
    }
};

QTEST_GUILESS_MAIN(TestPageArchive)
#include "tst_pagearchive.moc"
