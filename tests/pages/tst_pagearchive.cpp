#include "pages/PageArchive.h"
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
    Outcome save(int n, const QString &address = QStringLiteral("http://a/"))
    {
        Outcome out;
        PageArchive::save(&m_web, address, m_data, n, [&out](bool ok, const QString &m) {
            out = {true, ok, m};
        });
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
    }

    // The browser writes under the part name; the copy appears only when it is complete, and
    // replaces an earlier one in one step.
    void writtenWholeUnderItsNumber()
    {
        const QString path = PageArchive::fileFor(m_data, 100);
        QCOMPARE(path, m_data + QStringLiteral("Arc/100.mhtml"));
        QVERIFY(!PageArchive::hasCopy(m_data, 100));
        bool seen = false;
        PageArchive::save(&m_web, QStringLiteral("http://a/"), m_data, 100,
                          [&](bool ok, const QString &) { seen = ok; });
        QCOMPARE(
            m_web.calls,
            QStringList {QStringLiteral("saveArchive ") + PageArchive::partFileFor(m_data, 100)});
        QVERIFY(PageArchive::hasCopy(m_data, 100)); // under way
        QVERIFY(!QFile::exists(path));
        // A second save of the same link meanwhile writes nothing.
        PageArchive::save(&m_web, QStringLiteral("http://a/"), m_data, 100,
                          [](bool, const QString &) { QFAIL("reported twice"); });
        QCOMPARE(m_web.calls.size(), 1);
        QTRY_VERIFY(seen);
        QCOMPARE(TestFiles::read(path), m_web.archiveBytes);
        QCOMPARE(files(), QStringList {QStringLiteral("100.mhtml")});
        QVERIFY(PageArchive::hasCopy(m_data, 100));

        m_web.archiveBytes = "MIME-Version: 1.0\r\nnewer";
        m_web.location = QStringLiteral("http://a/#section"); // an anchor of the same page
        QVERIFY(save(100).ok);
        QCOMPARE(TestFiles::read(path), m_web.archiveBytes);
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
    }
    void failuresKeepWhatWasThere()
    {
        QFETCH(QString, error);
        QFETCH(qint64, size);
        QFETCH(QString, location);
        QFETCH(QString, reason);
        const QString path = PageArchive::fileFor(m_data, 7);
        TestFiles::write(path, "old copy");
        m_web.archiveError = error;
        m_web.location = location;
        if (size < 0)
            m_web.archiveBytes.clear();
        else
            m_web.archiveSize = size;
        const Outcome out = save(7);
        QVERIFY(!out.ok);
        QCOMPARE(out.message,
                 QDir::toNativeSeparators(path) + QStringLiteral(" を保存できません: ") + reason);
        QCOMPARE(TestFiles::read(path), QByteArray("old copy"));
        QCOMPARE(files(), QStringList {QStringLiteral("7.mhtml")});
    }

    // The limit itself is kept: only what is larger goes.
    void exactlyTheLimitIsKept()
    {
        m_web.archiveSize = PageArchive::kMaxBytes;
        QVERIFY(save(8).ok);
        QCOMPARE(QFileInfo(PageArchive::fileFor(m_data, 8)).size(), PageArchive::kMaxBytes);
    }

    // A folder removed since start-up is made again; one that cannot be made is named.
    void missingFolder()
    {
        QVERIFY(QDir(m_data + QStringLiteral("Arc")).removeRecursively());
        QVERIFY(save(9).ok);
        QVERIFY(QFile::exists(PageArchive::fileFor(m_data, 9)));
        QVERIFY(QDir(m_data + QStringLiteral("Arc")).removeRecursively());
        QFile blocker(m_data + QStringLiteral("Arc"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const Outcome out = save(9);
        QVERIFY(!out.ok);
        QVERIFY2(out.message.contains(QStringLiteral("を作成できません")), qPrintable(out.message));
    }

    // Copies go by the pictures' rule: the whole name is the number of a link that exists.
    void orphans()
    {
        for (const char *name : {"100.mhtml", "2.mhtml", "12.mhtml", "012.mhtml", "12.MHTML",
                                 "100.part.mhtml", "notes.txt"}) {
            QFile f(PageArchive::folderFor(m_data) + QString::fromLatin1(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const std::vector<int> numbers {12, 100};
        PageArchive::removeOrphans(m_data, &numbers);
        QCOMPARE(files(),
                 (QStringList {QStringLiteral("100.mhtml"), QStringLiteral("12.MHTML"),
                               QStringLiteral("12.mhtml"), QStringLiteral("notes.txt")}));
        QVERIFY(PageArchive::remove(m_data, 100));
        QVERIFY(PageArchive::remove(m_data, 100)); // none left either way
        PageArchive::removeOrphans(m_data, nullptr);
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
        QVERIFY(PageArchive::open(&m_web, m_data, 5, QStringLiteral("http://a/?q=1"), &caption,
                                  &error));
        QCOMPARE(m_web.calls,
                 QStringList {QStringLiteral("Navigate ")
                              + QFileInfo(PageArchive::fileFor(m_data, 5)).absoluteFilePath()});
        QVERIFY(!m_web.scriptsEnabled());
        QCOMPARE(caption, QStringLiteral("保存したﾍﾟｰｼﾞ (2026/12/07 14:30): http://a/?q=1"));
        m_web.Navigate(QStringLiteral("http://a/"));
        QVERIFY(m_web.scriptsEnabled());
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
