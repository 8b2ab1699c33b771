#include "store/LinkStore.h"
#include "store/Store.h"
#include "support/BookmarkSamples.h"
#include "support/LoopbackServer.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"
#include "support/WithoutRootAccess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

QString sample(const char *name)
{
    return QStringLiteral(LINKWELL_TEST_PAGES "/../bookmarks/") + QLatin1StringView(name);
}

// The lines of a listing without their first field, the link number.
QStringList withoutNumbers(const QByteArray &listing)
{
    QStringList lines = QString::fromUtf8(listing).split(u'\n', Qt::SkipEmptyParts);
    for (QString &l : lines)
        l = l.section(u'\t', 1);
    return lines;
}

} // namespace

// The command line of the real program. Its runs have no display: DISPLAY and WAYLAND_DISPLAY
// are gone and Qt is told to use X11, so anything that made a window system connection would
// fail instead of passing unnoticed.
class TestCli : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;

    using Result = ProgramRun::Result;

    QString dir(const QString &name) const { return m_tmp.filePath(name) + u'/'; }

    static QProcessEnvironment headless()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }

    static Result run(const QStringList &args, bool noRoot = false)
    {
        return ProgramRun::run(args, headless(), noRoot);
    }
    static Result run(const QString &dataDir, const QStringList &args, bool noRoot = false)
    {
        return run(QStringList {QStringLiteral("--data-dir"), dataDir} + args, noRoot);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_tmp.isValid()); }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out"); // found in standard output
        QTest::addColumn<QString>("err"); // found in standard error
        const auto row = [](const char *name, const QStringList &args, int code, const char *out,
                            const char *err) {
            QTest::newRow(name) << args << code << QString::fromUtf8(out) << QString::fromUtf8(err);
        };
        const char *help = "list [--group PATH [--below] | --recent]";
        row("--help names the address", {"--help"}, 0, "[ADDRESS]", "");
        row("--help", {"--help"}, 0, help, "");
        row("-h after a command", {"import", "-h"}, 0, help, "");
        row("--version", {"--version"}, 0, "linkwell 0.", "");
        row("unknown command", {"frobnicate"}, 2, "", "ｺﾏﾝﾄﾞ 'frobnicate' はありません");
        row("file missing", {"import"}, 2, "", "使い方: linkwell import FILE");
        row("list extra", {"list", "extra"}, 2, "", "使い方: linkwell list");
        row("option of another command", {"import", "x.html", "--recent"}, 2, "",
            "import: ｵﾌﾟｼｮﾝ '--recent' はありません");
        row("options that exclude each other", {"list", "--recent", "--group", "x"}, 2, "",
            "list: --recent, --group は一緒に使えません");
        row("unknown option", {"list", "--bogus"}, 2, "", "ｵﾌﾟｼｮﾝ 'bogus' はありません");
        row("unknown option, no command", {"--bogus"}, 2, "", "ｵﾌﾟｼｮﾝ 'bogus' はありません");
        row("value missing", {"list", "--group"}, 2, "", "'--group' の後に値がありません");
        row("folder missing, no command", {"--data-dir"}, 2, "",
            "'--data-dir' の後に値がありません");
        row("empty folder", {"--data-dir", "", "list"}, 2, "", "--data-dir にﾌｫﾙﾀﾞがありません");
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QString data = dir(QStringLiteral("usage ") + QTest::currentDataTag());
        const Result r = args.contains(QStringLiteral("--data-dir")) ? run(args) : run(data, args);
        QCOMPARE(r.code, code);
        QVERIFY2(QString::fromUtf8(r.out).contains(out), r.out.constData());
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
        if (code == 2)
            QVERIFY2(r.err.contains(QStringLiteral("'linkwell --help' で使い方を表示します")),
                     qPrintable(r.err));
        // A question about the program or a wrong command line touches no data folder.
        QVERIFY(!QFile::exists(data));
    }

    // Import, then every way of reading; options before or after the command.
    void importListExport()
    {
        const QString data = dir(QStringLiteral("collection"));
        Result r = run({"import", sample("chromium.html"), "--data-dir", data});
        QCOMPARE(r.code, 0);
        QCOMPARE(QString::fromUtf8(r.out),
                 QStringLiteral("ﾘﾝｸ　7 件\n新しい分類　5 件\n重複で省いたﾘﾝｸ　0 件\n"
                                "読めなかった行　0 行\n"));
        QCOMPARE(r.err, QString());
        r = run(data, {"import", sample("firefox.html")});
        QCOMPARE(r.code, 0);

        r = run(data, {"list"});
        QCOMPARE(r.code, 0);
        const QStringList all = QString::fromUtf8(r.out).split(u'\n');
        QCOMPARE(all.size(), 7 + 7 + 1);
        // Group 0 first; the order of the rest is the link list's own test.
        QCOMPARE(all.first(),
                 QStringLiteral("107\thttps://www.mozilla.org/ja/firefox/new/\t未分類\t"
                                "Firefox を入手"));
        r = run(data, {"list", "--group", "ブックマークツールバー/ニュース"});
        QCOMPARE(r.code, 0);
        QCOMPARE(
            withoutNumbers(r.out),
            (QStringList {QStringLiteral("https://www3.nhk.or.jp/news/\tブックマークツールバー/"
                                         "ニュース\tNHK ニュース"),
                          QStringLiteral("https://news.example.jp/a?id=1&page=2\tブックマーク"
                                         "ツールバー/ニュース\tO'Reilly 'quoted' 😀")}));
        // Group 0 by its own name; a name the selector does not know is bad input.
        r = run(data, {"list", "--group", "未分類"});
        QCOMPARE(withoutNumbers(r.out),
                 QStringList {QStringLiteral(
                     "https://www.mozilla.org/ja/firefox/new/\t未分類\tFirefox を入手")});
        r = run(data, {"list", "--group", "nope"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("nope")), qPrintable(r.err));

        // The newest first, by number: the later import's newest bookmark is on top.
        r = run(data, {"--recent", "list"});
        QCOMPARE(r.code, 0);
        const QStringList recent = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(recent.size(), 14);
        QVERIFY2(recent.first().startsWith(QStringLiteral("113\thttps://example.org/\t")),
                 qPrintable(recent.first()));

        // find: every word, width and case folded, in the list's format and order; no match
        // is no error.
        r = run(data, {"find", "ＱＴ", "class"});
        QCOMPARE(r.code, 0);
        QCOMPARE(withoutNumbers(r.out),
                 QStringList {QStringLiteral("https://doc.qt.io/qt-6/qstring.html\tブックマーク "
                                             "バー/技術\tQString Class | Qt Core 6.4.2")});
        r = run(data, {"find", "nothing-like-this"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(run(data, {"find"}).code, 2);
        // A folder alone, or with everything below it.
        const QStringList qstring {"find", "qstring", "--group", "ブックマーク バー/技術"};
        QCOMPARE(run(data, qstring).out.count("doc.qt.io"), 1);
        QCOMPARE(run(data, qstring + QStringList {"--below"}).out.count("doc.qt.io"), 2);

        // Standard output and a file get the same bytes.
        r = run(data, {"export", "-"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"));
        const QString file = m_tmp.filePath(QStringLiteral("exported.html"));
        QCOMPARE(run(data, {"export", file}).code, 0);
        QCOMPARE(TestFiles::read(file), r.out);
        r = run(data, {"export", m_tmp.filePath(QStringLiteral("no/such/folder.html"))});
        QVERIFY2(r.code == 1 && r.err.contains(QStringLiteral("no/such/folder.html")),
                 qPrintable(r.err));

        // A file that is refused is named with the reason and leaves the database byte for byte
        // as it was; the reasons themselves are the transfer test's rows.
        const QByteArray before = TestFiles::read(data + QStringLiteral("dbLink.mdb"));
        const QString bad = m_tmp.filePath(QStringLiteral("bad.html"));
        TestFiles::write(bad, "just some notes\n");
        r = run(data, {"import", bad});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QByteArray());
        QVERIFY2(r.err.contains(bad)
                     && r.err.contains(QStringLiteral("ﾌﾞｯｸﾏｰｸのﾌｧｲﾙではありません")),
                 qPrintable(r.err));
        QCOMPARE(TestFiles::read(data + QStringLiteral("dbLink.mdb")), before);
        QVERIFY(!QFile::exists(data + QStringLiteral("linkwell.lock")));
    }

    // A collection of these addresses at the loopback server, in folder G.
    QString collection(const QString &name, const LoopbackServer &server, const QStringList &paths)
    {
        QByteArray links;
        for (const QString &p : paths)
            links += BookmarkSamples::entry(server.url(p).toUtf8().constData());
        const QString file = m_tmp.filePath(name + QStringLiteral(".html"));
        TestFiles::write(file,
                         BookmarkSamples::kHead + BookmarkSamples::folder("G", links)
                             + BookmarkSamples::entry("nothing here") + "</DL><p>\n");
        const QString data = dir(name);
        [&] { QCOMPARE(run(data, {"import", file}).code, 0); }();
        return data;
    }

    // check: every link (or one group's) with the window's engine, a line per link in number
    // order, recorded in the history; it writes, so it waits for the window like import. Dead
    // links found exit with 4, for cron; alive and uncertain ones with 0.
    void checkPrintsAndRecords()
    {
        LoopbackServer server;
        QVERIFY(server.start());
        server.setPage("/ok", "<p>ok</p>");
        server.setRoute("/locked", {.status = 403});
        const QString data = collection("check", server, {"/ok", "/gone", "/locked"});
        Result r = run(data, {"check"});
        QCOMPARE(r.code, 4);
        const QStringList lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines[0].startsWith("100\talive\t200\t" + server.url("/ok") + u'\t'),
                 qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(QStringLiteral("101\tdead\t404\t")), qPrintable(lines[1]));
        QVERIFY2(lines[3].startsWith(QStringLiteral("103\tdead\t0\t")), qPrintable(lines[3]));
        QCOMPARE(run(data, {"check", "--group", "G"}).code, 4);
        QCOMPARE(run(data, {"check", "--group", "nope"}).code, 1);
        server.setRoute("/gone", {.status = 200});
        r = run(data, {"check", "--group", "G"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("\tuncertain\t403\t"), r.out.constData());
        // The history holds the checks.
        QVERIFY(Store::OpenDb(data + QStringLiteral("dbLink.mdb")));
        QList<CheckRecord> checks;
        QVERIFY(LinkStore::lastChecks(101, checks));
        QCOMPARE(checks.size(), 1); // alive: the latest check only
        QCOMPARE(checks.first().status, 200);
        Store::CloseDb();
    }

    // SIGINT and SIGTERM stop a check as the window's 中止 does: what was checked is printed
    // and recorded, and the status says which signal stopped it.
    void signalsStopACheck_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("code");
        QTest::newRow("SIGINT") << SIGINT << 130;
        QTest::newRow("SIGTERM") << SIGTERM << 143;
    }
    void signalsStopACheck()
    {
        QFETCH(int, signal);
        QFETCH(int, code);
        LoopbackServer server;
        QVERIFY(server.start());
        server.setPage("/ok", "<p>ok</p>");
        for (const char *path : {"/s1", "/s2", "/s3", "/s4"})
            server.setRoute(path, {.silent = true});
        const QString data = collection(QStringLiteral("stop ") + QTest::currentDataTag(), server,
                                        {"/ok", "/s1", "/s2", "/s3", "/s4"});
        QProcess p;
        p.setProcessEnvironment(headless());
        p.start(QStringLiteral(LINKWELL_EXE), {"--data-dir", data, "check", "--group", "G"});
        // Four at a time to one host: /s4 goes out once the answer of /ok has been taken in.
        QVERIFY(QTest::qWaitFor([&] { return server.requestCount("/s4") == 1; }, 60000));
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), code);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(out.startsWith("100\talive\t200\t") && out.count(u'\n') == 1, qPrintable(out));
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(u"(1 / 5 件)"));
        QVERIFY(Store::OpenDb(data + QStringLiteral("dbLink.mdb")));
        QList<CheckRecord> checks;
        QVERIFY(LinkStore::lastChecks(100, checks));
        QCOMPARE(checks.size(), 1);
        QVERIFY(LinkStore::lastChecks(101, checks));
        QVERIFY(checks.isEmpty());
        Store::CloseDb();
    }

    // Reading needs no folder it may write; a change says why it cannot write there.
    void readOnlyFolder()
    {
        const QString data = dir(QStringLiteral("read-only"));
        QCOMPARE(run(data, {"import", sample("chromium.html")}).code, 0);
        QVERIFY(QFile::setPermissions(data, QFile::ReadOwner | QFile::ExeOwner));
        for (const QStringList &reading : {QStringList {"list"}, {"find", "qt"}, {"export", "-"}}) {
            const Result r = run(data, reading, true);
            QVERIFY2(r.code == 0 && !r.out.isEmpty(), qPrintable(r.err));
        }
        const Result r = run(data, {"import", sample("chromium.html")}, true);
        QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("ｱｸｾｽが許可されていません")), qPrintable(r.err));
    }

    // list --group and check --group find a group by one rule: the first in the list's order
    // (sort key, then name) whose name equals, letter case of every letter ignored.
    void groupByNameAgrees()
    {
        const QString data = dir(QStringLiteral("groups"));
        QDir().mkpath(data);
        QVERIFY(Store::OpenDb(data + QStringLiteral("dbLink.mdb")));
        QString error;
        QVERIFY2(LinkStore::importLinks({{1, "News", 20}, {2, "news", 10}, {3, "Ärger", 5}},
                                        {{{100, "not an address", 1, "", "", 0}, 0},
                                         {{101, "nor this", 2, "", "", 0}, 0},
                                         {{102, "nor that", 3, "", "", 0}, 0}},
                                        {}, &error)
                     == LinkStore::ImportResult::Written,
                 qPrintable(error));
        Store::CloseDb();
        const QList<std::pair<QString, QByteArray>> names
            = {{"News", "101\t"}, {"news", "101\t"}, {"ärger", "102\t"}, {"ÄRGER", "102\t"}};
        for (const auto &[name, number] : names) {
            const Result listed = run(data, {"list", "--group", name});
            const Result checked = run(data, {"check", "--group", name});
            QVERIFY2(listed.out.startsWith(number) && listed.out.count('\n') == 1,
                     qPrintable(name + u' ' + QString::fromUtf8(listed.out)));
            QVERIFY2(checked.out.startsWith(number) && checked.out.count('\n') == 1,
                     qPrintable(name + u' ' + QString::fromUtf8(checked.out)));
        }
    }

    // While the window holds the data folder, changes are refused and reading goes on; a lock
    // left by a window that was killed is taken over.
    void changesWaitForTheWindow()
    {
        const QString data = dir(QStringLiteral("shared"));
        QProcess window; // offscreen, as a person would have it open
        window.setProcessEnvironment(ProgramRun::windowEnvironment());
        window.start(QStringLiteral(LINKWELL_EXE), {QStringLiteral("--data-dir"), data});
        QVERIFY(ProgramRun::waitReady(data));
        const QByteArray before = TestFiles::read(data + QStringLiteral("dbLink.mdb"));
        Result r = run(data, {"import", sample("chromium.html")});
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains(QDir::toNativeSeparators(data))
                     && r.err.contains(QStringLiteral("使用中")),
                 qPrintable(r.err));
        QCOMPARE(TestFiles::read(data + QStringLiteral("dbLink.mdb")), before);
        QCOMPARE(run(data, {"list"}).code, 0);
        QCOMPARE(run(data, {"export", "-"}).code, 0);
        QCOMPARE(window.state(), QProcess::Running);

        ::kill(pid_t(window.processId()), SIGKILL);
        QVERIFY(window.waitForFinished(60000));
        QVERIFY(QFile::exists(data + QStringLiteral("linkwell.lock")));
        r = run(data, {"import", sample("chromium.html")});
        QCOMPARE(r.code, 0);
        QVERIFY(!QFile::exists(data + QStringLiteral("linkwell.lock")));
        QCOMPARE(withoutNumbers(run(data, {"list"}).out).size(), 7);
    }

    // find --text looks in the copies' text as reindex made it from them, best first, with the
    // text around the hit as a fifth field.
    void findText()
    {
        const QString data = dir(QStringLiteral("text"));
        QCOMPARE(run(data, {"import", sample("chromium.html")}).code, 0);
        const QStringList lines
            = QString::fromUtf8(run(data, {"list"}).out).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() >= 2);
        const QString a = lines.at(0).section(u'\t', 0, 0), b = lines.at(1).section(u'\t', 0, 0);
        const QByteArray head = "Content-Type: text/html; charset=utf-8\r\n\r\n";
        TestFiles::write(
            data + QStringLiteral("Arc/") + a + QStringLiteral(".mhtml"),
            head + "<p>\xe6\x9d\xb1\xe4\xba\xac\xe3\x81\xae\xe5\xa4\xa9\xe6\xb0\x97 weather</p>");
        TestFiles::write(data + QStringLiteral("Arc/") + b + QStringLiteral(".mhtml"),
                         head + "<p>weather weather report</p>");
        Result r = run(data, {"reindex"});
        QVERIFY2(r.code == 0 && r.err.contains(QStringLiteral("2 件")), qPrintable(r.err));
        r = run(data, {"find", "--text", "天"});
        QCOMPARE(r.code, 0);
        QStringList found = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.at(0).section(u'\t', 0, 0), a);
        QCOMPARE(found.at(0).section(u'\t', 4), QStringLiteral("東京の天気 weather"));
        r = run(data, {"find", "--text", "--limit", "1", "WEATH"});
        found = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.at(0).section(u'\t', 0, 0), b); // the page that says it twice
        QCOMPARE(run(data, {"find", "--text", "--limit", "0", "x"}).code, 2);
    }

    // add: new, corrected keeping what is not given, a twin refused or added, a bad address;
    // the group path made and listed.
    void add()
    {
        const QString data = dir(QStringLiteral("add"));
        const QStringList runs[]
            = {{"add", "https://a.example/p", "--group", "技術/Qt", "--title", "P"},
               {"add", "HTTPS://A.example/p", "--description", "d"},
               {"add", "http://www.a.example/p/"},
               {"add", "--twin", "http://www.a.example/p/"},
               {"add", "javascript:x"}};
        const char *outs[] = {"100\tnew\n", "100\tcorrected\n", "", "101\tnew\n", ""};
        const int codes[] = {0, 0, 1, 0, 1};
        for (int i = 0; i < 5; ++i) {
            const Result r = run(data, runs[i]);
            QCOMPARE(r.code, codes[i]);
            QCOMPARE(r.out, QByteArray(outs[i]));
        }
        const Result r = run(data, {"list", "--group", "技術/Qt"});
        QCOMPARE(r.out, "100\thttps://a.example/p\t技術/Qt\tP\n");
        QCOMPARE(run(data, {"groups"}).out, "技術\t0\t1\n技術/Qt\t1\t0\n");
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
