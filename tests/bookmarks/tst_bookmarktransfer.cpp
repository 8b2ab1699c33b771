#include "bookmarks/BookmarkExport.h"
#include "bookmarks/BookmarkTransfer.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/BookmarkSamples.h"
#include "support/SqlLines.h"
#include "support/SqlSteps.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

using BookmarkSamples::kHead;

} // namespace

// The import and export steps the menu and the command line share, on real database files.
class TestBookmarkTransfer : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    int m_n = 0;

    QString freshDb()
    {
        Store::CloseDb();
        const QString path = m_tmp.filePath(QStringLiteral("db%1/dbLink.mdb").arg(++m_n));
        QDir().mkpath(QFileInfo(path).path());
        QString error;
        if (!Store::OpenDb(path, &error))
            qWarning() << error;
        return path;
    }

    QString fileWith(const QByteArray &bytes)
    {
        const QString path = m_tmp.filePath(QStringLiteral("file%1.html").arg(++m_n));
        TestFiles::write(path, bytes);
        return path;
    }

    static void link(int n, const char *url, int grp, const QString &title,
                     const QString &memo = QString(), double sort = 1, qint64 added = 0)
    {
        SqlSteps::exec(Sql::kInsertLink, {n, QString::fromUtf8(url), grp, title, memo, sort});
        if (added)
            SqlSteps::exec(Sql::kSetLinkAdded, {n, added});
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_tmp.isValid()); }
    void cleanup() { Store::CloseDb(); }

    // The plan is made against what the collection holds: addresses held (letter case of ASCII
    // ignored) are left out, a folder named like a group goes into it, new numbers follow the
    // highest ones; nothing is written before TestFiles::write().
    void importAddsToTheCollection()
    {
        const QString db = freshDb();
        SqlSteps::exec(Sql::kInsertGroup, {4, QStringLiteral("News"), 7});
        link(150, "http://held.example/", 4, QStringLiteral("Held"));
        const QString path = fileWith(
            kHead
            + "<DT><H3>news</H3>\n<DL><p>\n"
              "<DT><A HREF=\"HTTP://HELD.example/\" ADD_DATE=\"1700000300\">again</A>\n"
              "<DT><A HREF=\"http://b.example/\" ADD_DATE=\"1700000200\">B</A>\n"
              "<DD>about\nB\n"
              "</DL><p>\n<DT><H3>技術</H3>\n<DL><p>\n"
              "<DT><A HREF=\"http://c.example/\">C</A>\n"
              "<DT><A ADD_DATE=\"1\">no address</A>\n"
              "<DT><A HREF=\"http://b.example/\">B twice</A>\n"
              "</DL><p>\n<DT><A HREF=\"http://root.example/\" ADD_DATE=\"1700000100\">R</A>\n");
        const QByteArray before = TestFiles::read(db);
        BookmarkTransfer t;
        QString error;
        QVERIFY2(t.read(path, &error), qPrintable(error));
        QCOMPARE(TestFiles::read(db), before);
        QCOMPARE(t.counts(),
                 QStringLiteral("ﾘﾝｸ　3 件\n新しい分類　1 件\n重複で省いたﾘﾝｸ　1 件\n"
                                "読めなかった行　1 行\nﾌｧｲﾙ内の同じｱﾄﾞﾚｽをまとめたﾘﾝｸ　1 件"));
        QCOMPARE(t.question(),
                 QStringLiteral("ﾌﾞｯｸﾏｰｸ ") + path + QStringLiteral(" を取り込みます\n\n")
                     + t.counts() + QStringLiteral("\n\n取り込んで良いですか"));
        QCOMPARE(int(t.write({}, &error)), int(LinkStore::ImportResult::Written));
        QCOMPARE(SqlLines::of("Select nGrp, sGrp, gSrt From mGrp Order By nGrp"),
                 QStringList({"0|未分類|0", "4|News|7", "5|技術|8"}));
        // Numbered by date, undated first; the sort key is the place in the folder.
        QCOMPARE(
            SqlLines::of("Select U.nURL, U.sURL, U.nGrp, U.sNam, U.sMem, U.gSrt,"
                         " IfNull(I.nAdded, -1) From tURL U"
                         " Left Join tURLInfo I On I.nURL = U.nURL Order By U.nURL"),
            QStringList({"150|http://held.example/|4|Held||1|-1", "151|http://c.example/|5|C||1|-1",
                         "152|http://root.example/|0|R||1|1700000100",
                         "153|http://b.example/|4|B|about B\r\n\r\nB twice|2|1700000200"}));

        // The same file again brings nothing new, and says so.
        QVERIFY(t.read(path, &error));
        QVERIFY(!t.hasWork());
        QVERIFY2(t.question().startsWith(QStringLiteral("ﾌﾞｯｸﾏｰｸ ") + path
                                         + QStringLiteral(" に取り込むﾘﾝｸがありません")),
                 qPrintable(t.question()));
    }

    // A file that cannot be read or is no bookmark file (the reader's rows give every reason) is
    // refused with its name and the reason, and the database file stays byte for byte as it was.
    void refusedFilesWriteNothing_data()
    {
        QTest::addColumn<QString>("kind"); // how the file is made
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("said"); // what follows the name
        const QString refused = QStringLiteral(" を取り込めません: ");
        QTest::newRow("missing") << "missing" << QByteArray() << refused + "No such file";
        QTest::newRow("not bookmarks") << "file" << QByteArray("https://example.com/\n")
                                       << refused + "ﾌﾞｯｸﾏｰｸのﾌｧｲﾙではありません";
        QTest::newRow("only unreadable lines")
            << "file" << QByteArray(kHead + QByteArray("<DT><A ADD_DATE=\"1\">x</A>\n").repeated(3))
            << QStringLiteral(" に取り込むﾘﾝｸがありません\n\nﾘﾝｸ　0 件\n新しい分類　0 件\n"
                              "重複で省いたﾘﾝｸ　0 件\n読めなかった行　3 行");
        QTest::newRow("folder") << "folder" << QByteArray() << refused + "ﾌｫﾙﾀﾞです";
        QTest::newRow("fifo") << "fifo" << QByteArray() << refused + "名前付きﾊﾟｲﾌﾟ(FIFO)です";
        QTest::newRow("device") << "/dev/zero" << QByteArray() << refused + "ﾃﾞﾊﾞｲｽです";
        QTest::newRow("over 1 GB")
            << "large" << QByteArray() << refused + "大きすぎます(1073741825 ﾊﾞｲﾄ、上限 1 GB)";
    }
    void refusedFilesWriteNothing()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        const QString db = freshDb();
        link(100, "http://a/", 0, QStringLiteral("A"));
        const QString path = kind == u"file" ? fileWith(bytes)
            : kind.startsWith(u'/')          ? kind
                                             : m_tmp.filePath(kind + QString::number(m_n));
        if (kind == u"folder")
            QVERIFY(QDir().mkdir(path));
        else if (kind == u"fifo") // waits for a writer that never comes when opened plainly
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == u"large") // sparse: no gigabyte is written
            QVERIFY(QFile(fileWith("x")).rename(path) && QFile::resize(path, (1 << 30) + 1));
        const QByteArray before = TestFiles::read(db);
        BookmarkTransfer t;
        QString error;
        QVERIFY(!t.read(path, &error));
        QCOMPARE(error.left(error.indexOf(said)), QStringLiteral("ﾌﾞｯｸﾏｰｸ ") + path);
        QVERIFY2(error.endsWith(said) || kind == u"missing", qPrintable(error));
        QVERIFY(!t.hasWork());
        QCOMPARE(int(t.write()), int(LinkStore::ImportResult::Written)); // an empty plan
        Store::CloseDb();
        QCOMPARE(TestFiles::read(db), before);
    }

    // Folders deeper than the cap join their ancestor at the cap, and the summary counts them.
    void deepNestingIsCapped()
    {
        freshDb();
        const int depth = BookmarkFile::kMaxDepth + 5;
        const QString path = fileWith(kHead + QByteArray("<DT><H3>f</H3><DL><p>\n").repeated(depth)
                                      + "<DT><A HREF=\"http://deep/\">deep</A>\n"
                                      + QByteArray("</DL><p>\n").repeated(depth));
        const BookmarkFile file = BookmarkFile::read(path);
        QCOMPARE(file.folders.size(), BookmarkFile::kMaxDepth);
        QCOMPARE(file.joinedFolders, 5);
        QCOMPARE(file.links.size(), 1);
        QCOMPARE(file.links[0].folder, BookmarkFile::kMaxDepth - 1);
        QCOMPARE(file.folderPath(file.links[0]),
                 QStringList(BookmarkFile::kMaxDepth, "f").join('/'));
        QVERIFY(file.folders[0].path.isEmpty()); // no path kept for a folder of folders
        BookmarkTransfer t;
        QVERIFY(t.read(path));
        QVERIFY2(t.counts().endsWith("\n1000 段より深く、上のﾌｫﾙﾀﾞにまとめたﾌｫﾙﾀﾞ　5 件"),
                 qPrintable(t.counts()));
    }

    // The file is written as the rows are read, in pieces of bounded size, and holds what the
    // writer makes of the same collection held whole in memory: the database's order (sort
    // key, title without ASCII case, number; root links first) is the writer's.
    void exportStreamsInListOrder()
    {
        freshDb();
        QRandomGenerator rng(5);
        const QStringList names {"b", "B/x", "a", "日本/語", "a/b/c", "Zz", "é"};
        QList<GroupRecord> groups {{0, SqlLines::of("Select sGrp From mGrp").value(0), 0}};
        SqlSteps::exec(QStringLiteral("Begin"));
        for (int g = 1; g <= names.size(); ++g) {
            groups.append({g, names[g - 1], double(rng.bounded(3))});
            SqlSteps::exec(Sql::kInsertGroup, {g, names[g - 1], groups.last().gSrt});
        }
        const QStringList titles {"abc",  "ABC", "Abd", "ä",  "Ä",
                                  "日本", "",    "_",   "[x", "\U0001F600"};
        QList<LinkRecord> links;
        QHash<qint64, qint64> added;
        const QString pad(120, u'p');
        for (int n = 100; n < 9100; ++n) {
            const LinkRecord l {n,
                                QStringLiteral("http://h/%1/").arg(n) + pad,
                                int(rng.bounded(names.size() + 3)),
                                titles[int(rng.bounded(10))],
                                n % 3 ? QString() : QStringLiteral("memo"),
                                double(rng.bounded(3))};
            links.append(l);
            const qint64 date = n % 2 ? 1700000000 + n : 0;
            if (date)
                added.insert(n, date);
            link(n, l.sURL.toUtf8().constData(), l.nGrp, l.sNam, l.sMem, l.gSrt, date);
        }
        SqlSteps::exec(QStringLiteral("Commit"));
        // Whether the links come in one walk, a few, or one walk per group.
        for (const qsizetype buffer :
             {BookmarkTransfer::kExportBuffer, qsizetype(300000), qsizetype(1)}) {
            QByteArray streamed;
            qsizetype largest = 0;
            int pieces = 0, count = 0;
            QVERIFY(BookmarkTransfer::exportStream(
                [&](QByteArrayView b) {
                    streamed.append(b);
                    largest = qMax(largest, b.size());
                    ++pieces;
                    return true;
                },
                &count, nullptr, {}, BookmarkExport::Format::Netscape, buffer));
            QCOMPARE(count, int(links.size()));
            QVERIFY2(pieces > 1 && largest < (1 << 20) + 8192,
                     qPrintable(QString::number(largest)));
            QCOMPARE(streamed, BookmarkExport::bytes(groups, links, added));
        }
    }

    // The file is written whole or not at all, and a failure names it.
    void exportWritesInOnePiece()
    {
        freshDb();
        link(100, "http://a/", 0, QStringLiteral("A"));
        const QString path = m_tmp.filePath(QStringLiteral("out/bookmarks.html"));
        QString error;
        int links = 0;
        QVERIFY(!BookmarkTransfer::exportTo(path, &links, &error));
        QVERIFY2(error.contains(path), qPrintable(error));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY2(BookmarkTransfer::exportTo(path, &links, &error), qPrintable(error));
        QByteArray bytes;
        QVERIFY(BookmarkTransfer::exportBytes(bytes));
        QCOMPARE(TestFiles::read(path), bytes);
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files),
                 QStringList {"bookmarks.html"}); // no part file left
        QCOMPARE(BookmarkTransfer::exportedText(path, links),
                 QStringLiteral("1 件のﾘﾝｸを ") + path + QStringLiteral(" に書き出しました"));
        // Stopped on the way (a large collection shows Cancel): nothing written, no error.
        for (int n = 101; n < 2600; ++n)
            link(n, "http://b/", 0, QStringLiteral("B"));
        const QString stopped = m_tmp.filePath(QStringLiteral("out/stopped.html"));
        int asked = 0;
        QVERIFY(!BookmarkTransfer::exportTo(stopped, &links, &error, [&] { return ++asked < 2; }));
        QCOMPARE(asked, 2);
        QCOMPARE(error, QString());
        QVERIFY(!QFile::exists(stopped));
        // Without a collection to read, no file.
        Store::CloseDb();
        const QString other = m_tmp.filePath(QStringLiteral("out/other.html"));
        QVERIFY(!BookmarkTransfer::exportTo(other, &links, &error));
        QVERIFY2(error.contains(QStringLiteral("not open")), qPrintable(error));
        QVERIFY(!QFile::exists(other));
    }

    // No export replaces a file of the collection itself, however the path reaches it.
    void exportRefusesDataFolderFiles_data()
    {
        QTest::addColumn<QString>("target");
        for (const char *name : {"dbLink.mdb", "dbLink.mdb-journal", "User.xml", "linkwell.lock",
                                 "Pic/1.jpg", "Arc", "Arc/2.mhtml", "Doc/../User.xml", "alias"})
            QTest::newRow(name) << QString::fromUtf8(name);
    }
    void exportRefusesDataFolderFiles()
    {
        QFETCH(QString, target);
        const QString dataPh = QFileInfo(freshDb()).path() + u'/';
        for (const char *folder : {"Pic", "Arc", "Doc"})
            QVERIFY(QDir(dataPh).mkdir(folder));
        for (const char *file : {"User.xml", "Pic/1.jpg", "Arc/2.mhtml"})
            TestFiles::write(dataPh + file, "kept");
        QVERIFY(QFile::link(dataPh + "User.xml", dataPh + "alias"));
        const QByteArray before = TestFiles::read(dataPh + "dbLink.mdb");
        QString error;
        QVERIFY(!BookmarkTransfer::exportTo(dataPh + target, nullptr, &error));
        QCOMPARE(error,
                 "ﾌｧｲﾙ " + dataPh + target
                     + " に書き込めません: ﾃﾞｰﾀｰﾌｫﾙﾀﾞのﾌｧｲﾙには書き出せません");
        QCOMPARE(TestFiles::read(dataPh + "dbLink.mdb"), before);
        QCOMPARE(TestFiles::read(dataPh + "User.xml"), QByteArray("kept"));
        QVERIFY(!QFile::exists(dataPh + "dbLink.mdb-journal"));
        QVERIFY2(BookmarkTransfer::exportTo(dataPh + "Doc/out.html", nullptr, &error),
                 qPrintable(error));
    }

    // The save dialog's type decides, but a name ending in .xbel is XBEL; a bare name gets the
    // type's ending.
    void chosenFileAndFormat()
    {
        using F = BookmarkTransfer::Format;
        const QList<std::tuple<QString, F, QString, F>> rows {
            {"/d/b", F::Xbel, "/d/b.xbel", F::Xbel},
            {"/d/b", F::Netscape, "/d/b.html", F::Netscape},
            {"/d/b.XBEL", F::Netscape, "/d/b.XBEL", F::Xbel},
            {"/d.x/b.htm", F::Xbel, "/d.x/b.htm", F::Xbel},
            {"", F::Xbel, "", F::Netscape}};
        for (const auto &[typed, chosen, file, format] : rows) {
            F got = F::Netscape;
            QCOMPARE(BookmarkTransfer::chosenFile(typed, chosen, &got), file);
            QCOMPARE(got, format);
        }
    }
};

QTEST_GUILESS_MAIN(TestBookmarkTransfer)
#include "tst_bookmarktransfer.moc"
